#include "Cli.h"

namespace qel::cli {

int cmdShow(Env &env)
{
    err(QStringLiteral("qelctl: '%1' is not built yet").arg(env.command));
    return ExitUsage;
}

int cmdPrint(Env &env)
{
    err(QStringLiteral("qelctl: '%1' is not built yet").arg(env.command));
    return ExitUsage;
}

} // namespace qel::cli
