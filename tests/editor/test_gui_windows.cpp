// The small windows and the widget-side platform pieces: the port window,
// the version window, the title wait, the file dialog helpers, the message
// boxes and the help viewer.

#include "TestRig.h"
#include "core/ui/OpningTitle.h"
#include "core/ui/PortSelect.h"
#include "core/ui/VersionNo.h"
#include "platform/QtSerialPort.h"
#include "typechange/ui/TypeChangeDialog.h"
#include "platform/ui/QtDialogs.h"
#include "platform/ui/QtHelpViewer.h"
#include "platform/ui/QtMessageBoxes.h"

#include <QAccessible>
#include <QApplication>
#include <QCheckBox>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTextBrowser>
#include <QTreeWidget>
#include <QTimer>
#include <QtTest>
#include <cmath>

using namespace qel;
using namespace qel::test;

namespace {

// The seconds-of-day clock of a real day: it goes back to 0 at midnight.
class DayClock : public Clock {
public:
    explicit DayClock(VirtualClock &v) : v_(v) {}
    std::unique_ptr<Timer> createTimer() override { return v_.createTimer(); }
    void yield() override { v_.yield(); }
    qint64 nowMs() const override { return v_.nowMs(); }
    QDate today() const override { return v_.today(); }
    double secondsOfDay() const override { return std::fmod(v_.secondsOfDay(), 86400.0); }

private:
    VirtualClock &v_;
};

QString helpFolder()
{
    // The help file is copied beside the program when it is built.
    const QString program = QString::fromLocal8Bit(qgetenv("QEL_SETTINGS"));
    return program.isEmpty() ? QString() : QFileInfo(program).absolutePath();
}

} // namespace

class TestGuiWindows : public QObject {
    Q_OBJECT
private slots:
    void portSelectPreselection();
    void portSelectStoresOnlyOnOk();
    void portSelectCentredOverMainWindow();
    void portSelectFoundPorts();
    void fixedWindowsHaveNoMinimiseOrMaximise();
    void versionText();
    void titleWait();
    void fileDialogHelpers();
    void messageBoxAnswers();
    void helpViewerKeywords();
    void helpViewerMissingFile();
};

void TestGuiWindows::portSelectPreselection()
{
    {
        Rig rig;
        PortSelect p(*rig.ctx);
        p.Form_Load();
        QVERIFY(p.Option1->isChecked());
        QCOMPARE(rig.st().CommPortNo, 1);
        QCOMPARE(p.windowTitle(), QStringLiteral("通信ポート設定"));
    }
    {
        Rig rig;
        rig.store.values.insert(QStringLiteral("QEL-5600/CommPort/No."), QStringLiteral("3"));
        PortSelect p(*rig.ctx);
        p.Option1->setChecked(true);
        p.Form_Load();
        QVERIFY(p.Option3->isChecked());
        QVERIFY(!p.Option1->isChecked());
    }
    {
        Rig rig;
        rig.store.values.insert(QStringLiteral("QEL-5600/CommPort/No."), QStringLiteral("9"));
        PortSelect p(*rig.ctx);
        p.Form_Load();
        for (QRadioButton *o : {p.Option1, p.Option2, p.Option3, p.Option4})
            QVERIFY(!o->isChecked());
        QCOMPARE(rig.st().CommPortNo, 9);
        p.Option4->click();
        QCOMPARE(rig.st().CommPortNo, 4);
    }
}

void TestGuiWindows::portSelectStoresOnlyOnOk()
{
    Rig rig;
    rig.store.values.insert(QStringLiteral("QEL-5600/CommPort/No."), QStringLiteral("1"));
    {
        // COM2 picked, the window closed by its frame: in force for this
        // run, not stored.
        PortSelect p(*rig.ctx);
        p.Form_Load();
        p.show();
        p.Option2->click();
        QCOMPARE(rig.st().CommPortNo, 2);
        p.reject();
        QCOMPARE(rig.store.values.value(QStringLiteral("QEL-5600/CommPort/No.")), QStringLiteral("1"));
        QVERIFY(!rig.store.values.contains(QStringLiteral("QEL-5600/PortSelect/Top")));
    }
    {
        PortSelect p(*rig.ctx);
        QTimer::singleShot(0, &p, [&] {
            p.Option3->click();
            p.Command1->click();
        });
        QVERIFY(p.run());
        QCOMPARE(rig.st().CommPortNo, 3);
        QCOMPARE(rig.store.values.value(QStringLiteral("QEL-5600/CommPort/No.")), QStringLiteral("3"));
        for (const char *k : {"Top", "Left", "Height", "Width"})
            QVERIFY(rig.store.values.contains(QStringLiteral("QEL-5600/PortSelect/") + QLatin1String(k)));
    }
}

