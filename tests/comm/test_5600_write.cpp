// The 5600 parameter write against the simulated converter on the virtual clock.
#include "TestRig.h"
#include "comm/Comm5600.h"
#include "comm/MemoryImage.h"
#include "editor/PartialWrite.h"

#include <QtTest>

using namespace qel;
using namespace qel::test;
using qel::sim::SimFault;

namespace {

std::unique_ptr<Rig> rig5600()
{
    auto r = std::make_unique<Rig>(5600);
    r->st().DeviceType = Type5600;
    r->st().ReplyTimeoutTicks = 15;
    r->st().Is5600Series = true;
    r->clock.setToday(QDate(2003, 5, 7)); // date code 1707
    r->rec().setField(31, "1500");
    r->rec().setField(34, "01.20");
    return r;
}

const QString kRefusedText = QStringLiteral("設定範囲外です。\n設定値を確認してください。");
const QString kUnexpectedText = QStringLiteral("予期せぬエラーが発生しました。");
const QString kSettingTitle = QStringLiteral("ＱＥＬ－５６００　設定エラー");

} // namespace

class Write5600Test : public QObject {
    Q_OBJECT
private slots:
    void writesEveryCommandInOrder();
    void valueForms_data();
    void valueForms();
    void wrongRepliesAreRetriedPerCommand_data();
    void wrongRepliesAreRetriedPerCommand();
    void refusalLeavesModeAndKeepsOldDate_data();
    void refusalLeavesModeAndKeepsOldDate();
    void timeOutSendsNothingMore_data();
    void timeOutSendsNothingMore();
    void silentDeviceGetsOnlyTheQuery();
    void cutAfterStep_data();
    void cutAfterStep();
};

void Write5600Test::writesEveryCommandInOrder()
{
    auto r = rig5600();
    ParameterRecord &rec = r->rec();
    rec.setField(1, "1");
    rec.setField(2, "12345");
    rec.setField(4, "-");
    rec.setField(5, "3");
    rec.setField(6, "S");
    rec.setField(7, "7"); // a short field goes out with its trailing blank

    QCOMPARE(r->engine->WriteData56(), CommResult::Ok);
    const QList<QByteArray> expected = {
        "Q",          "M",          "WP01,1\r",       "WP02,12345E-3S\r", "WP03,7 \r",
        "WP11,00001\r", "WP12,001\r", "WP13,01\r",     "WP14,0\r",         "WP15,0\r",
        "WP16,4\r",   "WP21,0\r",   "WP22,00100E+0H\r", "WP23,00001E+0H\r", "WP31,0\r",
        "WP32,00001E+0H\r", "WP41,1707 \r", "E\r"};
    QCOMPARE(r->commands(), expected);
    QCOMPARE(rec.field(31), QByteArray("1707 "));
    QVERIFY(r->boxes.shown.isEmpty());
    QCOMPARE(r->ports.openPorts(), 0);
    QVERIFY(!r->device.inSettingMode());
    QCOMPARE(r->device.record().field(2), QByteArray("12345"));
    QCOMPARE(r->device.record().field(31).left(4), QByteArray("1707"));
}

void Write5600Test::valueForms_data()
{
    QTest::addColumn<QByteArray>("version");
    QTest::addColumn<QByteArray>("digit");
    QTest::addColumn<QByteArray>("wp02");
    QTest::addColumn<QByteArray>("wp22");
    QTest::newRow("01.00, exponent 0: short") << QByteArray("01.00") << QByteArray("0")
                                              << QByteArray("WP02,01000H\r")
                                              << QByteArray("WP22,00100H\r");
    QTest::newRow("01.00, exponent 1: full") << QByteArray("01.00") << QByteArray("1")
                                             << QByteArray("WP02,01000E+1H\r")
                                             << QByteArray("WP22,00100H\r");
    QTest::newRow("other version: full") << QByteArray("01.01") << QByteArray("0")
                                         << QByteArray("WP02,01000E+0H\r")
                                         << QByteArray("WP22,00100E+0H\r");
}

