#include "GuiModule.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLibrary>

namespace qel::cli {

const GuiModule *guiModule(QString &error)
{
    static QString failure;
    static const GuiModule *const loaded = []() -> const GuiModule * {
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
            const GuiModule *m = entry ? entry() : nullptr;
            if (m && m->abi == GuiModule::Abi)
                return m;
            failure = entry ? QStringLiteral("%1 belongs to another build").arg(path) : lib.errorString();
            return nullptr;
        }
        failure = QStringLiteral("%1 not found in %2").arg(QStringLiteral(QELCTL_GUI_MODULE_NAME),
                                                             candidates.join(QStringLiteral(", ")));
        return nullptr;
    }();
    error = failure;
    return loaded;
}

} // namespace qel::cli
