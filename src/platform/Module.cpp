#include "Module.h"

#include "System.h"

#include <QDir>
#include <QFileInfo>
#include <QLibrary>

namespace qel {

void *moduleEntry(const char *fileName, const char *entry, QString &error)
{
    // The executable's own folder, found without an application object.
    const QString exeDir = programFolder();
    const QString name = QString::fromLatin1(fileName);
    const QStringList candidates = {
        exeDir + u'/' + name,
        QDir::cleanPath(exeDir + QStringLiteral("/../" QEL_MODULE_DIR "/") + name),
    };
    for (const QString &path : candidates) {
        if (!QFileInfo::exists(path))
            continue;
        QLibrary lib(path); // never unloaded: its objects live as long as the process
        if (void *found = reinterpret_cast<void *>(lib.resolve(entry)))
            return found;
        error = lib.errorString();
        return nullptr;
    }
    error = QStringLiteral("%1 not found in %2").arg(name, candidates.join(QStringLiteral(", ")));
    return nullptr;
}

} // namespace qel
