// qel-sim: a simulated converter on a pseudo-terminal. The settings program
// (or anything else) opens the printed device path like a serial port; the
// simulator reads the line speed the host set on it with every chunk of
// bytes, so a 5600 answers only at 9600 baud and a 521/527 only at 1200.

#include "SimDevice.h"
#include "platform/SafeWrite.h"

#include <QByteArray>
#include <QFile>
#include <QString>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <algorithm>
#include <deque>
#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <termios.h>
#include <time.h>
#include <unistd.h>

using namespace qel;
using namespace qel::sim;

namespace {

const char kHelp[] =
    "usage: qel-sim --type 5600|521|527 [options]\n"
    "\n"
    "Serves a simulated converter on a pseudo-terminal. The first line on\n"
    "standard output is the device path to open (9600 baud for a 5600, 1200 for\n"
    "a 521/527; bytes sent at another speed get no answer).\n"
    "\n"
    "options:\n"
    "  --type T            operation type: 5600, 521 or 527 (default 5600)\n"
    "  --link PATH         also make PATH a symbolic link to the device (removed on exit)\n"
    "  --serial N          serial number (default 20345 for a 5600, 12345 for a 52X;\n"
    "                      20000 and up can be switched to work as a 5600)\n"
    "  --firmware V        firmware version text (default 01.00)\n"
    "  --settings FILE     load a 74-byte settings record (.pdt) as the device's settings;\n"
    "                      its identity fields are taken where they are not blank\n"
    "  --counts F,Z,P      monitor counts: full scale (\"P\"), zero (\"U\"), present (\"Q\")\n"
    "  --fault SPEC        script a fault; may be given many times. SPEC is\n"
    "                        CMD:refuse          answer \"?\" + CR\n"
    "                        CMD:wrong:TEXT      answer TEXT (escapes \\r \\n \\t \\\\ \\xNN;\n"
    "                                            give it its own \\r if wanted)\n"
    "                        CMD:delay:MS        answer normally, MS milliseconds late\n"
    "                        CMD:silence         no answer\n"
    "                        CMD:chunks:N[:MS]   answer in N pieces MS ms apart (default 10)\n"
    "                        CMD:nocr            answer without the final CR\n"
    "                        CMD:drop            the line drops as CMD comes (CMD is lost):\n"
    "                                            the pseudo-terminal goes away under the host,\n"
    "                                            and the device, with its settings, is on a new\n"
    "                                            one at once (--link follows it), like an\n"
    "                                            adapter pulled and put back\n"
    "                      followed by an optional :xN to apply it N times (default: always).\n"
    "                      CMD is the command without CR: M, E, Q, P, T, U, Z, RV, RS, RC,\n"
    "                      RP02, ...; a write by its first four characters (WP22); the 52X\n"
    "                      image read R, the image write W; a type digit 1, 7, 4.\n"
    "                      e.g. --fault 'RP02:wrong:12345678\\r' --fault WP22:refuse:x1\n"
    "  --stream KIND[:MS]  send on its own every MS ms (default 10; 0: as fast as the\n"
    "                      line takes it, a flood): garbage (random\n"
    "                      bytes) or nocr (endless text without CR)\n"
    "  --latency MS        delay before every answer (default 1)\n"
    "  --pacing            add the transmission time of every character at the line speed\n"
    "  --pace              behave like a real line: a command counts as received once its\n"
    "                      characters would have arrived (10 bit times each at the speed\n"
    "                      the host set), and every reply character is sent at that pace\n"
    "  --lenient-speed     answer at any line speed\n"
    "  --log FILE          write every command received, one per line, CR written as \\r\n"
    "  --state FILE        write the device's 74-byte settings record on SIGUSR1 and at exit\n"
    "  --help              this text\n"
    "  --version           the program's version\n"
    "\n"
    "SIGTERM or SIGINT ends it cleanly. When the host closes the device the simulator\n"
    "keeps serving and answers again when it is reopened.\n";

const int kSignals[] = {SIGTERM, SIGINT, SIGUSR1, SIGHUP};
volatile sig_atomic_t g_stop = 0;
volatile sig_atomic_t g_dump = 0;

void onSignal(int sig)
{
    if (sig == SIGUSR1)
        g_dump = 1;
    else
        g_stop = 1;
}

int baudOf(speed_t s)
{
    static const std::pair<speed_t, int> speeds[] = {
        {B50, 50},         {B75, 75},         {B110, 110},       {B134, 134},
        {B150, 150},       {B200, 200},       {B300, 300},       {B600, 600},
        {B1200, 1200},     {B1800, 1800},     {B2400, 2400},     {B4800, 4800},
        {B9600, 9600},     {B19200, 19200},   {B38400, 38400},   {B57600, 57600},
        {B115200, 115200}, {B230400, 230400}};
    for (const auto &[code, baud] : speeds)
        if (code == s)
            return baud;
    return 0;
}

QByteArray unescape(const QByteArray &t)
{
    QByteArray out;
    for (int i = 0; i < t.size(); ++i) {
        const char c = t.at(i);
        if (c != '\\' || i + 1 >= t.size()) {
            out += c;
            continue;
        }
        const char n = t.at(++i);
        switch (n) {
        case 'r': out += '\r'; break;
        case 'n': out += '\n'; break;
        case 't': out += '\t'; break;
        case 'x': {
            bool ok = false;
            const int v = t.mid(i + 1, 2).toInt(&ok, 16);
            if (ok) {
                out += char(v);
                i += 2;
            } else {
                out += "\\x";
            }
            break;
        }
        default: out += n; break;
        }
    }
    return out;
}

QByteArray escape(const QByteArray &t)
{
    QByteArray out;
    for (unsigned char c : t) {
        if (c == '\r')
            out += "\\r";
        else if (c == '\n')
            out += "\\n";
        else if (c == '\\')
            out += "\\\\";
        else if (c < 0x20 || c >= 0x7F)
            out += "\\x" + QByteArray::number(c, 16).rightJustified(2, '0').toUpper();
        else
            out += char(c);
    }
    return out;
}

bool parseInt(const QByteArray &t, int &v)
{
    bool ok = false;
    v = t.trimmed().toInt(&ok, 0);
    return ok;
}

// "CMD:kind[:arg[:arg]][:xN]"
bool parseFault(const QByteArray &spec, SimFault &f, QString &why)
{
    QByteArray s = spec;
    f.count = -1;
    const int lastColon = s.lastIndexOf(':');
    if (lastColon > 0 && s.size() > lastColon + 2 && s.at(lastColon + 1) == 'x') {
        int n = 0;
        if (parseInt(s.mid(lastColon + 2), n) && n > 0) {
            f.count = n;
            s.truncate(lastColon);
        }
    }
    const QList<QByteArray> parts = s.split(':');
    if (parts.size() < 2 || parts[0].isEmpty()) {
        why = QStringLiteral("no kind");
        return false;
    }
    f.command = parts[0];
    const QByteArray kind = parts[1].toLower(), arg = parts.mid(2).join(':');
    static const std::pair<const char *, SimFault::Kind> kinds[] = {
        {"refuse", SimFault::Refuse}, {"wrong", SimFault::Wrong}, {"silence", SimFault::Silence},
        {"nocr", SimFault::NoCR},     {"drop", SimFault::Drop},   {"delay", SimFault::Delay},
        {"chunks", SimFault::Chunks}};
    const auto k = std::find_if(std::begin(kinds), std::end(kinds), [&](const auto &p) { return kind == p.first; });
    if (k == std::end(kinds)) {
        why = QStringLiteral("unknown kind '%1'").arg(QString::fromLatin1(kind));
        return false;
    }
    f.kind = k->second;
    if (f.kind == SimFault::Wrong)
        f.reply = unescape(arg);
    if (f.kind == SimFault::Delay && (!parseInt(arg, f.delayMs) || f.delayMs < 0)) {
        why = QStringLiteral("delay needs milliseconds");
        return false;
    }
    if (f.kind == SimFault::Chunks) {
        const QList<QByteArray> values = arg.split(':');
        f.delayMs = 10;
        if (!parseInt(values.value(0), f.chunks) || f.chunks < 1
            || (values.size() > 1 && !parseInt(values.value(1), f.delayMs))) {
            why = QStringLiteral("chunks needs a count");
            return false;
        }
    }
    return true;
}

struct Pending {
    qint64 at; // microseconds
    QByteArray bytes;
    bool drop = false; // the line drops here
};

class Server {
public:
    SimDevice dev;
    QString statePath, linkPath;
    int master = -1, slave = -1;
    std::deque<Pending> pending;
    qint64 nextStream = 0; // microseconds
    bool flood = false;    // the stream as fast as the host reads it
    bool pace = false;
    qint64 rxFree = 0; // --pace: when the line from the host is free again (us)
    qint64 txFree = 0; // --pace: when the line to the host is free again (us)

