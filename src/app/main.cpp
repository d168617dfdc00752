// qel-settings: the settings program of the QEL converters.
//   qel-settings [--port DEVICE] [--trace FILE] [FILE]
// DEVICE replaces, for this run, the device path of whatever COM port is chosen.
// FILE (a settings file, as a desktop's double-click gives it) is loaded once
// the start-up has detected and read the converter.

#include "core/Language.h"
#include "core/ui/OpningTitle.h"
#include "platform/ui/CursorBlink.h"
#include "core/ui/PortSelect.h"
#include "jobs/Jobs.h"
#include "editor/ui/PromSet.h"
#include "platform/QtClock.h"
#include "platform/PortList.h"
#include "platform/QtSerialPort.h"
#include "platform/SettingsStore.h"
#include "platform/WireTrace.h"
#include "platform/ui/QtDialogs.h"
#include "platform/ui/QtHelpViewer.h"
#include "platform/ui/QtMessageBoxes.h"
#include "platform/ui/QtPrinter.h"
#include "platform/FileName.h"
#include "platform/System.h"
#include "wiring/Wiring.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QLocale>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <cstdio>
#include <cstdlib>

// Resident memory of this process in KiB (Linux), 0 when unknown.
static long residentKiB()
{
    QFile f(QStringLiteral("/proc/self/status"));
    if (!f.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray &line : f.readAll().split('\n')) {
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').value(0).toLong();
    }
    return 0;
}

// The argument the parser gave as `text`, as the bytes the shell gave it (a
// name that is not UTF-8 keeps its bytes).
static QString argumentFileName(const QString &text, int argc, char **argv)
{
    for (int i = 1; i < argc; ++i)
        if (QString::fromLocal8Bit(argv[i]) == text)
            return qel::decodeFileName(QByteArray(argv[i]));
    return text;
}

