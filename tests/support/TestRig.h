#pragma once
// Everything a device-logic test needs: the virtual clock, a simulated
// converter on the in-process line, recording message boxes and dialogs, an
// in-memory settings store, and the engine and type-change logic over them.

#include "SimDevice.h"
#include "SimPort.h"
#include "core/Context.h"
#include "platform/Dialogs.h"
#include "platform/MessageBoxes.h"
#include "platform/QtClock.h"
#include "platform/QtSerialPort.h"
#include "platform/SettingsStore.h"
#include "platform/VirtualClock.h"
#include "wiring/Wiring.h"

#include <QList>
#include <QStringList>
#include <deque>
#include <functional>
#include <memory>

namespace qel::test {

struct ShownBox {
    QString text;
    QString title;
    MsgIcon icon;
    MsgButtons buttons;
};

class RecordingBoxes : public MessageBoxes {
public:
    MsgResult show(const QString &text, const QString &title, MsgIcon icon,
                   MsgButtons buttons) override;
    QList<ShownBox> shown;
    // Answers for Abort/Retry/Ignore boxes, in order; Ignore when none left.
    std::deque<MsgResult> answers;
    std::function<void(const ShownBox &)> onShow;
    QStringList texts() const;
};

class FakeDialogs : public Dialogs {
public:
    explicit FakeDialogs(AppState &st) : st_(st) {}
    bool choosePort() override;
    bool openFile(const FileDialogRequest &req, QString &fullPath) override;
    bool saveFile(const FileDialogRequest &req, QString &fullPath) override;
    // Ports the user picks in the port dialog, in order; gives up when none left.
    std::deque<int> portChoices;
    int portDialogs = 0;
    // File dialog answers: empty text = cancel.
    std::deque<QString> files;
    QList<FileDialogRequest> fileRequests;

private:
    AppState &st_;
};

// A scripted fault for the simulated converter.
sim::SimFault fault(const char *cmd, sim::SimFault::Kind kind, int count = 1,
                    const QByteArray &reply = {}, int delayMs = 0, int chunks = 2);

// What a rig holds besides its clock and ports: the recording boxes and
// dialogs, an in-memory store, and the device side wired over them (port
// dialog stand-in, CommPortNo 1).
struct Wired {
    RecordingBoxes boxes;
    MemorySettingsStore store;
    std::unique_ptr<Wiring> wiring;
    std::unique_ptr<FakeDialogs> dialogs;
    Context *ctx = nullptr;
    RsReadWrite *engine = nullptr;
    TypeChange *typeChange = nullptr;
    int terminations = 0;

    AppState &st() { return ctx->state; }
    ParameterRecord &rec() { return ctx->state.ParamRecord; }

protected:
    Wired() = default;
    // The wiring goes before the clock and ports of the rig it is part of.
    ~Wired() = default;
    void wire(Clock &clock, SerialPortFactory &ports);
};

// The simulated converter on the in-process line, on the virtual clock.
struct Rig : Wired {
    explicit Rig(int type = 5600);
    ~Rig() { wiring.reset(); }
    VirtualClock clock;
    sim::SimDevice device;
    sim::SimPortFactory ports;

    // Commands the device received, terminator included.
    QList<QByteArray> commands() const { return device.commands(); }
};

// The same over real timers and the program's own ports: a device path or
// an rfc2217:// address, as --port gives it.
struct Live : Wired {
    explicit Live(const QString &device);
    ~Live() { wiring.reset(); }
    QtClock clock;
    PortMap map;
    QtSerialPortFactory ports{&map};
};

} // namespace qel::test