void Write5600Test::valueForms()
{
    QFETCH(QByteArray, version);
    QFETCH(QByteArray, digit);
    QFETCH(QByteArray, wp02);
    QFETCH(QByteArray, wp22);
    auto r = rig5600();
    r->rec().setField(34, version);
    r->rec().setField(5, digit);
    QCOMPARE(r->engine->WriteData56(), CommResult::Ok);
    QCOMPARE(r->commands().at(3), wp02);
    QCOMPARE(r->commands().at(12), wp22);
}

void Write5600Test::wrongRepliesAreRetriedPerCommand_data()
{
    QTest::addColumn<QByteArray>("command");
    QTest::addColumn<int>("wrongReplies");
    QTest::addColumn<int>("sends");
    QTest::addColumn<bool>("ok");
    QTest::newRow("WP21 twice wrong: tolerated") << QByteArray("WP21") << 2 << 3 << true;
    QTest::newRow("WP21 thrice wrong") << QByteArray("WP21") << 3 << 3 << false;
    QTest::newRow("WP22 once wrong: tolerated") << QByteArray("WP22") << 1 << 2 << true;
    QTest::newRow("WP22 twice wrong: no third send") << QByteArray("WP22") << 2 << 2 << false;
    QTest::newRow("M thrice wrong") << QByteArray("M") << 3 << 3 << false;
    QTest::newRow("WP41 thrice wrong") << QByteArray("WP41") << 3 << 3 << false;
}

void Write5600Test::wrongRepliesAreRetriedPerCommand()
{
    QFETCH(QByteArray, command);
    QFETCH(int, wrongReplies);
    QFETCH(int, sends);
    QFETCH(bool, ok);
    auto r = rig5600();
    r->device.addFault(fault(command.constData(), SimFault::Wrong, wrongReplies, "X\r"));

    QCOMPARE(r->engine->WriteData56(), ok ? CommResult::Ok : CommResult::Unexpected);
    int count = 0;
    for (const QByteArray &c : r->commands())
        count += c.startsWith(command) ? 1 : 0;
    QCOMPARE(count, sends);
    QCOMPARE(r->commands().last(), QByteArray("E\r")); // the setting mode is left
    if (ok) {
        QVERIFY(r->boxes.shown.isEmpty());
        QCOMPARE(r->rec().field(31), QByteArray("1707 "));
    } else {
        QCOMPARE(r->boxes.shown.size(), 1);
        QCOMPARE(r->boxes.shown[0].text, kUnexpectedText);
        QCOMPARE(r->boxes.shown[0].title, kSettingTitle);
        QCOMPARE(r->rec().field(31), QByteArray("1500 "));
    }
    QCOMPARE(r->ports.openPorts(), 0);
}

void Write5600Test::refusalLeavesModeAndKeepsOldDate_data()
{
    QTest::addColumn<QByteArray>("command");
    QTest::addColumn<QByteArray>("next");
    QTest::newRow("WP11 refused") << QByteArray("WP11") << QByteArray("WP12");
    QTest::newRow("WP41 refused") << QByteArray("WP41") << QByteArray();
}

void Write5600Test::refusalLeavesModeAndKeepsOldDate()
{
    QFETCH(QByteArray, command);
    QFETCH(QByteArray, next);
    auto r = rig5600();
    r->device.addFault(fault(command.constData(), SimFault::Refuse));

    QCOMPARE(r->engine->WriteData56(), CommResult::Refused);
    const QList<QByteArray> cmds = r->commands();
    QCOMPARE(cmds.last(), QByteArray("E\r"));
    QVERIFY(cmds.at(cmds.size() - 2).startsWith(command));
    if (!next.isEmpty()) {
        for (const QByteArray &c : cmds)
            QVERIFY(!c.startsWith(next));
    }
    QCOMPARE(r->boxes.shown.size(), 1);
    QCOMPARE(r->boxes.shown[0].text, kRefusedText);
    QCOMPARE(r->boxes.shown[0].title, kSettingTitle);
    QCOMPARE(r->rec().field(31), QByteArray("1500 "));
    QVERIFY(!r->device.inSettingMode());
}

void Write5600Test::timeOutSendsNothingMore_data()
{
    QTest::addColumn<QByteArray>("command");
    QTest::newRow("M") << QByteArray("M");
    QTest::newRow("WP13") << QByteArray("WP13");
    QTest::newRow("WP41") << QByteArray("WP41");
}

