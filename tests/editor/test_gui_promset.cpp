// The main window on the in-process converter and the virtual clock: start-up,
// the display of the record, the editing rules, the buttons and the ends.

#include "TestRig.h"
#include "core/Codes.h"
#include "core/Settings.h"
#include "core/Language.h"
#include "core/ui/OpningTitle.h"
#include "editor/ui/PromSet.h"
#include "files/DataFile.h"
#include "monitor/ui/Monitor.h"
#include "typechange/ui/TypeChangeDialog.h"

#include <QAccessible>
#include <QCheckBox>
#include <QComboBox>
#include <QFileInfo>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QtTest>

using namespace qel;
using namespace qel::test;

namespace {

// Watches what the main window looks like when the port window is asked for.
class WatchingDialogs : public FakeDialogs {
public:
    using FakeDialogs::FakeDialogs;
    bool choosePort() override
    {
        if (window)
            mainVisibleAtPortChoice = window->isVisible();
        return FakeDialogs::choosePort();
    }
    QWidget *window = nullptr;
    bool mainVisibleAtPortChoice = true;
};

class RecordingHelp : public HelpViewer {
public:
    void contents(const QString &f) override { calls << QStringLiteral("contents:") + f; }
    void partialKey(const QString &f, const QString &k) override
    {
        calls << QStringLiteral("key:") + f + QLatin1Char('=') + k;
    }
    void quit(const QString &f) override { calls << QStringLiteral("quit:") + f; }
    QStringList calls;
};

struct Screen {
    explicit Screen(int type = 5600) : rig(type)
    {
        rig.ctx->platform.help = &help;
        w = std::make_unique<PromSet>(*rig.ctx, *rig.engine, *rig.typeChange);
        w->endProgram = [this] { ++ends; };
        w->showTypeChange = [this] { ++typeChanges; };
    }
    ~Screen()
    {
        if (w->monitor())
            w->monitor()->close();
    }
    QByteArray f(int n) { return rig.rec().field(n); }
    bool buttonsEnabled() const
    {
        return w->Command1->isEnabled() && w->Command2->isEnabled() && w->Command3->isEnabled()
            && w->Command4->isEnabled() && w->Command5->isEnabled() && w->Command6->isEnabled();
    }
    bool anyButtonEnabled() const
    {
        return w->Command1->isEnabled() || w->Command2->isEnabled() || w->Command3->isEnabled()
            || w->Command4->isEnabled() || w->Command5->isEnabled() || w->Command6->isEnabled();
    }
    // Records, on every yield, whether a button was enabled.
    void watchButtons()
    {
        rig.clock.onYield = [this] {
            ++yieldsSeen;
            if (anyButtonEnabled())
                enabledDuringWait = true;
            return false;
        };
    }
    QStringList storedKeys() const { return rig.store.values.keys(); }

    Rig rig;
    RecordingHelp help;
    std::unique_ptr<PromSet> w;
    int ends = 0;
    int typeChanges = 0;
    int yieldsSeen = 0;
    bool enabledDuringWait = false;
};

// A record with every settings field away from its default.
void fillDevice(ParameterRecord &r)
{
    const std::pair<int, const char *> fields[] = {
        {1, "1"},      {2, "12345"}, {4, "-"},  {5, "3"},  {6, "S"},      {7, "07"},
        {8, "00250"},  {9, "004"},   {10, "08"}, {11, "1"}, {12, "1"},     {13, "6"},
        {14, "1"},     {15, "00500"}, {17, "-"}, {18, "2"}, {19, "S"},     {20, "00020"},
        {22, "-"},     {23, "1"},    {24, "S"},  {25, "1"}, {26, "00777"}, {28, "-"},
        {29, "4"},     {30, "S"},
    };
    for (const auto &[n, v] : fields)
        r.setField(n, v);
}

} // namespace

class TestGuiPromSet : public QObject {
    Q_OBJECT
private slots:
    void firstRunAsksForThePortBeforeTheWindowShows();
    void startWithoutDeviceAndRetryOnAnotherPort();
    void abortInDetectionEndsTheProgram();
    void readFillsEveryControl();
    void displayOn527RestrictsControls();
    void displayRulesOfTheRecord();
    void identityAndTitle();
    void editingRules();
    void inputMethodTextAsTheFieldHoldsIt_data();
    void inputMethodTextAsTheFieldHoldsIt();
    void buttonsDisabledDuringEveryTransfer();
    void writeStoresEditAndUpdateDate();
    void writeRefusals();
    void monitorDefersCommands();
    void monitorButtonRefusedWhileEngineHoldsLine();
    void resetKeepsIdentity();
    void endsStoreWhatEachShould();
    void helpMenus();
    void controlsCarryTheirNames();
    void reachableByKeyboardAndScreenReader();
    void enterPressesTheButtonThatHasTheKeyboard();
    void startFileIsLoadedAfterTheRead();
    void fontFollowsTheDesktopScale();
    void languageFollowsTheLocale_data();
    void languageFollowsTheLocale();
};

