// qelctl check APPROVED-DIR: every converter against the settings approved
// for it (APPROVED-DIR/SERIAL.pdt or TYPE-SERIAL.pdt), setting by setting as
// `diff` compares; one line a converter.
#include "Fleet.h"

#include "files/DataFile.h"
#include "platform/FileName.h"

#include <QJsonArray>
#include <QJsonObject>

#include <sys/stat.h>

namespace qel::cli {

namespace {

// What the approved folder holds for a converter, by the names `check`
// looks for in turn.
QStringList approvedNames(const QString &dir, const QString &type, const QString &serial)
{
    return {QStringLiteral("%1/%2.pdt").arg(dir, serial),
            QStringLiteral("%1/%2-%3.pdt").arg(dir, type, serial)};
}

bool exists(const QString &path)
{
    struct stat st;
    return ::stat(fileNameBytes(path).constData(), &st) == 0;
}

// Reads the converter on the session's port and compares it.
QJsonObject checkOne(Env &env, const QString &dir, const QString &port)
{
    TypeCheckResult detected;
    QJsonObject o{{QStringLiteral("port"), port}, {QStringLiteral("type"), typeText(detected.code)}};
    const auto notAnswering = [&](const QString &why) {
        o[QStringLiteral("status")] = QStringLiteral("notAnswering");
        o[QStringLiteral("error")] = why;
        return o;
    };
    if (!env.claimPort())
        return notAnswering(QStringLiteral("the port did not open"));
    o = detectOn(env, port, detected);
    if (!detected.generation)
        return notAnswering(QStringLiteral("no converter answered"));
    if (!readSettings(env))
        return notAnswering(QStringLiteral("the read did not complete"));

    const AppState &st = env.ctx->state;
    const QString type = typeText(st.DeviceType);
    o[QStringLiteral("type")] = type;
    o[QStringLiteral("serial")] = field(st.ParamRecord, 32);
    const QStringList names = approvedNames(dir, type, historySerial(st.ParamRecord.field(32)));
    const auto found = std::find_if(names.begin(), names.end(), exists);
    if (found == names.end()) {
        o[QStringLiteral("status")] = QStringLiteral("noApprovedFile");
        o[QStringLiteral("lookedFor")] = QJsonArray::fromStringList(names);
        return o;
    }
    o[QStringLiteral("approved")] = *found;
    ParameterRecord approved;
    FileProblem problem;
    if (!loadDataFile(*found, approved, problem)) {
        o[QStringLiteral("status")] = QStringLiteral("approvedFileError");
        o[QStringLiteral("error")] = problem.text();
        return o;
    }
    const QJsonArray differences = differencesJson(settingDifferences(approved, st), QStringLiteral("approved"));
    o[QStringLiteral("status")] = differences.isEmpty() ? QStringLiteral("same") : QStringLiteral("differs");
    if (!differences.isEmpty())
        o[QStringLiteral("differences")] = differences;
    return o;
}

// What a converter's line says after its port, name, type and serial number.
QString result(const QJsonObject &o)
{
    const QString status = o.value(QStringLiteral("status")).toString();
    if (o.value(QStringLiteral("serialMismatch")).toBool())
        return QStringLiteral("another converter: the fleet file expects serial number %1")
            .arg(o.value(QStringLiteral("expectedSerial")).toString());
    if (status == QLatin1String("same"))
        return QStringLiteral("same");
    if (status == QLatin1String("differs")) {
        QStringList parts;
        for (const QJsonValue &v : o.value(QStringLiteral("differences")).toArray()) {
            const QJsonObject d = v.toObject();
            const auto value = [&](const char *side) {
                const QJsonObject s = d.value(QLatin1String(side)).toObject();
                SettingEntry e;
                e.raw = s.value(QStringLiteral("raw")).toString().toLatin1();
                if (s.value(QStringLiteral("meaning")).isString())
                    e.meaning = s.value(QStringLiteral("meaning")).toString();
                return valueText(e);
            };
            parts << QStringLiteral("%1 (%2): approved %3, device %4")
                         .arg(d.value(QStringLiteral("name")).toString(),
                              d.value(QStringLiteral("fields")).toString(), value("approved"),
                              value("device"));
        }
        return QStringLiteral("differs: ") + parts.join(QStringLiteral("; "));
    }
    if (status == QLatin1String("noApprovedFile"))
        return QStringLiteral("no approved file (%1)")
            .arg(o.value(QStringLiteral("lookedFor")).toVariant().toStringList().join(QStringLiteral(" or ")));
    if (status == QLatin1String("approvedFileError"))
        return QStringLiteral("approved file unusable: %1")
            .arg(o.value(QStringLiteral("error")).toString().replace(u'\n', u' '));
    return QStringLiteral("not answering: %1").arg(o.value(QStringLiteral("error")).toString());
}

QString checkLine(const QJsonObject &o)
{
    auto value = [&](const char *key) {
        const QString v = o.value(QLatin1String(key)).toString();
        return v.isEmpty() ? QStringLiteral("-") : v;
    };
    return QStringLiteral("%1\t%2\t%3\t%4\t%5")
        .arg(value("port"), value("name"), value("type"), value("serial"), result(o));
}

} // namespace

int cmdCheck(Env &env)
{
    const FleetArgs a = fleetArgs(env);
    if (!a.ok || a.rest.size() != 1 || a.rest.first().startsWith(QLatin1Char('-')))
        return exitWith(ExitUsage,
                        QStringLiteral("check needs APPROVED-DIR, then --port P (repeatable) or --fleet FILE (see qelctl --help)"));
    const QString dir = a.rest.first();
    struct stat st;
    if (::stat(fileNameBytes(dir).constData(), &st) != 0 || !S_ISDIR(st.st_mode))
        return exitWith(ExitFile, QStringLiteral("%1: no folder of approved settings").arg(dir));
    // The per-port processes are handed the folder as text, which carries UTF-8 names only.
    if (a.ports.size() > 1 && fileNameBytes(dir) != dir.toUtf8())
        return exitWith(ExitUsage, QStringLiteral("check of several ports needs a folder name in UTF-8: %1").arg(dir));
    if (a.ports.isEmpty())
        return noPorts(a, QStringLiteral("check"));

    const QJsonArray all = forEachPort(
        env, a, {QStringLiteral("check"), dir, QStringLiteral("--json")},
        {{QStringLiteral("type"), QStringLiteral("none")},
         {QStringLiteral("status"), QStringLiteral("notAnswering")},
         {QStringLiteral("error"), QStringLiteral("no answer from qelctl")}},
        [&](const QString &port) { return checkOne(env, dir, port); });

    int code = ExitOk;
    for (const QJsonValue &v : all) {
        const QJsonObject o = v.toObject();
        const QString status = o.value(QStringLiteral("status")).toString();
        if (status == QLatin1String("approvedFileError"))
            code = ExitFile;
        else if (status != QLatin1String("same") && code == ExitOk)
            code = ExitDevice;
        if (!a.json)
            out(checkLine(o));
    }
    if (a.json)
        printJson(all);
    // The text lines say which converter is another; JSON has it as serialMismatch.
    return fleetExit(a, all, code, a.json);
}

const CommandRegistration checkCommand({
    QStringLiteral("check"), QStringLiteral("check APPROVED-DIR [--port P]... [--fleet FILE] [--json]"),
    QStringLiteral("read every converter, all at once, and compare\n"
                   "it as diff does with APPROVED-DIR/SERIAL.pdt,\n"
                   "else APPROVED-DIR/TYPE-SERIAL.pdt; one line a\n"
                   "converter: port, name, type, serial, then same,\n"
                   "differs (which settings), no approved file or\n"
                   "not answering; exit 0 when all match, 1\n"
                   "otherwise, 3 on a file problem"),
    fleetOptions(), cmdCheck});

} // namespace qel::cli