int main(int argc, char **argv)
{
    QElapsedTimer sinceStart;
    sinceStart.start();
    // A recording's pipe whose reader has gone fails its write (EPIPE, told
    // in the monitor) instead of ending the program with unsaved settings.
    qel::prepareProcess();
    QCoreApplication::setApplicationName(QStringLiteral("qel-settings"));
    QCoreApplication::setApplicationVersion(QStringLiteral(QEL_VERSION_TEXT));

    QCommandLineParser args;
    args.setApplicationDescription(QStringLiteral("Settings program of the QEL frequency/period converters"));
    args.addHelpOption();
    args.addVersionOption();
    const QCommandLineOption portOption(QStringList{QStringLiteral("port")},
                                        QStringLiteral("Serial device to use for this run (the port "
                                                       "window's choice does not change it)."),
                                        QStringLiteral("DEVICE"));
    args.addOption(portOption);
    const QCommandLineOption traceOption(QStringList{QStringLiteral("trace")},
                                         QStringLiteral("Write every byte on the serial line each way, with "
                                                        "the time to the millisecond, the line settings and RTS "
                                                        "at each open and a network line's Telnet negotiation, "
                                                        "into FILE (also QEL_TRACE=FILE)."),
                                         QStringLiteral("FILE"));
    args.addOption(traceOption);
    args.addPositionalArgument(QStringLiteral("FILE"),
                               QStringLiteral("Settings file (.pdt) to open once the converter "
                                              "has been detected and read."),
                               QStringLiteral("[FILE]"));
    {
        // --help, --version and a wrong option are answered without a
        // display: the window system is not started for them.
        QStringList raw;
        for (int i = 0; i < argc; ++i)
            raw << QString::fromLocal8Bit(argv[i]);
        if (!args.parse(raw) || args.isSet(QStringLiteral("help")) || args.isSet(QStringLiteral("version"))
            || args.isSet(QStringLiteral("help-all"))) {
            QCoreApplication core(argc, argv);
            args.process(core);
            return 0;
        }
        if (args.positionalArguments().size() > 1) {
            std::fprintf(stderr, "qel-settings: one settings file at most\n");
            return 1;
        }
    }
    QApplication app(argc, argv);
    qel::CursorBlinkTimeout blinkTimeout; // an idle window wakes nobody
    args.process(app);
    // Resolved now: the start makes the program's folder current.
    const QString startFile = args.positionalArguments().isEmpty()
        ? QString()
        : QFileInfo(argumentFileName(args.positionalArguments().constFirst(), argc, argv))
              .absoluteFilePath();

    qel::QtPrinter::installFontSubstitutions();

    // Japanese, and Qt's own dialogs with it, unless the locale's language
    // is English.
    if (!qel::installLanguage(QLocale::system()))
        std::fprintf(stderr, "qel-settings: the English translation is not installed; "
                             "the windows stay in Japanese\n");

    // The wire trace, when asked for; the program runs on without one.
    const QString tracePath = args.isSet(traceOption) ? args.value(traceOption) : qEnvironmentVariable("QEL_TRACE");
    QString traceError;
    if (!tracePath.isEmpty()
        && !qel::WireTrace::start(tracePath, QStringLiteral("qel-settings %1").arg(QStringLiteral(QEL_VERSION_TEXT)),
                                  traceError))
        std::fprintf(stderr, "qel-settings: %s: cannot write the trace: %s\n", qPrintable(tracePath),
                     qPrintable(traceError));

    qel::QtClock clock;
    qel::QSettingsStore store;
    qel::PortMap portMap(&store);
    if (args.isSet(portOption))
        portMap.setOverride(args.value(portOption));
    qel::QtSerialPortFactory ports(&portMap);
    qel::QtMessageBoxes boxes;
    qel::QtDialogs dialogs;
    qel::QtHelpViewer help;
    help.english = qel::englishInForce();

    qel::Platform platform;
    platform.clock = &clock;
    platform.ports = &ports;
    platform.boxes = &boxes;
    platform.dialogs = &dialogs;
    platform.store = &store;
    platform.help = &help;
    // Every read goes into the device history; a write that stops part-way
    // says, under its message, which copy (the store's, for the converter
    // last read) puts the converter's previous settings back.
    qel::jobs::HistoryStore historyStore(qel::historyRoot());
    qel::jobs::EditorHistory history(historyStore, args.value(portOption), [](const QString &warning) {
        std::fprintf(stderr, "qel-settings: %s\n", qPrintable(warning));
    });
    platform.writeStopNote = [&history](const qel::AppState &st) { return history.stopNote(st); };

    qel::Wiring wiring(platform);
    qel::Context &ctx = wiring.ctx;
    qel::RsReadWrite &engine = wiring.engine;
    qel::TypeChange &typeChange = wiring.typeChange;

    // The program ends at once: the open ports are closed and the process
    // leaves without running any more events (stored settings are already
    // on disk, each save being synced).
    ctx.platform.terminate = [&] {
        engine.ClosePort();
        typeChange.MSComm1().close();
        std::fflush(nullptr);
        std::_Exit(0);
    };

    qel::PromSet main(ctx, engine, typeChange);
    dialogs.setParent(&main);
    qel::SystemPortList foundPorts;
    dialogs.portChooser = [&] {
        // With --port the first run asks for no port: the window's choice
        // would not change where this run talks.
        if (ctx.state.CommPortNo == 0 && !portMap.overridePath().isEmpty())
            return false;
        qel::PortSelect dlg(ctx, &main);
        dlg.setPorts(&portMap, &foundPorts);
        return dlg.run();
    };
    qel::QtPrinterProvider printers(&main);
    main.printers = &printers;
    main.history = &history;

    qel::OpningTitle title(ctx);
    title.Form_Load(&main, [&] {
        main.Form_Load();
        if (!startFile.isEmpty())
            main.loadStartFile(startFile);
    });
    main.helpFile = title.helpFile;

    // QEL_STARTUP_REPORT=1 prints the time to the main window and the resident
    // memory then; =exit also ends the program there (for the benchmark).
    const QByteArray report = qgetenv("QEL_STARTUP_REPORT");
    if (!report.isEmpty()) {
        std::fprintf(stderr, "startup: main window after %lld ms, resident %ld KiB\n",
                     static_cast<long long>(sinceStart.elapsed()), residentKiB());
        if (report == "exit")
            return 0;
    }
    return app.exec();
}
