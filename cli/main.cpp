// qelctl [--port DEVICE] COMMAND [ARGS]
#include "Cli.h"

#include "core/Settings.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QTextStream>
#include <cstdio>

namespace qel::cli {

void err(const QString &text)
{
    QTextStream(stderr) << text << Qt::endl;
}

void out(const QString &text)
{
    QTextStream(stdout) << text << Qt::endl;
}

MsgResult StderrBoxes::show(const QString &text, const QString &title, MsgIcon,
                            MsgButtons buttons)
{
    ++count;
    // The title, then the text exactly as the box shows it, line breaks kept.
    err(QStringLiteral("[%1]\n%2").arg(title, text));
    return buttons == MsgButtons::AbortRetryIgnore ? MsgResult::Abort : MsgResult::Ok;
}

void Env::setUp()
{
    portMap = std::make_unique<PortMap>(&store);
    if (!portOverride.isEmpty())
        portMap->setOverride(portOverride);
    ports = std::make_unique<QtSerialPortFactory>(portMap.get());
    Platform p;
    p.clock = &clock;
    p.ports = ports.get();
    p.boxes = &boxes;
    p.dialogs = &dialogs;
    p.store = &store;
    p.terminate = [this] { terminated = true; };
    ctx = std::make_unique<Context>(p);
    if (portOverride.isEmpty())
        CommPortSetting(*ctx, 1); // the stored port, read as the program reads it
    else
        ctx->state.CommPortNo = 1;
    engine = std::make_unique<RsReadWrite>(*ctx);
    typeChange = std::make_unique<TypeChange>(*ctx, *engine);
    engine->setTypeChange(typeChange.get());
}

QString typeName(int code)
{
    switch (code) {
    case Type5600:
        return QStringLiteral("5600");
    case Type521:
        return QStringLiteral("521");
    case Type527:
        return QStringLiteral("527");
    default:
        return QStringLiteral("none");
    }
}

int detectDevice(Env &env)
{
    // TypeCheck alone: the 5600's identification read that follows it at
    // start-up fills only F31..F34, which a read overwrites and a write
    // takes from its file, so the tool leaves it off the line.
    const TypeCheckResult r = env.typeChange->TypeCheck();
    if (r.aborted || env.terminated)
        return TypeNone;
    return r.code;
}

} // namespace qel::cli

using namespace qel::cli;

static const char *kHelp =
    "Usage: qelctl [--port DEVICE] COMMAND [ARGS]\n"
    "\n"
    "Talks to a QEL converter (5600 at 9600 baud, 521/527 at 1200 baud) on a\n"
    "serial port, or works on settings files (.pdt, 74 bytes, one record).\n"
    "\n"
    "Options:\n"
    "  --port DEVICE   use this device path (e.g. /dev/ttyUSB0); without it the\n"
    "                  stored port number (COM1..COM4) is used through its\n"
    "                  device mapping (default /dev/ttyS0../dev/ttyS3)\n"
    "  --help          show this text\n"
    "\n"
    "Commands:\n"
    "  detect                     type detection as at start-up; prints 5600,\n"
    "                             521, 527 or none\n"
    "  read -o FILE               detect, read the settings, save them to FILE\n"
    "  write [--verify] FILE      load FILE, detect, write the settings to the\n"
    "                             device with today's date code as update date;\n"
    "                             --verify reads them back and compares\n"
    "  type-change 521|527|5600   switch the operation type; prints the type\n"
    "                             detected afterwards\n"
    "  monitor --count N          N readings: hex text and percent text\n"
    "                             (a blanked reading prints '- -')\n"
    "  show FILE [--json] [--type 521|527|5600]\n"
    "                             readable listing of a settings file (--type\n"
    "                             gives the unit of the output update time)\n"
    "  print FILE -o OUT.pdf [--type 521|527|5600]\n"
    "                             the printed settings list, as PDF\n"
    "  diff FILE                  read the device and list every setting that\n"
    "                             differs from FILE (name, file's value, device's\n"
    "                             value), compared as the device can hold them;\n"
    "                             exit 0 when equal, 1 when different\n"
    "\n"
    "Exit codes: 0 success, 1 device or communication failure or refusal,\n"
    "2 usage error, 3 file error. The program's messages go to stderr.\n";

int main(int argc, char **argv)
{
    QStringList args;
    for (int i = 1; i < argc; ++i)
        args << QString::fromLocal8Bit(argv[i]);

    Env env;
    int i = 0;
    while (i < args.size() && args[i].startsWith(QLatin1String("--"))) {
        if (args[i] == QLatin1String("--help")) {
            std::fputs(kHelp, stdout);
            return ExitOk;
        }
        if (args[i] == QLatin1String("--port") && i + 1 < args.size()) {
            env.portOverride = args[i + 1];
            i += 2;
            continue;
        }
        std::fputs(kHelp, stderr);
        return ExitUsage;
    }
    if (i >= args.size()) {
        std::fputs(kHelp, stderr);
        return ExitUsage;
    }
    env.command = args[i];
    env.args = args.mid(i + 1);
    if (env.args.contains(QLatin1String("--help"))) {
        std::fputs(kHelp, stdout);
        return ExitOk;
    }

    // The printout draws with fonts: it needs a GUI application (offscreen).
    std::unique_ptr<QCoreApplication> app;
    if (env.command == QLatin1String("print")) {
        if (qgetenv("QT_QPA_PLATFORM").isEmpty())
            qputenv("QT_QPA_PLATFORM", "offscreen");
        app = std::make_unique<QGuiApplication>(argc, argv);
    } else {
        app = std::make_unique<QCoreApplication>(argc, argv);
    }
    env.setUp();

    const QString &c = env.command;
    if (c == QLatin1String("detect"))
        return cmdDetect(env);
    if (c == QLatin1String("read"))
        return cmdRead(env);
    if (c == QLatin1String("write"))
        return cmdWrite(env);
    if (c == QLatin1String("type-change"))
        return cmdTypeChange(env);
    if (c == QLatin1String("monitor"))
        return cmdMonitor(env);
    if (c == QLatin1String("show"))
        return cmdShow(env);
    if (c == QLatin1String("print"))
        return cmdPrint(env);
    if (c == QLatin1String("diff"))
        return cmdDiff(env);
    err(QStringLiteral("qelctl: unknown command '%1' (see qelctl --help)").arg(c));
    return ExitUsage;
}