void TestGuiWindows::portSelectCentredOverMainWindow()
{
    Rig rig;
    QWidget main;
    main.setGeometry(100, 80, 600, 400);
    // A stored position is replaced by the centring.
    rig.store.values.insert(QStringLiteral("QEL-5600/PortSelect/Top"), QStringLiteral("0"));
    PortSelect p(*rig.ctx, &main);
    p.Form_Load();
    const QRect m = main.frameGeometry();
    const QRect f = p.frameGeometry();
    QVERIFY(std::abs(f.center().x() - m.center().x()) <= 1);
    QVERIFY(std::abs(f.center().y() - m.center().y()) <= 1);

    VersionNo v(&main);
    v.Form_Load();
    QVERIFY(std::abs(v.frameGeometry().center().x() - m.center().x()) <= 1);
    QVERIFY(std::abs(v.frameGeometry().center().y() - m.center().y()) <= 1);
}

void TestGuiWindows::portSelectFoundPorts()
{
    const QString ftdi = QStringLiteral("/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A1B2C3-if00-port0");
    const QString gone = QStringLiteral("/dev/serial/by-id/usb-Prolific_PL2303-if00-port0");
    Rig rig;
    rig.store.values.insert(QStringLiteral("QEL-5600/CommPort/No."), QStringLiteral("2"));
    rig.store.values.insert(QStringLiteral("QEL-5600/DevicePath/COM2"), gone); // unplugged
    PortMap map(&rig.store);
    FixedPortList list({{QStringLiteral("/dev/ttyUSB0"), ftdi, QStringLiteral("FT232R USB UART"),
                         QStringLiteral("FTDI"), QStringLiteral("A1B2C3")},
                        {PortMap::defaultPath(1), {}, {}, {}, {}}});
    {
        PortSelect p(*rig.ctx);
        p.setPorts(&map, &list);
        p.Form_Load();
        QVERIFY(p.Option2->isChecked());
        QCOMPARE(p.Option2->text(), QStringLiteral("ＣＯＭ２"));
        QCOMPARE(p.PathLabel[0]->text(), QStringLiteral("→ %1").arg(PortMap::defaultPath(1)));
        QCOMPARE(p.PathLabel[1]->text(), QStringLiteral("→ %1 （未接続）").arg(gone));
        // The found ports, then the vanished one, kept so its choice survives.
        QCOMPARE(p.PortTable->topLevelItemCount(), 3);
        QCOMPARE(p.PortTable->topLevelItem(0)->text(1), QStringLiteral("FT232R USB UART"));
        QCOMPARE(p.PortTable->topLevelItem(0)->text(3), QStringLiteral("A1B2C3"));
        QCOMPARE(p.PortTable->topLevelItem(2)->text(4), gone);
        QCOMPARE(p.PortTable->topLevelItem(2)->text(1), QStringLiteral("（未接続）"));
        QVERIFY(p.OverrideNote->isHidden());
        QVERIFY(p.UseChosenCom->isHidden());
        // Two adapters whose by-id names differ at the end tell apart: the
        // name keeps its end when cut, and shows whole as its tooltip.
        QCOMPARE(p.PortTable->textElideMode(), Qt::ElideMiddle);
        QCOMPARE(p.PortTable->topLevelItem(0)->toolTip(4), ftdi);
        QCOMPARE(p.PortTable->topLevelItem(2)->toolTip(4), gone);

        // Picking the adapter offers its by-id link; it goes to the chosen COM.
        p.Option3->click();
        p.PortTable->setCurrentItem(p.PortTable->topLevelItem(0));
        QCOMPARE(p.PathEdit->text(), ftdi);
        p.AssignButton->click();
        QCOMPARE(rig.store.values.value(QStringLiteral("QEL-5600/DevicePath/COM3")), ftdi);
        QCOMPARE(map.devicePath(3), ftdi);
        // Any typed path is taken as it stands; an empty one gives the default back.
        p.PathEdit->setText(QStringLiteral("  /tmp/qel-line  "));
        p.AssignButton->click();
        QCOMPARE(map.devicePath(3), QStringLiteral("/tmp/qel-line"));
        p.PathEdit->clear();
        p.AssignButton->click();
        QCOMPARE(map.devicePath(3), PortMap::defaultPath(3));
        QCOMPARE(map.devicePath(2), gone);
    }
    {
        // --port: the window says which device this run uses and offers it.
        map.setOverride(QStringLiteral("/dev/ttyUSB0"));
        PortSelect p(*rig.ctx);
        p.setPorts(&map, &list);
        p.Form_Load();
        QVERIFY(!p.OverrideNote->isHidden());
        QVERIFY(p.OverrideNote->text().contains(QStringLiteral("/dev/ttyUSB0")));
        QCOMPARE(p.PathEdit->text(), QStringLiteral("/dev/ttyUSB0"));
        p.Option1->click();
        p.AssignButton->click();
        QCOMPARE(map.mappedPath(1), QStringLiteral("/dev/ttyUSB0"));

        // Tabbing through the window leaves the path as it is: only a port
        // the user picks replaces it.
        p.show();
        p.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&p));
        for (QLabel *l : p.PathLabel)
            QCOMPARE(l->focusPolicy(), Qt::NoFocus);
        for (int i = 0; i < 12 && QApplication::focusWidget() != p.PortTable; ++i)
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), p.PortTable);
        QCOMPARE(p.PathEdit->text(), QStringLiteral("/dev/ttyUSB0"));
        QTest::keyClick(p.PortTable, Qt::Key_Down);
        QCOMPARE(p.PathEdit->text(), p.PortTable->currentItem()->data(0, Qt::UserRole).toString());
        QCOMPARE(QAccessible::queryAccessibleInterface(p.PortTable)->text(QAccessible::Name),
                 QStringLiteral("見つかったポート"));

        // The way out of a --port device that does not answer: this run uses
        // the chosen COM number's device; unticked, --port again.
        QVERIFY(!p.UseChosenCom->isHidden());
        p.UseChosenCom->click();
        p.Option3->click();
        QCOMPARE(map.devicePath(3), PortMap::defaultPath(3));
        p.UseChosenCom->click();
        QCOMPARE(map.devicePath(3), QStringLiteral("/dev/ttyUSB0"));
        QCOMPARE(map.overridePath(), QStringLiteral("/dev/ttyUSB0"));
    }
}