    // The simulator's time: whole milliseconds (replies, streams and waits
    // fall on the same millisecond as they always did), microseconds with
    // --pace (a character at 9600 baud takes 1.04 ms).
    qint64 clockUs() const
    {
        using namespace std::chrono;
        const qint64 t = duration_cast<microseconds>(steady_clock::now().time_since_epoch()).count();
        return pace ? t : t / 1000 * 1000;
    }
    FILE *log = nullptr;

    explicit Server(int type) : dev(type) {}

    bool openPty(QString &path)
    {
        master = posix_openpt(O_RDWR | O_NOCTTY);
        if (master < 0 || grantpt(master) != 0 || unlockpt(master) != 0)
            return false;
        const char *name = ptsname(master);
        if (!name)
            return false;
        path = QString::fromLocal8Bit(name);
        // Raw line at the device's own speed until the host sets its own.
        // The simulator keeps the slave open itself: the master then never
        // hangs up while the host has it closed, and the host can reopen it.
        slave = open(name, O_RDWR | O_NOCTTY);
        if (slave < 0)
            return false;
        termios t;
        if (tcgetattr(slave, &t) == 0) {
            cfmakeraw(&t);
            cfsetspeed(&t, dev.lineBaud() == 9600 ? B9600 : B1200);
            tcsetattr(slave, TCSANOW, &t);
        }
        fcntl(master, F_SETFL, fcntl(master, F_GETFL) | O_NONBLOCK);
        return true;
    }

