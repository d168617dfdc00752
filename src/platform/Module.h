#pragma once
// Parts of the programs that only some runs need (the printer of `qelctl
// print`, the network transport) are modules of their own, loaded the first
// time they are needed, so that every other run starts without their
// libraries.

#include <QString>

namespace qel {

// Loads the module `fileName` (its name and the system's suffix for modules,
// QEL_MODULE_SUFFIX: .so, .dll) (once a process; never unloaded) from beside
// the executable (the build tree), else from the installed module folder
// (LIBDIR/qel-settings/modules), and resolves `entry`. nullptr with the
// reason in `error`.
void *moduleEntry(const char *fileName, const char *entry, QString &error);

} // namespace qel
