#pragma once
// The windows ask for their fonts by the names they were designed with;
// these map them to the IPA fonts so that columns line up and every Japanese
// glyph comes from one font.

namespace qel {
void registerFontSubstitutions();
}