    // Points --link at the device path (a new link renamed over the old one).
    bool relink(const QString &path)
    {
        const QByteArray l = QFile::encodeName(linkPath);
        const QByteArray temp = l + ".new";
        ::unlink(temp.constData());
        return symlink(QFile::encodeName(path).constData(), temp.constData()) == 0
            && ::rename(temp.constData(), l.constData()) == 0;
    }

    // The line goes away under the host (its reads fail), and the device is
    // at once on a new pseudo-terminal, as an adapter pulled and put back
    // comes back under a new node; --link follows it.
    void dropLine()
    {
        pending.clear();
        close(slave);
        close(master);
        QString path;
        if (!openPty(path)) {
            perror("qel-sim: pseudo-terminal");
            g_stop = 1;
            return;
        }
        if (!linkPath.isEmpty() && !relink(path))
            perror("qel-sim: --link");
        fprintf(stderr, "qel-sim: the line dropped; the device is now on %s\n", qPrintable(path));
    }

    int hostBaud() const
    {
        termios t;
        if (tcgetattr(master, &t) != 0)
            return 0;
        return baudOf(cfgetispeed(&t));
    }

    // The device's log goes to the --log file and is forgotten: a simulator
    // that runs for days keeps no more than one chunk's commands.
    void writeLog()
    {
        if (log) {
            for (const QByteArray &c : dev.commands())
                fprintf(log, "%s\n", escape(c).constData());
            fflush(log);
        }
        dev.clearLog();
    }

    void dumpState()
    {
        if (statePath.isEmpty())
            return;
        // Written whole or not at all: a reader never sees half a record.
        QString why;
        if (!writeFileWhole(statePath, dev.record().bytes(), why))
            fprintf(stderr, "qel-sim: cannot write %s: %s\n", qPrintable(statePath), qPrintable(why));
    }

    void onData()
    {
        char buf[4096];
        for (;;) {
            const ssize_t n = read(master, buf, sizeof buf);
            if (n <= 0)
                break;
            // The speed is read at once: bytes are judged at the speed the
            // host had set when it sent them.
            const int baud = hostBaud();
            const QList<SimReply> replies = dev.receive(QByteArray(buf, int(n)), baud);
            const qint64 charUs = pace && baud > 0 ? 10000000 / baud : 0;
            qint64 at = clockUs();
            if (pace) {
                // The command is whole once its last character has come in.
                rxFree = std::max(rxFree, at) + n * charUs;
                at = rxFree;
            }
            for (const SimReply &r : replies) {
                at += qint64(r.delayMs) * 1000;
                if (r.dropLine) {
                    pending.push_back({at, {}, true});
                    continue;
                }
                // Replies leave the device in order.
                if (!pending.empty() && pending.back().at > at)
                    at = pending.back().at;
                if (!pace) {
                    pending.push_back({at, r.bytes});
                    continue;
                }
                // One character at a time, each there after its 10 bit times.
                for (char c : r.bytes) {
                    txFree = std::max(txFree, at) + charUs;
                    at = txFree;
                    pending.push_back({at, QByteArray(1, c)});
                }
            }
            writeLog();
        }
    }

