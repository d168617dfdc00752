// The stored settings: the port number, window positions, and the real
// per-user store file with the COM port to device path mapping.

#include "TestRig.h"
#include "core/Settings.h"
#include "platform/QtSerialPort.h"

#include <QFile>
#include <QStandardPaths>
#include <QtTest>
#ifdef Q_OS_WIN
#include <windows.h>
#endif

using namespace qel;
using namespace qel::test;

class TestSettingsStore : public QObject {
    Q_OBJECT
private slots:
    void portNumberReadBack_data();
    void portNumberReadBack();
    void portNumberSaved();
    void failingStoreIsIgnored();
    void windowPositionSavedInTwips();
    void windowPositionRestoredAndClamped();
    void realStoreFileAndDevicePaths();
};

void TestSettingsStore::portNumberReadBack_data()
{
    QTest::addColumn<QString>("stored");
    QTest::addColumn<int>("port");
    QTest::newRow("plain") << "2" << 2;
    QTest::newRow("nothing") << "" << 0;
    QTest::newRow("not a number") << "COM3" << 0;
    QTest::newRow("leading number") << " 4x" << 4;
    QTest::newRow("half to even down") << "2.5" << 2;
    QTest::newRow("half to even up") << "3.5" << 4;
    QTest::newRow("out of range") << "99999" << 0;
    QTest::newRow("beyond 4 kept") << "9" << 9;
}

void TestSettingsStore::portNumberReadBack()
{
    QFETCH(QString, stored);
    QFETCH(int, port);
    Rig rig;
    rig.st().CommPortNo = 7;
    if (!stored.isEmpty())
        rig.store.values.insert(QStringLiteral("QEL-5600/CommPort/No."), stored);
    CommPortSetting(*rig.ctx, 1);
    QCOMPARE(rig.st().CommPortNo, port);
}

void TestSettingsStore::portNumberSaved()
{
    Rig rig;
    rig.st().CommPortNo = 3;
    CommPortSetting(*rig.ctx, 0);
    QCOMPARE(rig.store.values.value(QStringLiteral("QEL-5600/CommPort/No.")), QStringLiteral("3"));
    // Modes other than 0 and 1 do nothing.
    rig.st().CommPortNo = 1;
    CommPortSetting(*rig.ctx, 2);
    QCOMPARE(rig.st().CommPortNo, 1);
    QCOMPARE(rig.store.values.value(QStringLiteral("QEL-5600/CommPort/No.")), QStringLiteral("3"));
}

void TestSettingsStore::failingStoreIsIgnored()
{
    Rig rig;
    rig.store.failing = true;
    QString v = QStringLiteral("kept");
    RegSetting(*rig.ctx, 1, QStringLiteral("QEL-5600"), QStringLiteral("A"), QStringLiteral("B"), v);
    QCOMPARE(v, QStringLiteral("kept"));
    // A port that cannot be read is no port: the next start asks again.
    rig.st().CommPortNo = 3;
    CommPortSetting(*rig.ctx, 1);
    QCOMPARE(rig.st().CommPortNo, 0);
    CommPortSetting(*rig.ctx, 0);
    FormGeometry g{QStringLiteral("PromSet"), 10, 20, 30, 40};
    SaveWindowPos(*rig.ctx, g);
    RestoreWindowPos(*rig.ctx, g, 15360, 11520);
    QCOMPARE(g.top, 0.0);
    QVERIFY(rig.store.values.isEmpty());
}

void TestSettingsStore::windowPositionSavedInTwips()
{
    Rig rig;
    SaveWindowPos(*rig.ctx, FormGeometry{QStringLiteral("Monitor"), 1500, -300, 4567.5, 9000});
    const auto &v = rig.store.values;
    QCOMPARE(v.value(QStringLiteral("QEL-5600/Monitor/Top")), QStringLiteral("1500"));
    QCOMPARE(v.value(QStringLiteral("QEL-5600/Monitor/Left")), QStringLiteral("-300"));
    QCOMPARE(v.value(QStringLiteral("QEL-5600/Monitor/Height")), QStringLiteral("4567.5"));
    QCOMPARE(v.value(QStringLiteral("QEL-5600/Monitor/Width")), QStringLiteral("9000"));
}

