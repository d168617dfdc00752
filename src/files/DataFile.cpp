#include "DataFile.h"

#include "platform/FileAccess.h"
#include "platform/SafeWrite.h"

#include <QCoreApplication>
#include <QDir>

namespace qel {

QString FileProblem::text() const
{
    // "PATH: CAUSE"
    const auto at = [this](const QString &what) { return QStringLiteral("%1: %2").arg(path, what); };
    switch (cause) {
    case None:
        return {};
    case Missing:
        return at(QStringLiteral("no such settings file"));
    case Unreadable:
        return at(QStringLiteral("cannot read the settings file: %1").arg(why));
    case Folder:
        return at(QStringLiteral("a folder, not a settings file"));
    case NotRegular:
        return at(QStringLiteral("not a regular file, so not read as a settings file"));
    case TooShort:
        return at(QStringLiteral("not a settings file (%1 bytes, %2 needed)").arg(size).arg(ParameterRecord::Size));
    case ShortRead:
        return at(QStringLiteral("cannot read the settings file (only %1 bytes could be read)").arg(size));
    case Unwritable:
        return at(QStringLiteral("cannot save the settings file: %1").arg(why));
    case FolderInTheWay:
        return at(QStringLiteral("cannot save the settings file: a folder of that name is in the way"));
    case NotRegularTarget:
        return at(QStringLiteral("cannot save the settings file: not a regular file"));
    }
    return at(QString());
}

QString FileProblem::message() const
{
    const QString at = QDir::toNativeSeparators(path);
    switch (cause) {
    case None:
        return {};
    case Missing:
        return QCoreApplication::translate("qel::DataFile", "設定データファイルが見つかりません。\n%1").arg(at);
    case Unreadable:
        return QCoreApplication::translate("qel::DataFile", "設定データファイルを読み込めません。\n%1\n%2").arg(at, why);
    case Folder:
        return QCoreApplication::translate("qel::DataFile", "フォルダは設定データファイルとして読み込めません。\n%1").arg(at);
    case NotRegular:
        return QCoreApplication::translate("qel::DataFile", "通常のファイルではないため読み込めません。\n%1").arg(at);
    case TooShort:
        return QCoreApplication::translate("qel::DataFile", "設定データファイルではありません（%1 バイト、%2 バイト必要）。\n%3")
            .arg(size)
            .arg(ParameterRecord::Size)
            .arg(at);
    case ShortRead:
        return QCoreApplication::translate("qel::DataFile", "設定データファイルを読み込めません（%1 バイトしか読めません）。\n%2").arg(size).arg(at);
    case Unwritable:
        return QCoreApplication::translate("qel::DataFile", "設定データファイルを保存できません。\n%1\n%2").arg(at, why);
    case FolderInTheWay:
        return QCoreApplication::translate("qel::DataFile", "設定データファイルを保存できません。\n%1\n%2").arg(at, QCoreApplication::translate("qel::DataFile", "同じ名前のフォルダがあります。"));
    case NotRegularTarget:
        return QCoreApplication::translate("qel::DataFile", "設定データファイルを保存できません。\n%1\n%2").arg(at, QCoreApplication::translate("qel::DataFile", "通常のファイルではありません。"));
    }
    return {};
}

bool loadDataFile(const QString &path, ParameterRecord &rec, FileProblem &problem)
{
    problem = {};
    problem.path = path;
    const auto refused = [&](FileProblem::Cause cause, const QString &why = {}, qint64 size = 0) {
        problem.cause = cause;
        problem.why = why;
        problem.size = size;
        return false;
    };
    const FileState st = fileState(path);
    switch (st.kind) {
    case FileState::Missing:
        return refused(FileProblem::Missing);
    case FileState::Unknown:
        return refused(FileProblem::Unreadable, st.why);
    case FileState::Folder:
        return refused(FileProblem::Folder);
    case FileState::Other: // only a regular file: a pipe or a device would block or never end
        return refused(FileProblem::NotRegular);
    case FileState::Regular:
        break;
    }
    if (st.size < ParameterRecord::Size)
        return refused(FileProblem::TooShort, {}, st.size);
    ReadOnlyFile f;
    QString why;
    if (!f.open(path, why))
        return refused(FileProblem::Unreadable, why);
    const QByteArray data = f.readHead(ParameterRecord::Size, why);
    // Shrunk since it was looked at, or a read error.
    if (data.size() != ParameterRecord::Size)
        return refused(FileProblem::ShortRead, {}, qMax<qint64>(data.size(), 0));
    rec.setBytes(data);
    return true;
}

bool loadDataFile(const QString &path, ParameterRecord &rec, QString &error)
{
    FileProblem problem;
    const bool ok = loadDataFile(path, rec, problem);
    error = problem.message();
    return ok;
}

bool saveDataFile(const QString &path, const ParameterRecord &rec, FileProblem &problem)
{
    problem = {};
    problem.path = path;
    const auto fail = [&](FileProblem::Cause cause, const QString &why = {}) {
        problem.cause = cause;
        problem.why = why;
        return false;
    };

    // A record file keeps what lies past its first record: the old file's
    // bytes from the 75th on follow the new record. They are copied a piece
    // at a time, so a file of any size keeps its tail.
    ReadOnlyFile old;
    qint64 tailSize = 0;
    const FileState st = fileState(path);
    if (st.kind == FileState::Folder)
        return fail(FileProblem::FolderInTheWay);
    if (st.kind == FileState::Other)
        return fail(FileProblem::NotRegularTarget);
    if (st.kind == FileState::Regular && st.size > ParameterRecord::Size) {
        QString why;
        if (!old.open(path, why))
            return fail(FileProblem::Unwritable, why);
        tailSize = st.size - ParameterRecord::Size;
    }

    SafeWrite f(path);
    const bool written = f.open() && f.write(rec.bytes())
        && (tailSize == 0 || f.copyFrom(old, ParameterRecord::Size, tailSize));
    old.close(); // a file still open cannot be replaced on Windows
    if (!written || !f.commit())
        return fail(FileProblem::Unwritable, f.errorString());
    return true;
}

bool saveDataFile(const QString &path, const ParameterRecord &rec, QString &error)
{
    FileProblem problem;
    const bool ok = saveDataFile(path, rec, problem);
    error = problem.message();
    return ok;
}

} // namespace qel
