// The operation type change: the "Z" exchange, detection afterwards, the
// refusal for a genuine 52X, and the dialog around it.
#include "TestRig.h"
#include "typechange/ui/TypeChangeDialog.h"

#include <QApplication>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QtTest>

using namespace qel;
using qel::test::Rig;

namespace {

const QString kCommTitle = QStringLiteral("ＱＥＬ－５６００　通信エラー");

// Bytes written on the line with the settings in force, "Z" exchange only.
QList<QPair<QByteArray, QString>> changeTraffic(const Rig &rig)
{
    QList<QPair<QByteArray, QString>> out;
    bool inChange = false;
    for (const auto &s : rig.ports.sent()) {
        if (s.bytes == "Z")
            inChange = true;
        if (inChange)
            out.append({s.bytes, s.settings});
        if (inChange && s.bytes == "E\r")
            break;
    }
    return out;
}

qint64 sentAt(const Rig &rig, const QByteArray &bytes, int nth)
{
    int seen = 0;
    for (const auto &s : rig.ports.sent())
        if (s.bytes == bytes && seen++ == nth)
            return s.atMs;
    return -1;
}

} // namespace

class TestTypeChange : public QObject {
    Q_OBJECT
private slots:
    void from5600To521IsFoundAt1200Baud()
    {
        Rig rig(5600);
        const auto r = rig.typeChange->ChangeType('1');
        QVERIFY(!r.refused && !r.noEcho && !r.aborted);
        QCOMPARE(r.detected, int(Type521));
        QCOMPARE(rig.st().DeviceType, int(Type521));
        QCOMPARE(rig.device.type(), 521);
        // The exchange runs at the speed of the type it worked as before.
        const auto traffic = changeTraffic(rig);
        QCOMPARE(traffic.size(), 3);
        QCOMPARE(traffic[0].first, QByteArray("Z"));
        QCOMPARE(traffic[1].first, QByteArray("1\r"));
        QCOMPARE(traffic[2].first, QByteArray("E\r"));
        for (const auto &t : traffic)
            QCOMPARE(t.second, QStringLiteral("9600,n,8,1"));
        // Detected again at 1200 baud, identity taken from the image.
        QVERIFY(baudFromSettings(rig.ports.sent().last().settings) == 1200);
        QCOMPARE(rig.rec().field(32).trimmed(), QByteArray("20345"));
        QCOMPARE(rig.rec().field(34), QByteArray("01.00"));
        QVERIFY(rig.st().Is5600Series);
        QCOMPARE(rig.ports.openPorts(), 0);
        QVERIFY(rig.boxes.shown.isEmpty());
        QCOMPARE(rig.clock.emptyYields(), 0); // every wait had a tick coming
    }

    void from527BackTo5600ReadsTheIdentification()
    {
        Rig rig(527);
        rig.device.setSerial(20345); // a 5600 working as a 527
        const auto r = rig.typeChange->ChangeType('4');
        QCOMPARE(r.detected, int(Type5600));
        QCOMPARE(rig.device.type(), 5600);
        const auto traffic = changeTraffic(rig);
        QCOMPARE(traffic.size(), 3);
        QCOMPARE(traffic[1].first, QByteArray("4\r"));
        QCOMPARE(traffic[0].second, QStringLiteral("1200,n,8,1"));
        QVERIFY(rig.commands().contains("RV\r"));
        QCOMPARE(rig.rec().field(34), QByteArray("01.00"));
        QVERIFY(rig.boxes.shown.isEmpty());
    }

    void genuine52XIsRefused5600()
    {
        Rig rig(521); // serial below 20000
        const auto r = rig.typeChange->ChangeType('4');
        QVERIFY(r.refused);
        QCOMPARE(rig.boxes.shown.size(), 1);
        QCOMPARE(rig.boxes.shown[0].text, QStringLiteral("QEL-5200はQEL-5600モードにできません"));
        QCOMPARE(rig.boxes.shown[0].title, applicationTitle());
        QCOMPARE(rig.boxes.shown[0].icon, MsgIcon::None);
        QVERIFY(!rig.commands().contains("Z"));
        QCOMPARE(rig.device.type(), 521);
        QCOMPARE(rig.ports.openPorts(), 0);
        // 521 <-> 527 is allowed all the same.
        QCOMPARE(rig.typeChange->ChangeType('7').detected, int(Type527));
    }

