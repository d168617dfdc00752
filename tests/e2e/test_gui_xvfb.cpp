// The real program on a real (virtual) X display against qel-sim on a
// pseudo-terminal: it starts, reads the converter, takes an edit from the
// keyboard, writes it, and ends through its Exit button. The simulator's
// record shows whether the value arrived; the store file whether the end
// stored what it should.
//
// Keys are typed through the X test extension (libXtst, loaded at run time so
// the build needs no X headers). Skipped when Xvfb or the libraries are missing.

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QThread>
#include <QtTest>

#include <dlfcn.h>
#include <signal.h>

namespace {

// The handful of Xlib and XTest calls used, resolved at run time.
struct XKeys {
    using OpenDisplay = void *(*)(const char *);
    using CloseDisplay = int (*)(void *);
    using KeysymToKeycode = unsigned char (*)(void *, unsigned long);
    using Flush = int (*)(void *);
    using FakeKey = int (*)(void *, unsigned int, int, unsigned long);
    using GetInputFocus = int (*)(void *, unsigned long *, int *);

    bool load(const QByteArray &display)
    {
        x11 = dlopen("libX11.so.6", RTLD_NOW);
        xtst = dlopen("libXtst.so.6", RTLD_NOW);
        if (!x11 || !xtst)
            return false;
        open = reinterpret_cast<OpenDisplay>(dlsym(x11, "XOpenDisplay"));
        close = reinterpret_cast<CloseDisplay>(dlsym(x11, "XCloseDisplay"));
        code = reinterpret_cast<KeysymToKeycode>(dlsym(x11, "XKeysymToKeycode"));
        flush = reinterpret_cast<Flush>(dlsym(x11, "XFlush"));
        fake = reinterpret_cast<FakeKey>(dlsym(xtst, "XTestFakeKeyEvent"));
        getFocus = reinterpret_cast<GetInputFocus>(dlsym(x11, "XGetInputFocus"));
        if (!open || !close || !code || !flush || !fake || !getFocus)
            return false;
        dpy = open(display.constData());
        return dpy != nullptr;
    }
    ~XKeys() { shutdown(); }
    // Before the server goes: Xlib ends the process on a lost connection.
    void shutdown()
    {
        if (dpy)
            close(dpy);
        dpy = nullptr;
    }
    void key(unsigned long sym, unsigned long modifier = 0)
    {
        if (modifier)
            fake(dpy, code(dpy, modifier), 1, 0);
        fake(dpy, code(dpy, sym), 1, 0);
        fake(dpy, code(dpy, sym), 0, 0);
        if (modifier)
            fake(dpy, code(dpy, modifier), 0, 0);
        flush(dpy);
        QThread::msleep(60);
    }

    // True once a window of a client holds the keyboard (not None, not PointerRoot).
    bool windowFocused()
    {
        unsigned long w = 0;
        int revert = 0;
        getFocus(dpy, &w, &revert);
        return w > 1;
    }

