#include "QtPrinter.h"

#include "platform/SafeWrite.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QDir>
#include <QFontMetricsF>
#include <QPdfWriter>
#include <QPrintDialog>
#include <QPrinter>
#include <mutex>

namespace qel {

namespace {
QString documentTitle()
{
    return QCoreApplication::translate("QtPrinter", "設定データ一覧表");
}
} // namespace

void QtPrinter::installFontSubstitutions()
{
    static std::once_flag once;
    std::call_once(once, [] {
        QFont::insertSubstitution(QStringLiteral("ＭＳ ゴシック"), QStringLiteral("IPAGothic"));
        QFont::insertSubstitution(QStringLiteral("ＭＳ 明朝"), QStringLiteral("IPAMincho"));
        QFont::insertSubstitution(QStringLiteral("ＭＳ Ｐゴシック"), QStringLiteral("IPAPGothic"));
    });
}

// The printer's own font before the page sets one (the first blank line is
// printed in it): the same on every device, so that a page printed from the
// program and one written by the tool are laid out alike.
void QtPrinter::setInitialFont()
{
    setFont(QStringLiteral("ＭＳ ゴシック"), 10);
}

QtPrinter::QtPrinter(QPagedPaintDevice *device)
    : device_(device), printer_(dynamic_cast<QPrinter *>(device))
{
    installFontSubstitutions();
    setInitialFont();
    if (!device_)
        failed_ = true;
    // A PDF printed through the print dialog carries the page's title too.
    if (printer_ && printer_->docName().isEmpty())
        printer_->setDocName(documentTitle());
}

// The page keeps the writer's defaults (paper, orientation, margins), which
// are those of a printer printing to a PDF file: the program sets none. The
// document is made in memory and goes to its file only once it is complete.
QtPrinter::QtPrinter(const QString &pdfPath)
    : pdfPath_(pdfPath), pdfBuffer_(std::make_unique<QBuffer>()),
      ownWriter_(std::make_unique<QPdfWriter>(pdfBuffer_.get()))
{
    installFontSubstitutions();
    setInitialFont();
    pdfBuffer_->open(QIODevice::WriteOnly);
    ownWriter_->setTitle(documentTitle());
    device_ = ownWriter_.get();
}

QtPrinter::QtPrinter(const QString &pdfPath, const QPageLayout &layout, int resolution)
    : QtPrinter(pdfPath)
{
    ownWriter_->setResolution(resolution);
    ownWriter_->setPageLayout(layout);
}

QtPrinter::~QtPrinter()
{
    // A page left unfinished after a fault is closed with what it has.
    if (painter_.isActive())
        painter_.end();
}

bool QtPrinter::begin()
{
    if (failed_)
        return false;
    if (painter_.isActive())
        return true;
    if (ended_ || !painter_.begin(device_)) {
        failed_ = true;
        return false;
    }
    pages_ = 1;
    pos_ = QPointF(0, 0);
    return true;
}

qreal QtPrinter::lineHeight() const
{
    return QFontMetricsF(font_, device_).lineSpacing();
}

void QtPrinter::setFont(const QString &name, int pointSize)
{
    font_ = QFont(name);
    font_.setPointSize(pointSize);
}

void QtPrinter::nextLine()
{
    pos_.setX(0);
    pos_.setY(pos_.y() + lineHeight());
}

void QtPrinter::print(const QString &text, bool lineBreak)
{
    if (!begin())
        return;
    const QFontMetricsF fm(font_, device_);
    // A line that would run past the bottom of the page starts the next one.
    if (pos_.x() == 0 && pos_.y() > 0 && pos_.y() + fm.height() > device_->height()) {
        if (!device_->newPage()) {
            failed_ = true;
            return;
        }
        ++pages_;
        pos_ = QPointF(0, 0);
    }
    painter_.setFont(font_);
    // Items on one line share their top edge, whatever their size.
    painter_.drawText(QPointF(pos_.x(), pos_.y() + fm.ascent()), text);
    pos_.setX(pos_.x() + fm.horizontalAdvance(text));
    if (lineBreak)
        nextLine();
}

void QtPrinter::newLine()
{
    if (!begin())
        return;
    nextLine();
}

void QtPrinter::endDoc()
{
    if (!begin())
        return;
    if (!painter_.end())
        failed_ = true;
    ended_ = true;
    if (!failed_ && !pdfPath_.isEmpty() && !writeFileWhole(pdfPath_, pdfBuffer_->data(), error_))
        failed_ = true;
}

bool QtPrinter::ok() const
{
    if (failed_)
        return false;
    return !(printer_ && printer_->printerState() == QPrinter::Error);
}

QString QtPrinter::fileError() const
{
    if (error_.isEmpty())
        return {};
    return QDir::toNativeSeparators(pdfPath_) + QLatin1Char('\n') + error_;
}

QtPrinterProvider::QtPrinterProvider(QWidget *parent) : parent_(parent) {}

QtPrinterProvider::~QtPrinterProvider()
{
    page_.reset(); // before the printer it draws on
}

Printer *QtPrinterProvider::selectPrinter()
{
    page_.reset();
    if (!printer_)
        printer_ = std::make_unique<QPrinter>(QPrinter::HighResolution);
    QPrintDialog dialog(printer_.get(), parent_);
    if (dialog.exec() != QDialog::Accepted)
        return nullptr;
    // Printing to a PDF file: the page is made in memory and the file
    // written only once it is complete, so a fault leaves an old file as it was.
    if (printer_->outputFormat() == QPrinter::PdfFormat && !printer_->outputFileName().isEmpty())
        page_ = std::make_unique<QtPrinter>(printer_->outputFileName(), printer_->pageLayout(),
                                            printer_->resolution());
    else
        page_ = std::make_unique<QtPrinter>(printer_.get());
    return page_.get();
}

} // namespace qel