void TestGuiPromSet::firstRunAsksForThePortBeforeTheWindowShows()
{
    Screen s;
    WatchingDialogs dialogs(s.rig.st());
    dialogs.window = s.w.get();
    dialogs.portChoices = {1};
    s.rig.ctx->platform.dialogs = &dialogs;
    s.rig.st().CommPortNo = 0; // nothing stored

    OpningTitle title(*s.rig.ctx);
    const qint64 t0 = s.rig.clock.nowMs();
    title.Form_Load(s.w.get(), [&] { s.w->Form_Load(); });

    QCOMPARE(dialogs.portDialogs, 1);
    QVERIFY(!dialogs.mainVisibleAtPortChoice);
    QCOMPARE(s.rig.st().CommPortNo, 1);
    QCOMPARE(s.rig.st().DeviceType, int(Type5600));
    // Identification first, then the read.
    const QList<QByteArray> cmds = s.rig.commands();
    QVERIFY(cmds.contains("RV\r"));
    QVERIFY(cmds.contains("RP02\r"));
    QVERIFY(cmds.indexOf("RV\r") < cmds.lastIndexOf("RP02\r"));
    QCOMPARE(s.w->Text1->text(), QString::fromLatin1(s.rig.device.record().field(2)));
    QCOMPARE(s.w->Label3->text(), QStringLiteral("20345"));
    QVERIFY(s.w->isVisible());
    QVERIFY(!title.isVisible());
    QVERIFY(title.Picture1->pixmap().isNull()); // its memory is given back
    QCOMPARE(title.helpFile, QStringLiteral("qel-5600.hlp"));
    // The title stays about a second after the load.
    QVERIFY(s.rig.clock.nowMs() - t0 >= 500);
    QVERIFY(s.buttonsEnabled());
}

void TestGuiPromSet::startWithoutDeviceAndRetryOnAnotherPort()
{
    Screen s;
    s.rig.store.values.insert(QStringLiteral("QEL-5600/CommPort/No."), QStringLiteral("2"));
    // Nothing on COM2: the detection box; Retry, choose COM1.
    s.rig.boxes.answers = {MsgResult::Retry};
    s.rig.dialogs->portChoices = {1};
    s.w->Form_Load();
    QCOMPARE(s.rig.dialogs->portDialogs, 1); // from the Retry, not from a first run
    QCOMPARE(s.rig.st().DeviceType, int(Type5600));
    QCOMPARE(s.w->Label3->text(), QStringLiteral("20345"));

    // Nothing anywhere, Ignore: the window opens with the defaults.
    Screen none;
    none.rig.ports.devicePort = 4;
    none.rig.boxes.answers = {MsgResult::Ignore};
    none.w->Form_Load();
    QCOMPARE(none.rig.st().DeviceType, int(TypeNone));
    QCOMPARE(none.w->Text1->text(), QStringLiteral("01000"));
    QCOMPARE(none.w->Label3->text(), QStringLiteral(" - - - "));
    QCOMPARE(none.w->windowTitle(), QStringLiteral("ＱＥＬ－５６００　設定変更"));
    QCOMPARE(none.rig.terminations, 0);
    QVERIFY(none.buttonsEnabled());
}

void TestGuiPromSet::abortInDetectionEndsTheProgram()
{
    Screen s;
    s.rig.ports.devicePort = 4;
    s.rig.boxes.answers = {MsgResult::Abort};
    s.w->Form_Load();
    QCOMPARE(s.rig.terminations, 1);
    QVERIFY(!s.rig.commands().contains("RP02\r"));
}

void TestGuiPromSet::readFillsEveryControl()
{
    Screen s;
    s.rig.st().DeviceType = Type5600;
    fillDevice(s.rig.device.record());
    s.w->Command1_Click();
    PromSet &w = *s.w;

    QCOMPARE(w.Option1[1]->isChecked(), true);
    QCOMPARE(w.Text1->text(), QStringLiteral("12345"));
    QCOMPARE(w.Combo1->currentText(), QStringLiteral("-"));
    QCOMPARE(w.Text2->text(), QStringLiteral("3"));
    QCOMPARE(w.Option2[1]->isChecked(), true);
    QCOMPARE(w.Text3->text(), QStringLiteral("07"));
    QCOMPARE(w.Text4->text(), QStringLiteral("00250"));
    QCOMPARE(w.Text5->text(), QStringLiteral("004"));
    QCOMPARE(w.Text6->text(), QStringLiteral("08"));
    QCOMPARE(w.Check1->isChecked(), true);
    QCOMPARE(w.Check2->isChecked(), true);
    QCOMPARE(w.Combo2->currentText(), QStringLiteral("High  ×2"));
    QCOMPARE(w.Option5[1]->isChecked(), true);
    QCOMPARE(w.Label23->text(), QStringLiteral("上限スケール"));
    QVERIFY(!w.Text7->isHidden() && !w.Text9->isHidden());
    QCOMPARE(w.Text7->text(), QStringLiteral("00500"));
    QCOMPARE(w.Combo3->currentText(), QStringLiteral("-"));
    QCOMPARE(w.Text8->text(), QStringLiteral("2"));
    QCOMPARE(w.Option6[1]->isChecked(), true);
    QCOMPARE(w.Text9->text(), QStringLiteral("00020"));
    QCOMPARE(w.Combo4->currentText(), QStringLiteral("-"));
    QCOMPARE(w.Text10->text(), QStringLiteral("1"));
    QCOMPARE(w.Option7[1]->isChecked(), true);
    QCOMPARE(w.Option8[1]->isChecked(), true);
    QCOMPARE(w.Text11->text(), QStringLiteral("00777"));
    QCOMPARE(w.Combo5->currentText(), QStringLiteral("-"));
    QCOMPARE(w.Text12->text(), QStringLiteral("4"));
    QCOMPARE(w.Option9[1]->isChecked(), true);
    QCOMPARE(w.Label1->text(), QString());
    QCOMPARE(w.Label16->text(), QStringLiteral("ｍｓ"));
    // A well-formed record comes through the display unchanged.
    QCOMPARE(s.rig.rec().bytes().left(54), s.rig.device.record().bytes().left(54));
}