void TestSettingsStore::windowPositionRestoredAndClamped()
{
    Rig rig;
    bool sizeKept = true;
    auto restore = [&](const QString &top, const QString &left) {
        rig.store.values.insert(QStringLiteral("QEL-5600/PortSelect/Top"), top);
        rig.store.values.insert(QStringLiteral("QEL-5600/PortSelect/Left"), left);
        FormGeometry g{QStringLiteral("PortSelect"), 111, 222, 3000, 4000};
        RestoreWindowPos(*rig.ctx, g, 15360, 11520);
        sizeKept = sizeKept && g.height == 3000.0 && g.width == 4000.0;
        return std::make_pair(g.top, g.left);
    };
    QCOMPARE(restore(QStringLiteral("1200"), QStringLiteral("2400")), std::make_pair(1200.0, 2400.0));
    // Off the bottom/right: moved back so the window ends at the screen's edge.
    QCOMPARE(restore(QStringLiteral("99999"), QStringLiteral("99999")), std::make_pair(8520.0, 11360.0));
    // No lower bound.
    QCOMPARE(restore(QStringLiteral("-500"), QStringLiteral("-20")), std::make_pair(-500.0, -20.0));
    // Whole twips, halves to even; text that is no number is 0.
    QCOMPARE(restore(QStringLiteral("12.5"), QStringLiteral("13.5")), std::make_pair(12.0, 14.0));
    QCOMPARE(restore(QStringLiteral("top"), QString()), std::make_pair(0.0, 0.0));
    QVERIFY(sizeKept);
}

#ifdef Q_OS_WIN
// A text value as the registry holds it, and its type: REG_SZ or nothing.
static QString registryText(const wchar_t *key, const wchar_t *name)
{
    wchar_t buf[256];
    DWORD size = sizeof buf;
    if (::RegGetValueW(HKEY_CURRENT_USER, key, name, RRF_RT_REG_SZ, nullptr, buf, &size) != ERROR_SUCCESS)
        return QStringLiteral("<none>");
    return QString::fromWCharArray(buf);
}
#endif

void TestSettingsStore::realStoreFileAndDevicePaths()
{
    QSettingsStore store;
    VirtualClock clock;
    Platform p;
    p.clock = &clock;
    p.store = &store;
#ifdef Q_OS_WIN
    // The registry: the port and the positions in the described sections
    // under HKEY_CURRENT_USER\Software\QEL-5600, as text; the program's own
    // additions under a key of its own.
    ::RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\QEL-5600");
#else
    // The test environment points XDG_CONFIG_HOME into the build directory.
    const QString config = QString::fromLocal8Bit(qgetenv("XDG_CONFIG_HOME"));
    if (config.isEmpty())
        QSKIP("XDG_CONFIG_HOME is not set: the real store would be the user's own");
    const QString file = config + QStringLiteral("/QEL-5600/QEL-5600.conf");
    QFile::remove(file);
#endif
    Context ctx(p);
    ctx.state.CommPortNo = 2;
    CommPortSetting(ctx, 0);
    SaveWindowPos(ctx, FormGeometry{QStringLiteral("PromSet"), 1500, 3000, 6000, 9000});
    ctx.state.CommPortNo = 0;
    CommPortSetting(ctx, 1);
    QCOMPARE(ctx.state.CommPortNo, 2);
    store.save(QStringLiteral("QEL-5600"), QStringLiteral("DevicePath"), QStringLiteral("COM1"),
               QStringLiteral("/dev/ttyUSB0"));

#ifdef Q_OS_WIN
    QCOMPARE(registryText(L"Software\\QEL-5600\\CommPort", L"No."), QStringLiteral("2"));
    QCOMPARE(registryText(L"Software\\QEL-5600\\PromSet", L"Top"), QStringLiteral("1500"));
    QCOMPARE(registryText(L"Software\\QEL-5600\\PromSet", L"Width"), QStringLiteral("9000"));
    QCOMPARE(registryText(L"Software\\QEL-5600\\qel-settings\\DevicePath", L"COM1"), QStringLiteral("/dev/ttyUSB0"));
    QCOMPARE(registryText(L"Software\\QEL-5600\\DevicePath", L"COM1"), QStringLiteral("<none>"));
    QCOMPARE(registryText(L"Software\\QEL-5600\\QEL-5600\\CommPort", L"No."), QStringLiteral("<none>"));
#else
    QFile f(file);
    QVERIFY2(f.open(QIODevice::ReadOnly), qPrintable(file));
    const QString text = QString::fromUtf8(f.readAll());
    QVERIFY(text.contains(QStringLiteral("[CommPort]")));
    QVERIFY(text.contains(QStringLiteral("No.=2")));
    QVERIFY(text.contains(QStringLiteral("[PromSet]")));
    QVERIFY(text.contains(QStringLiteral("Top=1500")));
#endif

    // COMn maps to a device path: the stored one, else the default, and
    // --port replaces them all.
    PortMap map(&store);
    QCOMPARE(map.devicePath(1), QStringLiteral("/dev/ttyUSB0"));
    QCOMPARE(map.devicePath(2), PortMap::defaultPath(2));
    map.setOverride(QStringLiteral("/dev/pts/7"));
    QCOMPARE(map.devicePath(2), QStringLiteral("/dev/pts/7"));
}

QTEST_GUILESS_MAIN(TestSettingsStore)
#include "test_settings_store.moc"
