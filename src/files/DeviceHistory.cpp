#include "DeviceHistory.h"

#include "DataFile.h"
#include "HistoryGit.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>
#include <algorithm>

namespace qel {

namespace {
const QString kStamp = QStringLiteral("yyyyMMdd-HHmmss");
const std::pair<int, const char *> kTypeTexts[] = {
    {Type5600, "5600"}, {Type521, "521"}, {Type527, "527"}};

// The folder of a converter's copies under the root: TYPE-SERIAL.
QString converterFolder(const QString &type, const ParameterRecord &rec)
{
    return QStringLiteral("%1-%2").arg(type, historySerial(rec.field(32)));
}
}

QString historyRoot()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation)
        + QStringLiteral("/qel-settings/history");
}

QString historySerial(const QByteArray &field32)
{
    QString s;
    for (const char c : field32.trimmed())
        if ((c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'))
            s += QLatin1Char(c);
    return s.isEmpty() ? QStringLiteral("unknown") : s;
}

bool keepInHistory(const QString &root, const QString &type, const ParameterRecord &rec,
                   const QDateTime &when, QString &path, QString &error)
{
    const QString folder = root + u'/' + converterFolder(type, rec);
    if (!QDir().mkpath(folder)) {
        error = QStringLiteral("%1: cannot create the folder").arg(folder);
        return false;
    }
    // Two reads within one second keep two files.
    const QString base = QStringLiteral("%1/%2").arg(folder, when.toString(kStamp));
    path = base + QStringLiteral(".pdt");
    for (int n = 2; QFileInfo::exists(path); ++n)
        path = QStringLiteral("%1-%2.pdt").arg(base).arg(n);
    return saveDataFile(path, rec, error);
}

QString typeText(int code)
{
    for (const auto &[c, text] : kTypeTexts)
        if (c == code)
            return QString::fromLatin1(text);
    return QStringLiteral("none");
}

int typeCode(const QString &text)
{
    for (const auto &[code, t] : kTypeTexts)
        if (text == QLatin1String(t))
            return code;
    return TypeNone;
}

std::function<void(const AppState &)> historyKeeper(std::function<void(const QString &)> warn)
{
    return [warn](const AppState &st) {
        QString path, error;
        const QString root = historyRoot();
        const QDateTime when = QDateTime::currentDateTime();
        const QString type = typeText(st.DeviceType);
        if (!keepInHistory(root, type, st.ParamRecord, when, path, error)) {
            if (warn)
                warn(QStringLiteral("the copy for the device history was not kept: %1").arg(error));
            return;
        }
        // A new copy: the converter's settings.txt, and a commit where the history is in git.
        if (!recordNewCopy(root, converterFolder(type, st.ParamRecord), path, st.ParamRecord,
                           st.DeviceType, when, error)
            && warn)
            warn(QStringLiteral("the copy %1 was kept, but: %2").arg(path, error));
    };
}

QList<HistoryEntry> listHistory(const QString &root, const QString &serial)
{
    QList<HistoryEntry> out;
    const QDir dir(root);
    for (const QFileInfo &sub : dir.entryInfoList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name)) {
        const QString name = sub.fileName();
        const qsizetype dash = name.indexOf(QLatin1Char('-'));
        if (dash <= 0)
            continue;
        HistoryEntry e;
        e.type = name.left(dash);
        e.serial = name.mid(dash + 1);
        if (!serial.isEmpty() && e.serial != serial)
            continue;
        for (const QFileInfo &f : QDir(sub.filePath()).entryInfoList({QStringLiteral("*.pdt")},
                                                                     QDir::Files, QDir::Name)) {
            e.when = QDateTime::fromString(f.completeBaseName().left(kStamp.size()), kStamp);
            if (!e.when.isValid())
                continue;
            e.path = f.filePath();
            out << e;
        }
    }
    std::stable_sort(out.begin(), out.end(),
                     [](const HistoryEntry &a, const HistoryEntry &b) { return a.when < b.when; });
    return out;
}

} // namespace qel
