#pragma once
// Every setting of the record once, in the printed list's order (the
// identification first): its field, names, width, kind and the values it
// may take. The listing of `show` and its JSON, `diff` and `check`, what a
// stopped write names and the printout go through the table; the screen,
// the printout and the listing take the settings chosen from a list from
// the lists here, in the order of their codes "0", "1", ..., so that they
// never disagree.

#include "ParamRecord.h"

#include <QList>
#include <QString>
#include <QStringList>

namespace qel {

struct ChoiceText {
    QString ja;           // as the screen shows it
    const char *en = "";  // the listing's English, beside the Japanese
};

const QList<ChoiceText> &measurementChoices(); // F1, measurement mode
const QList<ChoiceText> &predictionChoices(); // F13, dynamic prediction DF0..DF7
const QList<ChoiceText> &eventInChoices();    // F14, event-in function
const QList<ChoiceText> &eventOutChoices();   // F25, event-out function

// The entry for a one-digit code; nullptr for anything else.
const ChoiceText *choiceFor(const QList<ChoiceText> &table, const QByteArray &code);
// An entry as the windows and the printout show it, in the program's
// language (Japanese unless a translation is installed).
QString shownText(const ChoiceText &c);
QStringList shownTexts(const QList<ChoiceText> &table);

enum class SettingKind {
    Number,     // decimal digits
    Percent,    // decimal digits, percent of span
    UpdateTime, // decimal digits in the type's time unit
    Scaled,     // five fields: mantissa, "E", sign, exponent digit, unit "H"/"S"
    Choice,     // one digit: the entry of `choices` with that code
    Prediction, // one digit: DF0..DF7 of `choices`
    OnOff,      // "0" off, "1" on
    Date,       // a date code
    Version,    // the firmware version as the device gives it
};

struct SettingSection {
    const char *title;      // the listing's
    const char *printTitle; // the printout's section title (qel::FileCommands); nullptr: in the heading
    int rule;               // the "─" after printTitle
};

struct SettingDef {
    const SettingSection *section;
    const char *key;    // the JSON key
    const char *name;   // in English
    const char *nameJa; // as the screen names it
    int field;          // its (first) field
    SettingKind kind;
    const QList<ChoiceText> &(*choices)() = nullptr; // the values of a Choice or Prediction
    const char *printLabel = nullptr;                // the printout's label (qel::FileCommands)
    const char *printTexts[2] = {}; // the printout's own words for "0" and "1" (qel::FileCommands)
    const char *printE = nullptr;   // the printout's text before the exponent; nullptr: " E"
    const char *usedWhen = nullptr; // the event-in functions (F14) that use it; nullptr: always used
    // Its names under dual range (F14 "0"), where they are others.
    const char *dualName = nullptr, *dualNameJa = nullptr, *dualPrintLabel = nullptr;

    int lastField() const { return field + (kind == SettingKind::Scaled ? 4 : 0); }
    // Its characters over all its fields, and how many they are.
    int width() const
    {
        return ParameterRecord::offset(lastField()) + ParameterRecord::width(lastField()) - ParameterRecord::offset(field);
    }
    QByteArray raw(const ParameterRecord &rec) const { return rec.bytes().mid(ParameterRecord::offset(field), width()); }
    bool usedWith(const QByteArray &f14) const
    {
        return !usedWhen || (f14.size() == 1 && QByteArray(usedWhen).contains(f14[0]));
    }
    bool dualWith(const QByteArray &f14) const { return dualName && f14 == "0"; }
};

const QList<SettingDef> &settingTable();

} // namespace qel
