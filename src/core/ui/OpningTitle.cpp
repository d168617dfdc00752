#include "OpningTitle.h"

#include "FormPosition.h"

#include <QCoreApplication>
#include <QDir>
#include <QLabel>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QVBoxLayout>
#include <cmath>

namespace qel {

void TitleWait(Clock &clock)
{
    constexpr double kDay = 86400.0;
    // A timer keeps the event loop waking while nothing else happens.
    auto tick = clock.createTimer();
    tick->start(50);
    double last = clock.secondsOfDay();
    const double start = std::nearbyint(last);
    double dayOffset = 0;
    for (;;) {
        const double now = clock.secondsOfDay();
        if (now < last)
            dayOffset += kDay; // past midnight
        last = now;
        if (now + dayOffset >= start + 1)
            break;
        clock.yield();
    }
    tick->stop();
}

QPixmap titlePicture(const QSize &size)
{
    QPixmap pm(size);
    const int w = size.width();
    const int h = size.height();
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);

    QLinearGradient sky(0, 0, 0, h);
    sky.setColorAt(0, QColor(18, 44, 92));
    sky.setColorAt(1, QColor(6, 16, 40));
    p.fillRect(pm.rect(), sky);

    // A pulse train turning into a steady output: the converter's work.
    QPainterPath pulses;
    const int base = int(h * 0.62);
    const int top = int(h * 0.42);
    double x = w * 0.06;
    pulses.moveTo(x, base);
    const double period = w * 0.07;
    for (int i = 0; i < 5; ++i) {
        pulses.lineTo(x, top);
        pulses.lineTo(x + period / 2, top);
        pulses.lineTo(x + period / 2, base);
        pulses.lineTo(x + period, base);
        x += period;
    }
    p.setPen(QPen(QColor(120, 220, 255), 3));
    p.drawPath(pulses);

    const double arrowX = x + w * 0.02;
    p.setPen(QPen(QColor(255, 200, 80), 3));
    p.drawLine(QPointF(arrowX, (base + top) / 2.0), QPointF(arrowX + w * 0.08, (base + top) / 2.0));
    p.drawLine(QPointF(arrowX + w * 0.08, (base + top) / 2.0),
               QPointF(arrowX + w * 0.06, (base + top) / 2.0 - 8));
    p.drawLine(QPointF(arrowX + w * 0.08, (base + top) / 2.0),
               QPointF(arrowX + w * 0.06, (base + top) / 2.0 + 8));

    // An analogue meter.
    const QRectF meter(w * 0.62, h * 0.28, w * 0.32, w * 0.32);
    p.setPen(QPen(QColor(230, 235, 245), 3));
    p.setBrush(QColor(30, 60, 110));
    p.drawPie(meter, 30 * 16, 120 * 16);
    const QPointF centre = meter.center();
    const double r = meter.width() / 2 * 0.85;
    const double angle = 70.0 * M_PI / 180.0;
    p.setPen(QPen(QColor(255, 90, 70), 3));
    p.drawLine(centre, centre + QPointF(r * std::cos(angle), -r * std::sin(angle)));

    QFont big(QStringLiteral("ＭＳ Ｐゴシック"));
    big.setPixelSize(std::max(12, h / 7));
    big.setBold(true);
    p.setFont(big);
    p.setPen(Qt::white);
    p.drawText(QRectF(0, h * 0.06, w, h * 0.2), Qt::AlignHCenter | Qt::AlignVCenter,
               QCoreApplication::translate("OpningTitle", "ＱＥＬ－５６００"));
    QFont small(QStringLiteral("ＭＳ Ｐゴシック"));
    small.setPixelSize(std::max(10, h / 14));
    p.setFont(small);
    p.setPen(QColor(200, 215, 240));
    p.drawText(QRectF(0, h * 0.76, w, h * 0.12), Qt::AlignHCenter | Qt::AlignVCenter,
               QCoreApplication::translate("OpningTitle", "周波数／周期変換器　設定プログラム"));
    p.drawText(QRectF(0, h * 0.87, w, h * 0.1), Qt::AlignHCenter | Qt::AlignVCenter,
               QStringLiteral("QEL Instruments Co., Ltd."));
    p.end();
    return pm;
}

OpningTitle::OpningTitle(Context &ctx) : QWidget(nullptr), ctx_(ctx)
{
    setObjectName(QStringLiteral("OpningTitle"));
    setWindowTitle(QStringLiteral("Opening Title"));
    setWindowFlags(Qt::SplashScreen | Qt::FramelessWindowHint);
    Picture1 = new QLabel(this);
    Picture1->setObjectName(QStringLiteral("Picture1"));
    Picture1->setPixmap(titlePicture(QSize(480, 270)));
    auto *l = new QVBoxLayout(this);
    l->setContentsMargins(0, 0, 0, 0);
    l->addWidget(Picture1);
    setFixedSize(480, 270);
}

void OpningTitle::Form_Load(QWidget *mainWindow, const std::function<void()> &loadMain)
{
    QDir::setCurrent(QCoreApplication::applicationDirPath());
    helpFile = QStringLiteral("qel-5600.hlp");
    // From here on nothing stops the start: every step runs whatever the
    // previous one did.
    centreOnScreen(this);
    show();
    QCoreApplication::processEvents();
    if (loadMain)
        loadMain();
    TitleWait(ctx_.clock());
    if (mainWindow) {
        mainWindow->show();
        mainWindow->raise();
        mainWindow->activateWindow();
        QCoreApplication::processEvents();
    }
    close();
    // The picture is not shown again: give its memory back for the rest of the run.
    Picture1->clear();
}

} // namespace qel