void TestGuiPromSet::displayOn527RestrictsControls()
{
    Screen s;
    s.rig.st().DeviceType = Type527;
    s.rig.rec().setField(14, "2");
    s.w->DspData();
    QCOMPARE(s.f(14), QByteArray("0"));
    QVERIFY(s.w->Option5[0]->isChecked());
    QWidget *restricted[] = {s.w->Text5, s.w->Text6, s.w->Check1, s.w->Check2,
                             s.w->Option5[1], s.w->Option5[2], s.w->Label17, s.w->Label18};
    for (QWidget *r : restricted)
        QVERIFY2(!r->isEnabled(), qPrintable(r->objectName()));
    QCOMPARE(s.w->Label23->text(), QStringLiteral("サブスケール"));
    QVERIFY(!s.w->Text7->isHidden() && !s.w->Frame6->isHidden());
    QVERIFY(s.w->Text9->isHidden() && s.w->Frame7->isHidden() && s.w->Label25->isHidden());

    // Back on a 5600 the same controls come back; F14 "1" stays.
    s.rig.st().DeviceType = Type5600;
    s.rig.rec().setField(14, "1");
    s.w->DspData();
    QCOMPARE(s.f(14), QByteArray("1"));
    for (QWidget *r : restricted)
        QVERIFY(r->isEnabled());
    // Type unknown: the enabling is left as it is.
    s.rig.st().DeviceType = Type527;
    s.w->DspData();
    s.rig.st().DeviceType = TypeNone;
    s.rig.rec().setField(14, "2");
    s.w->DspData();
    QVERIFY(!s.w->Text5->isEnabled());
    QCOMPARE(s.f(14), QByteArray("2"));
}

void TestGuiPromSet::displayRulesOfTheRecord()
{
    Screen s;
    s.rig.st().DeviceType = Type5600;
    s.w->DspData();
    s.w->Option5_Click(1);
    QCOMPARE(s.w->Label23->text(), QStringLiteral("上限スケール"));

    // F14 "4": both groups hidden, the title of the upper group kept.
    s.rig.rec().setField(14, "4");
    s.w->DspData();
    QVERIFY(s.w->Option5[4]->isChecked());
    QVERIFY(s.w->Text7->isHidden() && s.w->Text9->isHidden() && s.w->Label23->isHidden());
    QCOMPARE(s.w->Label23->text(), QStringLiteral("上限スケール"));

    // "6" from a 52X image: no option, groups as they were.
    s.rig.rec().setField(14, "6");
    s.w->DspData();
    for (auto *o : s.w->Option5)
        QVERIFY(!o->isChecked());
    QVERIFY(s.w->Text7->isHidden());
    QCOMPARE(s.f(14), QByteArray("6"));

    // A blank check field shows the box cleared; a 52X moving average "1 "
    // comes out zero-padded; a sign that is neither leaves the record alone.
    s.rig.rec().setField(11, " ");
    s.rig.rec().setField(10, "1 ");
    s.rig.rec().setField(17, "x");
    s.rig.rec().setField(2, "AB");
    s.w->DspData();
    QVERIFY(!s.w->Check1->isChecked());
    QCOMPARE(s.f(10), QByteArray("01"));
    QCOMPARE(s.f(17), QByteArray("x"));
    QCOMPARE(s.w->Combo3->currentIndex(), -1);
    QCOMPARE(s.f(2), QByteArray("AB   "));
    QCOMPARE(s.w->Text1->text(), QStringLiteral("AB   "));
    // Unknown units and modes leave their options as they were.
    s.w->Option2[1]->setChecked(true);
    s.rig.rec().setField(6, "Q");
    s.w->DspData();
    QVERIFY(s.w->Option2[1]->isChecked());
    QCOMPARE(s.f(6), QByteArray("Q"));
}

void TestGuiPromSet::identityAndTitle()
{
    Screen s;
    const QString title0 = s.w->windowTitle();

    // DeviceType 0: the title does not change.
    s.w->ModeTypeDsp();
    QCOMPARE(s.w->windowTitle(), title0);

    s.rig.rec().setField(32, "20001");
    s.rig.rec().setField(33, "13245");
    s.rig.rec().setField(34, "01.02");
    s.rig.rec().setField(31, "13300");
    s.w->VerDsp();
    QVERIFY(s.rig.st().Is5600Series);
    QCOMPARE(s.w->Label3->text(), QStringLiteral("20001"));
    QCOMPARE(s.w->Label5->text(), DateDeCord("13245"));
    QCOMPARE(s.w->Label7->text(), QStringLiteral("01.02"));
    QCOMPARE(s.w->Label13->text(), DateDeCord("13300"));

    s.rig.st().DeviceType = Type5600;
    s.w->ModeTypeDsp();
    QCOMPARE(s.w->windowTitle(), QStringLiteral("ＱＥＬ－５６００　") + QString(9, QLatin1Char(' '))
                                     + QStringLiteral("（５６００タイプ）　設定変更"));

    s.rig.rec().setField(32, "20000");
    s.w->VerDsp();
    QVERIFY(!s.rig.st().Is5600Series);
    QCOMPARE(s.w->Label3->text(), QStringLiteral("20000"));
    s.rig.st().DeviceType = Type521;
    s.w->ModeTypeDsp();
    QCOMPARE(s.w->windowTitle(), QStringLiteral("ＱＥＬ－５２００　") + QString(9, QLatin1Char(' '))
                                     + QStringLiteral("（５２１タイプ）　設定変更"));
    QCOMPARE(s.w->Label16->text(), QStringLiteral("×１０ｍｓ"));

    // A blank serial number: flag cleared, labels kept.
    s.rig.st().Is5600Series = true;
    s.rig.rec().setField(32, "     ");
    s.rig.rec().setField(34, "09.99");
    s.w->VerDsp();
    QVERIFY(!s.rig.st().Is5600Series);
    QCOMPARE(s.w->Label3->text(), QStringLiteral("20000"));
    QCOMPARE(s.w->Label7->text(), QStringLiteral("01.02"));
}

