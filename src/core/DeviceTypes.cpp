#include "DeviceTypes.h"

#include <iterator>

namespace qel {

namespace {

const DeviceTypeInfo k521{Type521, "521", 10, false, false};
const DeviceTypeInfo k527{Type527, "527", 1, true, false};
const DeviceTypeInfo k5600{Type5600, "5600", 1, false, true};

} // namespace

const DeviceTypeInfo *deviceTypeInfo(int code)
{
    // Indexed by the code: 1 = 521, 4 = 5600, 7 = 527.
    static const DeviceTypeInfo *const byCode[] = {nullptr, &k521, nullptr, nullptr,
                                                   &k5600,  nullptr, nullptr, &k527};
    return code >= 0 && code < int(std::size(byCode)) ? byCode[code] : nullptr;
}

const DeviceTypeInfo *deviceTypeNamed(const QString &name)
{
    for (const DeviceTypeInfo *t : deviceTypes())
        if (name == QLatin1String(t->name))
            return t;
    return nullptr;
}

const QList<const DeviceTypeInfo *> &deviceTypes()
{
    static const QList<const DeviceTypeInfo *> all{&k521, &k527, &k5600};
    return all;
}

} // namespace qel
