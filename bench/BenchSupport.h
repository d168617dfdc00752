#pragma once
// What both benchmark programs share: the simulator on a pseudo-terminal,
// message boxes and dialogs for a program without windows, the CPU clock.

#include "platform/Dialogs.h"
#include "platform/MessageBoxes.h"

#include <QProcess>
#include <QStringList>

namespace qel::bench {

// CPU time of this process (user + system) in milliseconds.
double cpuMs();

// Starts `sim ARGS...` and reads the device path from its first line.
bool startSim(QProcess &proc, const QString &sim, const QStringList &args, QString &path);
void stopSim(QProcess &proc);

// Boxes go to stderr on one line; an Abort/Retry/Ignore box answers Abort.
class BenchBoxes : public MessageBoxes {
public:
    MsgResult show(const QString &text, const QString &title, MsgIcon icon,
                   MsgButtons buttons) override;
    int count = 0;
};

} // namespace qel::bench
