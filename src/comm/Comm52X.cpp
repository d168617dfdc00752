// The 52X exchange at 1200 baud: the whole setting memory travels as one
// 64-character hexadecimal image. "M" enters the setting mode, "R" + CR hands
// the image over, "W" + characters 1..52 + CR takes it back, "E" + CR leaves.
#include "Generation.h"
#include "LineText.h"
#include "MemoryImage.h"
#include "core/Codes.h"

#include <QCoreApplication>

namespace qel {

namespace {

constexpr int kModeLimit = 100;  // ticks for the reply to "M" on a read
constexpr int kImageLimit = 150; // ticks for the image, and for the echo of "E"

// The version and type word: version x 100, plus 1000 on a 527.
int typeOfImage(const QByteArray &image)
{
    return ImageWord(image, kImageVersion) >= 1000 ? Type527 : Type521;
}

} // namespace

CommResult RsReadWrite::Read52X()
{
    AppState &st = ctx_.state;
    if (const CommResult r = openForExchange(generation52X(), false); r != CommResult::Ok)
        return r;

    auto readError = [&](const char *sent, const QByteArray &arrived,
                         CommResult result = CommResult::TimedOut) {
        QString text = QStringLiteral("Error in Read52X()\r\nT?=%1\r\nSD$=%2\r\nRD$=%3")
                           .arg(st.TickCount)
                           .arg(QString::fromLatin1(sent))
                           .arg(QString::fromLatin1(arrived));
        if (const PortProblem lost = link_.port().openProblem(); !lost.ok())
            text += QStringLiteral("\r\n") + lost.text(); // the line went away under the read
        ctx_.boxes().show(text, applicationTitle(), MsgIcon::None, MsgButtons::Ok);
        ClosePort();
        return result;
    };

    // Setting mode: any reply will do, only its arrival counts.
    QByteArray reply;
    if (link_.exchange("M", reply, {kModeLimit}) != Collected::Complete)
        return readError("M", reply);

    // The image. A reply that completes only once the limit is reached is
    // as late as no reply.
    if (link_.exchange("R\r", reply, {kImageLimit}) != Collected::Complete
        || st.TickCount >= kImageLimit)
        return readError("R", reply);

    // Leave the setting mode; the echo is awaited but never looked at.
    QByteArray echo;
    const auto leave = [&] { link_.exchange("E\r", echo, {kImageLimit, nullptr, 2}); };

    // An image that is not 64 hexadecimal digits (line noise, a cut or
    // doubled reply) is not taken: the image held so far stays.
    if (!isImageReply(reply)) {
        leave();
        return readError("R", reply, CommResult::Unexpected);
    }
    const QByteArray image = reply.left(64);
    st.MemoryImage = image;
    st.MemoryImageFromDevice = true;
    leave();

    st.DeviceType = typeOfImage(image);
    st.ReplyTimeoutTicks = generation52X().replyTicks;
    ClosePort();
    return CommResult::Ok;
}

CommResult RsReadWrite::Writedata52()
{
    AppState &st = ctx_.state;
    ParameterRecord &rec = st.ParamRecord;
    beginWrite(1); // the whole image in one command

    // Characters 45..48 go out as they were read: without an image from the
    // device there is nothing sound to send.
    if (!st.MemoryImageFromDevice) {
        ctx_.boxes().show(QCoreApplication::translate(
                              "qel::RsReadWrite", "機器のメモリーイメージが読み込まれていません。\n"
                                                  "一度パラメータを読み込んで下さい"),
                          applicationTitle(), MsgIcon::Exclamation, MsgButtons::Ok);
        return CommResult::Failed;
    }

    // Today's date code goes into F31 and the image; the record keeps it only
    // if the device takes the write (or took it and then failed to leave the
    // setting mode).
    const QByteArray previousUpdate = rec.field(31);
    rec.setField(31, DateEnCord(ctx_.clock().today()));
    EncodeMemoryImage(rec, st.MemoryImage);
    auto fail = [&](CommResult r) {
        rec.setField(31, previousUpdate);
        return r;
    };

    if (const CommResult r = openForExchange(generation52X(), true); r != CommResult::Ok)
        return fail(r);
    if (const StepResult r = runStep({"M", "A\r", generation52X().sends, false}); r != StepResult::Accepted)
        return fail(abandonWrite(r));
    const QByteArray command = QByteArray("W") + st.MemoryImage.left(52) + '\r';
    if (const StepResult r = runSettingStep({command, "W\r"}, 1); r != StepResult::Accepted)
        return fail(abandonWrite(r));
    // The device has the new settings and its new update date.
    return finishWrite();
}

// ---------------------------------------------------------------------------
// The 521 and the 527 as a generation.

namespace {

// The image, and with it the type, is read; DeviceType comes from the image
// held (the one before, should this read fail).
int identify52X(RsReadWrite &engine)
{
    AppState &st = engine.context().state;
    engine.Read52X();
    st.DeviceType = typeOfImage(st.MemoryImage);
    st.ReplyTimeoutTicks = generation52X().replyTicks;
    st.Is5600Series = ImageWord(st.MemoryImage, kImageSerial) >= 20000;
    return st.DeviceType;
}

// A failed read redraws from the image held so far; a malformed image
// leaves the record as it was.
CommResult readSettings52X(RsReadWrite &engine)
{
    const CommResult r = engine.Read52X();
    if (r != CommResult::Unexpected)
        DecodeMemoryImage(engine.context().state);
    return r;
}

CommResult readIdentity52X(RsReadWrite &engine)
{
    AppState &st = engine.context().state;
    DecodeImageIdentity(st.MemoryImage, st.ParamRecord);
    return CommResult::Ok;
}

// Detection read the image: nothing more goes on the line.
bool presentSettings52X(RsReadWrite &engine, ParameterRecord &present)
{
    const AppState &st = engine.context().state;
    if (!st.MemoryImageFromDevice)
        return false;
    DecodeMemoryImage(st.MemoryImage, present);
    return true;
}

ParameterRecord holds52X(const ParameterRecord &rec, const AppState &device)
{
    ParameterRecord held = rec;
    QByteArray img = device.MemoryImage;
    EncodeMemoryImage(rec, img);
    DecodeMemoryImage(img, held);
    return held;
}

QStringList differences52X(const ParameterRecord &written, const AppState &device)
{
    // The settings and the update date live in characters 1-52 of the image.
    QByteArray want = device.MemoryImage, got = device.MemoryImage;
    EncodeMemoryImage(written, want);
    EncodeMemoryImage(device.ParamRecord, got);
    QStringList diffs;
    for (int i = 0; i < 52; ++i) {
        if (want[i] != got[i])
            diffs << QStringLiteral("image character %1: written %2, device holds %3")
                         .arg(i + 1)
                         .arg(QString(QLatin1Char(want[i])), QString(QLatin1Char(got[i])));
    }
    return diffs;
}

// The monitor's set-up reads the image for the measurement mode and the bias.
SetUpStep InitMonitor52(const MonitorAsk &ask, const std::function<void(bool)> &period, int &bias)
{
    QByteArray r;
    if (!ask("R\r", r, kImageLimit))
        return SetUpStep::Stopped;
    if (r == "?\r")
        return SetUpStep::Wrong;
    const QByteArray image = r.left(64).leftJustified(64, ' ');
    // Bit value 2 of the second digit: period measurement.
    period((HexValue(image.mid(1, 1)) & 2) != 0);
    bias = HexValue(image.mid(42, 2));
    return SetUpStep::Done;
}

} // namespace

const Generation &generation52X()
{
    static const Generation g{
        .lineSettings = "1200,N,8,1", .types = {Type521, Type527},
        .replyTicks = kImageLimit, .probeTicks = 20, .detectTicks = 100, .presenceTicks = 100,
        .exchangeTicks = 100, .sends = 3, .readStatus = "Read 52X ",
        .writeRefusal = QT_TRANSLATE_NOOP("qel::SettingsCommands", "QEL-5600にはQEL-52Xのパラメータは書き込めません"),
        .identify = identify52X, .readSettings = readSettings52X,
        .writeSettings = [](RsReadWrite &e) { return e.Writedata52(); },
        .readIdentity = readIdentity52X, .identityInDetection = true,
        .presentSettings = presentSettings52X, .holds = holds52X, .differences = differences52X,
        .monitorFast = 100, .monitorTest = 20, .monitorLeave = kImageLimit, .monitorSetUp = InitMonitor52};
    return g;
}

} // namespace qel
