// STUB: replaced by the file commands and the printout.
#include "FileCommands.h"
namespace qel {
FileCommands::FileCommands(Context &ctx) : ctx_(ctx) {}
bool FileCommands::SelectDataFile(int, QString &, QString &) { return false; }
void FileCommands::RestoreWorkDir() {}
bool FileCommands::DataFileLoad() { return false; }
bool FileCommands::DataFileSave() { return false; }
void FileCommands::DataLprint(PrinterProvider &) {}
void FileCommands::DataPrintOut(Printer &, const AppState &) {}
void FileCommands::LPSet(Printer &, int) {}
}
