#include "Cli.h"

namespace qel::cli {

int cmdDetect(Env &env)
{
    err(QStringLiteral("qelctl: '%1' is not built yet").arg(env.command));
    return ExitUsage;
}

int cmdRead(Env &env)
{
    err(QStringLiteral("qelctl: '%1' is not built yet").arg(env.command));
    return ExitUsage;
}

int cmdWrite(Env &env)
{
    err(QStringLiteral("qelctl: '%1' is not built yet").arg(env.command));
    return ExitUsage;
}

} // namespace qel::cli

#include "files/DataFile.h"

namespace qel::cli {

bool loadSettingsFile(const QString &path, ParameterRecord &rec, QString &error)
{
    return loadDataFile(path, rec, error);
}

} // namespace qel::cli
