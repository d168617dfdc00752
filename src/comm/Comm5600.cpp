// The 5600 command set: identification read, full parameter read and the
// parameter write. Every exchange enters the setting mode with "M" (answered
// "A" + CR), handles one item per command and leaves with "E" (echoed).
//
// Reads fill a scratch copy of the record and hand it over only once the
// whole list has gone through, so a read abandoned half way leaves the record
// as it was. A write touches the record only in F31, the update date code,
// which keeps today's code only once the device has accepted it.
#include "Comm5600.h"
#include "Generation.h"

#include "core/Codes.h"
#include "LineText.h"

#include <vector>

namespace qel {

namespace {

const QByteArray kAck("A\r");
const QByteArray kEcho("E\r");
const QByteArray kRefused("?\r");
const QByteArray kAccepted("O\r");

// Value form: nine characters and CR.
constexpr int kValueReplyLength = 10;

bool repeatOnRefusal(const QByteArray &r) { return r == kRefused; }
bool repeatOnValue(const QByteArray &r) { return r == kRefused || r.size() != kValueReplyLength; }
bool repeatUnlessAck(const QByteArray &r) { return r != kAck; }
bool repeatUnlessEcho(const QByteArray &r) { return r != kEcho; }

struct ReadItem {
    QByteArray command;
    bool (*repeat)(const QByteArray &);
    // Plain form: the whole reply into this field. Value form: the first of
    // five fields, taking characters 1-5, 6, 7, 8 and 9. 0: nothing stored.
    int field = 0;
    bool value = false;
    int maxSends = 3;
};

void store(ParameterRecord &rec, const ReadItem &item, const QByteArray &reply)
{
    if (item.field == 0)
        return;
    if (!item.value) {
        rec.setField(item.field, reply);
        return;
    }
    rec.setField(item.field, reply.mid(0, 5));
    for (int i = 1; i <= 4; ++i)
        rec.setField(item.field + i, reply.mid(4 + i, 1));
}

// The settings by the 5600's parameter numbers, in the order they are read
// (after the identification) and written: the first field, whether it is a
// value (nine characters into five fields: sign, exponent digit and unit
// follow the mantissa at +2, +3 and +4; the record's own "E" at +1 is never
// sent), and the sends of its write.
struct Parameter {
    const char *number;
    int field;
    bool value = false;
    int writeSends = 3;
};
constexpr Parameter kParameters[] = {
    {"01", 1},  {"02", 2, true}, {"03", 7},  {"11", 8},          {"12", 9},        {"13", 10}, {"14", 11},
    {"15", 12}, {"16", 13},      {"21", 14}, {"22", 15, true, 2}, {"23", 20, true}, {"31", 25}, {"32", 26, true}};

// The identification, then with `settings` every parameter; "E" last.
const std::vector<ReadItem> &readItems(bool settings)
{
    const auto make = [](bool all) {
        std::vector<ReadItem> items = {{"M", repeatUnlessAck},
                                       {"RV\r", repeatOnRefusal, 34},
                                       {"RS\r", repeatOnRefusal, 32},
                                       {"RC\r", repeatOnRefusal, 33},
                                       {"RP41\r", repeatOnRefusal, 31}};
        for (const Parameter &p : kParameters)
            if (all)
                items.push_back({QByteArray("RP") + p.number + '\r', p.value ? repeatOnValue : repeatOnRefusal,
                                 p.field, p.value});
        items.push_back({"E\r", repeatUnlessEcho, 0, false, all ? 3 : 5});
        return items;
    };
    static const std::vector<ReadItem> identification = make(false), full = make(true);
    return settings ? full : identification;
}

QByteArray buildWrite(const ParameterRecord &rec, const Parameter &item)
{
    QByteArray cmd = QByteArray("WP") + item.number + ',';
    const int f = item.field;
    if (!item.value) {
        cmd += rec.field(f);
    } else if (ShortValueForm(rec.field(34), rec.field(f + 3))) {
        cmd += rec.field(f) + rec.field(f + 4);
    } else {
        cmd += rec.field(f) + 'E' + rec.field(f + 2) + rec.field(f + 3) + rec.field(f + 4);
    }
    cmd += '\r';
    return cmd;
}

} // namespace

QList<QByteArray> WriteCommands56(const ParameterRecord &rec)
{
    QList<QByteArray> out;
    for (const Parameter &item : kParameters)
        out << buildWrite(rec, item);
    return out;
}

// Runs one read list on the open port into `rec`. Every command is repeated
// on the replies its item names; a time-out is judged like any other reply.
// Returns Failed when a command's sends ran out (message 1 shown).
static CommResult runReadList(RsReadWrite &engine, const std::vector<ReadItem> &items,
                              ParameterRecord &rec)
{
    bool anyTimeout = false;
    for (const ReadItem &item : items) {
        QByteArray reply;
        int sends = 0;
        for (;;) {
            if (!engine.DataReadWrite(item.command, reply)) {
                anyTimeout = true;
                // The line went away under the read (message 1 shown):
                // abandon it rather than time out every remaining command.
                if (engine.link().lost())
                    return CommResult::Failed;
            }
            ++sends;
            // Line noise in a reply is never stored: it is asked for again.
            if (!item.repeat(reply) && !isNoisyReply(reply))
                break;
            if (sends >= item.maxSends) {
                engine.DspRSErr(1);
                return CommResult::Failed;
            }
        }
        store(rec, item, reply);
    }
    return anyTimeout ? CommResult::TimedOut : CommResult::Ok;
}

// Runs a read list into a scratch copy of the record, closes the port, and
// hands the copy over unless the read was abandoned.
static CommResult readAndCommit(RsReadWrite &engine, AppState &st,
                                const std::vector<ReadItem> &items)
{
    ParameterRecord scratch = st.ParamRecord;
    const CommResult r = runReadList(engine, items, scratch);
    engine.ClosePort();
    if (r != CommResult::Failed)
        st.ParamRecord = scratch;
    return r;
}

CommResult RsReadWrite::Read56XVer()
{
    if (!OpenPort5600())
        return CommResult::PortError;
    ctx_.processPending(); // let waiting events through once
    return readAndCommit(*this, ctx_.state, readItems(false));
}

CommResult RsReadWrite::ReadData56()
{
    if (const CommResult r = openForExchange(generation5600(), true); r != CommResult::Ok)
        return r;
    return readAndCommit(*this, ctx_.state, readItems(true));
}

CommResult RsReadWrite::WriteData56()
{
    ParameterRecord &rec = ctx_.state.ParamRecord;
    beginWrite(int(std::size(kParameters)) + 1); // the settings, then the update date
    if (const CommResult r = openForExchange(generation5600(), true); r != CommResult::Ok)
        return r;

    if (const StepResult r = runStep({"M", kAck, generation5600().sends, false}); r != StepResult::Accepted)
        return abandonWrite(r);
    for (const Parameter &item : kParameters) {
        if (const StepResult r = runSettingStep({buildWrite(rec, item), kAccepted, item.writeSends}, item.field);
            r != StepResult::Accepted)
            return abandonWrite(r);
    }

    // The update date: today's code, sent with the field's trailing blanks.
    // Not accepted: the device keeps its old date, and so does the record.
    const QByteArray previousCode = rec.field(31);
    rec.setField(31, DateEnCord(ctx_.clock().today()));
    if (const StepResult r = runSettingStep({QByteArray("WP41,") + rec.field(31) + '\r', kAccepted}, 31);
        r != StepResult::Accepted) {
        rec.setField(31, previousCode);
        return abandonWrite(r);
    }
    return finishWrite();
}

// ---------------------------------------------------------------------------
// The 5600 as a generation.

namespace {

int identify5600(RsReadWrite &engine)
{
    AppState &st = engine.context().state;
    st.DeviceType = Type5600;
    st.ReplyTimeoutTicks = generation5600().replyTicks;
    engine.context().hooks.setStatus(QString());
    st.Is5600Series = true;
    return Type5600;
}

// A 5600 is read in full.
bool presentSettings5600(RsReadWrite &engine, ParameterRecord &present)
{
    if (engine.ReadData56() != CommResult::Ok)
        return false;
    present = engine.context().state.ParamRecord;
    return true;
}

ParameterRecord holds5600(const ParameterRecord &rec, const AppState &device)
{
    ParameterRecord held = rec;
    for (int f : kValueGroups) {
        // The exponent letter is never sent; the device's own is always "E".
        held.setField(f + 1, "E");
        // The short form carries no exponent sign: the device takes "+".
        if (ShortValueForm(device.ParamRecord.field(34), held.field(f + 3)))
            held.setField(f + 2, "+");
    }
    return held;
}

QStringList differences5600(const ParameterRecord &written, const AppState &device)
{
    // Both in the forms the write used, so an unsent exponent sign is not a difference.
    ParameterRecord back = device.ParamRecord;
    back.setField(34, written.field(34));
    const QList<QByteArray> want = WriteCommands56(written);
    const QList<QByteArray> got = WriteCommands56(back);
    QStringList diffs;
    for (int i = 0; i < want.size(); ++i) {
        if (want[i] != got[i])
            diffs << QStringLiteral("%1 written, device holds %2")
                         .arg(QString::fromLatin1(want[i].trimmed()), QString::fromLatin1(got[i].trimmed()));
    }
    return diffs;
}

// The monitor's set-up reads the measurement mode and the bias as parameters.
SetUpStep InitMonitor56(const MonitorAsk &ask, const std::function<void(bool)> &period, int &bias)
{
    QByteArray r;
    if (!ask("RP01\r", r, 2))
        return SetUpStep::Stopped;
    period(replyInteger(r) != 0);
    if (!ask("RP03\r", r, 2))
        return SetUpStep::Stopped;
    bias = r == kRefused ? 0 : replyInteger(r);
    return SetUpStep::Done;
}

} // namespace

const Generation &generation5600()
{
    static const Generation g{
        .lineSettings = "9600,N,8,1", .types = {Type5600},
        .replyTicks = 15, .probeTicks = 10, .detectTicks = 5, .presenceTicks = 25, .exchangeTicks = 5,
        .sends = 3, .readStatus = "Read 5600",
        .writeRefusal = QT_TRANSLATE_NOOP("qel::SettingsCommands", "QEL-52XにはQEL-5600のパラメータは書き込めません"),
        .identify = identify5600,
        .readSettings = [](RsReadWrite &e) { return e.ReadData56(); },
        .writeSettings = [](RsReadWrite &e) { return e.WriteData56(); },
        .readIdentity = [](RsReadWrite &e) { return e.Read56XVer(); }, .identityInDetection = false,
        .presentSettings = presentSettings5600, .holds = holds5600, .differences = differences5600,
        .monitorFast = 2, .monitorTest = 10, .monitorLeave = 2, .monitorSetUp = InitMonitor56};
    return g;
}

} // namespace qel
