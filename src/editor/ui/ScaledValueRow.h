#pragma once
// One scaled value of the settings screen: its caption, the mantissa box,
// "E", the sign list, the exponent box and the Hz/sec pair, bound to the five
// fields from its first (mantissa, "E", sign, exponent digit, unit). The
// screen keeps its own names for the controls and their handlers; the
// handlers hand each change to the row, which writes it into the record.

#include "core/ParamRecord.h"

#include <QString>
#include <array>
#include <functional>
#include <tuple>

class QComboBox;
class QGridLayout;
class QGroupBox;
class QLabel;
class QLineEdit;
class QRadioButton;

namespace qel {

class ScaledValueRow {
public:
    // The controls' names, as the screen names them.
    struct Names {
        const char *caption, *mantissa, *e, *sign, *exponent, *frame, *unit;
    };
    // The screen's handlers for the four editable controls.
    struct Handlers {
        std::function<void()> mantissaChange, signClick, exponentChange;
        std::function<void(int)> unitClick;
    };

    // Builds the controls into `row` of `grid` (columns 0-5).
    ScaledValueRow(ParameterRecord &rec, int firstField, QGridLayout *grid, int row,
                   const Names &names, const QString &caption, Handlers handlers);

    // What the handlers do: the control's text into its field.
    void takeMantissa();
    void takeSign();
    void takeExponent();
    void takeUnit(int index);

    // Shows the record's fields; each control raises its handler as an edit
    // does (a sign or unit that is neither choice leaves its control empty).
    void show();
    // Shows or hides the whole row.
    void setVisible(bool visible);
    // A new caption for the row, its controls named after it.
    void setCaption(const QString &text);

    QLabel *caption;
    QLineEdit *mantissa;
    QLabel *e;
    QComboBox *sign;
    QLineEdit *exponent;
    QGroupBox *frame;
    std::array<QRadioButton *, 2> unit;
    // The controls in the order of Names, for std::tie.
    auto controls() { return std::tie(caption, mantissa, e, sign, exponent, frame, unit); }

private:
    ParameterRecord &rec_;
    int first_;
    Handlers handlers_;
};

} // namespace qel
