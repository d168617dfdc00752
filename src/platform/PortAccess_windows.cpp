#include "PortAccess.h"

#include "WinSystem_windows.h"

#include <QHash>

namespace qel {

namespace {

// Registry of this process's holds: one open port a device, and the lock
// that tells this program's other processes the port is taken.
struct Held {
    HANDLE handle = nullptr;
    HANDLE lock = nullptr;
    int count = 0;
};

// The system refuses a second open of a COM port; wine does not, on the
// pseudo-terminals it maps as COM ports. So the programs also hold a lock
// named after the port (in the machine's namespace, open to every user):
// two of them never share a line, on Windows or under wine.
HANDLE takePortLock(const QString &device)
{
    HANDLE m = win::namedMutex(QStringLiteral("qel-settings-port-") + device.mid(4).toUpper()); // ...-COM3
    if (!m)
        return nullptr;
    const DWORD r = ::WaitForSingleObject(m, 0);
    if (r == WAIT_OBJECT_0 || r == WAIT_ABANDONED)
        return m;
    ::CloseHandle(m);
    return INVALID_HANDLE_VALUE;
}
QHash<QString, Held> &holds()
{
    static QHash<QString, Held> h;
    return h;
}

// "COM3", "com3", "\\.\COM3" and "//./COM3" name one device: \\.\COM3
// (the only form that reaches COM10 and above).
QString deviceName(const QString &path)
{
    QString name = path.trimmed();
    name.replace(u'/', u'\\');
    if (name.startsWith(QLatin1String("\\\\.\\")))
        name = name.mid(4);
    if (name.endsWith(u':'))
        name.chop(1);
    if (name.startsWith(QLatin1String("com"), Qt::CaseInsensitive))
        name = name.toUpper();
    return QStringLiteral("\\\\.\\") + name;
}

} // namespace

qint64 devicePortHolder(const QString &)
{
    return 0; // Windows does not tell who holds a port
}

PortProblem DeviceHold::acquire(const QString &path)
{
    release();
    PortProblem p;
    p.path = path;
    const QString device = deviceName(path);
    Held &mine = holds()[device];
    if (mine.count > 0) {
        ++mine.count;
        device_ = device;
        return {};
    }
    holds().remove(device);

    // Overlapped: the line waits for characters without blocking the program.
    HANDLE h = ::CreateFileW(device.toStdWString().c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                             OPEN_EXISTING, FILE_FLAG_OVERLAPPED, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        const DWORD e = ::GetLastError();
        switch (e) {
        case ERROR_FILE_NOT_FOUND:
        case ERROR_PATH_NOT_FOUND:
        case ERROR_INVALID_NAME:
        case ERROR_BAD_NETPATH:
            p.cause = PortProblem::Missing;
            break;
        case ERROR_ACCESS_DENIED: // another program has the port open
        case ERROR_SHARING_VIOLATION:
            p.cause = PortProblem::Busy;
            break;
        default:
            p.cause = PortProblem::Other;
            p.detail = win::errorText(e);
            break;
        }
        return p;
    }
    DCB dcb{};
    dcb.DCBlength = sizeof dcb;
    if (::GetFileType(h) != FILE_TYPE_CHAR || !::GetCommState(h, &dcb)) {
        ::CloseHandle(h);
        p.cause = PortProblem::NotSerial;
        return p;
    }
    HANDLE lock = takePortLock(device);
    if (lock == INVALID_HANDLE_VALUE) {
        ::CloseHandle(h);
        p.cause = PortProblem::Busy;
        return p;
    }
    holds().insert(device, Held{h, lock, 1});
    device_ = device;
    return {};
}

void DeviceHold::release()
{
    if (device_.isEmpty())
        return;
    auto it = holds().find(device_);
    if (it != holds().end() && --it->count <= 0) {
        if (it->lock) {
            ::ReleaseMutex(it->lock);
            ::CloseHandle(it->lock);
        }
        ::CloseHandle(it->handle);
        holds().erase(it);
    }
    device_.clear();
}

void *DeviceHold::handle() const
{
    const auto it = holds().constFind(device_);
    return it == holds().cend() ? nullptr : it->handle;
}

} // namespace qel
