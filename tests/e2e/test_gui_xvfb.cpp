// The real program on a real (virtual) X display against qel-sim on a
// pseudo-terminal, driven from the keyboard as a technician drives it:
// - it starts, reads the converter, takes an edit, writes it, and ends
//   through its Exit button;
// - started with a --port device that does not open and a settings file, it
//   shows the communication box, where Enter tries again; the port window's
//   way out of --port leads to the converter, the file's settings replace the
//   read ones, and Enter on 書き込み writes them.
// The simulator's record shows whether the values arrived; the store file
// whether the end stored what it should.
//
// Keys are typed through the X test extension (libXtst, loaded at run time so
// the build needs no X headers). Skipped when Xvfb or the libraries are missing.

#include "core/ParamRecord.h"
#include "files/DataFile.h"

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
    using InternAtom = unsigned long (*)(void *, const char *, int);
    using GetWindowProperty = int (*)(void *, unsigned long, unsigned long, long, long, int,
                                      unsigned long, unsigned long *, int *, unsigned long *,
                                      unsigned long *, unsigned char **);
    using Free = int (*)(void *);

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
        intern = reinterpret_cast<InternAtom>(dlsym(x11, "XInternAtom"));
        property = reinterpret_cast<GetWindowProperty>(dlsym(x11, "XGetWindowProperty"));
        xfree = reinterpret_cast<Free>(dlsym(x11, "XFree"));
        if (!open || !close || !code || !flush || !fake || !getFocus || !intern || !property || !xfree)
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

    // The title of the window that holds the keyboard; empty when none.
    QString focusedTitle()
    {
        unsigned long w = 0;
        int revert = 0;
        getFocus(dpy, &w, &revert);
        if (w <= 1)
            return {};
        unsigned long type = 0, count = 0, after = 0;
        int format = 0;
        unsigned char *data = nullptr;
        if (property(dpy, w, intern(dpy, "_NET_WM_NAME", 0), 0, 1024, 0, intern(dpy, "UTF8_STRING", 0),
                     &type, &format, &count, &after, &data) != 0 || !data)
            return {};
        const QString title = QString::fromUtf8(reinterpret_cast<const char *>(data), int(count));
        xfree(data);
        return title;
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
    InternAtom intern = nullptr;
    GetWindowProperty property = nullptr;
    Free xfree = nullptr;
};

enum : unsigned long {
    KeyTab = 0xff09, KeySpace = 0x20, KeyReturn = 0xff0d, KeyShift = 0xffe1, KeyControl = 0xffe3,
    KeyAlt = 0xffe9, Key_a = 0x61, Key_u = 0x75, Key_x = 0x78, Key1 = 0x31, Key2 = 0x32,
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

// A display of its own, a simulated 5600 on a pseudo-terminal and the
// program on them, with a stored configuration of its own; everything ends
// with the object.
struct Desk {
    ~Desk()
    {
        keys.shutdown();
        if (app.state() != QProcess::NotRunning) {
            app.kill();
            app.waitForFinished();
        }
        sim.terminate();
        sim.waitForFinished(5000);
        xserver.terminate();
        xserver.waitForFinished(5000);
    }

