#include "DeviceHolds.h"

#include "Comm5600.h"
#include "MemoryImage.h"
#include "core/AppState.h"

namespace qel {

ParameterRecord DeviceHolds(const ParameterRecord &rec, int deviceType, const QByteArray &version,
                            const QByteArray &image)
{
    ParameterRecord held = rec;
    if (deviceType == Type521 || deviceType == Type527) {
        QByteArray img = image;
        EncodeMemoryImage(rec, img);
        DecodeMemoryImage(img, held);
        return held;
    }
    for (int f : kValueGroups) {
        // The exponent letter is never sent; the device's own is always "E".
        held.setField(f + 1, "E");
        // The short form carries no exponent sign: the device takes "+".
        if (ShortValueForm(version, held.field(f + 3)))
            held.setField(f + 2, "+");
    }
    return held;
}

QStringList DeviceDifferences(const ParameterRecord &written, const ParameterRecord &readBack,
                              int deviceType, const QByteArray &image)
{
    QStringList diffs;
    if (deviceType == Type5600) {
        // Both in the forms the write used, so an unsent exponent sign is not a difference.
        ParameterRecord back = readBack;
        back.setField(34, written.field(34));
        const QList<QByteArray> want = WriteCommands56(written);
        const QList<QByteArray> got = WriteCommands56(back);
        for (int i = 0; i < want.size(); ++i) {
            if (want[i] != got[i])
                diffs << QStringLiteral("%1 written, device holds %2")
                             .arg(QString::fromLatin1(want[i].trimmed()),
                                  QString::fromLatin1(got[i].trimmed()));
        }
    } else {
        // 52X: the settings and the update date live in characters 1-52 of the image.
        QByteArray want = image, got = image;
        EncodeMemoryImage(written, want);
        EncodeMemoryImage(readBack, got);
        for (int i = 0; i < 52; ++i) {
            if (want[i] != got[i])
                diffs << QStringLiteral("image character %1: written %2, device holds %3")
                             .arg(i + 1)
                             .arg(QString(QLatin1Char(want[i])), QString(QLatin1Char(got[i])));
        }
    }
    if (written.field(31) != readBack.field(31))
        diffs << QStringLiteral("update date code: written %1, device holds %2")
                     .arg(QString::fromLatin1(written.field(31)),
                          QString::fromLatin1(readBack.field(31)));
    return diffs;
}

} // namespace qel
