#include "QelctlRun.h"

#include <QElapsedTimer>
#include <QProcess>

namespace qel::test {

QelctlRun runQelctl(const QString &port, const QStringList &args,
                    const QProcessEnvironment &extraEnv, int timeoutMs)
{
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const QString &key : extraEnv.keys())
        env.insert(key, extraEnv.value(key));
    p.setProcessEnvironment(env);
    QElapsedTimer t;
    t.start();
    p.start(qEnvironmentVariable("QELCTL"), QStringList{QStringLiteral("--port"), port} + args);
    QelctlRun r;
    if (!p.waitForFinished(timeoutMs)) {
        p.kill();
        p.waitForFinished();
        r.err = QStringLiteral("timed out");
        return r;
    }
    r.ms = t.elapsed();
    r.exit = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    r.lines = QString::fromUtf8(p.readAllStandardOutput()).split(u'\n', Qt::SkipEmptyParts);
    r.err = QString::fromUtf8(p.readAllStandardError());
    return r;
}

} // namespace qel::test
