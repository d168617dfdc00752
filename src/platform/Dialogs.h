#pragma once
// Modal dialogs the device logic and the file commands need: the port
// selection window, the file open/save dialogs and the printer selection.

#include <QString>

namespace qel {

struct FileDialogRequest {
    QString title;
    QString filter;           // in the old "Desc(*.x)|*.x|All(*.*)|*.*" form
    QString defaultExtension; // "PDT" for the save dialog, empty otherwise
    QString startFolder;      // empty: the current directory
    bool confirmOverwrite = false;
    bool hideReadOnly = false;
};

class Dialogs {
public:
    virtual ~Dialogs() = default;
    // Shows the port selection window modally (it may change CommPortNo).
    // Returns false when the user gave up (closed it without OK).
    virtual bool choosePort() = 0;
    // File dialogs: true and the full path when a file was chosen.
    virtual bool openFile(const FileDialogRequest &req, QString &fullPath) = 0;
    virtual bool saveFile(const FileDialogRequest &req, QString &fullPath) = 0;
};

// For programs without windows: no port dialog, no file dialogs (the user
// gives up at once).
class NoDialogs : public Dialogs {
public:
    bool choosePort() override { return false; }
    bool openFile(const FileDialogRequest &, QString &) override { return false; }
    bool saveFile(const FileDialogRequest &, QString &) override { return false; }
};

} // namespace qel
