#include "PortList.h"

#include "WinSystem_windows.h"

#include <QSerialPortInfo>
#include <QSet>

namespace qel {

namespace {

// The COM ports the system names in HARDWARE\DEVICEMAP\SERIALCOMM (every
// port driver writes its ports there, and wine its mapped ones).
QStringList registeredPorts()
{
    QStringList names;
    HKEY key = nullptr;
    if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"HARDWARE\\DEVICEMAP\\SERIALCOMM", 0, KEY_READ, &key) != ERROR_SUCCESS)
        return names;
    for (DWORD i = 0;; ++i) {
        wchar_t name[512];
        wchar_t value[512];
        DWORD nameLength = DWORD(std::size(name));
        DWORD valueSize = sizeof value;
        DWORD type = 0;
        const LONG r = ::RegEnumValueW(key, i, name, &nameLength, nullptr, &type, reinterpret_cast<BYTE *>(value),
                                       &valueSize);
        if (r == ERROR_NO_MORE_ITEMS)
            break;
        if (r != ERROR_SUCCESS || type != REG_SZ)
            continue;
        names << win::fromWide(value, int(valueSize / sizeof(wchar_t))).section(QChar(u'\0'), 0, 0);
    }
    ::RegCloseKey(key);
    return names;
}

} // namespace

QList<FoundPort> systemPorts()
{
    QList<FoundPort> out;
    QSet<QString> seen;
    for (const QSerialPortInfo &info : QSerialPortInfo::availablePorts()) {
        const QString name = info.portName().toUpper();
        if (name.isEmpty() || seen.contains(name))
            continue;
        seen.insert(name);
        out << FoundPort{name, {}, info.description(), info.manufacturer(), info.serialNumber()};
    }
    for (const QString &name : registeredPorts()) {
        if (name.isEmpty() || seen.contains(name.toUpper()))
            continue;
        seen.insert(name.toUpper());
        out << FoundPort{name.toUpper(), {}, {}, {}, {}};
    }
    return out;
}

} // namespace qel
