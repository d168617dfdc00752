// The monitor's conversion of replies into the two box texts.
#include "monitor/MonitorEngine.h"
#include "monitor/TrendBuffer.h"

#include <QtTest>
#include <cmath>

using qel::MonitorEngine;

class TestMonitorConvert : public QObject {
    Q_OBJECT
private slots:
    void hexReplyValue_data()
    {
        QTest::addColumn<QByteArray>("reply");
        QTest::addColumn<int>("value");
        QTest::newRow("worked example") << QByteArray("960\r") << 0x960;
        QTest::newRow("single zero") << QByteArray("0\r") << 0;
        QTest::newRow("lower case") << QByteArray("ff\r") << 255;
        QTest::newRow("FFFF is 16-bit, made positive") << QByteArray("FFFF\r") << 65535;
        QTest::newRow("8000") << QByteArray("8000\r") << 32768;
        QTest::newRow("five digits are 32-bit") << QByteArray("1FFFF\r") << 0x1FFFF;
        QTest::newRow("eight digits, leading zeros") << QByteArray("00000960\r") << 0x960;
        QTest::newRow("FFFFFFFF is -1, plus 65536") << QByteArray("FFFFFFFF\r") << 65535;
        QTest::newRow("only text before the first CR") << QByteArray("12\r34\r") << 0x12;
        QTest::newRow("nine digits") << QByteArray("123456789\r") << -1;
        QTest::newRow("refusal") << QByteArray("?\r") << -1;
        QTest::newRow("empty") << QByteArray("\r") << -1;
        QTest::newRow("blank inside") << QByteArray("9 6\r") << -1;
    }
    void hexReplyValue()
    {
        QFETCH(QByteArray, reply);
        QFETCH(int, value);
        QCOMPARE(MonitorEngine::HexReplyValue(reply), value);
    }

    void padLeft8()
    {
        QCOMPARE(MonitorEngine::PadLeft8(QStringLiteral("960")), QStringLiteral("     960"));
        QCOMPARE(MonitorEngine::PadLeft8(QString()), QStringLiteral("        "));
        QCOMPARE(MonitorEngine::PadLeft8(QStringLiteral("12345678")), QStringLiteral("12345678"));
        QCOMPARE(MonitorEngine::PadLeft8(QStringLiteral("123456789")), QStringLiteral("123456789"));
    }

    void convert_data()
    {
        QTest::addColumn<int>("x");
        QTest::addColumn<int>("full");
        QTest::addColumn<int>("zero");
        QTest::addColumn<int>("bias");
        QTest::addColumn<QString>("hex");
        QTest::addColumn<QString>("percent");
        QTest::newRow("worked example") << 0x960 << 4000 << 0 << 20 << "     960" << "   50.00";
        QTest::newRow("biased zero") << 800 << 4000 << 0 << 20 << "     320" << "    0.00";
        QTest::newRow("full scale") << 4000 << 4000 << 0 << 20 << "     FA0" << "  100.00";
        QTest::newRow("no bias measures from zero count")
            << 1100 << 2100 << 100 << 0 << "     44C" << "   50.00";
        QTest::newRow("below the biased zero") << 0 << 4000 << 0 << 20 << "       0" << "  -25.00";
        QTest::newRow("beyond full scale") << 0xFFFF << 3000 << 0 << 0 << "    FFFF" << " 2184.50";
        QTest::newRow("negative span") << 1000 << 0 << 4000 << 0 << "     3E8" << "   75.00";
        QTest::newRow("negative span with bias") << 2000 << 0 << 4000 << 10 << "     7D0" << "   44.44";
        // span 5, 10 %: 0.5 counts of bias go to the even neighbour 0.
        QTest::newRow("half a count of bias to even, down") << 1 << 5 << 0 << 10 << "       1" << "   20.00";
        // span 15, 10 %: 1.5 counts go to 2.
        QTest::newRow("half a count of bias to even, up") << 2 << 15 << 0 << 10 << "       2" << "    0.00";
        QTest::newRow("tiny negative keeps its minus sign") << 0 << 40000001 << 1 << 0 << "       0" << "   -0.00";
        QTest::newRow("zero over a negative span has no sign") << 1000 << 0 << 1000 << 0 << "     3E8" << "    0.00";
        QTest::newRow("long result is not cut") << 0xFFFF << 2 << 0 << 0 << "    FFFF" << "3276750.00";
    }
    void convert()
    {
        QFETCH(int, x);
        QFETCH(int, full);
        QFETCH(int, zero);
        QFETCH(int, bias);
        const qel::MonitorDisplay d = MonitorEngine::Convert(x, full, zero, bias);
        QTEST(d.hex, "hex");
        QTEST(d.percent, "percent");
        QVERIFY(std::isfinite(d.value));
    }

