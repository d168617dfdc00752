#pragma once
// Message boxes: text, title, icon, OK or Abort/Retry/Ignore, the button pressed.

#include "PortAccess.h"

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
    // A box about a port that did not open or went away: `problem` (when
    // not ok) is one more line under the text, in the program's language,
    // and `after` (when not empty) follows it. A tool without windows may
    // tell the problem otherwise (qelctl: a line of its own).
    virtual MsgResult showPortProblem(const QString &text, const PortProblem &problem, const QString &title,
                                      MsgIcon icon, MsgButtons buttons, const QString &after = {})
    {
        QString all = text;
        for (const QString &line : {problem.textJa(), after})
            if (!line.isEmpty())
                all += QLatin1Char('\n') + line;
        return show(all, title, icon, buttons);
    }
};

// The title that boxes "with the application's own title" carry.
inline QString applicationTitle() { return QStringLiteral("QEL-5600"); }

} // namespace qel
