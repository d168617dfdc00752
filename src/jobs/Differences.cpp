#include "Differences.h"

#include "comm/Generation.h"

namespace qel::jobs {

QList<SettingDifference> recordDifferences(const ParameterRecord &a, const ParameterRecord &b, int deviceType)
{
    const QList<SettingEntry> want = describeRecord(a, deviceType);
    const QList<SettingEntry> got = describeRecord(b, deviceType);
    QList<SettingDifference> differences;
    // F1..F30 only: the identity fields (F31..F34) are the device's own.
    for (int i = 0; i < want.size() && i < got.size(); ++i)
        if (want[i].section != QLatin1String("Identity") && want[i].raw != got[i].raw)
            differences << SettingDifference{want[i], got[i]};
    return differences;
}

QList<SettingDifference> settingDifferences(const ParameterRecord &file, const AppState &st)
{
    return recordDifferences(DeviceHolds(file, st), st.ParamRecord, st.DeviceType);
}

} // namespace qel::jobs
