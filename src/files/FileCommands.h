#pragma once
// The file menu's work: the settings data file dialogs, load and save, and
// the printed settings list.

#include "core/Context.h"
#include "platform/Printer.h"

#include <QString>

namespace qel {

class FileCommands {
public:
    explicit FileCommands(Context &ctx);

    // mode 0: load dialog, mode 1: save dialog. On true, fileName is the file
    // title and folder the folder without a trailing separator.
    bool SelectDataFile(int mode, QString &fileName, QString &folder);
    // Makes the program's folder current again.
    void RestoreWorkDir();
    // True when the record was replaced (the caller then redraws with DspData).
    bool DataFileLoad();
    // The same for a file named without the dialog (the program's argument);
    // once loaded, its folder is remembered as a chosen one's.
    bool DataFileLoad(const QString &path);
    bool DataFileSave();
    // Printer selection, then the page; "印刷処理を中断します。" on cancel or fault.
    void DataLprint(PrinterProvider &printers);
    // The page itself. Stops at the first printer fault (lp.ok() false).
    static void DataPrintOut(Printer &lp, const AppState &st);
    static void LPSet(Printer &lp, int style);

    // The program's folder, made current after every dialog. Defaults to the
    // folder of the executable.
    void setProgramFolder(const QString &folder) { programFolder_ = folder; }
    QString programFolder() const;
    // Where the dialogs start when the program's folder is not writable: the
    // folder last used ("QEL-5600"/"DataFile"/"Folder"), else home.
    QString userFolder() const;

    // Splits a full file name into its title (the name without folder) and
    // its folder: the characters before the title less the separator "/".
    // "/data/a.pdt" -> "a.pdt", "/data"; "/a.pdt" -> "a.pdt", "". A backslash
    // is part of a name: "/data/a\b.pdt" -> "a\b.pdt", "/data".
    static void splitFileName(const QString &fullName, QString &fileTitle, QString &folder);
    // Folder and title joined again: the inverse of splitFileName.
    static QString joinFileName(const QString &folder, const QString &fileTitle);

private:
    // The folder of a chosen file: the load dialog's next start (mode 0)
    // and the stored "DataFile"/"Folder".
    void rememberFolder(int mode, const QString &folder);
    bool loadChosen(const QString &path);
    Context &ctx_;
    QString programFolder_;
};

} // namespace qel
