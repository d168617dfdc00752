// The operation type change: put the converter into its type-change mode
// with "Z", send the type digit, leave with "E", then detect it anew.
#include "TypeChange.h"

#include <QCoreApplication>

namespace qel {

namespace {

// "Z" is repeated until the device echoes it; a device that never does is
// given up after this many attempts.
constexpr int kZAttempts = 30;

} // namespace

TypeChange::ChangeResult TypeChange::ChangeType(char typeDigit)
{
    ChangeResult res;
    AppState &st = ctx_.state;

    TypeCheckResult first = TypeCheck();
    if (first.aborted) {
        res.aborted = true;
        return res;
    }
    res.detected = st.DeviceType;

    // A genuine 52X cannot work as a 5600.
    const DeviceTypeInfo *asked = deviceTypeInfo(typeDigit - '0');
    if (asked && asked->needs5600Series && !st.Is5600Series) {
        ctx_.boxes().show(QCoreApplication::translate("qel::TypeChange", "QEL-5200はQEL-5600モードにできません"),
                          applicationTitle(), MsgIcon::None, MsgButtons::Ok);
        res.refused = true;
        return res;
    }

    // Addressed at the speed of the type the device works as now.
    link_.configure(addressedAs(st.DeviceType).screenSettings());
    if (!SetPortState(true)) {
        engine_.DspRSErr(1, link_.port().openProblem());
        res.noEcho = true;
        return res;
    }

    // Type-change mode: "Z" until echoed as "Z" + CR.
    bool echoed = false;
    for (int attempt = 0; attempt < kZAttempts && !echoed; ++attempt) {
        if (attempt > 0)
            link_.wait10ms(10);
        QByteArray reply;
        if (link_.exchange("Z", reply, {100}) == Collected::Lost)
            break; // nothing more will come back
        echoed = reply == "Z\r";
    }
    if (!echoed) {
        engine_.DspRSErr(1, link_.port().openProblem());
        SetPortState(false);
        res.noEcho = true;
        return res;
    }

    // The type digit, then leave the mode; neither answer is examined: the
    // detection afterwards tells what the device became.
    QByteArray reply;
    if (link_.exchange(QByteArray(1, typeDigit) + '\r', reply, {50, nullptr, 2}) != Collected::Lost)
        link_.exchange("E\r", reply, {100, nullptr, 2});

    SetPortState(false);

    const TypeCheckResult again = TypeCheck();
    if (again.aborted) {
        res.aborted = true;
        return res;
    }
    st.DeviceType = again.code;
    res.detected = again.code;
    if (again.generation)
        again.generation->readIdentity(engine_);
    return res;
}

} // namespace qel
