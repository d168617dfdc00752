#include "SafeWrite.h"

#include "FileAccess.h"
#include "Folder.h"

#include <vector>

namespace qel {

SafeWrite::SafeWrite(const QString &path) : path_(path) {}

SafeWrite::SafeWrite(const Folder &folder, const QString &name, Placing placing)
    : path_(folder.filePath(name)), folder_(&folder), placing_(placing), name_(name)
{
}

SafeWrite::~SafeWrite()
{
    cancel();
}

bool SafeWrite::fail(const QString &why)
{
    if (!failed_)
        error_ = why;
    failed_ = true;
    return false;
}

bool SafeWrite::write(const QByteArray &bytes)
{
    return write(bytes.constData(), bytes.size());
}

bool SafeWrite::copyFrom(const ReadOnlyFile &from, qint64 offset, qint64 length)
{
    if (failed_)
        return false;
    if (!isOpen())
        return fail(QStringLiteral("not open"));
    std::vector<char> buf(256 * 1024);
    const qint64 end = offset + length;
    const qint64 base = size_ - offset; // where a source offset lands in this file

    // Copies [from, to) of the source to the same place here.
    const auto copy = [&](qint64 at, qint64 to) {
        while (at < to) {
            QString why;
            const qint64 n = from.readAt(at, buf.data(), qMin<qint64>(to - at, qint64(buf.size())), why);
            if (n < 0)
                return fail(why);
            if (n == 0)
                return fail(QStringLiteral("the file became shorter while it was read"));
            if (!(direct_ ? write(buf.data(), n) : writeAt(base + at, buf.data(), n)))
                return false;
            at += n;
        }
        return true;
    };

    if (direct_) // a stream: every byte in order
        return copy(offset, end);

    bool sparse = true;
    for (qint64 pos = offset; pos < end;) {
        qint64 data = pos, hole = end;
        if (sparse) {
            if (!from.nextData(pos, data, hole)) {
                sparse = false; // the file system cannot tell: copy it all
                data = pos;
                hole = end;
            } else if (data < 0) {
                break; // the rest is a hole
            } else {
                hole = hole < 0 ? end : qMin<qint64>(hole, end);
            }
        }
        if (data >= end)
            break;
        if (!copy(data, hole))
            return false;
        pos = hole;
    }
    // Holes up to the end, and appending goes on after the copied range.
    if (!endAt(base + end))
        return false;
    size_ = base + end;
    return true;
}

bool writeFileWhole(const QString &path, const QByteArray &bytes, QString &error)
{
    SafeWrite f(path);
    if (f.open() && f.write(bytes) && f.commit())
        return true;
    error = f.errorString();
    return false;
}

bool writeFileIn(const Folder &folder, const QString &name, SafeWrite::Placing placing,
                 const QByteArray &bytes, QString &path, QString &error)
{
    SafeWrite f(folder, name, placing);
    if (f.open() && f.write(bytes) && f.commit()) {
        path = f.path();
        return true;
    }
    error = QStringLiteral("%1: %2").arg(f.path(), f.errorString());
    return false;
}

} // namespace qel
