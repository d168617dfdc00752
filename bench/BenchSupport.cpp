#include "BenchSupport.h"

#include "platform/Rfc2217Module.h"

#include <cstdio>
#include <sys/resource.h>

namespace qel::bench {

double cpuMs(bool children)
{
    rusage ru{};
    getrusage(children ? RUSAGE_CHILDREN : RUSAGE_SELF, &ru);
    return (double(ru.ru_utime.tv_sec + ru.ru_stime.tv_sec) * 1e6
            + double(ru.ru_utime.tv_usec + ru.ru_stime.tv_usec)) / 1e3;
}

bool startSim(QProcess &proc, const QString &sim, const QStringList &args, QString &path)
{
    proc.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    proc.start(sim, args);
    if (!proc.waitForStarted(5000))
        return false;
    while (!proc.canReadLine()) {
        if (!proc.waitForReadyRead(5000))
            return false;
    }
    path = QString::fromLocal8Bit(proc.readLine()).trimmed();
    return !path.isEmpty();
}

void stopSim(QProcess &proc)
{
    proc.terminate();
    if (!proc.waitForFinished(3000)) {
        proc.kill();
        proc.waitForFinished(3000);
    }
}

Rig::Rig(Clock &clock, const QString &path, Wrap wrap)
    : map_(&store_), qtPorts_(&map_), wrap_(std::move(wrap))
{
    map_.setOverride(path);
    useNetworkModule(rfc2217Module());
    Platform p;
    p.clock = &clock;
    p.ports = this;
    p.boxes = &boxes;
    p.dialogs = &dialogs;
    p.store = &store_;
    p.terminate = [] {};
    wiring = std::make_unique<Wiring>(p);
    wiring->ctx.state.CommPortNo = 1;
}

MsgResult BenchBoxes::show(const QString &text, const QString &title, MsgIcon, MsgButtons b)
{
    ++count;
    std::fprintf(stderr, "  [%s] %s\n", qPrintable(title),
                 qPrintable(QString(text).replace(QLatin1Char('\n'), QLatin1Char(' '))));
    return b == MsgButtons::AbortRetryIgnore ? MsgResult::Abort : MsgResult::Ok;
}

} // namespace qel::bench
