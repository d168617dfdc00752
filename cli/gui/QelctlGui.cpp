// The module behind GuiModule.h: the GUI application object and the PDF
// printer, the only parts of qelctl that need Qt Gui, Widgets or PrintSupport.
#include "GuiModule.h"

#include "platform/ui/QtPrinter.h"

#include <QGuiApplication>

namespace {

QCoreApplication *makeApplication(int &argc, char **argv)
{
    // Fonts need a GUI application; no display is needed for a PDF.
    if (qgetenv("QT_QPA_PLATFORM").isEmpty())
        qputenv("QT_QPA_PLATFORM", "offscreen");
    return new QGuiApplication(argc, argv);
}

qel::Printer *openPdf(const QString &path)
{
    return new qel::QtPrinter(path);
}

const qel::cli::GuiModule kModule{qel::cli::GuiModule::Abi, makeApplication, openPdf};

} // namespace

extern "C" Q_DECL_EXPORT const qel::cli::GuiModule *qelctlGuiModule()
{
    return &kModule;
}
