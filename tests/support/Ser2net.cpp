#include "Ser2net.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QStandardPaths>
#include <QTcpServer>
#include <QTcpSocket>
#include <QThread>

namespace qel::test {

QString ser2netProgram()
{
    return QStandardPaths::findExecutable(QStringLiteral("ser2net"),
                                          {QStringLiteral("/usr/sbin"), QStringLiteral("/usr/bin"),
                                           QStringLiteral("/usr/local/sbin")});
}

Ser2net::~Ser2net()
{
    if (proc_.state() != QProcess::NotRunning) {
        proc_.terminate();
        if (!proc_.waitForFinished(3000)) {
            proc_.kill();
            proc_.waitForFinished();
        }
    }
}

bool Ser2net::start(const QString &pty, bool kickOldUser)
{
    // A port free now may be taken before ser2net binds it: try again then.
    for (int attempt = 0; attempt < 5; ++attempt) {
        QTcpServer probe;
        if (!probe.listen(QHostAddress::LocalHost, 0))
            return false;
        port_ = probe.serverPort();
        probe.close();
        const QString config = dir_.filePath(QStringLiteral("ser2net.yaml"));
        QFile f(config);
        if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate))
            return false;
        f.write(QStringLiteral("connection: &qel\n"
                               "    accepter: telnet(rfc2217),tcp,127.0.0.1,%1\n"
                               "    connector: serialdev,%2,9600n81,local\n%3")
                    .arg(port_)
                    .arg(pty)
                    .arg(kickOldUser ? QStringLiteral("    options:\n"
                                                      "      kickolduser: true\n")
                                     : QString())
                    .toUtf8());
        f.close();
        proc_.setProcessChannelMode(QProcess::MergedChannels);
        proc_.start(ser2netProgram(),
                    {QStringLiteral("-n"), QStringLiteral("-u"), QStringLiteral("-c"), config, QStringLiteral("-P"),
                     dir_.filePath(QStringLiteral("ser2net.pid"))});
        if (!proc_.waitForStarted(5000))
            return false;
        QDeadlineTimer deadline(5000);
        while (!deadline.hasExpired() && proc_.state() == QProcess::Running) {
            QTcpSocket s;
            s.connectToHost(QHostAddress::LocalHost, port_);
            if (s.waitForConnected(200)) {
                s.abort();
                return true;
            }
            QThread::msleep(50);
        }
        output_ += proc_.readAll();
        proc_.kill();
        proc_.waitForFinished();
    }
    return false;
}

} // namespace qel::test
