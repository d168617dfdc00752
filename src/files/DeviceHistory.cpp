#include "DeviceHistory.h"

#include "platform/Folder.h"
#include "platform/SafeWrite.h"

#include <QStandardPaths>
#include <algorithm>

namespace qel {

namespace {

const QString kStamp = QStringLiteral("yyyyMMdd-HHmmss");
const QString kBeforeWrite = QStringLiteral("before-last-write");

// A reader waits this long for another keeping a copy of the same converter;
// then it goes on alone (the names stay exclusive, at worst a copy is kept twice).
constexpr int kFolderTurnMs = 10000;

// The folder of a converter's copies under the root: TYPE-SERIAL.
QString converterFolder(const QString &type, const QString &serial)
{
    return QStringLiteral("%1-%2").arg(type, serial);
}

// A copy's first-seen time and its number from its name
// (YYYYMMDD-HHMMSS.pdt, YYYYMMDD-HHMMSS-N.pdt); false for any other name.
bool parseCopyName(const QString &name, QDateTime &when, int &number)
{
    if (!name.endsWith(QLatin1String(".pdt")))
        return false;
    const QString base = name.chopped(4);
    when = QDateTime::fromString(base.left(kStamp.size()), kStamp);
    if (!when.isValid())
        return false;
    const QString rest = base.mid(kStamp.size());
    bool ok = rest.isEmpty();
    number = ok ? 1 : rest.mid(1).toInt(&ok);
    return ok && (rest.isEmpty() || (rest.startsWith(u'-') && number >= 2));
}

bool olderCopy(const HistoryEntry &a, const HistoryEntry &b)
{
    return a.when != b.when ? a.when < b.when : a.number < b.number;
}

// The copies in one converter's folder, oldest first.
QList<HistoryEntry> copiesIn(const Folder &folder, const QString &type, const QString &serial)
{
    QList<HistoryEntry> out;
    QByteArray marked;
    QString unread;
    folder.readFile(kBeforeWrite, 256, marked, unread);
    const QString beforeWrite = QString::fromUtf8(marked).trimmed();
    for (const Folder::Entry &f : folder.entries()) {
        HistoryEntry e{type, serial, {}, {}, folder.filePath(f.name), f.name};
        if (f.isFolder || !parseCopyName(f.name, e.when, e.number))
            continue;
        e.lastSeen = std::max(e.when, f.modified);
        e.keptBeforeWrite = f.name == beforeWrite;
        out << e;
    }
    std::sort(out.begin(), out.end(), olderCopy);
    return out;
}

} // namespace

QString KeptCopy::name() const
{
    return path.mid(path.lastIndexOf(u'/') + 1);
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

bool sameSerial(const QString &a, const QString &b)
{
    const QString x = a.trimmed(), y = b.trimmed();
    bool okX = false, okY = false;
    const qulonglong nx = x.toULongLong(&okX), ny = y.toULongLong(&okY);
    if (okX && okY)
        return nx == ny; // 00123 is 123
    return !x.isEmpty() && x == y;
}

QString typeText(int code)
{
    const DeviceTypeInfo *t = deviceTypeInfo(code);
    return t ? QString::fromLatin1(t->name) : QStringLiteral("none");
}

int typeCode(const QString &text)
{
    const DeviceTypeInfo *t = deviceTypeNamed(text);
    return t ? t->code : int(TypeNone);
}

bool keepCopy(const QString &root, int deviceType, const ParameterRecord &rec,
              const QDateTime &when, KeptCopy &kept, QString &error)
{
    kept = {};
    kept.type = typeText(deviceType);
    kept.serial = historySerial(rec.field(32));
    Folder top, folder;
    if (!top.open(root, true, error)
        || !folder.open(top, converterFolder(kept.type, kept.serial), true, error))
        return false;
    // One reader of this converter at a time compares and adds.
    folder.lock(kFolderTurnMs);

    const QList<HistoryEntry> copies = copiesIn(folder, kept.type, kept.serial);
    QByteArray latest;
    QString unread;
    if (!copies.isEmpty() && folder.readFile(copies.last().name, ParameterRecord::Size + 1, latest, unread)
        && latest == rec.bytes()) {
        kept.path = copies.last().path;
        return folder.touch(copies.last().name, when, error);
    }
    kept.added = true;
    return writeFileIn(folder, when.toString(kStamp) + QStringLiteral(".pdt"),
                       SafeWrite::Placing::NewName, rec.bytes(), kept.path, error);
}

bool markKeptBeforeWrite(const QString &root, const KeptCopy &copy, QString &error)
{
    Folder top, folder;
    QString written;
    return top.open(root, false, error)
        && folder.open(top, converterFolder(copy.type, copy.serial), false, error)
        && writeFileIn(folder, kBeforeWrite, SafeWrite::Placing::Replace,
                       copy.name().toUtf8() + '\n', written, error);
}

QList<HistoryEntry> listHistory(const QString &root, const QString &serial)
{
    QList<HistoryEntry> out;
    Folder top;
    QString error;
    if (!top.open(root, false, error))
        return out;
    for (const Folder::Entry &sub : top.entries()) {
        const qsizetype dash = sub.name.indexOf(QLatin1Char('-'));
        if (!sub.isFolder || dash <= 0)
            continue;
        const QString type = sub.name.left(dash), folderSerial = sub.name.mid(dash + 1);
        Folder folder;
        if ((!serial.isEmpty() && !sameSerial(folderSerial, serial)) || !folder.open(top, sub.name, false, error))
            continue;
        out << copiesIn(folder, type, folderSerial);
    }
    std::stable_sort(out.begin(), out.end(), olderCopy);
    return out;
}

} // namespace qel
