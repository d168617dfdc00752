#include "GuiModule.h"

#include "platform/Module.h"

namespace qel::cli {

const GuiModule *guiModule(QString &error)
{
    static QString failure;
    static const GuiModule *const loaded = []() -> const GuiModule * {
        const auto entry = reinterpret_cast<GuiModuleEntry>(
            moduleEntry(QELCTL_GUI_MODULE_NAME, kGuiModuleEntry, failure));
        // A server may have qelctl without the window's package, which
        // brings the module and the widget libraries it needs.
        if (!entry)
            failure += QStringLiteral(" (print needs the package qel-settings)");
        const GuiModule *m = entry ? entry() : nullptr;
        if (entry && !(m && m->abi == GuiModule::Abi)) {
            failure = QStringLiteral("%1 belongs to another build").arg(QStringLiteral(QELCTL_GUI_MODULE_NAME));
            return nullptr;
        }
        return m;
    }();
    error = failure;
    return loaded;
}

} // namespace qel::cli
