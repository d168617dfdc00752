// The 52X exchange at 1200 baud: the whole setting memory travels as one
// 64-character hexadecimal image. "M" enters the setting mode, "R" + CR hands
// the image over, "W" + characters 1..52 + CR takes it back, "E" + CR leaves.
#include "core/Codes.h"
#include "LineText.h"
#include "MemoryImage.h"
#include "RsReadWrite.h"

#include <QCoreApplication>

namespace qel {

namespace {

constexpr int kModeLimit = 100;  // ticks for the reply to "M" on a read
constexpr int kImageLimit = 150; // ticks for the image, and for the echo of "E"
constexpr int kPresenceLimit = 100;

} // namespace

CommResult RsReadWrite::Read52X()
{
    AppState &st = ctx_.state;
    if (const CommResult r = openForExchange(kSettings52X, kPresenceLimit, false);
        r != CommResult::Ok)
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

    // The version and type word: version x 100, plus 1000 on a 527.
    st.DeviceType = ImageWord(image, kImageVersion) >= 1000 ? Type527 : Type521;
    st.ReplyTimeoutTicks = kImageLimit;
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

    if (const CommResult r = openForExchange(kSettings52X, kPresenceLimit, true);
        r != CommResult::Ok)
        return fail(r);
    if (const StepResult r = runStep({"M", "A\r", 3, false}); r != StepResult::Accepted)
        return fail(abandonWrite(r));
    const QByteArray command = QByteArray("W") + st.MemoryImage.left(52) + '\r';
    if (const StepResult r = runSettingStep({command, "W\r"}, 1); r != StepResult::Accepted)
        return fail(abandonWrite(r));
    // The device has the new settings and its new update date.
    return finishWrite();
}

} // namespace qel
