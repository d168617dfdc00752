// The monitor's CSV recorder: row format, buffering with the once-a-second
// flush, and a disk that fills during the recording.
#include "monitor/MonitorRecorder.h"
#include "platform/VirtualClock.h"

#include <QTemporaryDir>
#include <QTimeZone>
#include <QtTest>

#include <csignal>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <sys/resource.h>

using namespace qel;

namespace {

QByteArray readAll(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<unreadable>");
}

MonitorDisplay reading(qint32 x)
{
    return MonitorEngine::Convert(x, 4000, 0, 20);
}

} // namespace

class TestMonitorRecorder : public QObject {
    Q_OBJECT
private slots:
    void rowFormat_data()
    {
        QTest::addColumn<QDateTime>("time");
        QTest::addColumn<qint32>("x");
        QTest::addColumn<QByteArray>("row");
        const QDate d(2026, 12, 7);
        const QTime t(9, 5, 3, 7);
        QTest::newRow("east, padded fields trimmed")
            << QDateTime(d, t, QTimeZone(9 * 3600)) << qint32(0x960)
            << QByteArray("2026-12-07T09:05:03.007+09:00,960,50.00\n");
        QTest::newRow("west, half-hour offset, negative percent")
            << QDateTime(d, t, QTimeZone(-(3 * 3600 + 1800))) << qint32(0x100)
            << QByteArray("2026-12-07T09:05:03.007-03:30,100,-17.00\n");
        QTest::newRow("utc is +00:00, blank reading gives empty fields")
            << QDateTime(d, t, QTimeZone::utc()) << qint32(-1)
            << QByteArray("2026-12-07T09:05:03.007+00:00,,\n");
    }
    void rowFormat()
    {
        QFETCH(QDateTime, time);
        QFETCH(qint32, x);
        QFETCH(QByteArray, row);
        QCOMPARE(MonitorRecorder::row(time, reading(x)), row);
    }

    void rowsReachTheFileWithinASecondAndAllOnStop()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("rec.csv"));
        VirtualClock clock;
        MonitorRecorder rec(clock);
        rec.setWallClock([&] {
            return QDateTime(QDate(2026, 12, 7), QTime(10, 0), QTimeZone(3600))
                .addMSecs(clock.nowMs());
        });
        QVERIFY(rec.start(path));
        QCOMPARE(readAll(path), MonitorRecorder::header());
        rec.record(reading(0x960));
        clock.advance(120);
        rec.record(reading(-1));
        // A reading costs no write: the rows wait for the flush.
        QCOMPARE(readAll(path), MonitorRecorder::header());
        clock.advance(1000);
        QCOMPARE(readAll(path), MonitorRecorder::header()
                     + "2026-12-07T10:00:00.000+01:00,960,50.00\n"
                     + "2026-12-07T10:00:00.120+01:00,,\n");
        rec.record(reading(0x960));
        QVERIFY(rec.stop());
        QVERIFY(!rec.isRecording());
        QCOMPARE(readAll(path).count('\n'), 4);
        rec.record(reading(0x960)); // after stop: nothing
        clock.advance(2000);
        QCOMPARE(readAll(path).count('\n'), 4);
        // Starting again empties the file.
        QVERIFY(rec.start(path));
        QVERIFY(rec.stop());
        QCOMPARE(readAll(path), MonitorRecorder::header());
    }

    void fileThatCannotBeWrittenIsRefusedAtStart()
    {
        VirtualClock clock;
        MonitorRecorder rec(clock);
        QVERIFY(!rec.start(QStringLiteral("/nonexistent-dir/rec.csv")));
        QVERIFY(!rec.isRecording());
        QVERIFY(!rec.error().isEmpty());
        QVERIFY(!rec.start(QStringLiteral("/dev/full")));
        QVERIFY(!rec.error().isEmpty());
    }

    // A FIFO chosen in the window's file dialog: one nobody reads is refused
    // at once (the open would block the window for good), and a reader that
    // stops taking rows ends the recording with its reason, not the window.
    void pipeWithoutAWillingReaderEndsTheRecordingNotTheWindow()
    {
        QTemporaryDir dir;
        const QByteArray fifo = QFile::encodeName(dir.filePath(QStringLiteral("rec.fifo")));
        QCOMPARE(::mkfifo(fifo.constData(), 0600), 0);
        VirtualClock clock;
        MonitorRecorder rec(clock);
        int failures = 0;
        rec.onFailed = [&] { ++failures; };
        QVERIFY(!rec.start(QFile::decodeName(fifo)));
        QVERIFY2(rec.error().contains(QLatin1String("no program reads")), qPrintable(rec.error()));

        const int reader = ::open(fifo.constData(), O_RDONLY | O_NONBLOCK);
        QVERIFY(reader >= 0);
        QVERIFY(rec.start(QFile::decodeName(fifo)));
        char head[64];
        QCOMPARE(::read(reader, head, sizeof head), qint64(MonitorRecorder::header().size()));
        for (int i = 0; i < 5000; ++i) // more than the pipe holds
            rec.record(reading(0x960));
        QVERIFY(!rec.flush());
        QVERIFY(!rec.isRecording());
        QVERIFY2(rec.error().contains(QLatin1String("took nothing")), qPrintable(rec.error()));
        ::close(reader);
    }

    // A disk that fills (here: the file size limit) stops the recording with
    // its reason; the file ends with its last whole row.
    void fullDiskStopsTheRecordingWithoutAPartialRow()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("rec.csv"));
        VirtualClock clock;
        MonitorRecorder rec(clock);
        int failures = 0;
        rec.onFailed = [&] { ++failures; };
        QVERIFY(rec.start(path));
        const qint64 rowSize = MonitorRecorder::row(QDateTime::currentDateTime(),
                                                    reading(0x960)).size();
        const qint64 limit = MonitorRecorder::header().size() + 2 * rowSize + rowSize / 2;

        std::signal(SIGXFSZ, SIG_IGN);
        rlimit old{};
        getrlimit(RLIMIT_FSIZE, &old);
        rlimit lim = old;
        lim.rlim_cur = rlim_t(limit);
        QCOMPARE(setrlimit(RLIMIT_FSIZE, &lim), 0);
        for (int i = 0; i < 4; ++i)
            rec.record(reading(0x960));
        clock.advance(1000);
        setrlimit(RLIMIT_FSIZE, &old);

        QCOMPARE(failures, 1);
        QVERIFY(!rec.isRecording());
        QVERIFY(!rec.error().isEmpty());
        const QByteArray content = readAll(path);
        QCOMPARE(content.size(), MonitorRecorder::header().size() + 2 * rowSize);
        QVERIFY(content.endsWith('\n'));
        QVERIFY(!rec.stop()); // the failure stays reported
    }
};

QTEST_GUILESS_MAIN(TestMonitorRecorder)
#include "test_monitor_recorder.moc"
