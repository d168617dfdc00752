#include "LineText.h"

#include "core/Codes.h"

#include <QCoreApplication>

#include <algorithm>

namespace qel {

int unsendableField(const ParameterRecord &rec, char *bad)
{
    for (int f = 1; f <= 30; ++f) {
        const QByteArray text = rec.field(f);
        const auto it = std::find_if_not(text.begin(), text.end(), isLineChar);
        if (it != text.end()) {
            if (bad)
                *bad = *it;
            return f;
        }
    }
    return 0;
}

QString unsendableMessage(int field, char bad)
{
    return QCoreApplication::translate("qel::LineText",
                                       "設定データの F%1 に送信できない文字（0x%2）があります。\n"
                                       "書き込みを中止しました。")
        .arg(field)
        .arg(QString::number(uchar(bad), 16).rightJustified(2, QLatin1Char('0')).toUpper());
}

bool isNoisyReply(const QByteArray &reply)
{
    return std::any_of(reply.begin(), reply.end(),
                       [](char c) { return c != '\r' && !isLineChar(c); });
}

bool isImageReply(const QByteArray &reply)
{
    if (reply.size() != 65 || reply.at(64) != '\r')
        return false;
    return std::all_of(reply.begin(), reply.begin() + 64,
                       [](char c) { return hexDigitValue(c) >= 0; });
}

} // namespace qel
