#pragma once
// The widget and print-support side of qelctl: a module of its own, loaded
// only by the commands that draw pages (print), so that every other command
// starts with Qt Core and SerialPort alone and needs no display.

#include "platform/Printer.h"

#include <QString>

class QCoreApplication;

namespace qel::cli {

struct GuiModule {
    // Raised whenever this table changes; a module of another build is refused.
    static constexpr int Abi = 1;
    int abi = Abi;
    // The application object for drawing: a QGuiApplication, on the offscreen
    // platform unless QT_QPA_PLATFORM names one.
    QCoreApplication *(*makeApplication)(int &argc, char **argv) = nullptr;
    // A printer drawing into the PDF file `path`; the caller owns it.
    Printer *(*openPdf)(const QString &path) = nullptr;
};

// The module's entry point, exported as a C symbol.
using GuiModuleEntry = const GuiModule *(*)();
inline constexpr char kGuiModuleEntry[] = "qelctlGuiModule";

// Loads the module (once): beside the executable (the build tree), else in
// the installed library folder. nullptr with the reason in `error`.
const GuiModule *guiModule(QString &error);

} // namespace qel::cli
