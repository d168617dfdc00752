#include "Fleet.h"

#include "platform/FileAccess.h"
#include "platform/NetworkPort.h"
#include "platform/PortList.h"

#include <QFileInfo>
#include <QRegularExpression>
#include <QStringDecoder>

namespace qel::jobs {

namespace {

// The device a port leads to (links followed), for finding one listed twice.
QString deviceKey(const QString &port)
{
    const QString device = QFileInfo(port).canonicalFilePath();
    return device.isEmpty() ? port : device;
}

// Why a fleet file's line is no port entry; empty when it is one.
QString badEntry(const QStringList &words, FleetPort &p)
{
    if (words.size() > 3)
        return QStringLiteral("more than a port, a name and a serial number: %1").arg(words.mid(3).join(u' '));
    p.port = words[0];
    QString host;
    quint16 tcpPort = 0;
    if (isNetworkUrl(p.port)) {
        if (!parseNetworkUrl(p.port, host, tcpPort))
            return QStringLiteral("%1: not a network port (rfc2217://HOST:PORT)").arg(p.port);
    } else if (!p.port.startsWith(u'/')) {
        return QStringLiteral("%1: not a port (a device path from / or rfc2217://HOST:PORT)").arg(p.port);
    }
    if (words.size() > 1 && words[1] != QLatin1String("-"))
        p.name = words[1];
    if (words.size() > 2) {
        static const QRegularExpression serial(QStringLiteral("^[0-9A-Za-z]+$"));
        if (!serial.match(words[2]).hasMatch())
            return QStringLiteral("%1: not a serial number (letters and digits)").arg(words[2]);
        p.serial = words[2];
    }
    return {};
}

} // namespace

bool Fleet::readFile(const QString &path, const std::function<void(const QString &)> &tell)
{
    fromFile = true;
    const auto problem = [&](const QString &at, const QString &why) { tell(QStringLiteral("%1%2: %3").arg(path, at, why)); };
    // A fleet of thousands of converters is a few hundred kB; more is no fleet file.
    constexpr qint64 kMost = 4 << 20;
    QByteArray bytes;
    QString error;
    if (!readUpTo(path, kMost + 1, bytes, error) || bytes.size() > kMost) {
        problem({}, bytes.size() > kMost ? QStringLiteral("not a fleet file (more than 4 MiB)")
                                         : QStringLiteral("cannot read the fleet file: %1").arg(error));
        return false;
    }
    static const QRegularExpression blanks(QStringLiteral("\\s+"));
    static const QRegularExpression comment(QStringLiteral("(^|\\s)#.*$"));
    const QList<QByteArray> lines = bytes.split('\n');
    for (int n = 1; n <= lines.size(); ++n) {
        const auto bad = [&](const QString &why) {
            problem(QStringLiteral(":%1").arg(n), why);
            badLines = true;
        };
        QStringDecoder utf8(QStringDecoder::Utf8);
        QString line = utf8(lines[n - 1]);
        if (utf8.hasError()) {
            bad(QStringLiteral("not UTF-8 text"));
            continue;
        }
        const QStringList words = line.remove(comment).split(blanks, Qt::SkipEmptyParts);
        if (words.isEmpty())
            continue;
        FleetPort p;
        if (const QString why = badEntry(words, p); !why.isEmpty()) {
            bad(why);
            continue;
        }
        const QString device = deviceKey(p.port);
        if (seen_.contains(device)) {
            bad(QStringLiteral("%1: the same port as line %2").arg(p.port).arg(seen_.value(device)));
            continue;
        }
        seen_.insert(device, n);
        p.line = n;
        p.named = true;
        ports << p;
    }
    return true;
}

void Fleet::add(const QStringList &given, bool named)
{
    for (const QString &port : given) {
        const QString device = deviceKey(port);
        if (!seen_.contains(device)) {
            ports << FleetPort{port, {}, {}, 0, named, {}};
            seen_.insert(device, 0);
            continue;
        }
        // Another name of a device already listed (a link and its target):
        // listed as that device; the same name twice counts once.
        const auto first = std::find_if(ports.cbegin(), ports.cend(), [&](const FleetPort &f) {
            return f.sameAs.isEmpty() && deviceKey(f.port) == device;
        });
        if (first != ports.cend() && !find(port))
            ports << FleetPort{port, {}, {}, 0, named, first->port};
    }
}

const FleetPort *Fleet::find(const QString &port) const
{
    for (const FleetPort &p : ports)
        if (p.port == port)
            return &p;
    return nullptr;
}

QList<FleetPort> Fleet::toWork() const
{
    QList<FleetPort> work = ports;
    work.removeIf([](const FleetPort &p) { return !p.sameAs.isEmpty(); });
    return work;
}

void Fleet::apply(PortResult &r) const
{
    const FleetPort *p = find(r.port);
    if (!p || p->line == 0)
        return;
    r.name = p->name;
    r.expectedSerial = p->serial;
    r.serialMismatch = !p->serial.isEmpty() && r.serial && !r.serial->isEmpty() && !sameSerial(*r.serial, p->serial);
}

QStringList portsFound(SettingsStore &store)
{
    // Each device once, however many names lead to it (two probes of one
    // line would refuse each other).
    QStringList ports, devices;
    const auto add = [&](const QString &port) {
        if (!devices.contains(deviceKey(port))) {
            devices << deviceKey(port);
            ports << port;
        }
    };
    SystemPortList found;
    for (const FoundPort &p : found.ports())
        add(p.stableName());
    for (int n = 1; n <= 4; ++n) {
        QString stored;
        if (store.get(QStringLiteral("QEL-5600"), QStringLiteral("DevicePath"), QStringLiteral("COM%1").arg(n), stored)
            && !stored.trimmed().isEmpty())
            add(stored.trimmed());
    }
    return ports;
}

} // namespace qel::jobs
