#include "DataFile.h"

#include "SafeWrite.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace qel {

namespace {

QString nativePath(const QString &path)
{
    return QDir::toNativeSeparators(path);
}

} // namespace

bool loadDataFile(const QString &path, ParameterRecord &rec, QString &error)
{
    const QFileInfo info(path);
    if (!info.exists()) {
        error = QStringLiteral("設定データファイルが見つかりません。\n%1").arg(nativePath(path));
        return false;
    }
    if (info.isDir()) {
        error = QStringLiteral("フォルダは設定データファイルとして読み込めません。\n%1")
                    .arg(nativePath(path));
        return false;
    }
    // Only a regular file: a pipe or a device would block or never end.
    if (!info.isFile()) {
        error = QStringLiteral("通常のファイルではないため読み込めません。\n%1")
                    .arg(nativePath(path));
        return false;
    }
    if (info.size() < ParameterRecord::Size) {
        error = QStringLiteral("設定データファイルではありません（%1 バイト、%2 バイト必要）。\n%3")
                    .arg(info.size())
                    .arg(ParameterRecord::Size)
                    .arg(nativePath(path));
        return false;
    }
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) {
        error = QStringLiteral("設定データファイルを読み込めません。\n%1\n%2")
                    .arg(nativePath(path), f.errorString());
        return false;
    }
    const QByteArray data = f.read(ParameterRecord::Size);
    if (data.size() != ParameterRecord::Size) {
        // Shrunk since it was looked at, or a read error.
        error = QStringLiteral("設定データファイルを読み込めません（%1 バイトしか読めません）。\n%2")
                    .arg(qMax<qint64>(data.size(), 0))
                    .arg(nativePath(path));
        return false;
    }
    rec.setBytes(data);
    return true;
}

bool saveDataFile(const QString &path, const ParameterRecord &rec, QString &error)
{
    const auto fail = [&](const QString &why) {
        error = QStringLiteral("設定データファイルを保存できません。\n%1\n%2").arg(nativePath(path), why);
        return false;
    };

    // A record file keeps what lies past its first record: the old file's
    // bytes from the 75th on follow the new record. They are copied a piece
    // at a time, so a file of any size keeps its tail.
    QFile old(path);
    qint64 tailSize = 0;
    const QFileInfo info(path);
    if (info.exists()) {
        if (info.isDir())
            return fail(QStringLiteral("同じ名前のフォルダがあります。"));
        if (!info.isFile())
            return fail(QStringLiteral("通常のファイルではありません。"));
        if (info.size() > ParameterRecord::Size) {
            if (!old.open(QIODevice::ReadOnly | QIODevice::Unbuffered))
                return fail(old.errorString());
            tailSize = info.size() - ParameterRecord::Size;
        }
    }

    SafeWrite f(path);
    if (!f.open() || !f.write(rec.bytes())
        || (tailSize > 0 && !f.copyFrom(old.handle(), ParameterRecord::Size, tailSize))
        || !f.commit())
        return fail(f.errorString());
    return true;
}

} // namespace qel
