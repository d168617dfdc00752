#include "DeviceStore.h"

#include "files/HistoryGit.h"

namespace qel::jobs {

namespace {

const QString kStamp = QStringLiteral("yyyyMMdd-HHmmss");

} // namespace

int copyAt(const QList<HistoryEntry> &copies, const QString &at, CopyChoice &why)
{
    const QString wanted = at.trimmed();
    for (int i = 0; i < copies.size(); ++i)
        if (copies[i].name == wanted || copies[i].name == wanted + QStringLiteral(".pdt"))
            return i;
    QDateTime t = QDateTime::fromString(wanted, kStamp);
    if (!t.isValid())
        t = QDateTime::fromString(QString(wanted).replace(u' ', u'T'), Qt::ISODate);
    if (!t.isValid()) {
        why.status = CopyChoice::BadTime;
        why.at = wanted;
        return -1;
    }
    // The copy the converter held then: the latest first seen at or before it.
    int found = -1;
    for (int i = 0; i < copies.size(); ++i)
        if (copies[i].when <= t)
            found = i;
    if (found < 0) {
        why.status = CopyChoice::NoneAtTime;
        why.at = t.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
    }
    return found;
}

CopyChoice DeviceStore::choose(const QString &type, const QString &serial, const QString &at) const
{
    CopyChoice c;
    c.type = type;
    c.serial = serial;
    c.where = location();
    QList<HistoryEntry> own;
    for (const HistoryEntry &e : copies(serial)) {
        if (e.type == type)
            own << e;
        else if (!c.otherTypes.contains(e.type))
            c.otherTypes << e.type;
    }
    if (own.isEmpty()) {
        c.status = c.otherTypes.isEmpty() ? CopyChoice::NoCopy : CopyChoice::OtherTypeOnly;
        return c;
    }
    int pick = int(own.size()) - 1;
    if (!at.isEmpty()) {
        pick = copyAt(own, at, c);
        if (pick < 0)
            return c;
    } else {
        for (int i = 0; i < own.size(); ++i)
            if (own[i].keptBeforeWrite)
                pick = i;
    }
    c.status = CopyChoice::Found;
    c.copy = own[pick];
    return c;
}

KeepResult HistoryStore::keep(const Reading &reading)
{
    KeepResult r;
    if (!keepCopy(root_, reading.deviceType, reading.record, reading.when, r.copy, r.error)) {
        r.status = KeepResult::NotKept;
        r.copy = {};
        return r;
    }
    r.error.clear();
    r.status = r.copy.added ? KeepResult::Added : KeepResult::SeenAgain;
    // A new copy: the converter's settings.txt, and a commit where the history is in git.
    QString error;
    if (r.copy.added
        && !recordNewCopy(root_, QStringLiteral("%1-%2").arg(r.copy.type, r.copy.serial), r.copy.path,
                          reading.record, reading.deviceType, reading.when, error))
        r.error = error;
    return r;
}

bool HistoryStore::markBeforeWrite(const KeptCopy &copy, QString &error)
{
    return markKeptBeforeWrite(root_, copy, error);
}

QList<HistoryEntry> HistoryStore::copies(const QString &serial) const
{
    return listHistory(root_, serial);
}

bool HistoryStore::load(const HistoryEntry &copy, ParameterRecord &rec, FileProblem &problem) const
{
    return loadDataFile(copy.path, rec, problem);
}

bool NoStore::load(const HistoryEntry &copy, ParameterRecord &, FileProblem &problem) const
{
    problem.cause = FileProblem::Missing;
    problem.path = copy.path;
    return false;
}

KeptCopy keptCopyOf(const HistoryEntry &e)
{
    KeptCopy k;
    k.path = e.path;
    k.type = e.type;
    k.serial = e.serial;
    return k;
}

QString keepWarning(const KeepResult &r)
{
    if (r.status == KeepResult::NotKept)
        return QStringLiteral("the copy for the device history was not kept: %1").arg(r.error);
    if (r.status == KeepResult::Added && !r.error.isEmpty())
        return QStringLiteral("the copy %1 was kept, but: %2").arg(r.copy.path, r.error);
    return {};
}

} // namespace qel::jobs