// A window of fixed size asks the window manager for a title and a close
// button only (no minimise or maximise).
void TestGuiWindows::fixedWindowsHaveNoMinimiseOrMaximise()
{
    Rig rig;
    PortSelect port(*rig.ctx);
    VersionNo version;
    TypeChangeDialog typeChange(*rig.ctx, *rig.typeChange);
    for (QDialog *d : std::initializer_list<QDialog *>{&port, &version, &typeChange}) {
        d->show();
        QCOMPARE(d->minimumSize(), d->maximumSize());
        const Qt::WindowFlags f = d->windowFlags();
        QVERIFY2(f & Qt::CustomizeWindowHint, qPrintable(d->objectName()));
        QVERIFY2(!(f & (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint)),
                 qPrintable(d->objectName()));
        QVERIFY(f & Qt::WindowCloseButtonHint);
        d->hide();
    }
}

void TestGuiWindows::versionText()
{
    QCOMPARE(versionPattern(1, 9), QStringLiteral("1.09"));
    QCOMPARE(versionPattern(1, 10), QStringLiteral("1.1"));
    QCOMPARE(versionPattern(2, 0), QStringLiteral("2."));
    QCOMPARE(versionPattern(0, 5), QStringLiteral(".05"));
    QCOMPARE(versionPattern(12, 99), QStringLiteral("12.99"));
    VersionNo v;
    QCOMPARE(v.Label3->text(), QStringLiteral("Version ##.##"));
    v.Form_Load();
    QCOMPARE(v.Label3->text(), QStringLiteral("Version 1.09"));
    QCOMPARE(v.Label1->text(), QStringLiteral("ＱＥＬ－５６００設定プログラム"));
}

void TestGuiWindows::titleWait()
{
    // Ends one second after the start rounded to a whole second.
    const struct {
        double start;
        qint64 lasts;
    } cases[] = {{100.4, 600}, {100.6, 1400}, {86399.7, 1300}, {86399.2, 800}};
    for (const auto &c : cases) {
        VirtualClock v;
        v.setSecondsOfDay(c.start);
        DayClock day(v);
        TitleWait(day);
        QVERIFY2(std::abs(v.nowMs() - c.lasts) <= 60,
                 qPrintable(QStringLiteral("start %1: %2 ms").arg(c.start).arg(v.nowMs())));
    }
}