    void lateEchoOfZ()
    {
        // An echo within the 100 ticks is taken at once.
        {
            Rig rig(5600);
            rig.device.addFault({"Z", sim::SimFault::Delay, 1, {}, 700});
            QCOMPARE(rig.typeChange->ChangeType('7').detected, int(Type527));
            QCOMPARE(rig.commands().count("Z"), 1);
        }
        // A later one: "Z" again after the 100-tick wait and a 10-tick pause.
        {
            Rig rig(5600);
            rig.device.addFault({"Z", sim::SimFault::Delay, 1, {}, 1500});
            QCOMPARE(rig.typeChange->ChangeType('7').detected, int(Type527));
            QCOMPARE(rig.commands().count("Z"), 2);
            const qint64 gap = sentAt(rig, "Z", 1) - sentAt(rig, "Z", 0);
            QVERIFY2(gap >= 1120 && gap <= 1140, qPrintable(QString::number(gap)));
            QVERIFY(rig.boxes.shown.isEmpty());
        }
    }

    void wrongEchoIsRepeated()
    {
        Rig rig(5600);
        rig.device.addFault({"Z", sim::SimFault::Wrong, 2, "?\r"});
        QCOMPARE(rig.typeChange->ChangeType('1').detected, int(Type521));
        QCOMPARE(rig.commands().count("Z"), 3);
    }

    void thirtyUnansweredZEndTheChange()
    {
        Rig rig(5600);
        rig.device.addFault({"Z", sim::SimFault::Silence, -1});
        const auto r = rig.typeChange->ChangeType('1');
        QVERIFY(r.noEcho);
        QCOMPARE(rig.commands().count("Z"), 30);
        QCOMPARE(rig.commands().last(), QByteArray("Z")); // no digit, no new detection
        QCOMPARE(rig.boxes.shown.size(), 1);
        QCOMPARE(rig.boxes.shown[0].title, kCommTitle);
        QCOMPARE(rig.ports.openPorts(), 0);
        QCOMPARE(rig.device.type(), 5600);
        QCOMPARE(rig.terminations, 0);
        QCOMPARE(rig.clock.emptyYields(), 0);
    }

    void abortInTheDetectionEndsTheProgram()
    {
        Rig rig(5600);
        rig.ports.devicePort = 2; // nothing on port 1
        rig.boxes.answers = {MsgResult::Abort};
        const auto r = rig.typeChange->ChangeType('1');
        QVERIFY(r.aborted);
        QCOMPARE(rig.terminations, 1);
        QVERIFY(!rig.commands().contains("Z"));
    }

    void dialogExecuteShowsTheTypeFoundAndCloses()
    {
        Rig rig(5600);
        int modeDsp = 0, verDsp = 0;
        rig.ctx->hooks.ModeTypeDsp = [&] { ++modeDsp; };
        rig.ctx->hooks.VerDsp = [&] { ++verDsp; };
        TypeChangeDialog dlg(*rig.ctx, *rig.typeChange);
        dlg.show();
        dlg.options[1]->setChecked(true);
        bool disabledDuring = false;
        rig.clock.onYield = [&] {
            disabledDuring = disabledDuring || (!dlg.Command1->isEnabled() && !dlg.Command2->isEnabled());
            return false;
        };
        dlg.Command1->click();
        QVERIFY(disabledDuring);
        QCOMPARE(rig.device.type(), 527);
        QVERIFY(dlg.options[1]->isChecked());
        QVERIFY(dlg.isHidden());
        QVERIFY(dlg.Command1->isEnabled() && dlg.Command2->isEnabled());
        QCOMPARE(modeDsp, 1);
        QCOMPARE(verDsp, 1);
        QVERIFY(rig.store.values.contains(QStringLiteral("QEL-5600/TypeChange/Top")));
        QVERIFY(rig.store.values.contains(QStringLiteral("QEL-5600/TypeChange/Width")));
        QVERIFY(!QApplication::overrideCursor());
    }