void TestGuiPromSet::editingRules()
{
    Screen s;
    s.w->show();
    s.rig.st().DeviceType = Type5600;
    s.w->DspData();
    PromSet &w = *s.w;

    w.Text1->selectAll();
    QTest::keyClicks(w.Text1, QStringLiteral("12"));
    QCOMPARE(w.Text1->text(), QStringLiteral("12"));
    QCOMPARE(s.f(2), QByteArray("00012"));

    w.Text4->clear();
    QCOMPARE(s.f(8), QByteArray("     "));

    w.Text2->selectAll();
    QTest::keyClicks(w.Text2, QStringLiteral("A"));
    QCOMPARE(s.f(5), QByteArray("A"));

    w.Text3->selectAll();
    QTest::keyClicks(w.Text3, QStringLiteral("-3"));
    QCOMPARE(s.f(7), QByteArray("-0"));

    // The box takes no more than its width from the keyboard.
    w.Text5->selectAll();
    QTest::keyClicks(w.Text5, QStringLiteral("12345"));
    QCOMPARE(w.Text5->text(), QStringLiteral("123"));
    QCOMPARE(s.f(9), QByteArray("123"));

    // The lists store on a pick.
    w.Combo2->setCurrentIndex(5);
    QTest::keyClick(w.Combo2, Qt::Key_Down);
    QCOMPARE(w.Combo2->currentText(), QStringLiteral("High  ×2"));
    QCOMPARE(s.f(13), QByteArray("6"));
    w.Combo4->setCurrentIndex(0);
    QTest::keyClick(w.Combo4, Qt::Key_Down);
    QCOMPARE(s.f(22), QByteArray("-"));

    w.Check1->click();
    QCOMPARE(s.f(11), QByteArray("1"));
    w.Check1->click();
    QCOMPARE(s.f(11), QByteArray("0"));

    w.Option2[1]->click();
    QCOMPARE(s.f(6), QByteArray("S"));
    w.Option8[1]->click();
    QCOMPARE(s.f(25), QByteArray("1"));
    w.Option1[1]->click();
    QCOMPARE(s.f(1), QByteArray("1"));

    w.SSTab1->setCurrentIndex(2);
    w.Option5[1]->click();
    QCOMPARE(s.f(14), QByteArray("1"));
    QCOMPARE(w.Label23->text(), QStringLiteral("上限スケール"));
    QVERIFY(w.Text7->isVisible() && w.Text9->isVisible());
    w.Option5[3]->click();
    QCOMPARE(s.f(14), QByteArray("3"));
    QVERIFY(!w.Text7->isVisible() && !w.Text9->isVisible());
    QCOMPARE(w.Label23->text(), QStringLiteral("上限スケール"));
    w.Option5[0]->click();
    QCOMPARE(w.Label23->text(), QStringLiteral("サブスケール"));
    QVERIFY(w.Text7->isVisible() && !w.Text9->isVisible());
}

void TestGuiPromSet::inputMethodTextAsTheFieldHoldsIt_data()
{
    // Text committed by a Japanese input method into an emptied box.
    QTest::addColumn<QString>("box");
    QTest::addColumn<int>("field");
    QTest::addColumn<QString>("commit");
    QTest::addColumn<QString>("shown");
    QTest::addColumn<QByteArray>("stored");
    QTest::newRow("full-width digits") << "Text1" << 2 << "１２" << "12" << QByteArray("00012");
    QTest::newRow("full-width sign") << "Text3" << 7 << "－３" << "-3" << QByteArray("-0");
    QTest::newRow("full-width letter") << "Text2" << 5 << "Ａ" << "A" << QByteArray("A");
    QTest::newRow("ideographic blank") << "Text4" << 8 << "　７" << " 7" << QByteArray("00007");
    QTest::newRow("kana is not taken") << "Text1" << 2 << "1あ" << "1" << QByteArray("00001");
    QTest::newRow("accented letter is not taken") << "Text2" << 5 << "é" << "" << QByteArray(" ");
}

void TestGuiPromSet::inputMethodTextAsTheFieldHoldsIt()
{
    QFETCH(QString, box);
    QFETCH(int, field);
    QFETCH(QString, commit);
    QFETCH(QString, shown);
    QFETCH(QByteArray, stored);
    Screen s;
    s.rig.st().DeviceType = Type5600;
    s.w->DspData();
    auto *t = s.w->findChild<QLineEdit *>(box);
    QVERIFY(t);
    t->clear();
    QInputMethodEvent ev;
    ev.setCommitString(commit);
    QCoreApplication::sendEvent(t, &ev);
    QCOMPARE(t->text(), shown);
    QCOMPARE(s.f(field), stored);
}

