#pragma once
// The settings screen's rules that need no window: the zero pattern of the
// text boxes, the half-width text they take and the title's model prefix.

#include <QString>
#include <QValidator>

namespace qel {

// The last `width` characters of a text box, formatted with a pattern of
// `width` zeros: a text that reads as a number becomes that number rounded to
// an integer with at least `width` digits ("12" -> "00012", "-3" -> "-03");
// anything else (letters, empty text, a lone sign) is returned unchanged.
QString zeroPattern(const QString &text, int width);

// A text as a record field can hold it: full-width digits, signs, letters
// and the ideographic blank ("１２", "－", "Ａ", "　") become their half-width
// form; any other character outside printable ASCII is dropped. `pos`, when
// given, is a cursor position in `text` and is moved along.
QString fieldText(const QString &text, int *pos = nullptr);

// The settings text boxes' validator: what the user types, pastes or commits
// from an input method goes through fieldText, so the box shows and the
// record gets the same half-width text. While the program fills the boxes
// (filling true), a record's own text passes as it is.
class FieldTextValidator : public QValidator {
public:
    using QValidator::QValidator;
    State validate(QString &input, int &pos) const override;
    void setFilling(bool on) { filling_ = on; }

private:
    bool filling_ = false;
};

// "ＱＥＬ－５６００　" or "ＱＥＬ－５２００　" padded with blanks to 18 characters.
QString modelPrefix(bool is5600Series);

} // namespace qel
