#include "TestRig.h"

namespace qel::test {

MsgResult RecordingBoxes::show(const QString &text, const QString &title, MsgIcon icon,
                               MsgButtons buttons)
{
    const ShownBox b{text, title, icon, buttons};
    shown.append(b);
    if (onShow)
        onShow(b);
    if (buttons == MsgButtons::Ok)
        return MsgResult::Ok;
    if (answers.empty())
        return MsgResult::Ignore;
    const MsgResult r = answers.front();
    answers.pop_front();
    return r;
}

QStringList RecordingBoxes::texts() const
{
    QStringList out;
    for (const auto &b : shown)
        out << b.text;
    return out;
}

bool FakeDialogs::choosePort()
{
    ++portDialogs;
    if (portChoices.empty())
        return false;
    st_.CommPortNo = portChoices.front();
    portChoices.pop_front();
    return true;
}

bool FakeDialogs::openFile(const FileDialogRequest &req, QString &fullPath)
{
    fileRequests.append(req);
    if (files.empty())
        return false;
    fullPath = files.front();
    files.pop_front();
    return !fullPath.isEmpty();
}

bool FakeDialogs::saveFile(const FileDialogRequest &req, QString &fullPath)
{
    return openFile(req, fullPath);
}

sim::SimFault fault(const char *cmd, sim::SimFault::Kind kind, int count,
                    const QByteArray &reply, int delayMs, int chunks)
{
    sim::SimFault f;
    f.command = cmd;
    f.kind = kind;
    f.count = count;
    f.reply = reply;
    f.delayMs = delayMs;
    f.chunks = chunks;
    return f;
}

void Wired::wire(Clock &clock, SerialPortFactory &ports)
{
    Platform p;
    p.clock = &clock;
    p.ports = &ports;
    p.boxes = &boxes;
    p.store = &store;
    p.terminate = [this] { ++terminations; };
    wiring = std::make_unique<Wiring>(p);
    ctx = &wiring->ctx;
    engine = &wiring->engine;
    typeChange = &wiring->typeChange;
    dialogs = std::make_unique<FakeDialogs>(ctx->state);
    ctx->platform.dialogs = dialogs.get();
    ctx->state.CommPortNo = 1;
}

Rig::Rig(int type) : device(type), ports(clock, device)
{
    wire(clock, ports);
}

Live::Live(const QString &device)
{
    map.setOverride(device);
    wire(clock, ports);
}

} // namespace qel::test
