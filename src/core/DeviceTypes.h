#pragma once
// The operation types a converter works as, by their DeviceType code: what
// the record, the screens, the files and the tool need to know of each. How
// a type is spoken to on the line is its generation's (comm/Generation.h).

#include <QCoreApplication>
#include <QList>
#include <QString>

namespace qel {

// DeviceType values.
enum : int { TypeNone = 0, Type521 = 1, Type5600 = 4, Type527 = 7 };

struct DeviceTypeInfo {
    int code;             // DeviceType
    const char *name;     // "521", "527", "5600": the tool's and the device history's name
    int timeUnitMs;       // the unit of the output update time (F8)
    bool fewerFunctions;  // no division ratio, moving average, chatter suppression,
                          // stepless, spread or logarithmic output (F9..F12, F14 "1", "2")
    bool needs5600Series; // a genuine 52X (serial number below 20000) cannot work as it
    const char *printName;   // the printout's type line (qel::FileCommands)
    const char *screenTitle; // the settings screen's title after the model (qel::PromSet)
    const char *optionCaption; // its option in the type-change screen (qel::TypeChangeDialog)
    char digit() const { return char('0' + code); } // what the type change sends for it
};

// Every type, in the type-change screen's order: 521, 527, 5600.
inline const QList<const DeviceTypeInfo *> &deviceTypes()
{
    static const DeviceTypeInfo types[] = {
        {Type521, "521", 10, false, false, QT_TRANSLATE_NOOP("qel::FileCommands", "ＱＥＬ－５２１"),
         QT_TRANSLATE_NOOP("qel::PromSet", "（５２１タイプ）　設定変更"),
         QT_TRANSLATE_NOOP("qel::TypeChangeDialog", "５２１")},
        {Type527, "527", 1, true, false, QT_TRANSLATE_NOOP("qel::FileCommands", "ＱＥＬ－５２７"),
         QT_TRANSLATE_NOOP("qel::PromSet", "（５２７タイプ）　設定変更"),
         QT_TRANSLATE_NOOP("qel::TypeChangeDialog", "５２７")},
        {Type5600, "5600", 1, false, true, QT_TRANSLATE_NOOP("qel::FileCommands", "ＱＥＬ－５６００"),
         QT_TRANSLATE_NOOP("qel::PromSet", "（５６００タイプ）　設定変更"),
         QT_TRANSLATE_NOOP("qel::TypeChangeDialog", "５６００")}};
    static const QList<const DeviceTypeInfo *> all{&types[0], &types[1], &types[2]};
    return all;
}

// The type of a DeviceType code (an index into the codes 0..7); nullptr for
// none identified.
inline const DeviceTypeInfo *deviceTypeInfo(int code)
{
    static constexpr int byCode[] = {-1, 0, -1, -1, 2, -1, -1, 1};
    return code >= 0 && code < 8 && byCode[code] >= 0 ? deviceTypes()[byCode[code]] : nullptr;
}

// The type a name gives ("521", "527", "5600"); nullptr for any other text.
inline const DeviceTypeInfo *deviceTypeNamed(const QString &name)
{
    for (const DeviceTypeInfo *t : deviceTypes())
        if (name == QLatin1String(t->name))
            return t;
    return nullptr;
}

} // namespace qel
