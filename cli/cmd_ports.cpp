// qelctl ports [--json]
#include "Cli.h"

#include "platform/PortList.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <cstdio>

namespace qel::cli {

namespace {

int cmdPorts(Env &env)
{
    if (!env.badOption.isNull() || !env.args.isEmpty())
        return exitWith(ExitUsage, QStringLiteral("usage: qelctl ports [--json]"));
    SystemPortList list;
    const QList<FoundPort> ports = list.ports();
    if (env.opts->isSet(QStringLiteral("json"))) {
        QJsonArray all;
        for (const FoundPort &p : ports)
            all.append(QJsonObject{{QStringLiteral("path"), p.path},
                                   {QStringLiteral("by_id"), p.byId},
                                   {QStringLiteral("description"), p.description},
                                   {QStringLiteral("manufacturer"), p.manufacturer},
                                   {QStringLiteral("serial"), p.serialNumber}});
        put(stdout, QJsonDocument(all).toJson(QJsonDocument::Indented));
        return ExitOk;
    }
    for (const FoundPort &p : ports)
        out(portLine(p));
    return ExitOk;
}

} // namespace

const CommandRegistration portsCommand({
    QStringLiteral("ports"), QStringLiteral("ports [--json]"),
    QStringLiteral("the serial ports found on this machine, one a line:\n"
                   "path, by-id link, description, manufacturer, serial\n"
                   "number (tab-separated); exit 0 also when there are none"),
    {QCommandLineOption(QStringLiteral("json"))}, cmdPorts});

} // namespace qel::cli
