#pragma once
// The language of the windows: Japanese, as they were drawn, unless the
// locale's language is English; then the English translation (a Qt Linguist
// .qm file built with the program) is installed. The settings files and
// everything on the serial line stay the same in either language.

#include <QLocale>
#include <QString>

namespace qel {

// True only for a locale whose language is English (LANG=en_US.UTF-8 and the
// like); Japanese, C, POSIX and every other language keep the Japanese texts.
bool usesEnglish(const QLocale &locale);

// Installs the translators for `locale` on the running application: the
// program's English translation, or Qt's own Japanese texts for its file,
// print and message dialogs. Returns false when English was asked for but its
// translation file was not found (the windows then stay Japanese).
// `folder` overrides where the .qm files are looked for.
bool installLanguage(const QLocale &locale, const QString &folder = QString());
// Removes what installLanguage installed.
void removeLanguage();
// True while the English translation is installed.
bool englishInForce();

// The name of the program's translation file for English.
inline constexpr const char *kEnglishTranslation = "qel-settings_en";

} // namespace qel