    // Empty when all runs; else why not, "SKIP: ..." for what this machine lacks.
    QString start(const QByteArray &storedSettings)
    {
        const QString simProgram = QString::fromLocal8Bit(qgetenv("QEL_SIM"));
        program = QString::fromLocal8Bit(qgetenv("QEL_SETTINGS"));
        const QString xvfb = QStandardPaths::findExecutable(QStringLiteral("Xvfb"));
        if (QStandardPaths::findExecutable(QStringLiteral("xvfb-run")).isEmpty() || xvfb.isEmpty())
            return QStringLiteral("SKIP: xvfb-run/Xvfb is not installed");
        if (simProgram.isEmpty() || program.isEmpty())
            return QStringLiteral("SKIP: qel-sim or qel-settings was not built");
        if (!tmp.isValid())
            return QStringLiteral("no temporary folder");
        config = dir + QStringLiteral("/config");
        QDir().mkpath(config + QStringLiteral("/QEL-5600"));
        QDir().mkpath(dir + QStringLiteral("/runtime"));
        QFile::setPermissions(dir + QStringLiteral("/runtime"),
                              QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        QFile conf(config + QStringLiteral("/QEL-5600/QEL-5600.conf"));
        if (!conf.open(QIODevice::WriteOnly) || conf.write(storedSettings) != storedSettings.size())
            return QStringLiteral("the stored settings cannot be written");
        conf.close();

        // The converter.
        sim.start(simProgram, {QStringLiteral("--type"), QStringLiteral("5600"), QStringLiteral("--link"),
                               link, QStringLiteral("--log"), log, QStringLiteral("--state"), state});
        if (!sim.waitForStarted() || !waitFor([&] { return QFile::exists(link); }, 5000))
            return QStringLiteral("qel-sim did not start");

        // A display of our own.
        int display = 0;
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
        if (display == 0)
            return QStringLiteral("no X display could be started");
        displayName = ":" + QByteArray::number(display);
        if (!keys.load(displayName))
            return QStringLiteral("SKIP: libX11/libXtst cannot be loaded");
        return {};
    }

    void run(const QStringList &args)
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("DISPLAY"), QString::fromLatin1(displayName));
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), config);
        env.insert(QStringLiteral("XDG_RUNTIME_DIR"), dir + QStringLiteral("/runtime"));
        app.setProcessEnvironment(env);
        app.setProcessChannelMode(QProcess::MergedChannels);
        app.start(program, args);
    }

    // True once the exchange that `command` begins has ended with "E".
    bool exchangeEnded(const QByteArray &command)
    {
        const QByteArray l = fileText(log);
        const int i = l.lastIndexOf(command);
        return i >= 0 && l.indexOf("E\\r", i) > i;
    }
    // From the first setting back through the tab page, the tab bar and the
    // buttons to 書き込み, which `press` presses; once the write has ended,
    // 終了 [&X]. Empty when the write went out and the program ended with 0.
    QString writeFromTheFirstSettingThenExit(unsigned long press)
    {
        for (int i = 0; i < 7; ++i)
            keys.key(KeyTab, KeyShift);
        keys.key(press);
        if (!waitFor([&] { return fileText(log).contains("WP02,") && exchangeEnded("WP"); }, 20000))
            return QStringLiteral("no write: ") + QString::fromUtf8(fileText(log));
        QThread::msleep(300);
        keys.key(Key_x, KeyAlt);
        if (!app.waitForFinished(10000) || app.exitStatus() != QProcess::NormalExit || app.exitCode() != 0)
            return QStringLiteral("no end with 0: ") + QString::fromUtf8(app.readAll());
        return {};
    }
    QByteArray record()
    {
        ::kill(pid_t(sim.processId()), SIGUSR1);
        waitFor([&] { return fileText(state).size() == 74; }, 5000);
        return fileText(state);
    }
    QByteArray stored() { return fileText(config + QStringLiteral("/QEL-5600/QEL-5600.conf")); }

    QTemporaryDir tmp;
    const QString dir = tmp.path();
    const QString link = dir + QStringLiteral("/converter");
    const QString log = dir + QStringLiteral("/commands.txt");
    const QString state = dir + QStringLiteral("/state.pdt");
    QString config;
    QString program;
    QByteArray displayName;
    QProcess sim;
    QProcess xserver;
    QProcess app;
    XKeys keys;
};

} // namespace

#define START_DESK(desk, settings)                                                                 \
    do {                                                                                           \
        const QString why = (desk).start(settings);                                                \
        if (why.startsWith(QLatin1String("SKIP: ")))                                               \
            QSKIP(qPrintable(why.mid(6)));                                                         \
        QVERIFY2(why.isEmpty(), qPrintable(why));                                                  \
    } while (false)

class TestGuiXvfb : public QObject {
    Q_OBJECT
private slots:
    void readEditWriteExit();
    void retryOutOfPortThenTheFileOfTheCommandLine();
};

