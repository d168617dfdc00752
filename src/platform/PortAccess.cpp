#include "PortAccess.h"

#include <QCoreApplication>

namespace qel {

namespace {

bool looksLikeUsb(const QString &path)
{
    return path.contains(QLatin1String("ttyUSB")) || path.contains(QLatin1String("ttyACM"))
        || path.contains(QLatin1String("/dev/serial/"));
}

// "PATH: cause", the cause in English (`ja` false) or in the program's
// language through the translation of its Japanese text.
QString describe(const PortProblem &p, bool ja)
{
    const auto pick = [ja](const char *en, const char *jaText) {
        return ja ? QCoreApplication::translate("qel::PortProblem", jaText) : QString::fromUtf8(en);
    };
    QString cause;
    switch (p.cause) {
    case PortProblem::None:
        return {};
    case PortProblem::Missing:
        cause = looksLikeUsb(p.path)
            ? pick("no such device (is the adapter plugged in?)",
                   QT_TRANSLATE_NOOP("qel::PortProblem", "デバイスがありません（USBアダプタが接続されているか確認してください）"))
            : pick("no such device", QT_TRANSLATE_NOOP("qel::PortProblem", "デバイスがありません"));
        break;
    case PortProblem::Permission:
        if (!p.group.isEmpty()) {
            cause = pick("permission denied: the device belongs to group %1; add yourself "
                         "with 'sudo usermod -aG %1 $USER', then log in again",
                         QT_TRANSLATE_NOOP("qel::PortProblem",
                                           "アクセス権がありません（グループ %1 に追加してください: "
                                           "sudo usermod -aG %1 $USER の後、ログインし直す）"))
                        .arg(p.group);
        } else {
            // No group may use it: adding the user to one does not help.
            cause = pick("permission denied: only %1 may open it (mode %2); a udev rule can give it to "
                         "group dialout (example: %3), then add yourself with "
                         "'sudo usermod -aG dialout $USER' and log in again",
                         QT_TRANSLATE_NOOP("qel::PortProblem",
                                           "アクセス権がありません（%1 だけが開けます。モード %2。udev の規則で"
                                           "グループ dialout に与えられます（例: %3）。その後 "
                                           "sudo usermod -aG dialout $USER を実行し、ログインし直す）"))
                        .arg(p.owner == QLatin1String("root")
                                 ? p.owner
                                 : pick("%1 and root", QT_TRANSLATE_NOOP("qel::PortProblem", "%1 と root")).arg(p.owner))
                        .arg(p.mode, 4, 8, QLatin1Char('0'))
                        .arg(QLatin1String(kUdevRuleExample));
        }
        break;
    case PortProblem::Busy:
        if (p.pid > 0)
            cause = pick("in use by another program (process %1)",
                         QT_TRANSLATE_NOOP("qel::PortProblem", "他のプログラムが使用中です（プロセス %1）"))
                        .arg(p.pid);
        else if (!p.lockFile.isEmpty())
            cause = pick("in use by another program (its lock file %1 names no process: holder unknown)",
                         QT_TRANSLATE_NOOP("qel::PortProblem",
                                           "他のプログラムが使用中です（ロックファイル %1 にプロセスがなく、使用者は不明）"))
                        .arg(p.lockFile);
        else
            cause = pick("in use by another program", QT_TRANSLATE_NOOP("qel::PortProblem", "他のプログラムが使用中です"));
        break;
    case PortProblem::NotSerial:
        cause = pick("not a serial device", QT_TRANSLATE_NOOP("qel::PortProblem", "シリアルデバイスではありません"));
        break;
    case PortProblem::Other:
        cause = p.detail;
        break;
    case PortProblem::Lost:
        // The line went away under an open port (a pulled adapter, a hung-up line).
        cause = pick("the line went away (%1)", QT_TRANSLATE_NOOP("qel::PortProblem", "回線が切れました（%1）"))
                    .arg(p.detail);
        // Without the system's text, no empty brackets.
        if (p.detail.isEmpty())
            cause.remove(QStringLiteral(" ()")).remove(QStringLiteral("（）"));
        break;
    }
    return QStringLiteral("%1: %2").arg(p.path, cause);
}

} // namespace

QString PortProblem::text() const
{
    return describe(*this, false);
}

QString PortProblem::textJa() const
{
    return describe(*this, true);
}

} // namespace qel
