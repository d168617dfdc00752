#pragma once
// The serial ports found on the machine, as a technician recognises them:
// device path, stable /dev/serial/by-id link, and what the adapter says of
// itself (description, manufacturer, serial number).

#include <QList>
#include <QString>

namespace qel {

struct FoundPort {
    QString path;         // /dev/ttyUSB0
    QString byId;         // /dev/serial/by-id/usb-..., empty when there is none
    QString description;
    QString manufacturer;
    QString serialNumber;

    // The name to store: the by-id link where there is one (it survives
    // plugging adapters in another order), else the path.
    QString stableName() const { return byId.isEmpty() ? path : byId; }
    bool operator==(const FoundPort &) const = default;
};

class PortList {
public:
    virtual ~PortList() = default;
    virtual QList<FoundPort> ports() = 0;
};

// The ports Qt's port information finds, each with its by-id link. The list
// can be replaced by a file (QEL_PORT_LIST, lines in the `qelctl ports`
// form: path, by-id, description, manufacturer, serial, tab-separated) for
// tests and screenshots.
class SystemPortList : public PortList {
public:
    QList<FoundPort> ports() override;
};

// A fixed list (tests).
class FixedPortList : public PortList {
public:
    explicit FixedPortList(QList<FoundPort> ports = {}) : list(std::move(ports)) {}
    QList<FoundPort> ports() override { return list; }
    QList<FoundPort> list;
};

// The system's own list, unsorted (PortList_posix.cpp: Qt's port
// information and the by-id links; PortList_windows.cpp: the COM ports the
// system names, with what Qt's port information says of them).
QList<FoundPort> systemPorts();

// One line of the tab-separated form, and back (missing fields empty).
QString portLine(const FoundPort &p);
FoundPort portFromLine(const QString &line);

} // namespace qel