void TestGuiPromSet::buttonsDisabledDuringEveryTransfer()
{
    // A read on each generation, a read with nothing connected, a write and
    // a refused write: every one disables all six buttons while it waits and
    // enables them at its end.
    struct Case {
        int device;
        int type;
        bool unplug;
        bool write;
    };
    const Case cases[] = {
        {5600, Type5600, false, false}, {521, Type521, false, false}, {527, Type527, false, false},
        {5600, Type5600, true, false},  {5600, Type5600, false, true}, {5600, Type5600, true, true},
        {521, Type521, false, true},
    };
    // The device history's copy of a read is kept once the exchange is over
    // (RTS down), with the buttons off and the status line saying so.
    struct WatchingStore : jobs::NoStore {
        std::function<void()> seen;
        jobs::KeepResult keep(const jobs::Reading &) override
        {
            seen();
            return {};
        }
    };
    for (const Case &c : cases) {
        Screen s(c.device);
        s.rig.st().DeviceType = c.type;
        if (c.unplug) {
            s.rig.ports.devicePort = 4;
            s.rig.boxes.answers = {MsgResult::Ignore};
        }
        WatchingStore store;
        jobs::EditorHistory history(store, {}, {});
        s.w->history = &history;
        int keeps = 0;
        bool keptAfterTheExchange = false;
        store.seen = [&] {
            ++keeps;
            keptAfterTheExchange = !s.rig.engine->MSComm1().rts() && !s.anyButtonEnabled()
                && s.w->Label1->text() == QStringLiteral("デバイス履歴に保存中");
        };
        s.watchButtons();
        if (c.write)
            s.w->Command2_Click();
        else
            s.w->Command1_Click();
        const QString label = QStringLiteral("device %1 unplug %2 write %3")
                                  .arg(c.device).arg(c.unplug).arg(c.write);
        QVERIFY2(s.yieldsSeen > 0, qPrintable(label));
        QVERIFY2(!s.enabledDuringWait, qPrintable(label));
        QVERIFY2(s.buttonsEnabled(), qPrintable(label));
        QCOMPARE(s.w->Label1->text(), QString());
        QCOMPARE(keeps, c.write || c.unplug ? 0 : 1);
        QVERIFY2(keeps == 0 || keptAfterTheExchange, qPrintable(label));
    }
}

void TestGuiPromSet::writeStoresEditAndUpdateDate()
{
    Screen s;
    s.rig.st().DeviceType = Type5600;
    s.w->Command1_Click();
    s.w->Text1->setText(QStringLiteral("12"));
    s.w->Command2_Click();
    QCOMPARE(s.rig.device.record().field(2), QByteArray("00012"));
    QCOMPARE(s.w->Label13->text(), DateDeCord(DateEnCord(s.rig.clock.today())));
    QCOMPARE(s.w->Label1->text(), QString());
    QVERIFY(s.rig.boxes.shown.isEmpty());
    // A write leaves the controls as they were.
    QCOMPARE(s.w->Text1->text(), QStringLiteral("12"));
}

void TestGuiPromSet::writeRefusals()
{
    const struct {
        int type;
        QString line;
    } cases[] = {
        {Type5600, QStringLiteral("QEL-52XにはQEL-5600のパラメータは書き込めません")},
        {Type521, QStringLiteral("QEL-5600にはQEL-52Xのパラメータは書き込めません")},
        {Type527, QStringLiteral("QEL-5600にはQEL-52Xのパラメータは書き込めません")},
        {TypeNone, QString()},
    };
    for (const auto &c : cases) {
        Screen s;
        s.rig.ports.devicePort = 4; // nothing answers
        s.rig.st().DeviceType = c.type;
        s.w->Command2_Click();
        QCOMPARE(s.rig.boxes.shown.size(), 1);
        QCOMPARE(s.rig.boxes.shown[0].text, c.line + QStringLiteral("\n一度パラメータを読み込んで下さい"));
        QCOMPARE(s.rig.boxes.shown[0].icon, MsgIcon::None);
        QCOMPARE(s.rig.boxes.shown[0].buttons, MsgButtons::Ok);
        for (const auto &sent : s.rig.ports.sent())
            QVERIFY(!sent.bytes.startsWith("WP") && !sent.bytes.startsWith("W"));
        QVERIFY(s.buttonsEnabled());
    }

    // A setting holding a byte no command may carry (a CR from a file):
    // refused before anything goes on the line, the record as it was.
    Screen s;
    s.rig.st().DeviceType = Type5600;
    s.rig.rec().setField(8, QByteArray("1\rZ\r1"));
    const ParameterRecord before = s.rig.rec();
    s.w->Command2_Click();
    QCOMPARE(s.rig.boxes.shown.size(), 1);
    QVERIFY2(s.rig.boxes.shown[0].text.contains(QStringLiteral("F8")), qPrintable(s.rig.boxes.shown[0].text));
    QVERIFY(s.rig.ports.sent().isEmpty());
    QVERIFY(s.rig.rec() == before);
    QVERIFY(s.buttonsEnabled());
}

void TestGuiPromSet::monitorDefersCommands()
{
    Screen s;
    s.rig.st().DeviceType = Type5600;
    s.rig.st().MonitorActive = true;
    s.w->Command1_Click();
    QCOMPARE(s.rig.st().PendingCommand, Pending::Read);
    QVERIFY(s.rig.ports.sent().isEmpty());
    s.w->Command2_Click();
    QCOMPARE(s.rig.st().PendingCommand, Pending::Write);
    s.w->Command3_Click();
    QCOMPARE(s.rig.st().PendingCommand, Pending::TypeChange);
    QCOMPARE(s.typeChanges, 0);
    QVERIFY(s.rig.ports.sent().isEmpty());

    s.rig.st().MonitorActive = false;
    s.rig.st().PendingCommand = Pending::None;
    s.w->Command3_Click();
    QCOMPARE(s.typeChanges, 1);
}

void TestGuiPromSet::monitorButtonRefusedWhileEngineHoldsLine()
{
    Screen s;
    s.rig.st().DeviceType = Type5600;
    QVERIFY(s.rig.engine->OpenPort5600());
    s.w->Command5_Click();
    QCOMPARE(s.rig.boxes.shown.size(), 1);
    QCOMPARE(s.rig.boxes.shown[0].text, QStringLiteral("ﾌﾟﾛｸﾞﾗﾑﾓｰﾄﾞではありません。"));
    QCOMPARE(s.rig.boxes.shown[0].icon, MsgIcon::Exclamation);
    QVERIFY(!s.w->monitor()->isOpen());
    s.rig.engine->ClosePort();

    s.w->Command5_Click();
    QVERIFY(s.w->monitor()->isOpen());
    QCOMPARE(s.rig.boxes.shown.size(), 1);
}

