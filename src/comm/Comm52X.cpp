// The 52X exchange at 1200 baud: the whole setting memory travels as one
// 64-character hexadecimal image. "M" enters the setting mode, "R" + CR hands
// the image over, "W" + characters 1..52 + CR takes it back, "E" + CR leaves.
#include "Codes.h"
#include "MemoryImage.h"
#include "RsReadWrite.h"
#include "typechange/TypeChange.h"

namespace qel {

namespace {

constexpr int kModeLimit = 100;  // ticks for the reply to "M" on a read
constexpr int kImageLimit = 150; // ticks for the image, and for the echo of "E"
constexpr int kPresenceLimit = 100;
constexpr int kSends = 3;

} // namespace

CommResult RsReadWrite::Read52X()
{
    AppState &st = ctx_.state;
    if (!OpenPort52X())
        return CommResult::PortError;
    port_->discardInput();

    if (!typeChange_ || !typeChange_->CheckQmode(*port_, kPresenceLimit)) {
        ClosePort();
        return CommResult::NoAnswer;
    }

    // Collects one reply until a chunk ends with CR or the tick limit is
    // reached; returns whether a CR closed it.
    auto collect = [&](QByteArray &reply, int limit) {
        reply.clear();
        StartTickTimer();
        while (st.TickCount < limit) {
            ctx_.yield();
            if (port_->bytesWaiting() >= 1) {
                const QByteArray chunk = port_->readAllWaiting();
                reply += chunk;
                if (chunk.endsWith('\r'))
                    return true;
            }
        }
        return false;
    };
    auto readError = [&](const char *sent, const QByteArray &arrived) {
        const QString text = QStringLiteral("Error in Read52X()\r\nT?=%1\r\nSD$=%2\r\nRD$=%3")
                                 .arg(st.TickCount)
                                 .arg(QString::fromLatin1(sent))
                                 .arg(QString::fromLatin1(arrived));
        ctx_.boxes().show(text, applicationTitle(), MsgIcon::None, MsgButtons::Ok);
        ClosePort();
        return CommResult::TimedOut;
    };

    // Setting mode: any reply will do, only its arrival counts.
    QByteArray reply;
    CMD_Send(*port_, QByteArray("M"));
    if (!collect(reply, kModeLimit))
        return readError("M", reply);

    // The image. A reply that completes only once the limit is reached is
    // as late as no reply.
    CMD_Send(*port_, QByteArray("R\r"));
    collect(reply, kImageLimit);
    if (st.TickCount >= kImageLimit)
        return readError("R", reply);

    QByteArray image = reply.left(64);
    if (image.size() < 64)
        image.append(QByteArray(64 - image.size(), ' '));
    st.MemoryImage = image;
    st.MemoryImageFromDevice = true;

    // Leave the setting mode; the echo is awaited but never looked at.
    CMD_Send(*port_, QByteArray("E\r"));
    StartTickTimer();
    while (st.TickCount < kImageLimit) {
        ctx_.yield();
        if (port_->bytesWaiting() >= 2) {
            port_->readAllWaiting();
            break;
        }
    }

    // The version and type word: version x 100, plus 1000 on a 527.
    st.DeviceType = HexValue(image.mid(60, 4)) >= 1000 ? Type527 : Type521;
    st.ReplyTimeoutTicks = kImageLimit;
    ClosePort();
    return CommResult::Ok;
}

CommResult RsReadWrite::Writedata52()
{
    AppState &st = ctx_.state;
    ParameterRecord &rec = st.ParamRecord;

    // Characters 45..48 go out as they were read: without an image from the
    // device there is nothing sound to send.
    if (!st.MemoryImageFromDevice) {
        ctx_.boxes().show(QStringLiteral("機器のメモリーイメージが読み込まれていません。\n"
                                         "一度パラメータを読み込んで下さい"),
                          applicationTitle(), MsgIcon::Exclamation, MsgButtons::Ok);
        return CommResult::Failed;
    }

    // Today's date code goes into F31 and the image; the record keeps it only
    // if the device takes the write.
    const QByteArray previousUpdate = rec.field(31);
    rec.setField(31, DateEnCord(ctx_.clock().today()));
    EncodeMemoryImage(rec, st.MemoryImage);
    auto fail = [&](CommResult r) {
        rec.setField(31, previousUpdate);
        return r;
    };

    if (!OpenPort52X())
        return fail(CommResult::PortError);
    if (!typeChange_ || !typeChange_->CheckQmode(*port_, kPresenceLimit)) {
        ClosePort();
        return fail(CommResult::NoAnswer);
    }
    ctx_.processPending(); // let waiting events through once

    // Three wrong replies: leave the setting mode and report message 3,
    // unless leaving it already failed (message 3 shown, port closed).
    auto unexpected = [&]() {
        if (ExitSettingMode() != ExitResult::Failed) {
            DspRSErr(3);
            ClosePort();
        }
        return fail(CommResult::Unexpected);
    };

    QByteArray reply;
    for (int sends = 1;; ++sends) {
        if (!DataReadWrite(QByteArray("M"), reply)) {
            ClosePort(); // message 1 shown; the device may stay in its setting mode
            return fail(CommResult::TimedOut);
        }
        if (reply == "A\r")
            break;
        if (sends == kSends)
            return unexpected();
    }

    const QByteArray command = QByteArray("W") + st.MemoryImage.left(52) + '\r';
    for (int sends = 1;; ++sends) {
        if (!DataReadWrite(command, reply)) {
            ClosePort();
            return fail(CommResult::TimedOut);
        }
        if (reply == "W\r") {
            // The device has the new settings and its new update date.
            switch (ExitSettingMode()) {
            case ExitResult::Ok:
                ClosePort();
                return CommResult::Ok;
            case ExitResult::TimedOut:
                ClosePort();
                return CommResult::TimedOut;
            case ExitResult::Failed:
                return CommResult::Unexpected;
            }
        }
        if (reply == "?\r") {
            if (ExitSettingMode() == ExitResult::Failed)
                return fail(CommResult::Unexpected);
            DspRSErr(2);
            ClosePort();
            return fail(CommResult::Refused);
        }
        if (sends == kSends)
            return unexpected();
    }
}

} // namespace qel
