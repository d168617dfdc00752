#include "QelctlRun.h"

#include <QElapsedTimer>
#include <QProcess>

namespace qel::test {

QelctlRun runQelctlWith(const QStringList &args, const QProcessEnvironment &extraEnv, const QStringList &unset,
                        int timeoutMs)
{
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const QString &key : extraEnv.keys())
        env.insert(key, extraEnv.value(key));
    for (const QString &key : unset)
        env.remove(key);
    p.setProcessEnvironment(env);
    QElapsedTimer t;
    t.start();
    p.start(qEnvironmentVariable("QELCTL"), args);
    QelctlRun r;
    if (!p.waitForFinished(timeoutMs)) {
        p.kill();
        p.waitForFinished();
        r.err = QStringLiteral("timed out");
        return r;
    }
    r.ms = t.elapsed();
    r.exit = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    r.out = p.readAllStandardOutput();
    r.lines = QString::fromUtf8(r.out).split(u'\n', Qt::SkipEmptyParts);
    r.err = QString::fromUtf8(p.readAllStandardError());
    return r;
}

QelctlRun runQelctl(const QString &port, const QStringList &args, const QProcessEnvironment &extraEnv,
                    int timeoutMs)
{
    return runQelctlWith(QStringList{QStringLiteral("--port"), port} + args, extraEnv, {}, timeoutMs);
}

} // namespace qel::test