    void sendDue()
    {
        const qint64 now = clockUs();
        while (!pending.empty() && pending.front().at <= now) {
            if (pending.front().drop) {
                dropLine();
                return;
            }
            const QByteArray &b = pending.front().bytes;
            // The slave's queue is large; a reply that does not fit is lost
            // like characters on a line nobody reads.
            if (write(master, b.constData(), size_t(b.size())) < 0 && errno == EINTR)
                continue;
            pending.pop_front();
        }
        if (dev.stream() != SimDevice::Stream::Off && flood) {
            // Until the line's buffer is full; poll says when there is room again.
            for (;;) {
                QByteArray chunk;
                while (chunk.size() < 4096)
                    chunk += dev.nextStreamChunk();
                if (write(master, chunk.constData(), size_t(chunk.size())) < chunk.size())
                    break;
            }
        } else if (dev.stream() != SimDevice::Stream::Off && now >= nextStream) {
            const QByteArray chunk = dev.nextStreamChunk();
            (void)!write(master, chunk.constData(), size_t(chunk.size()));
            nextStream = now + qint64(dev.streamIntervalMs()) * 1000;
        }
    }

    // Microseconds until the next thing to send; -1: nothing to send.
    qint64 timeoutUs() const
    {
        qint64 due = -1;
        if (!pending.empty())
            due = pending.front().at;
        if (dev.stream() != SimDevice::Stream::Off && !flood && (due < 0 || nextStream < due))
            due = nextStream;
        if (due < 0)
            return -1;
        return qMax<qint64>(0, due - clockUs());
    }

    // The stop and dump signals are blocked (main blocks them early) and
    // come in only while ppoll waits.
    int run()
    {
        sigset_t empty;
        sigemptyset(&empty);
        struct sigaction sa;
        std::memset(&sa, 0, sizeof sa);
        sa.sa_handler = onSignal;
        for (const int sig : kSignals)
            sigaction(sig, &sa, nullptr);
        signal(SIGPIPE, SIG_IGN);

        while (!g_stop) {
            if (g_dump) {
                g_dump = 0;
                dumpState();
            }
            pollfd p{master, short(POLLIN | (flood ? POLLOUT : 0)), 0};
            const qint64 us = timeoutUs();
            timespec ts{time_t(us / 1000000), long(us % 1000000) * 1000L};
            const int r = ppoll(&p, 1, us < 0 ? nullptr : &ts, &empty);
            if (r < 0) {
                if (errno == EINTR)
                    continue;
                perror("qel-sim: poll");
                return 1;
            }
            if (r > 0 && (p.revents & POLLIN)) {
                onData();
            } else if (r > 0 && (p.revents & (POLLHUP | POLLERR))) {
                // Nobody holds the line: wait for it to be opened again.
                timespec nap{0, 20 * 1000000L};
                ppoll(nullptr, 0, &nap, &empty);
            }
            sendDue();
        }
        return 0;
    }

    void cleanup()
    {
        dumpState();
        if (!linkPath.isEmpty())
            ::unlink(QFile::encodeName(linkPath).constData());
        if (log)
            fclose(log);
        if (slave >= 0)
            close(slave);
        if (master >= 0)
            close(master);
    }
};

int usage(const QString &why)
{
    fprintf(stderr, "qel-sim: %s\n(see qel-sim --help)\n", qPrintable(why));
    return 2;
}

} // namespace