    void blankedReadings_data()
    {
        QTest::addColumn<int>("x");
        QTest::addColumn<int>("full");
        QTest::addColumn<int>("zero");
        QTest::addColumn<int>("bias");
        QTest::newRow("reading not hex") << -1 << 4000 << 0 << 20;
        QTest::newRow("full equals zero") << 5 << 100 << 100 << 0;
        QTest::newRow("bias eats the span") << 5 << 100 << 0 << 100;
        QTest::newRow("bias beyond 16 bits") << 5 << 1000000 << 0 << 10;
        QTest::newRow("bias below 16 bits") << 5 << -1000000 << 0 << 10;
    }
    void blankedReadings()
    {
        QFETCH(int, x);
        QFETCH(int, full);
        QFETCH(int, zero);
        QFETCH(int, bias);
        const qel::MonitorDisplay d = MonitorEngine::Convert(x, full, zero, bias);
        QVERIFY(d.blank());
        QVERIFY(d.percent.isEmpty());
        QVERIFY(std::isnan(d.value));
    }

    void biasAtTheEdgeOf16Bits()
    {
        // 327670 x 10 % = 32767 counts: still a 16-bit bias.
        QVERIFY(!MonitorEngine::Convert(40000, 327670, 0, 10).blank());
        QVERIFY(MonitorEngine::Convert(40000, 327680, 0, 10).blank());
    }

    void decimalReplyValue_data()
    {
        QTest::addColumn<QByteArray>("reply");
        QTest::addColumn<int>("value");
        QTest::newRow("plain") << QByteArray("20\r") << 20;
        QTest::newRow("zero-filled") << QByteArray("020\r") << 20;
        QTest::newRow("negative") << QByteArray("-10\r") << -10;
        QTest::newRow("decimals, half to even") << QByteArray("2.5\r") << 2;
        QTest::newRow("decimals, half to even up") << QByteArray("3.5\r") << 4;
        QTest::newRow("text after the number") << QByteArray("12AB\r") << 12;
        QTest::newRow("no number") << QByteArray("?\r") << 0;
        QTest::newRow("held to 16 bits") << QByteArray("99999\r") << 32767;
    }
    void decimalReplyValue()
    {
        QFETCH(QByteArray, reply);
        QFETCH(int, value);
        QCOMPARE(MonitorEngine::DecimalReplyValue(reply), value);
    }

    void trendBufferKeepsTheNewestInOrder()
    {
        qel::TrendBuffer b(4);
        for (int i = 0; i < 6; ++i)
            b.append(i * 100, i);
        QCOMPARE(b.size(), 4);
        QList<double> seen;
        b.forEachSince(0, [&](const qel::TrendBuffer::Sample &s) { seen << s.value; });
        QCOMPARE(seen, (QList<double>{2, 3, 4, 5}));
        seen.clear();
        b.forEachSince(350, [&](const qel::TrendBuffer::Sample &s) { seen << s.value; });
        QCOMPARE(seen, (QList<double>{4, 5}));
    }

    void trendBufferRangeSkipsGaps()
    {
        qel::TrendBuffer b(8);
        double lo = 0, hi = 0;
        QVERIFY(!b.range(0, lo, hi));
        b.append(0, 40);
        b.append(1, std::nan(""));
        b.append(2, -5);
        b.append(3, 120);
        QVERIFY(b.range(0, lo, hi));
        QCOMPARE(lo, -5.0);
        QCOMPARE(hi, 120.0);
        QVERIFY(b.range(3, lo, hi));
        QCOMPARE(lo, 120.0);
    }
};

QTEST_GUILESS_MAIN(TestMonitorConvert)
#include "test_monitor_convert.moc"
