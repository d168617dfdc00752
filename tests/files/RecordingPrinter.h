#pragma once
// A printer that records the page as lines of items with their fonts. It
// models the flowing text page: an item either stays on the line or ends it,
// and a step with no items ends the open line (a blank line when nothing is
// open). It can be told to fail after a number of operations.

#include "platform/Printer.h"

#include <QList>
#include <QString>
#include <QStringList>

namespace qel::test {

struct PrintedItem {
    QString text;
    QString font;
    int size = 0;
};

struct PrintedLine {
    QList<PrintedItem> items;
    QString text() const
    {
        QString t;
        for (const auto &i : items)
            t += i.text;
        return t;
    }
};

class RecordingPrinter : public Printer {
public:
    void setFont(const QString &name, int pointSize) override
    {
        ++ops;
        font = name;
        size = pointSize;
    }
    void print(const QString &text, bool lineBreak) override
    {
        ++ops;
        current.items.append({text, font, size});
        if (lineBreak)
            flush();
    }
    void newLine() override
    {
        ++ops;
        flush();
    }
    void endDoc() override
    {
        ++ops;
        ++ended;
        if (!current.items.isEmpty())
            flush(); // an open last line still shows on the page
    }
    bool ok() const override { return failAfter < 0 || ops < failAfter; }

    QStringList texts() const
    {
        QStringList t;
        for (const auto &l : lines)
            t << l.text();
        return t;
    }
    // The first line whose text starts with `prefix`; nullptr when none.
    const PrintedLine *line(const QString &prefix) const
    {
        for (const auto &l : lines)
            if (l.text().startsWith(prefix))
                return &l;
        return nullptr;
    }

    QList<PrintedLine> lines;
    PrintedLine current;
    QString font = QStringLiteral("(default)");
    int size = 0;
    int ops = 0;
    int ended = 0;
    int failAfter = -1; // ok() turns false once this many operations were made

private:
    void flush()
    {
        lines.append(current);
        current = {};
    }
};

} // namespace qel::test
