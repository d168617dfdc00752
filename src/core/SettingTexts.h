#pragma once
// The settings chosen from a list, in the order of their codes "0", "1", ...:
// what the settings screen offers, the printout prints and the listing
// explains. One table, so that the three never disagree.

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

namespace qel {

struct ChoiceText {
    QString ja;           // as the screen shows it
    const char *en = "";  // the listing's English, beside the Japanese
};

const QList<ChoiceText> &predictionChoices(); // F13, dynamic prediction DF0..DF7
const QList<ChoiceText> &eventInChoices();    // F14, event-in function
const QList<ChoiceText> &eventOutChoices();   // F25, event-out function

// The entry for a one-digit code; nullptr for anything else.
const ChoiceText *choiceFor(const QList<ChoiceText> &table, const QByteArray &code);
// An entry as the windows and the printout show it, in the program's
// language (Japanese unless a translation is installed).
QString shownText(const ChoiceText &c);
QStringList shownTexts(const QList<ChoiceText> &table);

} // namespace qel