    void *x11 = nullptr;
    void *xtst = nullptr;
    void *dpy = nullptr;
    OpenDisplay open = nullptr;
    CloseDisplay close = nullptr;
    KeysymToKeycode code = nullptr;
    Flush flush = nullptr;
    FakeKey fake = nullptr;
    GetInputFocus getFocus = nullptr;
};

enum : unsigned long {
    KeyTab = 0xff09, KeySpace = 0x20, KeyShift = 0xffe1, KeyControl = 0xffe3, KeyAlt = 0xffe9,
    Key_a = 0x61, Key_x = 0x78, Key1 = 0x31, Key2 = 0x32,
};

bool waitFor(const std::function<bool()> &cond, int ms)
{
    QElapsedTimer t;
    t.start();
    while (!cond()) {
        if (t.elapsed() > ms)
            return false;
        QThread::msleep(50);
    }
    return true;
}

QByteArray fileText(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

} // namespace

class TestGuiXvfb : public QObject {
    Q_OBJECT
private slots:
    void readEditWriteExit();
};

void TestGuiXvfb::readEditWriteExit()
{
    const QString sim = QString::fromLocal8Bit(qgetenv("QEL_SIM"));
    const QString program = QString::fromLocal8Bit(qgetenv("QEL_SETTINGS"));
    const QString xvfb = QStandardPaths::findExecutable(QStringLiteral("Xvfb"));
    if (QStandardPaths::findExecutable(QStringLiteral("xvfb-run")).isEmpty() || xvfb.isEmpty())
        QSKIP("xvfb-run/Xvfb is not installed");
    if (sim.isEmpty() || program.isEmpty())
        QSKIP("qel-sim or qel-settings was not built");

    QTemporaryDir tmp;
    QVERIFY(tmp.isValid());
    const QString dir = tmp.path();
    const QString config = dir + QStringLiteral("/config");
    QVERIFY(QDir().mkpath(config + QStringLiteral("/QEL-5600")));
    QVERIFY(QDir().mkpath(dir + QStringLiteral("/runtime")));
    QFile::setPermissions(dir + QStringLiteral("/runtime"),
                          QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    {
        // A port stored from an earlier run: no port window at the start.
        QFile conf(config + QStringLiteral("/QEL-5600/QEL-5600.conf"));
        QVERIFY(conf.open(QIODevice::WriteOnly));
        conf.write("[CommPort]\nNo.=1\n");
    }

    // The converter.
    const QString link = dir + QStringLiteral("/converter");
    const QString log = dir + QStringLiteral("/commands.txt");
    const QString state = dir + QStringLiteral("/state.pdt");
    QProcess simProc;
    simProc.start(sim, {QStringLiteral("--type"), QStringLiteral("5600"), QStringLiteral("--link"), link,
                        QStringLiteral("--log"), log, QStringLiteral("--state"), state});
    QVERIFY(simProc.waitForStarted());
    QVERIFY(waitFor([&] { return QFile::exists(link); }, 5000));

    // A display of our own.
    int display = 0;
    QProcess xserver;
    for (int n = 70 + int(QCoreApplication::applicationPid() % 100); n < 400; ++n) {
        if (QFile::exists(QStringLiteral("/tmp/.X11-unix/X%1").arg(n))
            || QFile::exists(QStringLiteral("/tmp/.X%1-lock").arg(n)))
            continue;
        xserver.start(xvfb, {QStringLiteral(":%1").arg(n), QStringLiteral("-screen"), QStringLiteral("0"),
                             QStringLiteral("1024x768x24"), QStringLiteral("-nolisten"), QStringLiteral("tcp")});
        if (xserver.waitForStarted()
            && waitFor([&] { return QFile::exists(QStringLiteral("/tmp/.X11-unix/X%1").arg(n)); }, 5000)) {
            display = n;
            break;
        }
        xserver.kill();
        xserver.waitForFinished();
    }
    QVERIFY2(display != 0, "no X display could be started");
    const QByteArray displayName = ":" + QByteArray::number(display);

    XKeys keys;
    if (!keys.load(displayName)) {
        xserver.kill();
        xserver.waitForFinished();
        simProc.terminate();
        simProc.waitForFinished();
        QSKIP("libX11/libXtst cannot be loaded");
    }

    // The program.
    QProcess app;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("DISPLAY"), QString::fromLatin1(displayName));
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), config);
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), dir + QStringLiteral("/runtime"));
    app.setProcessEnvironment(env);
    app.setProcessChannelMode(QProcess::MergedChannels);
    app.start(program, {QStringLiteral("--port"), link});
    QVERIFY(app.waitForStarted());

    auto cleanup = qScopeGuard([&] {
        keys.shutdown();
        if (app.state() != QProcess::NotRunning) {
            app.kill();
            app.waitForFinished();
        }
        simProc.terminate();
        simProc.waitForFinished(5000);
        xserver.terminate();
        xserver.waitForFinished(5000);
    });

    // Start-up: detection, identification and the read end with "RP32", "E".
    QVERIFY2(waitFor([&] {
                 const QByteArray l = fileText(log);
                 const int i = l.lastIndexOf("RP32\\r");
                 return i >= 0 && l.indexOf("E\\r", i) > i;
             }, 20000),
             fileText(log).constData());
    // The title gives way to the main window about a second later, and the
    // main window takes the keyboard.
    QVERIFY(waitFor([&] { return keys.windowFocused(); }, 20000));
    QThread::msleep(500);
    QCOMPARE(app.state(), QProcess::Running);

    // The cursor waits in the full-scale box: type 12 over it, then go back
    // through the tab page, the tab bar and the buttons to "書き込み".
    keys.key(Key_a, KeyControl);
    keys.key(Key1);
    keys.key(Key2);
    for (int i = 0; i < 7; ++i)
        keys.key(KeyTab, KeyShift);
    keys.key(KeySpace);
    QVERIFY2(waitFor([&] { return fileText(log).contains("WP02,"); }, 20000),
             fileText(log).constData());
    QVERIFY(waitFor([&] {
        const QByteArray l = fileText(log);
        return l.indexOf("E\\r", l.lastIndexOf("WP")) > 0;
    }, 20000));
    QThread::msleep(300);

    // "終了 [&X]".
    keys.key(Key_x, KeyAlt);
    QVERIFY2(app.waitForFinished(10000), app.readAll().constData());
    QCOMPARE(app.exitStatus(), QProcess::NormalExit);
    QCOMPARE(app.exitCode(), 0);

    // The converter got the value; the end stored the port and the positions.
    ::kill(pid_t(simProc.processId()), SIGUSR1);
    QVERIFY(waitFor([&] { return fileText(state).size() == 74; }, 5000));
    const QByteArray record = fileText(state);
    QCOMPARE(record.mid(1, 5), QByteArray("00012"));
    const QByteArray conf = fileText(config + QStringLiteral("/QEL-5600/QEL-5600.conf"));
    QVERIFY2(conf.contains("No.=1"), conf.constData());
    QVERIFY2(conf.contains("[PromSet]") && conf.contains("[Monitor]"), conf.constData());
}

QTEST_GUILESS_MAIN(TestGuiXvfb)
#include "test_gui_xvfb.moc"