    void dialogWithNothingSelectedAsksFor5600()
    {
        Rig rig(527);
        rig.device.setSerial(20345);
        TypeChangeDialog dlg(*rig.ctx, *rig.typeChange);
        dlg.Command1_Click();
        QVERIFY(rig.commands().contains("4\r"));
        QVERIFY(dlg.options[2]->isChecked());
    }

    void dialogRefusalKeepsTheOptionAndCloses()
    {
        Rig rig(521);
        TypeChangeDialog dlg(*rig.ctx, *rig.typeChange);
        dlg.selectByType(Type5600);
        dlg.show();
        dlg.Command1_Click();
        QCOMPARE(rig.boxes.shown.size(), 1);
        QVERIFY(dlg.options[2]->isChecked());
        QVERIFY(dlg.isHidden());
        QVERIFY(dlg.Command1->isEnabled());
    }

    void dialogCancelSelectsTheKnownTypeAndSendsNothing()
    {
        Rig rig(5600);
        TypeChangeDialog dlg(*rig.ctx, *rig.typeChange);
        dlg.options[0]->setChecked(true);
        rig.st().DeviceType = Type527;
        dlg.show();
        dlg.Command2->click();
        QVERIFY(dlg.options[1]->isChecked());
        QVERIFY(dlg.isHidden());
        rig.st().DeviceType = TypeNone; // no option changes for an unknown type
        dlg.Command2_Click();
        QVERIFY(dlg.options[1]->isChecked());
        QVERIFY(rig.commands().isEmpty());
    }

    void dialogEscapeAndFrameCancelFocusOnTheChoice()
    {
        Rig rig(5600);
        rig.st().DeviceType = Type5600;
        QWidget main;
        main.setGeometry(300, 200, 600, 380);
        TypeChangeDialog dlg(*rig.ctx, *rig.typeChange, &main);
        dlg.selectByType(Type5600);
        dlg.show();
        // Opened the first time, it sits over the middle of the main window,
        // with the keyboard on the selected type (Space keeps it).
        QVERIFY(std::abs(dlg.geometry().center().x() - main.geometry().center().x()) <= 1);
        QVERIFY(std::abs(dlg.geometry().center().y() - main.geometry().center().y()) <= 1);
        QCOMPARE(dlg.focusWidget(), dlg.options[2]);
        // An unconfirmed choice left by Escape or by the frame is not kept.
        dlg.options[0]->setChecked(true);
        QTest::keyClick(&dlg, Qt::Key_Escape);
        QVERIFY(dlg.isHidden());
        QVERIFY(dlg.options[2]->isChecked());
        dlg.show();
        dlg.options[1]->setChecked(true);
        dlg.close();
        QVERIFY(dlg.options[2]->isChecked());
        QVERIFY(rig.commands().isEmpty());
        QVERIFY(!rig.store.values.contains(QStringLiteral("QEL-5600/TypeChange/Top")));
    }

    void storedPositionKeepsTheFrameOnTheScreen()
    {
        Rig rig(5600);
        rig.store.values.insert(QStringLiteral("QEL-5600/TypeChange/Top"), QStringLiteral("999999"));
        rig.store.values.insert(QStringLiteral("QEL-5600/TypeChange/Left"), QStringLiteral("999999"));
        TypeChangeDialog dlg(*rig.ctx, *rig.typeChange);
        dlg.show();
        // The whole frame on the screen (the window's own edge at the
        // screen's edge would leave the bottom of its frame below it).
        const QRect screen = QGuiApplication::primaryScreen()->geometry();
        const QRect frame = dlg.frameGeometry();
        QVERIFY(frame.bottom() <= screen.bottom() && frame.right() <= screen.right());
        QVERIFY(frame.bottom() > screen.bottom() - 80);
    }
};

QTEST_MAIN(TestTypeChange)
#include "test_typechange.moc"
