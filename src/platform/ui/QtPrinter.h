#pragma once
// The printer as a flowing text page over QPainter: fonts by name and size,
// items drawn one after another from the top left of the printable area, and
// line breaks that move down by the current font's line height. Works on any
// paged device: a QPrinter (real printers and "print to PDF file") or a
// QPdfWriter.

#include "platform/Printer.h"

#include <QFont>
#include <QPainter>
#include <QPointF>
#include <QString>
#include <memory>

class QBuffer;
class QPageLayout;
class QPagedPaintDevice;
class QPdfWriter;
class QPrinter;
class QWidget;

namespace qel {

class QtPrinter : public Printer {
public:
    // Draws on `device`, which must outlive this printer (not owned).
    explicit QtPrinter(QPagedPaintDevice *device);
    // Draws into a PDF file of its own, with a PDF printer's page defaults
    // (or the given page layout and resolution). The file is written whole at
    // endDoc() or not at all: on a fault an existing file stays as it was and
    // errorString() says why.
    explicit QtPrinter(const QString &pdfPath);
    QtPrinter(const QString &pdfPath, const QPageLayout &layout, int resolution);
    ~QtPrinter() override;

    void setFont(const QString &name, int pointSize) override;
    void print(const QString &text, bool lineBreak) override;
    void newLine() override;
    void endDoc() override;
    bool ok() const override;
    QString fileError() const override;

    // The next item's top-left corner, in device pixels from the top left of
    // the printable area.
    QPointF position() const { return pos_; }
    const QFont &font() const { return font_; }
    // Line height of the current font, in device pixels.
    qreal lineHeight() const;
    int pages() const { return pages_; }
    // Why the PDF file could not be written; empty otherwise.
    QString errorString() const { return error_; }

    // Maps the font names the page and the windows ask for onto the IPA fonts, so
    // that every glyph shows and the fixed-pitch columns line up.
    static void installFontSubstitutions();

private:
    bool begin();
    void nextLine();
    void setInitialFont();

    QString pdfPath_;
    std::unique_ptr<QBuffer> pdfBuffer_;
    std::unique_ptr<QPdfWriter> ownWriter_;
    QString error_;
    QPagedPaintDevice *device_ = nullptr;
    QPrinter *printer_ = nullptr; // device_ when it is a QPrinter
    QPainter painter_;
    QFont font_;
    QPointF pos_;
    int pages_ = 0;
    bool failed_ = false;
    bool ended_ = false;
};

// The printer selection of the file menu: Qt's print dialog, so that "print
// to PDF file" works as any printer does.
class QtPrinterProvider : public PrinterProvider {
public:
    explicit QtPrinterProvider(QWidget *parent = nullptr);
    ~QtPrinterProvider() override;
    Printer *selectPrinter() override;

private:
    QWidget *parent_;
    std::unique_ptr<QPrinter> printer_; // kept: the dialog remembers the last choice
    std::unique_ptr<QtPrinter> page_;
};

} // namespace qel
