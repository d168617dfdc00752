#pragma once
// A port that hands every call on to another (the transport under it); a
// port that watches the line (the wire trace, a benchmark's counter)
// overrides the calls it watches.

#include "SerialPort.h"

namespace qel {

class ForwardingPort : public SerialPort {
public:
    explicit ForwardingPort(std::unique_ptr<SerialPort> inner) : in_(std::move(inner)) {}
    void setPortNumber(int n) override { in_->setPortNumber(n); }
    int portNumber() const override { return in_->portNumber(); }
    void setSettings(const QString &s) override { in_->setSettings(s); }
    QString settings() const override { return in_->settings(); }
    bool open() override { return in_->open(); }
    void close() override { in_->close(); }
    bool isOpen() const override { return in_->isOpen(); }
    QString lastError() const override { return in_->lastError(); }
    PortProblem openProblem() const override { return in_->openProblem(); }
    bool setRts(bool on) override { return in_->setRts(on); }
    bool rts() const override { return in_->rts(); }
    int bytesWaiting() override { return in_->bytesWaiting(); }
    QByteArray readAllWaiting() override { return in_->readAllWaiting(); }
    void discardInput() override { in_->discardInput(); }
    bool write(const QByteArray &data) override { return in_->write(data); }
    bool lineLost() const override { return in_->lineLost(); }
    void setProtocolTrace(std::function<void(const QString &)> trace) override
    {
        in_->setProtocolTrace(std::move(trace));
    }

protected:
    std::unique_ptr<SerialPort> in_;
};

} // namespace qel
