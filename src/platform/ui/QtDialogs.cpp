#include "QtDialogs.h"

#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>

namespace qel {

QStringList QtDialogs::nameFilters(const QString &oldFilter)
{
    const QStringList parts = oldFilter.split(QLatin1Char('|'));
    QStringList out;
    for (int i = 0; i < parts.size(); i += 2) {
        const QString desc = parts.at(i).trimmed();
        const QString patterns = i + 1 < parts.size()
            ? parts.at(i + 1).split(QLatin1Char(';'), Qt::SkipEmptyParts).join(QLatin1Char(' '))
            : QString();
        if (desc.isEmpty() && patterns.isEmpty())
            continue;
        if (patterns.isEmpty() || desc.endsWith(QLatin1Char('(') + patterns + QLatin1Char(')')))
            out << desc;
        else
            out << desc + QStringLiteral(" (") + patterns + QLatin1Char(')');
    }
    return out;
}

QString QtDialogs::withDefaultExtension(const QString &path, const QString &ext)
{
    if (ext.isEmpty() || path.isEmpty())
        return path;
    if (!QFileInfo(path).suffix().isEmpty())
        return path;
    QString e = ext;
    if (e.startsWith(QLatin1Char('.')))
        e.remove(0, 1);
    return path + QLatin1Char('.') + e.toUpper();
}

bool QtDialogs::run(const FileDialogRequest &req, bool save, QString &fullPath)
{
    // Owned by the window the user works in (the monitor, the main window),
    // which it gives the keyboard back to when it closes.
    QWidget *owner = QApplication::activeWindow();
    QFileDialog dlg(owner ? owner : parent_, req.title,
                    req.startFolder.isEmpty() ? QDir::currentPath() : req.startFolder);
    dlg.setOption(QFileDialog::DontUseNativeDialog, true);
    dlg.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dlg.setFileMode(save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    const QStringList filters = nameFilters(req.filter);
    if (!filters.isEmpty())
        dlg.setNameFilters(filters);
    dlg.setOption(QFileDialog::DontConfirmOverwrite, !req.confirmOverwrite);
    // The dialog appends the extension itself, so the overwrite question
    // names the file that will really be written.
    if (save && !req.defaultExtension.isEmpty())
        dlg.setDefaultSuffix(req.defaultExtension.toUpper());
    if (dlg.exec() != QDialog::Accepted || dlg.selectedFiles().isEmpty())
        return false;
    QString chosen = dlg.selectedFiles().constFirst();
    if (save)
        chosen = withDefaultExtension(chosen, req.defaultExtension);
    fullPath = QDir::toNativeSeparators(chosen);
    return true;
}

bool QtDialogs::openFile(const FileDialogRequest &req, QString &fullPath)
{
    return run(req, false, fullPath);
}

bool QtDialogs::saveFile(const FileDialogRequest &req, QString &fullPath)
{
    return run(req, true, fullPath);
}

} // namespace qel