void TestGuiPromSet::resetKeepsIdentity()
{
    Screen s;
    s.rig.st().DeviceType = Type5600;
    fillDevice(s.rig.device.record());
    s.w->Command1_Click();
    const QString serial = s.w->Label3->text();
    const QString created = s.w->Label5->text();
    const QByteArray identity = s.rig.rec().bytes().mid(54);
    QCOMPARE(serial, QStringLiteral("20345"));

    s.w->Command6_Click();
    ParameterRecord defaults;
    QCOMPARE(s.rig.rec().bytes().left(54), defaults.bytes().left(54));
    QCOMPARE(s.rig.rec().bytes().mid(54), identity);
    QCOMPARE(s.w->Text1->text(), QStringLiteral("01000"));
    QCOMPARE(s.w->Combo2->currentText(), QStringLiteral("Mid  ×4"));
    QVERIFY(s.w->Option5[0]->isChecked());
    QVERIFY(!s.w->Check1->isChecked());
    QCOMPARE(s.w->Label3->text(), serial);
    QCOMPARE(s.w->Label5->text(), created);
}

void TestGuiPromSet::endsStoreWhatEachShould()
{
    const QString pre = QStringLiteral("QEL-5600/");
    {
        // The menu's end: the main window and the port.
        Screen s;
        s.w->move(100, 50);
        s.rig.st().CommPortNo = 3;
        s.w->ProgEnd_Click();
        QCOMPARE(s.ends, 1);
        QCOMPARE(s.rig.store.values.value(pre + QStringLiteral("PromSet/Top")), QStringLiteral("750"));
        QCOMPARE(s.rig.store.values.value(pre + QStringLiteral("PromSet/Left")), QStringLiteral("1500"));
        QCOMPARE(s.rig.store.values.value(pre + QStringLiteral("PromSet/Width")),
                 QString::number(s.w->frameGeometry().width() * 15));
        QVERIFY(s.rig.store.values.contains(pre + QStringLiteral("PromSet/Height")));
        QCOMPARE(s.rig.store.values.value(pre + QStringLiteral("CommPort/No.")), QStringLiteral("3"));
        QVERIFY(!s.rig.store.values.contains(pre + QStringLiteral("Monitor/Top")));
        QVERIFY(s.help.calls.isEmpty());
    }
    {
        // The Exit button: also the monitor's position, and the help closed.
        // A monitor not opened in this run keeps the position stored before.
        Screen s;
        s.rig.st().CommPortNo = 2;
        s.rig.store.values.insert(pre + QStringLiteral("Monitor/Top"), QStringLiteral("1200"));
        s.rig.store.values.insert(pre + QStringLiteral("Monitor/Left"), QStringLiteral("2400"));
        s.w->Command4_Click();
        QCOMPARE(s.ends, 1);
        QVERIFY(s.rig.store.values.contains(pre + QStringLiteral("PromSet/Top")));
        for (const char *k : {"Top", "Left", "Height", "Width"})
            QVERIFY(s.rig.store.values.contains(pre + QStringLiteral("Monitor/") + QLatin1String(k)));
        QCOMPARE(s.rig.store.values.value(pre + QStringLiteral("Monitor/Top")), QStringLiteral("1200"));
        QCOMPARE(s.rig.store.values.value(pre + QStringLiteral("Monitor/Left")), QStringLiteral("2400"));
        QCOMPARE(s.rig.store.values.value(pre + QStringLiteral("CommPort/No.")), QStringLiteral("2"));
        QCOMPARE(s.help.calls, QStringList{QStringLiteral("quit:qel-5600.hlp")});
    }
    {
        // The window frame: the program ends, nothing stored.
        Screen s;
        s.w->show();
        s.w->close();
        QCOMPARE(s.ends, 1);
        QVERIFY(s.rig.store.values.isEmpty());
    }
    {
        // A store that fails: the end goes on.
        Screen s;
        s.rig.store.failing = true;
        s.w->Command4_Click();
        QCOMPARE(s.ends, 1);
    }
}

void TestGuiPromSet::helpMenus()
{
    Screen s;
    s.w->mnuHContents->trigger();
    s.w->mnuHSearch->trigger();
    QCOMPARE(s.help.calls, (QStringList{QStringLiteral("contents:qel-5600.hlp"),
                                         QStringLiteral("key:qel-5600.hlp=")}));
    int versions = 0;
    s.w->showVersion = [&] { ++versions; };
    s.w->PVER->trigger();
    QCOMPARE(versions, 1);
    s.w->mnuPortSelect->trigger();
    QCOMPARE(s.rig.dialogs->portDialogs, 1);
}

void TestGuiPromSet::controlsCarryTheirNames()
{
    // Tools that drive the windows find the controls by these names.
    Screen s;
    const char *const main[] = {
        "Command1", "Command2", "Command3", "Command4", "Command5", "Command6", "Label1",
        "Label3", "Label5", "Label7", "Label13", "SSTab1", "Text1", "Text2", "Text3", "Text4",
        "Text5", "Text6", "Text7", "Text8", "Text9", "Text10", "Text11", "Text12", "Combo1",
        "Combo2", "Combo3", "Combo4", "Combo5", "Check1", "Check2", "Frame1", "Frame2",
        "Frame3", "Frame4", "Frame5", "Frame6", "Frame7", "Label16", "Label23", "FileIO",
        "MeuOption", "help", "DataFileLoad", "DataFileSave", "DataLprint", "ProgEnd",
        "mnuPortSelect", "mnuHContents", "mnuHSearch", "PVER"};
    for (const char *name : main)
        QVERIFY2(s.w->findChild<QObject *>(QLatin1String(name)), name);
    TypeChangeDialog *tc = s.w->typeChangeDialog();
    QCOMPARE(tc->objectName(), QStringLiteral("TypeChange"));
    QCOMPARE(tc->windowTitle(), QStringLiteral("　タイプ変更"));
    for (const char *name : {"Frame1", "Option1", "Option2", "Option3", "Command1", "Command2"})
        QVERIFY2(tc->findChild<QWidget *>(QLatin1String(name)), name);
}