void TestGuiWindows::fileDialogHelpers()
{
    QCOMPARE(QtDialogs::nameFilters(QStringLiteral("Data Files(*.pdt)|*.pdt|All Files(*.*)|*.*")),
             (QStringList{QStringLiteral("Data Files(*.pdt)"), QStringLiteral("All Files(*.*)")}));
    QCOMPARE(QtDialogs::nameFilters(QStringLiteral("Logs|*.txt;*.log")),
             QStringList{QStringLiteral("Logs (*.txt *.log)")});
    QCOMPARE(QtDialogs::nameFilters(QString()), QStringList{});

    QCOMPARE(QtDialogs::withDefaultExtension(QStringLiteral("/data/a"), QStringLiteral("PDT")),
             QStringLiteral("/data/a.PDT"));
    QCOMPARE(QtDialogs::withDefaultExtension(QStringLiteral("/data/a.pdt"), QStringLiteral("PDT")),
             QStringLiteral("/data/a.pdt"));
    QCOMPARE(QtDialogs::withDefaultExtension(QStringLiteral("/data.v1/a"), QStringLiteral("PDT")),
             QStringLiteral("/data.v1/a.PDT"));
    QCOMPARE(QtDialogs::withDefaultExtension(QStringLiteral("/data/a"), QString()),
             QStringLiteral("/data/a"));

    Rig rig;
    QtDialogs dialogs;
    QVERIFY(!dialogs.choosePort()); // no port window wired: nothing chosen
    int asked = 0;
    dialogs.portChooser = [&] { ++asked; return true; };
    QVERIFY(dialogs.choosePort());
    QCOMPARE(asked, 1);
}

void TestGuiWindows::messageBoxAnswers()
{
    QtMessageBoxes boxes;
    const struct {
        MsgButtons buttons;
        QMessageBox::StandardButton press;
        MsgResult expected;
    } cases[] = {
        {MsgButtons::Ok, QMessageBox::Ok, MsgResult::Ok},
        {MsgButtons::AbortRetryIgnore, QMessageBox::Abort, MsgResult::Abort},
        {MsgButtons::AbortRetryIgnore, QMessageBox::Retry, MsgResult::Retry},
        {MsgButtons::AbortRetryIgnore, QMessageBox::Ignore, MsgResult::Ignore},
    };
    // The text is shown as it is, even when a quoted reply looks like markup.
    const QString text = QStringLiteral("本文\r\nRD$=<b>?</b>&amp;");
    for (const auto &c : cases) {
        QString seenTitle, seenText;
        Qt::TextFormat seenFormat = Qt::AutoText;
        QTimer::singleShot(0, [&] {
            auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
            QVERIFY(box);
            seenTitle = box->windowTitle();
            seenText = box->text();
            if (auto *label = box->findChild<QLabel *>(QStringLiteral("qt_msgbox_label")))
                seenFormat = label->textFormat();
            box->button(c.press)->click();
        });
        QCOMPARE(boxes.show(text, QStringLiteral("題"), MsgIcon::Question, c.buttons), c.expected);
        QCOMPARE(seenTitle, QStringLiteral("題"));
        QCOMPARE(seenText, text);
        QCOMPARE(seenFormat, Qt::PlainText);
    }

    // Enter, wherever the keyboard is in the box, tries again: 中止 would end
    // the program with the edits unsaved.
    for (const Qt::Key key : {Qt::Key_Return, Qt::Key_Enter}) {
        QTimer::singleShot(0, [key] {
            auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
            QVERIFY(box);
            QCOMPARE(box->defaultButton(), box->button(QMessageBox::Retry));
            QTest::keyClick(box, key, key == Qt::Key_Enter ? Qt::KeypadModifier : Qt::NoModifier);
        });
        QCOMPARE(boxes.show(text, QStringLiteral("題"), MsgIcon::Question, MsgButtons::AbortRetryIgnore),
                 MsgResult::Retry);
    }

    // Abort ends the program: Escape and the frame do not answer that box.
    bool stillOpen = false;
    QTimer::singleShot(0, [&] {
        auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
        QVERIFY(box);
        QTest::keyClick(box, Qt::Key_Escape);
        box->close();
        stillOpen = box->isVisible();
        box->button(QMessageBox::Retry)->click();
    });
    QCOMPARE(boxes.show(text, QStringLiteral("題"), MsgIcon::Question, MsgButtons::AbortRetryIgnore),
             MsgResult::Retry);
    QVERIFY(stillOpen);

    // A box raised while a window is in use sits over that window, not in
    // the middle of the screen.
    QWidget window;
    window.setGeometry(0, 0, 320, 200);
    window.show();
    window.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&window));
    QPoint boxCentre;
    QTimer::singleShot(0, [&] {
        auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
        QVERIFY(box);
        boxCentre = box->geometry().center();
        box->button(QMessageBox::Ok)->click();
    });
    boxes.show(QStringLiteral("本文"), QStringLiteral("題"), MsgIcon::None, MsgButtons::Ok);
    QVERIFY2((boxCentre - window.geometry().center()).manhattanLength() <= 60,
             qPrintable(QStringLiteral("%1,%2").arg(boxCentre.x()).arg(boxCentre.y())));
}

