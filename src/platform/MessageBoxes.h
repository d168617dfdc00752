#pragma once
// Message boxes: text, title, icon, OK or Abort/Retry/Ignore, the button pressed.

#include <QString>

namespace qel {

enum class MsgIcon { None, Question, Exclamation };
enum class MsgButtons { Ok, AbortRetryIgnore };
enum class MsgResult { Ok, Abort, Retry, Ignore };

class MessageBoxes {
public:
    virtual ~MessageBoxes() = default;
    virtual MsgResult show(const QString &text, const QString &title, MsgIcon icon,
                           MsgButtons buttons) = 0;
};

// The title that boxes "with the application's own title" carry.
inline QString applicationTitle() { return QStringLiteral("QEL-5600"); }

} // namespace qel
