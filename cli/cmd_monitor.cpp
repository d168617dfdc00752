#include "Cli.h"

namespace qel::cli {

int cmdTypeChange(Env &env)
{
    err(QStringLiteral("qelctl: '%1' is not built yet").arg(env.command));
    return ExitUsage;
}

int cmdMonitor(Env &env)
{
    err(QStringLiteral("qelctl: '%1' is not built yet").arg(env.command));
    return ExitUsage;
}

} // namespace qel::cli
