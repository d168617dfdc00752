#pragma once
// A small tmpfs of its own, for the cases that need a real file system that
// runs full. Mounting needs root (CI runs the suite as root); elsewhere
// mounted() is false and the test skips the case with a visible QSKIP.

#include <QString>
#include <QTemporaryDir>

namespace qel::test {

class SmallTmpfs {
public:
    explicit SmallTmpfs(int kib = 64);
    ~SmallTmpfs(); // unmounts
    SmallTmpfs(const SmallTmpfs &) = delete;
    SmallTmpfs &operator=(const SmallTmpfs &) = delete;

    bool mounted() const { return mounted_; }
    QString path() const { return dir_.path(); }
    QString filePath(const QString &name) const { return dir_.filePath(name); }
    // Fills what is left with a filler file, so that the next write fails
    // with "No space left on device".
    bool fill();

private:
    QTemporaryDir dir_;
    bool mounted_ = false;
};

} // namespace qel::test
