#include "QtClock.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QEventLoop>
#include <QTimer>

namespace qel {

namespace {

class QtTimer : public Timer {
public:
    QtTimer()
    {
        timer_.setTimerType(Qt::PreciseTimer);
        QObject::connect(&timer_, &QTimer::timeout, [this] { onTimeout(); });
    }
    void start(int ms) override { timer_.start(ms); }
    void stop() override { timer_.stop(); }
    bool isActive() const override { return timer_.isActive(); }

private:
    QTimer timer_;
};

} // namespace

QtClock::QtClock()
{
    elapsed_.start();
    // QEL_TODAY=YYYY-MM-DD fixes the date the writes stamp (for scripted checks).
    const QByteArray env = qgetenv("QEL_TODAY");
    if (!env.isEmpty())
        fixedToday_ = QDate::fromString(QString::fromLatin1(env), Qt::ISODate);
}

std::unique_ptr<Timer> QtClock::createTimer()
{
    return std::make_unique<QtTimer>();
}

void QtClock::yield()
{
    // Blocks until the next event (timer tick, serial data, input): no spinning.
    QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
}

void QtClock::processPending()
{
    QCoreApplication::processEvents(QEventLoop::AllEvents);
}

QDate QtClock::today() const
{
    return fixedToday_.isValid() ? fixedToday_ : QDate::currentDate();
}

double QtClock::secondsOfDay() const
{
    const QTime t = QTime::currentTime();
    return t.msecsSinceStartOfDay() / 1000.0;
}

} // namespace qel
