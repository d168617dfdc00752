#include "DataFile.h"

#include "platform/FileName.h"
#include "platform/SafeWrite.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QScopeGuard>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace qel {

bool loadDataFile(const QString &path, ParameterRecord &rec, QString &error)
{
    // By the name's own bytes: a name that is not UTF-8 is found too.
    const QByteArray name = fileNameBytes(path);
    struct stat st;
    if (::stat(name.constData(), &st) != 0) {
        if (errno == ENOENT || errno == ENOTDIR)
            error = QCoreApplication::translate("qel::DataFile", "設定データファイルが見つかりません。\n%1").arg(QDir::toNativeSeparators(path));
        else
            error = QCoreApplication::translate("qel::DataFile", "設定データファイルを読み込めません。\n%1\n%2")
                        .arg(QDir::toNativeSeparators(path), QString::fromLocal8Bit(std::strerror(errno)));
        return false;
    }
    if (S_ISDIR(st.st_mode)) {
        error = QCoreApplication::translate("qel::DataFile", "フォルダは設定データファイルとして読み込めません。\n%1")
                    .arg(QDir::toNativeSeparators(path));
        return false;
    }
    // Only a regular file: a pipe or a device would block or never end.
    if (!S_ISREG(st.st_mode)) {
        error = QCoreApplication::translate("qel::DataFile", "通常のファイルではないため読み込めません。\n%1")
                    .arg(QDir::toNativeSeparators(path));
        return false;
    }
    if (st.st_size < ParameterRecord::Size) {
        error = QCoreApplication::translate("qel::DataFile", "設定データファイルではありません（%1 バイト、%2 バイト必要）。\n%3")
                    .arg(qint64(st.st_size))
                    .arg(ParameterRecord::Size)
                    .arg(QDir::toNativeSeparators(path));
        return false;
    }
    const int fd = ::open(name.constData(), O_RDONLY | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) {
        error = QCoreApplication::translate("qel::DataFile", "設定データファイルを読み込めません。\n%1\n%2")
                    .arg(QDir::toNativeSeparators(path), QString::fromLocal8Bit(std::strerror(errno)));
        return false;
    }
    QFile f;
    f.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle);
    const QByteArray data = f.read(ParameterRecord::Size);
    if (data.size() != ParameterRecord::Size) {
        // Shrunk since it was looked at, or a read error.
        error = QCoreApplication::translate("qel::DataFile", "設定データファイルを読み込めません（%1 バイトしか読めません）。\n%2")
                    .arg(qMax<qint64>(data.size(), 0))
                    .arg(QDir::toNativeSeparators(path));
        return false;
    }
    rec.setBytes(data);
    return true;
}

bool saveDataFile(const QString &path, const ParameterRecord &rec, QString &error)
{
    const auto fail = [&](const QString &why) {
        error = QCoreApplication::translate("qel::DataFile", "設定データファイルを保存できません。\n%1\n%2").arg(QDir::toNativeSeparators(path), why);
        return false;
    };

    // A record file keeps what lies past its first record: the old file's
    // bytes from the 75th on follow the new record. They are copied a piece
    // at a time, so a file of any size keeps its tail.
    const QByteArray name = fileNameBytes(path);
    int oldFd = -1;
    const auto closeOld = qScopeGuard([&] {
        if (oldFd >= 0)
            ::close(oldFd);
    });
    qint64 tailSize = 0;
    struct stat st;
    if (::stat(name.constData(), &st) == 0) {
        if (S_ISDIR(st.st_mode))
            return fail(QCoreApplication::translate("qel::DataFile", "同じ名前のフォルダがあります。"));
        if (!S_ISREG(st.st_mode))
            return fail(QCoreApplication::translate("qel::DataFile", "通常のファイルではありません。"));
        if (st.st_size > ParameterRecord::Size) {
            oldFd = ::open(name.constData(), O_RDONLY | O_CLOEXEC);
            if (oldFd < 0)
                return fail(QString::fromLocal8Bit(std::strerror(errno)));
            tailSize = st.st_size - ParameterRecord::Size;
        }
    }

    SafeWrite f(path);
    if (!f.open() || !f.write(rec.bytes())
        || (tailSize > 0 && !f.copyFrom(oldFd, ParameterRecord::Size, tailSize))
        || !f.commit())
        return fail(f.errorString());
    return true;
}

} // namespace qel