void TestGuiWindows::helpViewerKeywords()
{
    const QString folder = helpFolder();
    if (folder.isEmpty() || !QFileInfo::exists(folder + QStringLiteral("/qel-5600.hlp")))
        QSKIP("the help file is not beside the program");
    QtHelpViewer viewer(folder);
    QStringList reports;
    viewer.report = [&](const QString &t) { reports << t; };
    viewer.partialKey(QStringLiteral("qel-5600.hlp"), QString());
    QVERIFY(reports.isEmpty());
    QVERIFY(viewer.isVisible());
    QVERIFY(viewer.keywordList()->count() >= 10);
    // Every keyword leads to an anchor of the file.
    QFile f(folder + QStringLiteral("/qel-5600.hlp"));
    QVERIFY(f.open(QIODevice::ReadOnly));
    const QString html = QString::fromUtf8(f.readAll());
    for (const HelpKeyword &k : QtHelpViewer::keywordsOf(html))
        QVERIFY(html.contains(QStringLiteral("href=\"#%1\"").arg(k.anchor)));

    // Keywords in the language's order: kana of either kind and width
    // together, Latin letters whatever their case.
    QLocale::setDefault(QLocale(QLocale::Japanese, QLocale::Japan));
    const QString sample = QStringLiteral(
        "<h2><a name=\"r\">リセット</a></h2><h2><a name=\"m\">ﾓﾆﾀ</a></h2>"
        "<h2><a name=\"a\">あ行</a></h2><h2><a name=\"t\">タイプ変更</a></h2>"
        "<h2><a name=\"u\">usb</a></h2><h2><a name=\"c\">COM</a></h2>");
    QStringList order;
    for (const HelpKeyword &k : QtHelpViewer::keywordsOf(sample))
        order << k.text;
    QLocale::setDefault(QLocale::system());
    QCOMPARE(order, (QStringList{QStringLiteral("COM"), QStringLiteral("usb"), QStringLiteral("あ行"),
                                 QStringLiteral("タイプ変更"), QStringLiteral("ﾓﾆﾀ"),
                                 QStringLiteral("リセット")}));

    viewer.searchEdit()->setText(QStringLiteral("モニタ"));
    QCOMPARE(viewer.keywordList()->count(), 1);
    QCOMPARE(viewer.keywordList()->item(0)->text(), QStringLiteral("測定値モニタ"));
    viewer.searchEdit()->setText(QStringLiteral("usb"));
    QCOMPARE(viewer.keywordList()->count(), 1);

    // Escape closes it, also from the search box.
    QTest::keyClick(viewer.searchEdit(), Qt::Key_Escape);
    QVERIFY(!viewer.isVisible());
    viewer.contents(QStringLiteral("qel-5600.hlp"));
    QVERIFY(viewer.isVisible());
    QVERIFY(viewer.browser()->toPlainText().contains(QStringLiteral("ＱＥＬ－５６００設定プログラム")));
}

void TestGuiWindows::helpViewerMissingFile()
{
    QTemporaryDir empty;
    QtHelpViewer viewer(empty.path());
    QStringList reports;
    viewer.report = [&](const QString &t) { reports << t; };
    viewer.contents(QStringLiteral("qel-5600.hlp"));
    viewer.partialKey(QStringLiteral("qel-5600.hlp"), QString());
    QCOMPARE(reports.size(), 2);
    QVERIFY(reports[0].contains(QStringLiteral("qel-5600.hlp")));
    QVERIFY(!viewer.isVisible());
    viewer.quit(QStringLiteral("qel-5600.hlp"));
}

QTEST_MAIN(TestGuiWindows)
#include "test_gui_windows.moc"
