#pragma once
// The printer as a flowing text page: font by name and size, text items that
// stay on the line or break it, a step with no items is a blank line, and the
// end of the document.

#include <QString>

namespace qel {

class Printer {
public:
    virtual ~Printer() = default;
    virtual void setFont(const QString &name, int pointSize) = 0;
    // Prints one item; lineBreak false keeps the position on the line.
    virtual void print(const QString &text, bool lineBreak) = 0;
    // A print step with no items: moves to the next line.
    virtual void newLine() = 0;
    virtual void endDoc() = 0;
    // False once the printer has failed; the printout then stops.
    virtual bool ok() const { return true; }
    // For a printer that prints to a file: the file and why it could not be
    // written. Empty for any other fault.
    virtual QString fileError() const { return {}; }
};

// Shows the printer selection and hands out the chosen printer; nullptr when
// the user cancelled or no printer could be had.
class PrinterProvider {
public:
    virtual ~PrinterProvider() = default;
    virtual Printer *selectPrinter() = 0;
};

} // namespace qel
