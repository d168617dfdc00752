#pragma once
// ser2net, the serial device server, serving one pseudo-terminal on a free
// loopback port with a configuration of its own, for the end-to-end tests of
// the network transport.

#include <QByteArray>
#include <QProcess>
#include <QString>
#include <QTemporaryDir>

namespace qel::test {

// ser2net as installed; empty when it is not.
QString ser2netProgram();

class Ser2net {
public:
    ~Ser2net();
    // Serves `pty` as shipped (one client at a time), or with kickolduser (a
    // new client takes the line over). False when it did not come up.
    bool start(const QString &pty, bool kickOldUser = false);
    QString url() const { return QStringLiteral("rfc2217://127.0.0.1:%1").arg(port_); }
    QString output() { return QString::fromLocal8Bit(output_ + proc_.readAll()); }

private:
    QTemporaryDir dir_;
    QProcess proc_;
    quint16 port_ = 0;
    QByteArray output_;
};

} // namespace qel::test
