#include "PartialWrite.h"

#include "files/SettingsListing.h"

#include <QCoreApplication>

namespace qel {

namespace {

// A text in English (qelctl) or the program's (Japanese, translated).
struct Say {
    bool program;
    QString operator()(const char *en, const char *ja) const
    {
        return program ? QCoreApplication::translate("qel::PartialWrite", ja) : QString::fromUtf8(en);
    }
};

// The setting of `rec` whose first field is `field`: "Frequency division
// ratio (F9)" / "「分周比」（F9）".
QString settingName(const ParameterRecord &rec, int field, int type, const Say &say)
{
    const QString f = QStringLiteral("F%1").arg(field);
    // The program names a setting as its screen does; where that speaks
    // English (the pattern is translated), by its English name.
    const char *pattern = QT_TRANSLATE_NOOP("qel::PartialWrite", "「%1」（%2）");
    const QString shown = say("%1 (%2)", pattern);
    const bool japanese = shown == QString::fromUtf8(pattern);
    for (const SettingEntry &e : describeRecord(rec, type))
        if (e.fields == f || e.fields.startsWith(f + u'-'))
            return shown.arg(japanese ? e.nameJa : e.name, e.fields);
    return f;
}

QString cause(const WriteProgress &p, const Say &say)
{
    switch (p.stop) {
    case WriteProgress::NoReply:
        return say("no reply in time", QT_TRANSLATE_NOOP("qel::PartialWrite", "応答がありません"));
    case WriteProgress::LineLost:
        if (!say.program && !p.where.isEmpty())
            return p.where;
        return say("the line went away", QT_TRANSLATE_NOOP("qel::PartialWrite", "回線が切れました"));
    case WriteProgress::Refused:
        return say("the converter refused it (\"?\")",
                   QT_TRANSLATE_NOOP("qel::PartialWrite", "機器が受け付けませんでした"));
    case WriteProgress::WrongReply:
        if (!say.program)
            return QStringLiteral("wrong replies (the last \"%1\")")
                .arg(QString::fromLatin1(p.reply).replace(u'\r', QStringLiteral("\\r")));
        return QCoreApplication::translate("qel::PartialWrite", "予期せぬ応答がありました");
    default:
        return {};
    }
}

bool replyLost(const WriteProgress &p)
{
    return p.stop == WriteProgress::NoReply || p.stop == WriteProgress::LineLost;
}

} // namespace

RestoreHint restoreHint(const KeptCopy &copy, const QString &port)
{
    if (copy.path.isEmpty())
        return {};
    QString command = QStringLiteral("qelctl ");
    if (!port.isEmpty())
        command += QStringLiteral("--port %1 ").arg(port);
    QString at = copy.name();
    at.chop(4); // .pdt
    return {copy.path, command + QStringLiteral("restore %1 --at %2").arg(copy.serial, at)};
}

bool stoppedPartWay(const AppState &st)
{
    const WriteProgress &p = st.LastWrite;
    return p.stopField != 0 && p.stop != WriteProgress::Done && p.stop != WriteProgress::ModeExit
        && (p.accepted > 0 || replyLost(p));
}

QStringList writeStopLines(const AppState &st, const RestoreHint &hint, bool program)
{
    const WriteProgress &p = st.LastWrite;
    const Say say{program};
    const bool partWay = stoppedPartWay(st);
    // The program's message box says enough when nothing new reached the converter.
    if (p.stop == WriteProgress::Done || (program && !partWay))
        return {};
    if (p.stop == WriteProgress::NotStarted)
        return {QStringLiteral("the converter did not answer; nothing was written")};
    if (p.stop == WriteProgress::ModeExit)
        return {QStringLiteral("the converter took all %1 settings, the update date included, but did not "
                               "leave its setting mode")
                    .arg(p.total)};
    if (p.stopField == 0)
        return {QStringLiteral("the converter did not enter its setting mode (%1); nothing was written")
                    .arg(cause(p, say))};

    QStringList lines;
    const int type = st.DeviceType;
    const QString at = settingName(st.ParamRecord, p.stopField, type, say);
    if (p.total == 1) {
        // A 52X takes its whole image in one command: all of it, or none.
        lines << say("the write stopped at the memory image (every setting in one command): %1",
                     QT_TRANSLATE_NOOP("qel::PartialWrite", "書き込み（メモリーイメージ、全設定を一度に）で止まりました（%1）。"))
                     .arg(cause(p, say));
        lines << (replyLost(p)
                      ? say("the converter holds either all the new settings or all its previous ones "
                            "(its reply never came)",
                            QT_TRANSLATE_NOOP("qel::PartialWrite", "機器の設定は新しい設定か元の設定のどちらかです（応答がありませんでした）。"))
                      : QStringLiteral("the converter kept its previous settings"));
    } else {
        if (p.accepted == 0)
            lines << say("the write stopped at its first setting, %1: %2",
                         QT_TRANSLATE_NOOP("qel::PartialWrite", "書き込みは最初の設定%1で止まりました（%2）。"))
                         .arg(at, cause(p, say));
        else
            lines << say("the write stopped after setting %1 of %2, %3, at %4: %5",
                         QT_TRANSLATE_NOOP("qel::PartialWrite", "書き込みは %2 項目中 %1 項目目%3の後、%4で止まりました（%5）。"))
                         .arg(p.accepted)
                         .arg(p.total)
                         .arg(settingName(st.ParamRecord, p.lastField, type, say), at, cause(p, say));
        if (p.stopField == 31)
            lines << say("the converter holds every new setting; its update date may be the old one",
                         QT_TRANSLATE_NOOP("qel::PartialWrite", "機器には新しい設定がすべて書き込まれていますが、更新日は元のままの可能性があります。"));
        else if (!partWay)
            lines << QStringLiteral("nothing of the new settings reached the converter");
        else if (replyLost(p))
            lines << say("the converter now holds part of the new settings: the first %1 of %2, perhaps %3 too "
                         "(its reply never came)",
                         QT_TRANSLATE_NOOP("qel::PartialWrite", "機器には新しい設定の一部（%2 項目中、最初の %1 項目。%3も書き込まれた可能性があります）だけが書き込まれています。"))
                         .arg(p.accepted)
                         .arg(p.total)
                         .arg(at);
        else
            lines << say("the converter now holds part of the new settings: the first %1 of %2",
                         QT_TRANSLATE_NOOP("qel::PartialWrite", "機器には新しい設定の一部（%2 項目中、最初の %1 項目）だけが書き込まれています。"))
                         .arg(p.accepted)
                         .arg(p.total);
    }
    if (!partWay)
        return lines;
    if (hint.path.isEmpty())
        lines << say("the device history holds no copy of its previous settings",
                     QT_TRANSLATE_NOOP("qel::PartialWrite", "元の設定のコピーはデバイス履歴にありません。"));
    else
        lines << say("its previous settings are in %1; to put them back: %2",
                     QT_TRANSLATE_NOOP("qel::PartialWrite", "元の設定は %1 にあります。戻すには: %2"))
                     .arg(hint.path, hint.command);
    return lines;
}

} // namespace qel
