#include "PortList.h"

#include <QFile>

#include <algorithm>

namespace qel {

namespace {

// A field of the tab-separated form holds no tab or line break.
QString field(QString s)
{
    for (QChar &c : s)
        if (c == QLatin1Char('\t') || c == QLatin1Char('\n') || c == QLatin1Char('\r'))
            c = QLatin1Char(' ');
    return s;
}

} // namespace

QString portLine(const FoundPort &p)
{
    return QStringList{field(p.path), field(p.byId), field(p.description), field(p.manufacturer),
                       field(p.serialNumber)}
        .join(QLatin1Char('\t'));
}

FoundPort portFromLine(const QString &line)
{
    const QStringList f = line.split(QLatin1Char('\t'));
    return {f.value(0), f.value(1), f.value(2), f.value(3), f.value(4)};
}

QList<FoundPort> SystemPortList::ports()
{
    QList<FoundPort> out;
    const QString fake = qEnvironmentVariable("QEL_PORT_LIST");
    if (!fake.isEmpty()) {
        QFile f(fake);
        if (f.open(QIODevice::ReadOnly | QIODevice::Text))
            for (const QString &line : QString::fromUtf8(f.readAll()).split(QLatin1Char('\n')))
                if (!line.trimmed().isEmpty())
                    out << portFromLine(line);
        return out;
    }

    out = systemPorts();
    std::sort(out.begin(), out.end(),
              [](const FoundPort &a, const FoundPort &b) { return a.path < b.path; });
    return out;
}

} // namespace qel
