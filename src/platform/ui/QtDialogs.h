#pragma once
// The modal dialogs over Qt: the port selection window (shown through a
// function the main window provides) and the file open/save dialogs.

#include "platform/Dialogs.h"

#include <QStringList>
#include <functional>

class QWidget;

namespace qel {

class QtDialogs : public Dialogs {
public:
    explicit QtDialogs(QWidget *parent = nullptr) : parent_(parent) {}
    void setParent(QWidget *parent) { parent_ = parent; }
    // Shows the port selection window modally; true when closed by its OK.
    std::function<bool()> portChooser;

    bool choosePort() override { return portChooser ? portChooser() : false; }
    bool openFile(const FileDialogRequest &req, QString &fullPath) override;
    bool saveFile(const FileDialogRequest &req, QString &fullPath) override;

    // "Data Files(*.pdt)|*.pdt|All Files(*.*)|*.*" -> Qt name filters
    // {"Data Files(*.pdt)", "All Files(*.*)"}: each description carries its
    // patterns in parentheses, several patterns separated by blanks.
    static QStringList nameFilters(const QString &oldFilter);
    // A name typed without an extension gets ".EXT" appended.
    static QString withDefaultExtension(const QString &path, const QString &ext);

private:
    bool run(const FileDialogRequest &req, bool save, QString &fullPath);
    QWidget *parent_;
};

} // namespace qel
