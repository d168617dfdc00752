#include "SimPty.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QFile>
#include <QFileInfo>
#include <QThread>

#include <csignal>

namespace qel::test {

SimPty::SimPty() = default;

SimPty::~SimPty()
{
    stop();
}

QString SimPty::program()
{
    const QString env = qEnvironmentVariable("QEL_SIM");
    if (!env.isEmpty())
        return env;
    return QCoreApplication::applicationDirPath() + QStringLiteral("/qel-sim");
}

QString SimPty::logPath() const
{
    return dir_.filePath(QStringLiteral("commands.log"));
}

QString SimPty::statePath() const
{
    return dir_.filePath(QStringLiteral("state.pdt"));
}

bool SimPty::start(const QStringList &args, int timeoutMs)
{
    stop();
    path_.clear();
    err_.clear();
    QStringList all = args;
    all << QStringLiteral("--log") << logPath() << QStringLiteral("--state") << statePath();
    proc_.setProgram(program());
    proc_.setArguments(all);
    proc_.start();
    if (!proc_.waitForStarted(timeoutMs)) {
        err_ = proc_.errorString().toLocal8Bit();
        return false;
    }
    QDeadlineTimer deadline(timeoutMs);
    while (!proc_.canReadLine()) {
        if (deadline.hasExpired() || proc_.state() != QProcess::Running) {
            err_ += proc_.readAllStandardError();
            return false;
        }
        proc_.waitForReadyRead(int(qMax<qint64>(1, deadline.remainingTime())));
    }
    path_ = QString::fromLocal8Bit(proc_.readLine().trimmed());
    return !path_.isEmpty();
}

bool SimPty::running() const
{
    return proc_.state() == QProcess::Running;
}

qint64 SimPty::pid() const
{
    return proc_.processId();
}

void SimPty::stop()
{
    if (proc_.state() == QProcess::NotRunning)
        return;
    proc_.terminate();
    if (!proc_.waitForFinished(3000)) {
        proc_.kill();
        proc_.waitForFinished(3000);
    }
    err_ += proc_.readAllStandardError();
}

void SimPty::kill()
{
    if (proc_.state() == QProcess::NotRunning)
        return;
    proc_.kill();
    proc_.waitForFinished(3000);
}

QList<QByteArray> SimPty::commands() const
{
    QList<QByteArray> out;
    QFile f(logPath());
    if (!f.open(QIODevice::ReadOnly))
        return out;
    for (QByteArray line : f.readAll().split('\n')) {
        if (!line.isEmpty())
            out << unescapeLogLine(line);
    }
    return out;
}

QByteArray SimPty::state(int timeoutMs)
{
    if (!running())
        return {};
    QFile::remove(statePath());
    ::kill(pid_t(pid()), SIGUSR1);
    QDeadlineTimer deadline(timeoutMs);
    while (!deadline.hasExpired()) {
        // The simulator writes a temporary file and renames it: once the
        // name exists the record is complete.
        QFile f(statePath());
        if (f.open(QIODevice::ReadOnly))
            return f.readAll();
        QThread::msleep(5);
    }
    return {};
}

QString SimPty::errorText()
{
    err_ += proc_.readAllStandardError();
    return QString::fromLocal8Bit(err_);
}

QByteArray unescapeLogLine(const QByteArray &line)
{
    QByteArray out;
    for (int i = 0; i < line.size(); ++i) {
        const char c = line.at(i);
        if (c != '\\' || i + 1 >= line.size()) {
            out += c;
            continue;
        }
        const char n = line.at(++i);
        if (n == 'r') {
            out += '\r';
        } else if (n == 'n') {
            out += '\n';
        } else if (n == 'x' && i + 2 < line.size()) {
            out += char(line.mid(i + 1, 2).toInt(nullptr, 16));
            i += 2;
        } else {
            out += n;
        }
    }
    return out;
}

} // namespace qel::test
