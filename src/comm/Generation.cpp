#include "Generation.h"

namespace qel {

const QList<const Generation *> &generations()
{
    static const QList<const Generation *> all{&generation5600(), &generation52X()};
    return all;
}

const Generation *generationOf(int deviceType)
{
    for (const Generation *g : generations())
        if (g->types.contains(deviceType))
            return g;
    return nullptr;
}

const Generation &addressedAs(int deviceType)
{
    const Generation *g = generationOf(deviceType);
    return g ? *g : generation52X();
}

ParameterRecord DeviceHolds(const ParameterRecord &rec, const AppState &device)
{
    const Generation *g = generationOf(device.DeviceType);
    return g ? g->holds(rec, device) : rec;
}

QStringList DeviceDifferences(const ParameterRecord &written, const AppState &device)
{
    const Generation *g = generationOf(device.DeviceType);
    QStringList diffs = g ? g->differences(written, device) : QStringList();
    const ParameterRecord &readBack = device.ParamRecord;
    if (written.field(31) != readBack.field(31))
        diffs << QStringLiteral("update date code: written %1, device holds %2")
                     .arg(QString::fromLatin1(written.field(31)),
                          QString::fromLatin1(readBack.field(31)));
    return diffs;
}

} // namespace qel
