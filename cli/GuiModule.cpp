#include "GuiModule.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLibrary>

namespace qel::cli {

const GuiModule *guiModule(QString &error)
{
    static const GuiModule *loaded = nullptr;
    static QString failure;
    static bool tried = false;
    if (!tried) {
        tried = true;
        // The executable's own folder, found without an application object.
        const QString exeDir = QFileInfo(QFile::symLinkTarget(QStringLiteral("/proc/self/exe"))).path();
        const QStringList candidates = {
            exeDir + QStringLiteral("/" QELCTL_GUI_MODULE_NAME),
            QDir::cleanPath(exeDir + QStringLiteral("/../" QELCTL_GUI_MODULE_DIR "/" QELCTL_GUI_MODULE_NAME)),
        };
        for (const QString &path : candidates) {
            if (!QFileInfo::exists(path))
                continue;
            QLibrary lib(path); // never unloaded: the application object lives in it
            const auto entry = reinterpret_cast<GuiModuleEntry>(lib.resolve(kGuiModuleEntry));
            if (!entry) {
                failure = lib.errorString();
                break;
            }
            const GuiModule *m = entry();
            if (!m || m->abi != GuiModule::Abi) {
                failure = QStringLiteral("%1 belongs to another build").arg(path);
                break;
            }
            loaded = m;
            break;
        }
        if (!loaded && failure.isEmpty())
            failure = QStringLiteral("%1 not found in %2").arg(QStringLiteral(QELCTL_GUI_MODULE_NAME),
                                                                candidates.join(QStringLiteral(", ")));
    }
    error = failure;
    return loaded;
}

} // namespace qel::cli