void TestGuiXvfb::readEditWriteExit()
{
    Desk d;
    // A port stored from an earlier run: no port window at the start.
    START_DESK(d, "[CommPort]\nNo.=1\n");
    XKeys &keys = d.keys;
    d.run({QStringLiteral("--port"), d.link});
    QVERIFY(d.app.waitForStarted());

    // Start-up: detection, identification and the read end with "RP32", "E".
    QVERIFY2(waitFor([&] { return d.exchangeEnded("RP32\\r"); }, 20000), fileText(d.log).constData());
    // The title gives way to the main window about a second later, and the
    // main window takes the keyboard.
    QVERIFY(waitFor([&] { return keys.windowFocused(); }, 20000));
    QThread::msleep(500);
    QCOMPARE(d.app.state(), QProcess::Running);

    // The cursor waits in the full-scale box: type 12 over it, then go back
    // through the tab page, the tab bar and the buttons to "書き込み".
    keys.key(Key_a, KeyControl);
    keys.key(Key1);
    keys.key(Key2);
    // Space presses it; then "終了 [&X]".
    const QString fault = d.writeFromTheFirstSettingThenExit(KeySpace);
    QVERIFY2(fault.isEmpty(), qPrintable(fault));

    // The converter got the value; the end stored the port and the positions.
    QCOMPARE(d.record().mid(1, 5), QByteArray("00012"));
    const QByteArray conf = d.stored();
    QVERIFY2(conf.contains("No.=1"), conf.constData());
    QVERIFY2(conf.contains("[PromSet]") && conf.contains("[Monitor]"), conf.constData());
}

void TestGuiXvfb::retryOutOfPortThenTheFileOfTheCommandLine()
{
    Desk d;
    // COM1 leads to the converter; --port names an adapter that is not there.
    START_DESK(d, "[CommPort]\nNo.=1\n[DevicePath]\nCOM1=" + d.link.toUtf8() + "\n");
    XKeys &keys = d.keys;
    qel::ParameterRecord onDisk;
    onDisk.setField(2, "04321");
    const QString file = d.dir + QStringLiteral("/cabinet4.pdt");
    QString error;
    QVERIFY2(qel::saveDataFile(file, onDisk, error), qPrintable(error));
    d.run({QStringLiteral("--port"), d.dir + QStringLiteral("/no-adapter"), file});
    QVERIFY(d.app.waitForStarted());
    auto focusedIs = [&](const QString &title) {
        return waitFor([&] { return keys.focusedTitle().endsWith(title); }, 20000);
    };

    // The communication box: Enter is 再試行, which opens the port window
    // (中止 would have ended the program).
    QVERIFY2(focusedIs(QStringLiteral("ＱＥＬ－５６００　通信エラー")), qPrintable(keys.focusedTitle()));
    keys.key(KeyReturn);
    QVERIFY2(focusedIs(QStringLiteral("通信ポート設定")), qPrintable(keys.focusedTitle()));
    // The way out of --port (Alt+U), then 了解 by Enter: COM1 for this run.
    keys.key(Key_u, KeyAlt);
    QThread::msleep(300); // a key's click on a button comes 100 ms after the key
    keys.key(KeyReturn);

    // Detection and read on COM1, then the file: Enter on 書き込み (Shift+Tab
    // from the first setting to it) writes the file's settings.
    QVERIFY2(waitFor([&] { return d.exchangeEnded("RP32\\r"); }, 20000),
             qPrintable(keys.focusedTitle() + QLatin1Char('\n') + QString::fromUtf8(fileText(d.log))));
    QVERIFY2(focusedIs(QStringLiteral("設定変更")), qPrintable(keys.focusedTitle()));
    QThread::msleep(500);
    const QString fault = d.writeFromTheFirstSettingThenExit(KeyReturn);
    QVERIFY2(fault.isEmpty(), qPrintable(fault));
    QCOMPARE(d.record().mid(1, 5), QByteArray("04321"));
}

QTEST_GUILESS_MAIN(TestGuiXvfb)
#include "test_gui_xvfb.moc"
