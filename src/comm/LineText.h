#pragma once
// What may travel on the line. A command carries printable ASCII (0x20..0x7E)
// and its own closing CR, nothing else: a control character or a byte of 0x80
// and above inside a setting would be read by the converter as the end of a
// command or as a command of its own. Replies are held to the same text.

#include "core/ParamRecord.h"

#include <QByteArray>
#include <QString>

namespace qel {

// A byte that may stand inside a command's text.
constexpr bool isLineChar(char c)
{
    return c >= 0x20 && c < 0x7F;
}

// The first settings field (F1..F30) of `rec` holding a byte no command may
// carry, 0 when there is none; `bad` gets that byte.
int unsendableField(const ParameterRecord &rec, char *bad = nullptr);
// The refusal of such a record, naming the field and the byte.
QString unsendableMessage(int field, char bad);

// A 5600 reply holding line noise: a control character other than CR, or a
// byte of 0x80 and above. Such a reply is asked for again.
bool isNoisyReply(const QByteArray &reply);

// A 52X memory image reply: exactly 64 hexadecimal digits and the CR.
bool isImageReply(const QByteArray &reply);

} // namespace qel