void Write5600Test::timeOutSendsNothingMore()
{
    QFETCH(QByteArray, command);
    auto r = rig5600();
    r->device.addFault(fault(command.constData(), SimFault::Silence));

    QCOMPARE(r->engine->WriteData56(), CommResult::TimedOut);
    QVERIFY(r->commands().last().startsWith(command));
    QCOMPARE(r->boxes.shown.size(), 1);
    QCOMPARE(r->boxes.shown[0].title, QStringLiteral("ＱＥＬ－５６００　通信エラー"));
    QCOMPARE(r->rec().field(31), QByteArray("1500 "));
    QCOMPARE(r->ports.openPorts(), 0);
    if (command != "M")
        QVERIFY(r->device.inSettingMode());
}

void Write5600Test::silentDeviceGetsOnlyTheQuery()
{
    auto r = rig5600();
    r->device.addFault(fault("Q", SimFault::Silence));
    const ParameterRecord before = r->rec();
    QCOMPARE(r->engine->WriteData56(), CommResult::NoAnswer);
    QCOMPARE(r->commands(), QList<QByteArray>{"Q"});
    QVERIFY(r->boxes.shown.isEmpty());
    QCOMPARE(r->rec(), before);
    QCOMPARE(r->ports.openPorts(), 0);
}

void Write5600Test::cutAfterStep_data()
{
    QTest::addColumn<int>("type");
    QTest::addColumn<QByteArray>("at");  // the command the fault meets
    QTest::addColumn<int>("kind");       // SimFault::Kind
    QTest::addColumn<int>("accepted");   // settings the converter took before
    QTest::addColumn<int>("stop");       // WriteProgress::Stop
    QTest::addColumn<QString>("where");  // the line naming the step; empty: the message alone
    const int drop = SimFault::Drop, lost = WriteProgress::LineLost;
    QTest::newRow("line lost at the mode entry") << 5600 << QByteArray("M") << drop << 0 << lost << QString();
    QTest::newRow("line lost at the first setting")
        << 5600 << QByteArray("WP01") << drop << 0 << lost
        << QStringLiteral("書き込みは最初の設定「測定モード」（F1）で止まりました（回線が切れました）。");
    QTest::newRow("line lost after two")
        << 5600 << QByteArray("WP03") << drop << 2 << lost
        << QStringLiteral("書き込みは 15 項目中 2 項目目「フルスケール」（F2-F6）の後、「バイアス」（F7）で止まりました（回線が切れました）。");
    QTest::newRow("no reply after ten")
        << 5600 << QByteArray("WP22") << int(SimFault::Silence) << 10 << int(WriteProgress::NoReply)
        << QStringLiteral("書き込みは 15 項目中 10 項目目「イベントイン」（F14）の後、「上限スケール」（F15-F19）で止まりました（応答がありません）。");
    QTest::newRow("refused after thirteen")
        << 5600 << QByteArray("WP32") << int(SimFault::Refuse) << 13 << int(WriteProgress::Refused)
        << QStringLiteral("書き込みは 15 項目中 13 項目目「イベントアウト」（F25）の後、「設定値」（F26-F30）で止まりました（機器が受け付けませんでした）。");
    QTest::newRow("wrong replies after eight")
        << 5600 << QByteArray("WP16") << int(SimFault::Wrong) << 8 << int(WriteProgress::WrongReply)
        << QStringLiteral("書き込みは 15 項目中 8 項目目「ステップレス」（F12）の後、「ダイナミック予測」（F13）で止まりました（予期せぬ応答がありました）。");
    QTest::newRow("line lost after the last setting")
        << 5600 << QByteArray("WP41") << drop << 14 << lost
        << QStringLiteral("機器には新しい設定がすべて書き込まれていますが、更新日は元のままの可能性があります。");
    QTest::newRow("first setting refused: nothing new held")
        << 5600 << QByteArray("WP01") << int(SimFault::Refuse) << 0 << int(WriteProgress::Refused) << QString();
    QTest::newRow("52X image, line lost")
        << 521 << QByteArray("W") << drop << 0 << lost
        << QStringLiteral("機器の設定は新しい設定か元の設定のどちらかです（応答がありませんでした）。");
}

