#pragma once
// The help viewer: contents, keyword search (empty key), quit.

#include <QString>

namespace qel {

class HelpViewer {
public:
    virtual ~HelpViewer() = default;
    virtual void contents(const QString &helpFile) = 0;
    virtual void partialKey(const QString &helpFile, const QString &key) = 0;
    virtual void quit(const QString &helpFile) = 0;
};

} // namespace qel