int main(int argc, char **argv)
{
    int type = 5600;
    int serial = -1;
    QByteArray version;
    QString settings, link, logPath, statePath;
    QList<SimFault> faults;
    QByteArray stream;
    int latency = 1;
    bool pacing = false, lenient = false, pace = false;
    QList<int> counts;

    for (int i = 1; i < argc; ++i) {
        const QByteArray a = argv[i];
        auto value = [&](QByteArray &out) {
            if (i + 1 >= argc)
                return false;
            out = argv[++i];
            return true;
        };
        QByteArray v;
        if (a == "--help" || a == "-h") {
            fputs(kHelp, stdout);
            return 0;
        } else if (a == "--version") {
            fputs("qel-sim " QEL_VERSION_TEXT "\n", stdout);
            return 0;
        } else if (a == "--pacing") {
            pacing = true;
        } else if (a == "--pace") {
            pace = true;
        } else if (a == "--lenient-speed") {
            lenient = true;
        } else if (!value(v)) {
            return usage(QStringLiteral("unknown option or missing value: %1")
                             .arg(QString::fromLocal8Bit(a)));
        } else if (a == "--type") {
            if (!parseInt(v, type) || (type != 5600 && type != 521 && type != 527))
                return usage(QStringLiteral("--type must be 5600, 521 or 527"));
        } else if (a == "--link") {
            link = QString::fromLocal8Bit(v);
        } else if (a == "--serial") {
            if (!parseInt(v, serial) || serial < 0 || serial > 65535)
                return usage(QStringLiteral("--serial must be 0..65535"));
        } else if (a == "--firmware") {
            version = v;
        } else if (a == "--settings") {
            settings = QString::fromLocal8Bit(v);
        } else if (a == "--log") {
            logPath = QString::fromLocal8Bit(v);
        } else if (a == "--state") {
            statePath = QString::fromLocal8Bit(v);
        } else if (a == "--latency") {
            if (!parseInt(v, latency) || latency < 0)
                return usage(QStringLiteral("--latency needs milliseconds"));
        } else if (a == "--counts") {
            for (const QByteArray &p : v.split(',')) {
                int n = 0;
                if (!parseInt(p, n))
                    return usage(QStringLiteral("--counts needs FULL,ZERO,PRESENT"));
                counts << n;
            }
            if (counts.size() != 3)
                return usage(QStringLiteral("--counts needs FULL,ZERO,PRESENT"));
        } else if (a == "--stream") {
            stream = v;
        } else if (a == "--fault") {
            SimFault f;
            QString why;
            if (!parseFault(v, f, why))
                return usage(QStringLiteral("bad --fault %1: %2").arg(QString::fromLocal8Bit(v), why));
            faults << f;
        } else {
            return usage(QStringLiteral("unknown option %1").arg(QString::fromLocal8Bit(a)));
        }
    }

    Server s(type);
    if (!settings.isEmpty()) {
        QFile f(settings);
        if (!f.open(QIODevice::ReadOnly))
            return usage(QStringLiteral("cannot read %1").arg(settings));
        const QByteArray all = f.read(ParameterRecord::Size);
        if (all.size() < ParameterRecord::Size)
            return usage(QStringLiteral("%1 is not a 74-byte settings record").arg(settings));
        ParameterRecord rec;
        rec.setBytes(all);
        for (int fno = 1; fno <= ParameterRecord::FieldCount; ++fno)
            if (fno <= 30 || !rec.field(fno).trimmed().isEmpty())
                s.dev.record().setField(fno, rec.field(fno));
    }
    if (serial >= 0)
        s.dev.setSerial(serial);
    if (!version.isEmpty())
        s.dev.setVersion(version);
    if (counts.size() == 3)
        s.dev.setMonitorCounts(counts[0], counts[1], counts[2]);
    for (const SimFault &f : faults)
        s.dev.addFault(f);
    s.dev.setLatencyMs(latency);
    s.dev.setPacing(pacing);
    s.dev.setStrictSpeed(!lenient);
    if (!stream.isEmpty()) {
        const QList<QByteArray> parts = stream.split(':');
        int ms = 10;
        if (parts.size() > 1 && (!parseInt(parts[1], ms) || ms < 0))
            return usage(QStringLiteral("--stream KIND[:MS]"));
        s.flood = ms == 0;
        if (parts[0] == "garbage")
            s.dev.setStream(SimDevice::Stream::Garbage, ms);
        else if (parts[0] == "nocr")
            s.dev.setStream(SimDevice::Stream::NoCR, ms);
        else
            return usage(QStringLiteral("--stream must be garbage or nocr"));
    }
    s.pace = pace;
    s.statePath = statePath;
    if (!logPath.isEmpty()) {
        s.log = fopen(QFile::encodeName(logPath).constData(), "w");
        if (!s.log)
            return usage(QStringLiteral("cannot write %1").arg(logPath));
    }

    QString path;
    if (!s.openPty(path)) {
        perror("qel-sim: pseudo-terminal");
        return 1;
    }
    if (!link.isEmpty()) {
        const QByteArray l = QFile::encodeName(link);
        struct stat st;
        if (lstat(l.constData(), &st) == 0 && S_ISLNK(st.st_mode))
            ::unlink(l.constData());
        if (symlink(QFile::encodeName(path).constData(), l.constData()) != 0) {
            perror("qel-sim: --link");
            s.cleanup();
            return 1;
        }
        s.linkPath = link;
    }
    // A caller may ask for the state (SIGUSR1) as soon as it has the path:
    // the signals wait, blocked, until run() handles them.
    sigset_t early;
    sigemptyset(&early);
    for (const int sig : kSignals)
        sigaddset(&early, sig);
    sigprocmask(SIG_BLOCK, &early, nullptr);
    printf("%s\n", QFile::encodeName(path).constData());
    fflush(stdout);
    fprintf(stderr, "qel-sim: type %d, serial %d, on %s\n", s.dev.type(), s.dev.serial(),
            qPrintable(path));

    const int rc = s.run();
    s.cleanup();
    return rc;
}