// A write cut at each kind of step: the converter holds exactly the
// settings accepted before it, the result and the progress say so, and the
// message box shows the described text with the step, what the converter
// holds and the copy that restores it under it.
void Write5600Test::cutAfterStep()
{
    QFETCH(int, type);
    QFETCH(QByteArray, at);
    QFETCH(int, kind);
    QFETCH(int, accepted);
    QFETCH(int, stop);
    QFETCH(QString, where);
    auto r = type == 5600 ? rig5600() : std::make_unique<Rig>(type);
    if (type != 5600) {
        r->st().DeviceType = Type521;
        QCOMPARE(r->engine->Read52X(), CommResult::Ok);
        DecodeMemoryImage(r->st());
    }
    const ParameterRecord before = r->device.record();
    // Every setting other than the device's, so each accepted one shows.
    ParameterRecord &rec = r->rec();
    const std::pair<int, const char *> changes[] = {
        {1, "1"}, {2, "02000"}, {7, "5"}, {8, "00002"}, {9, "002"}, {10, "02"}, {11, "1"},
        {12, "1"}, {13, "3"}, {14, "1"}, {15, "00200"}, {20, "00002"}, {25, "1"}, {26, "00002"}};
    for (const auto &[f, v] : changes)
        rec.setField(f, v);
    rec.setField(34, before.field(34));
    const ParameterRecord written = rec;
    KeptCopy copy{QStringLiteral("/h/5600-20345/20030507-101500.pdt"), QStringLiteral("5600"),
                  QStringLiteral("20345")};
    r->ctx->platform.writeStopNote = [&](const AppState &st) {
        return writeStopLines(st, restoreHint(copy, {}), true).join(u'\n');
    };
    r->device.addFault(fault(at.constData(), SimFault::Kind(kind), kind == SimFault::Wrong ? 3 : 1, "X\r"));

    const CommResult result = type == 5600 ? r->engine->WriteData56() : r->engine->Writedata52();
    const WriteProgress &p = r->st().LastWrite;
    QCOMPARE(int(p.stop), stop);
    QCOMPARE(p.accepted, accepted);
    QCOMPARE(result, stop == WriteProgress::Refused      ? CommResult::Refused
                     : stop == WriteProgress::WrongReply ? CommResult::Unexpected
                                                         : CommResult::TimedOut);
    if (type == 5600) {
        const QList<QByteArray> held = WriteCommands56(r->device.record()), want = WriteCommands56(written),
                                old = WriteCommands56(before);
        for (int i = 0; i < held.size(); ++i)
            QCOMPARE(held[i], i < accepted ? want[i] : old[i]);
    } else {
        QCOMPARE(r->device.record().field(2), before.field(2));
    }

    QCOMPARE(r->boxes.shown.size(), 1);
    const QStringList lines = r->boxes.shown[0].text.split(u'\n');
    const QString described = stop == WriteProgress::Refused      ? kRefusedText
                              : stop == WriteProgress::WrongReply ? kUnexpectedText
                                                                  : QStringLiteral("QEL-5600と通信ができません。\n電源、通信線を確認してください。");
    QVERIFY(r->boxes.shown[0].text.startsWith(described));
    if (stop == WriteProgress::LineLost)
        QVERIFY2(r->boxes.shown[0].text.contains(QStringLiteral("\nCOM1: 回線が切れました")),
                 qPrintable(r->boxes.shown[0].text));
    if (where.isEmpty()) {
        QVERIFY2(!r->boxes.shown[0].text.contains(QStringLiteral("書き込みは")), qPrintable(r->boxes.shown[0].text));
        return;
    }
    QVERIFY2(lines.contains(where), qPrintable(r->boxes.shown[0].text));
    QCOMPARE(lines.last(), QStringLiteral("元の設定は /h/5600-20345/20030507-101500.pdt にあります。"
                                          "戻すには: qelctl restore 20345 --at 20030507-101500"));
}

QTEST_GUILESS_MAIN(Write5600Test)
#include "test_5600_write.moc"
