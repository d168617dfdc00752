#include "Settings.h"

#include <cmath>
#include <limits>

namespace qel {

namespace {
const QString kApp = QStringLiteral("QEL-5600");
} // namespace

void RegSetting(Context &ctx, int mode, const QString &app, const QString &section,
                const QString &key, QString &value)
{
    SettingsStore *store = ctx.platform.store;
    if (!store)
        return;
    if (mode == 0) {
        store->save(app, section, key, value);
    } else if (mode == 1) {
        QString got;
        if (store->get(app, section, key, got))
            value = got;
    }
}

double leadingValue(const QString &text)
{
    const double v = leadingValue(text.toUtf8());
    return std::isfinite(v) ? v : 0;
}

QString singleText(double v)
{
    return QString::number(static_cast<double>(static_cast<float>(v)), 'g', 7);
}

void CommPortSetting(Context &ctx, int mode)
{
    if (mode == 0) {
        QString v = QString::number(ctx.state.CommPortNo);
        RegSetting(ctx, 0, kApp, QStringLiteral("CommPort"), QStringLiteral("No."), v);
    } else if (mode == 1) {
        QString v;
        RegSetting(ctx, 1, kApp, QStringLiteral("CommPort"), QStringLiteral("No."), v);
        const double n = roundHalfEven(leadingValue(v));
        // A port number is a 16-bit integer; anything beyond reads as no port.
        ctx.state.CommPortNo = (n >= std::numeric_limits<qint16>::min()
                                && n <= std::numeric_limits<qint16>::max())
            ? static_cast<int>(n) : 0;
    }
}

void SaveWindowPos(Context &ctx, const FormGeometry &form)
{
    const std::pair<const char *, double> keys[] = {
        {"Top", form.top}, {"Left", form.left}, {"Height", form.height}, {"Width", form.width}};
    for (const auto &[key, v] : keys) {
        QString text = singleText(v);
        RegSetting(ctx, 0, kApp, form.name, QString::fromLatin1(key), text);
    }
}

void RestoreWindowPos(Context &ctx, FormGeometry &form, double screenWidth, double screenHeight)
{
    // The stored size is not read back: the window keeps its own.
    QString top, left;
    RegSetting(ctx, 1, kApp, form.name, QStringLiteral("Top"), top);
    RegSetting(ctx, 1, kApp, form.name, QStringLiteral("Left"), left);
    double t = roundHalfEven(leadingValue(top));
    double l = roundHalfEven(leadingValue(left));
    if (t > screenHeight - form.height)
        t = roundHalfEven(screenHeight - form.height);
    if (l > screenWidth - form.width)
        l = roundHalfEven(screenWidth - form.width);
    form.top = t;
    form.left = l;
}

} // namespace qel
