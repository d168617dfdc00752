#include "DataFile.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

namespace qel {

bool loadDataFile(const QString &path, ParameterRecord &rec, QString &error)
{
    QFileInfo info(path);
    if (!info.exists()) {
        error = QStringLiteral("ファイルが見つかりません: %1").arg(path);
        return false;
    }
    if (info.isDir()) {
        error = QStringLiteral("フォルダは読み込めません: %1").arg(path);
        return false;
    }
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) {
        error = QStringLiteral("ファイルを読み込めません: %1 (%2)").arg(path, f.errorString());
        return false;
    }
    const QByteArray data = f.read(ParameterRecord::Size);
    if (data.size() < ParameterRecord::Size) {
        error = QStringLiteral("設定データファイルではありません (%1 バイト、74 バイト必要): %2")
                    .arg(data.size())
                    .arg(path);
        return false;
    }
    rec.setBytes(data);
    return true;
}

bool saveDataFile(const QString &path, const ParameterRecord &rec, QString &error)
{
    // The old file's bytes past the record are kept, as a record file would.
    QByteArray tail;
    {
        QFile old(path);
        if (old.exists() && old.open(QIODevice::ReadOnly)) {
            if (old.size() > ParameterRecord::Size) {
                old.seek(ParameterRecord::Size);
                tail = old.readAll();
            }
        }
    }
    QSaveFile f(path);
    if (!f.open(QIODevice::WriteOnly)) {
        error = QStringLiteral("ファイルに保存できません: %1 (%2)").arg(path, f.errorString());
        return false;
    }
    if (f.write(rec.bytes()) != ParameterRecord::Size
        || (!tail.isEmpty() && f.write(tail) != tail.size())) {
        error = QStringLiteral("ファイルに保存できません: %1 (%2)").arg(path, f.errorString());
        f.cancelWriting();
        return false;
    }
    if (!f.commit()) {
        error = QStringLiteral("ファイルに保存できません: %1 (%2)").arg(path, f.errorString());
        return false;
    }
    return true;
}

} // namespace qel
