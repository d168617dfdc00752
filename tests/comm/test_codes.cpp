// The date code and the hexadecimal conversion.
#include "core/Codes.h"

#include <QtTest>

using namespace qel;

class TestCodes : public QObject {
    Q_OBJECT
private slots:
    void encodeDecode_data()
    {
        QTest::addColumn<QDate>("date");
        QTest::addColumn<QByteArray>("code");
        QTest::newRow("2003-05-07") << QDate(2003, 5, 7) << QByteArray("1707");
        QTest::newRow("december overflow") << QDate(2003, 12, 25) << QByteArray("2005");
        QTest::newRow("before the overflow") << QDate(2003, 12, 19) << QByteArray("1999");
        QTest::newRow("december 20th") << QDate(2003, 12, 20) << QByteArray("2000");
        QTest::newRow("december 31st") << QDate(2026, 12, 31) << QByteArray("13511");
        QTest::newRow("1999") << QDate(1999, 1, 1) << QByteArray("49541");
        QTest::newRow("2000") << QDate(2000, 1, 1) << QByteArray("41");
        QTest::newRow("2020 five digits") << QDate(2020, 1, 1) << QByteArray("10041");
        QTest::newRow("today") << QDate(2026, 12, 7) << QByteArray("13487");
    }
    void encodeDecode()
    {
        QFETCH(QDate, date);
        QFETCH(QByteArray, code);
        QCOMPARE(DateEnCord(date), code);
        QCOMPARE(DateDeCord(code), date.toString(Qt::ISODate));
        // As stored: left-aligned in a five-character field.
        QCOMPARE(DateDeCord(code.leftJustified(5, ' ')), date.toString(Qt::ISODate));
    }

    void decodeOddCodes()
    {
        // No digits: code 0, which falls into the December block of 1999.
        QCOMPARE(DateDeCord("     "), QStringLiteral("1999-12-20"));
        QCOMPARE(DateDeCord(""), QStringLiteral("1999-12-20"));
        // y of 80 or more decodes into the 1900s.
        QCOMPARE(DateDeCord(QByteArray::number(80 * 500 + 3 * 40 + 4)), QStringLiteral("1980-03-04"));
        QCOMPARE(DateDeCord(QByteArray::number(79 * 500 + 3 * 40 + 4)), QStringLiteral("2079-03-04"));
        // A code below 40 counts as December of the year before.
        QCOMPARE(DateDeCord("25"), QStringLiteral("1999-12-05"));
        // A negative code (a damaged file) decodes like the blank code.
        QCOMPARE(DateDeCord("-45"), QStringLiteral("1999-12-20"));
        // A reply's CR after the digits is ignored.
        QCOMPARE(DateDeCord("1707\r"), QStringLiteral("2003-05-07"));
    }

    void hexValue()
    {
        QCOMPARE(HexValue("03E8"), 1000);
        QCOMPARE(HexValue("03e8"), 1000);
        QCOMPARE(HexValue("003E8"), 1000);
        QCOMPARE(HexValue(""), 0);
        QCOMPARE(HexValue("    "), 0);
        QCOMPARE(HexValue("1G"), 16); // a non-hex character counts as 0
        QCOMPARE(HexValue("FFFF"), 65535);
    }
};

QTEST_APPLESS_MAIN(TestCodes)
#include "test_codes.moc"