void TestGuiPromSet::reachableByKeyboardAndScreenReader()
{
    Screen s;
    // Every box is announced with its caption, not as a bare edit.
    const auto boxes = s.w->findChildren<QLineEdit *>();
    for (QLineEdit *t : boxes)
        QVERIFY2(!t->accessibleName().isEmpty(), qPrintable(t->objectName()));
    for (QComboBox *c : s.w->findChildren<QComboBox *>())
        QVERIFY2(!c->accessibleName().isEmpty(), qPrintable(c->objectName()));
    QCOMPARE(s.w->Text1->accessibleName(), QStringLiteral("フルスケール"));
    QCOMPARE(s.w->Label9->buddy(), s.w->Text1);
    QCOMPARE(s.w->Combo2->accessibleName(), QStringLiteral("ダイナミック予測"));
    // A list is announced by its caption, its entry as its value; the upper
    // scale row by the caption it shows (サブスケール for function 0).
    s.w->Option5_Click(0);
    const std::pair<QWidget *, QString> announced[] = {
        {s.w->Combo2, QStringLiteral("ダイナミック予測")},
        {s.w->Combo1, QStringLiteral("フルスケール 指数の符号")},
        {s.w->Combo3, QStringLiteral("サブスケール 指数の符号")},
        {s.w->Combo5, QStringLiteral("設定値 指数の符号")},
        {s.w->Text7, QStringLiteral("サブスケール")}};
    for (const auto &[control, name] : announced) {
        QAccessibleInterface *a = QAccessible::queryAccessibleInterface(control);
        QVERIFY(a);
        QCOMPARE(a->text(QAccessible::Name), name);
        if (auto *list = qobject_cast<QComboBox *>(control))
            QCOMPARE(a->text(QAccessible::Value), list->currentText());
    }

    // Keys reach the buttons and the tabs; the captions stay as they are.
    QCOMPARE(s.w->Command1->text(), QStringLiteral("読み出し"));
    QCOMPARE(s.w->Command5->text(), QStringLiteral("測定値ﾓﾆﾀ"));
    QList<QKeySequence> keys{QKeySequence(Qt::ALT | Qt::Key_F), QKeySequence(Qt::ALT | Qt::Key_S),
                             QKeySequence(Qt::ALT | Qt::Key_H), QKeySequence(Qt::ALT | Qt::Key_X)};
    for (QPushButton *b : {s.w->Command1, s.w->Command2, s.w->Command3, s.w->Command5, s.w->Command6}) {
        QVERIFY2(!b->shortcut().isEmpty() && !keys.contains(b->shortcut()), qPrintable(b->text()));
        QVERIFY(b->toolTip().contains(b->shortcut().toString(QKeySequence::NativeText)));
        keys << b->shortcut();
    }
    s.w->show();
    s.w->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(s.w.get()));
    QTest::keyClick(s.w.get(), Qt::Key_3, Qt::AltModifier);
    QCOMPARE(s.w->SSTab1->currentIndex(), 2);
    QTest::keyClick(s.w.get(), Qt::Key_1, Qt::AltModifier);
    QCOMPARE(s.w->SSTab1->currentIndex(), 0);
}

void TestGuiPromSet::enterPressesTheButtonThatHasTheKeyboard()
{
    // Enter (the main keyboard's or the keypad's) on a button presses it, in
    // the main window as in the type-change dialog; on an option it presses
    // nothing (the dialog has no default button).
    struct Case {
        const char *what;
        std::function<QWidget *(Screen &)> target;
        Qt::KeyboardModifiers modifiers;
        std::function<bool(Screen &)> pressed;
        bool expected;
    };
    auto dialog = [](Screen &s) {
        TypeChangeDialog *d = s.w->typeChangeDialog();
        d->selectByType(Type5600);
        d->open();
        return d;
    };
    const Case cases[] = {
        {"読み出し", [](Screen &s) { return s.w->Command1; }, Qt::NoModifier,
         [](Screen &s) { return s.rig.commands().contains("RP02\r"); }, true},
        {"リセット, keypad", [](Screen &s) { return s.w->Command6; }, Qt::KeypadModifier,
         [](Screen &s) { return s.f(2) == "01000"; }, true},
        {"タイプ変更", [](Screen &s) { return s.w->Command3; }, Qt::NoModifier,
         [](Screen &s) { return s.typeChanges == 1; }, true},
        {"キャンセル", [&](Screen &s) { return dialog(s)->Command2; }, Qt::NoModifier,
         [](Screen &s) { return !s.w->typeChangeDialog()->isVisible(); }, true},
        {"an option", [&](Screen &s) { return static_cast<QWidget *>(dialog(s)->options[0]); }, Qt::NoModifier,
         [](Screen &s) {
             return !s.w->typeChangeDialog()->isVisible() || !s.rig.ports.sent().isEmpty();
         }, false},
    };
    for (const Case &c : cases) {
        Screen s;
        s.rig.st().DeviceType = Type5600;
        s.rig.rec().setField(2, "12345");
        s.w->show();
        QWidget *target = c.target(s);
        target->setFocus();
        QTest::keyClick(target, c.modifiers ? Qt::Key_Enter : Qt::Key_Return, c.modifiers);
        QVERIFY2(c.pressed(s) == c.expected, c.what);
        s.w->typeChangeDialog()->hide();
    }
}

