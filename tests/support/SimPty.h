#pragma once
// Runs the qel-sim program on a pseudo-terminal for end-to-end tests: starts
// it with the given arguments, learns the device path from its first output
// line, and stops it again. It always logs the commands the device received
// and can dump the device's settings record, both into a private folder.

#include <QByteArray>
#include <QList>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

namespace qel::test {

class SimPty {
public:
    SimPty();
    ~SimPty();
    SimPty(const SimPty &) = delete;
    SimPty &operator=(const SimPty &) = delete;

    // The program: $QEL_SIM, else "qel-sim" beside the test executable.
    static QString program();

    // Starts `qel-sim args... --log L --state S` and waits for the device
    // path. False (with errorText()) when it did not come up in time.
    bool start(const QStringList &args = {}, int timeoutMs = 5000);
    QString path() const { return path_; }
    bool running() const;
    qint64 pid() const;

    // SIGTERM and wait (SIGKILL after a grace period). Idempotent.
    void stop();
    // SIGKILL: the device vanishes at once, like an unplugged cable.
    void kill();

    // Commands the device received so far, terminators included.
    QList<QByteArray> commands() const;
    // The device's present 74-byte settings record (asks with SIGUSR1);
    // empty when it did not answer within the time.
    QByteArray state(int timeoutMs = 3000);
    QString logPath() const;
    QString statePath() const;
    // What the program wrote on its error output.
    QString errorText();

private:
    QTemporaryDir dir_;
    QProcess proc_;
    QString path_;
    QByteArray err_;
};

// Undoes the escaping of the command log (\r \n \\ \xNN).
QByteArray unescapeLogLine(const QByteArray &line);

} // namespace qel::test
