#pragma once
// The port the factory hands out: it keeps the serial control's properties
// and, at each open, picks the transport from the form of the device path
// (a local serial device, or rfc2217://HOST:PORT for a device server).

#include "SerialPort.h"

namespace qel {

class PortMap;

// The one place that chooses a transport for a device path.
std::unique_ptr<SerialPort> createTransport(const QString &path);

class LinePort : public SerialPort {
public:
    explicit LinePort(const PortMap *map) : map_(map) {}

    void setPortNumber(int n) override;
    void setSettings(const QString &s) override;
    bool open() override;
    void close() override;
    bool isOpen() const override { return line_ && line_->isOpen(); }
    QString lastError() const override { return line_ ? line_->lastError() : QString(); }
    PortProblem openProblem() const override { return line_ ? line_->openProblem() : PortProblem{}; }
    bool setRts(bool on) override;
    int bytesWaiting() override { return line_ ? line_->bytesWaiting() : 0; }
    QByteArray readAllWaiting() override { return line_ ? line_->readAllWaiting() : QByteArray(); }
    void discardInput() override;
    bool write(const QByteArray &data) override { return line_ && line_->write(data); }
    bool lineLost() const override { return line_ && line_->lineLost(); }
    QString devicePath() const;

private:
    const PortMap *map_;
    std::unique_ptr<SerialPort> line_;
    QString linePath_;
};

} // namespace qel