void TestGuiPromSet::startFileIsLoadedAfterTheRead()
{
    // The file named on the command line replaces what the start read; one
    // that does not load is told, and the window keeps the read settings.
    QTemporaryDir dir;
    ParameterRecord onDisk;
    onDisk.setField(2, "04321");
    QString error;
    const QString good = dir.filePath(QStringLiteral("cabinet4.pdt"));
    QVERIFY(saveDataFile(good, onDisk, error));
    const QString shortFile = dir.filePath(QStringLiteral("short.pdt"));
    QFile f(shortFile);
    QVERIFY(f.open(QIODevice::WriteOnly) && f.write("0012345") == 7);
    f.close();
    const QString folder = QStringLiteral("QEL-5600/DataFile/Folder");
    for (const QString &path : {good, shortFile, dir.filePath(QStringLiteral("missing.pdt"))}) {
        Screen s;
        s.w->Form_Load();
        const ParameterRecord read = s.rig.rec();
        s.w->loadStartFile(path);
        QVERIFY(s.rig.commands().contains("RP02\r"));
        if (path == good) {
            QCOMPARE(s.w->Text1->text(), QStringLiteral("04321"));
            QCOMPARE(s.f(2), QByteArray("04321"));
            QVERIFY(s.rig.boxes.shown.isEmpty());
            // The load dialog opens in its folder next time.
            QCOMPARE(s.rig.st().LastDataPath, dir.path());
            QCOMPARE(s.rig.store.values.value(folder), dir.path());
        } else {
            QCOMPARE(s.rig.boxes.shown.size(), 1);
            QVERIFY2(s.rig.boxes.shown[0].text.contains(QDir::toNativeSeparators(path)), qPrintable(s.rig.boxes.shown[0].text));
            QVERIFY(s.rig.rec() == read);
            QCOMPARE(s.w->Text1->text(), QString::fromLatin1(read.field(2)));
            QVERIFY(!s.rig.store.values.contains(folder));
        }
    }
}

void TestGuiPromSet::fontFollowsTheDesktopScale()
{
    // A desktop set to three times the text size: the 9-point windows follow
    // and the boxes and lists still show all they hold.
    const QFont desktop = QApplication::font();
    QFont big = desktop;
    big.setPointSizeF(27);
    QApplication::setFont(big);
    Screen s;
    QApplication::setFont(desktop);
    QCOMPARE(s.w->font().pointSizeF(), 27.0);
    const QFontMetrics fm(s.w->Text1->font());
    QVERIFY(s.w->Text1->width() > fm.horizontalAdvance(QStringLiteral("00000")) + 12);
    QVERIFY(s.w->Combo1->width() >= s.w->Combo1->minimumSizeHint().width());
}

void TestGuiPromSet::languageFollowsTheLocale_data()
{
    QTest::addColumn<QString>("locale");
    QTest::addColumn<QStringList>("texts"); // title, four tabs, six buttons, first menu, a list entry
    const QStringList japanese{
        QStringLiteral("ＱＥＬ－５６００　設定変更"), QStringLiteral("基本機能"),
        QStringLiteral("付加機能"), QStringLiteral("イベントイン"), QStringLiteral("イベントアウト"),
        QStringLiteral("読み出し"), QStringLiteral("書き込み"), QStringLiteral("タイプ変更"),
        QStringLiteral("測定値ﾓﾆﾀ"), QStringLiteral("リセット"), QStringLiteral("終了 [&X]"),
        QStringLiteral("ファイル [&F]"), QStringLiteral("デュアルレンジ")};
    QTest::newRow("ja_JP") << QStringLiteral("ja_JP") << japanese;
    QTest::newRow("C") << QStringLiteral("C") << japanese;
    QTest::newRow("de_DE") << QStringLiteral("de_DE") << japanese;
    QTest::newRow("en_US")
        << QStringLiteral("en_US")
        << QStringList{QStringLiteral("QEL-5600 Settings"), QStringLiteral("Basic"),
                       QStringLiteral("Additional"), QStringLiteral("Event In"),
                       QStringLiteral("Event Out"), QStringLiteral("Read"), QStringLiteral("Write"),
                       QStringLiteral("Change Type"), QStringLiteral("Monitor"),
                       QStringLiteral("Reset"), QStringLiteral("Exit [&X]"), QStringLiteral("&File"),
                       QStringLiteral("Dual Range")};
}

void TestGuiPromSet::languageFollowsTheLocale()
{
    QFETCH(QString, locale);
    QFETCH(QStringList, texts);
    // The translation is built beside the program.
    const QString folder = QFileInfo(QString::fromLocal8Bit(qgetenv("QEL_SETTINGS"))).absolutePath();
    QVERIFY(installLanguage(QLocale(locale), folder));
    Screen s;
    removeLanguage();
    QStringList shown{s.w->windowTitle()};
    for (int i = 0; i < s.w->SSTab1->count(); ++i)
        shown << s.w->SSTab1->tabText(i);
    for (QPushButton *b : {s.w->Command1, s.w->Command2, s.w->Command3, s.w->Command5,
                           s.w->Command6, s.w->Command4})
        shown << b->text();
    shown << s.w->FileIO->title() << s.w->Option5[0]->text();
    QCOMPARE(shown, texts);
    // The record never follows the language: the prediction list stores the
    // same code in either.
    s.w->Combo2->setCurrentIndex(1);
    s.w->Combo2_Click();
    QCOMPARE(s.f(13), QByteArray("1"));
}

QTEST_MAIN(TestGuiPromSet)
#include "test_gui_promset.moc"
