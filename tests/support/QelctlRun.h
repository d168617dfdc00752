#pragma once
// Runs the built qelctl ($QELCTL) for end-to-end tests.

#include <QByteArray>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>

namespace qel::test {

struct QelctlRun {
    int exit = -1;       // -1: crashed or hung (killed after the time-out)
    QStringList lines;   // stdout, one entry a non-empty line
    QByteArray out;      // stdout as it came
    QString err;         // stderr ("timed out" when it hung)
    qint64 ms = 0;       // wall time
};

// `qelctl ARGS...` with extra environment (e.g. QEL_TODAY) added and the
// variables `unset` taken out.
QelctlRun runQelctlWith(const QStringList &args, const QProcessEnvironment &extraEnv = {},
                        const QStringList &unset = {}, int timeoutMs = 60000);
// `qelctl --port PORT ARGS...`.
QelctlRun runQelctl(const QString &port, const QStringList &args,
                    const QProcessEnvironment &extraEnv = {}, int timeoutMs = 60000);

} // namespace qel::test
