// The parameter record: field layout, the assignment rule and the defaults.
#include "core/ParamRecord.h"

#include <QtTest>

using namespace qel;

class TestParamRecord : public QObject {
    Q_OBJECT
private slots:
    void layoutCoversSeventyFourCharactersWithoutGaps()
    {
        int next = 0;
        for (int f = 1; f <= ParameterRecord::FieldCount; ++f) {
            QCOMPARE(ParameterRecord::offset(f), next);
            next += ParameterRecord::width(f);
        }
        QCOMPARE(next, 74);
    }

    void defaultsFillTheFirstFiftyFourCharacters()
    {
        ParameterRecord r;
        QCOMPARE(r.bytes().left(54),
                 QByteArray("0" "01000" "E" "+" "0" "H" "00" "00001" "001" "01" "0" "0" "4" "0"
                            "00100" "E" "+" "0" "H" "00001" "E" "+" "0" "H" "0" "00001" "E" "+"
                            "0" "H"));
        QCOMPARE(r.bytes().mid(54), QByteArray(20, ' '));
    }

    void defaultsKeepTheIdentityFields()
    {
        ParameterRecord r;
        r.setBytes(QByteArray(74, 'x'));
        r.setField(31, "1707");
        r.setField(32, "20345");
        r.setField(33, "99");
        r.setField(34, "01.00");
        SetDefaultRecord(r);
        QCOMPARE(r.bytes().mid(54), QByteArray("1707 20345" "99   01.00"));
        QCOMPARE(r.text(13), QStringLiteral("4"));
    }

    void assignmentPadsAndCuts()
    {
        ParameterRecord r;
        r.setField(2, "12");
        QCOMPARE(r.field(2), QByteArray("12   "));
        r.setField(2, "123456");
        QCOMPARE(r.field(2), QByteArray("12345"));
        r.setField(2, "");
        QCOMPARE(r.field(2), QByteArray("     "));
        // A reply's CR lands in the field when the reply is shorter.
        r.setField(34, "1.0\r");
        QCOMPARE(r.field(34), QByteArray("1.0\r "));
    }

    void eachFieldIsOnlyItsOwnCharacters()
    {
        ParameterRecord r;
        const QByteArray before = r.bytes();
        r.setField(15, "999999999");
        QCOMPARE(r.field(14), QByteArray("0"));
        QCOMPARE(r.field(16), QByteArray("E"));
        QCOMPARE(r.bytes().left(26), before.left(26));
        QCOMPARE(r.bytes().mid(31), before.mid(31));
        // Out-of-range field numbers touch nothing.
        r.setField(0, "Z");
        r.setField(35, "Z");
        QVERIFY(!r.bytes().contains('Z'));
    }

    void wholeRecordIsBlankPaddedAndCut()
    {
        ParameterRecord r;
        r.setBytes("abc");
        QCOMPARE(r.bytes().size(), 74);
        QCOMPARE(r.bytes().left(4), QByteArray("abc "));
        r.setBytes(QByteArray(100, '7'));
        QCOMPARE(r.bytes(), QByteArray(74, '7'));
    }

    void leadingNumberReadsLikeTheOldVal()
    {
        QCOMPARE(leadingNumber(" 1707 "), 1707LL);
        QCOMPARE(leadingNumber("     "), 0LL);
        QCOMPARE(leadingNumber("12AB"), 12LL);
        QCOMPARE(leadingNumber("-3"), -3LL);
        QCOMPARE(leadingNumber("AB"), 0LL);
    }
};

QTEST_APPLESS_MAIN(TestParamRecord)
#include "test_paramrecord.moc"
