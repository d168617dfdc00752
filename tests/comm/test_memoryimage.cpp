// The 52X memory image: decoding it into the record, encoding the record back.
#include "core/Codes.h"
#include "comm/MemoryImage.h"

#include <QRandomGenerator>
#include <QtTest>

using namespace qel;

namespace {

// A 64-character image of zeros with `text` written at character p (1-based).
QByteArray imageWith(std::initializer_list<std::pair<int, const char *>> parts)
{
    QByteArray img(64, '0');
    for (const auto &[p, text] : parts)
        img.replace(p - 1, int(qstrlen(text)), text);
    return img;
}

ParameterRecord decoded(const QByteArray &image)
{
    AppState st;
    st.MemoryImage = image;
    DecodeMemoryImage(st);
    return st.ParamRecord;
}

QByteArray encoded(const ParameterRecord &rec, QByteArray image = QByteArray(64, '0'))
{
    EncodeMemoryImage(rec, image);
    return image;
}

QByteArray digits(qint64 v, int width)
{
    return QByteArray::number(v).rightJustified(width, '0');
}

} // namespace

class TestMemoryImage : public QObject {
    Q_OBJECT
private slots:
    void versionWord_data()
    {
        QTest::addColumn<QByteArray>("word");
        QTest::addColumn<QByteArray>("version");
        QTest::newRow("03E8: 527 at 0.00") << QByteArray("03E8") << QByteArray("00.00");
        QTest::newRow("03E7: 521 at 9.99") << QByteArray("03E7") << QByteArray("09.99");
        QTest::newRow("0064: 521 at 1.00") << QByteArray("0064") << QByteArray("01.00");
        QTest::newRow("044C: 527 at 1.00") << QByteArray("044C") << QByteArray("01.00");
        QTest::newRow("04D2: 527 at 2.34") << QByteArray("04D2") << QByteArray("02.34");
        QTest::newRow("lower case") << QByteArray("044c") << QByteArray("01.00");
        // 65535 / 100 - 10 = 645.35: wider than the field, first five kept.
        QTest::newRow("FFFF") << QByteArray("FFFF") << QByteArray("645.3");
    }
    void versionWord()
    {
        QFETCH(QByteArray, word);
        QFETCH(QByteArray, version);
        QCOMPARE(decoded(imageWith({{61, word.constData()}})).field(34), version);
    }

    void decodeBitsAndQuirks()
    {
        // Character 2 "B" = 1011: stepless, mode, no chatter, event-out.
        ParameterRecord r = decoded(imageWith({{2, "B"}}));
        QCOMPARE(r.field(1), QByteArray("1"));
        QCOMPARE(r.field(11), QByteArray("0"));
        QCOMPARE(r.field(12), QByteArray("1"));
        QCOMPARE(r.field(25), QByteArray("1"));

        // "1F": average bits 111 -> 8 (one digit and a blank); 0xF And 3 -> "2".
        r = decoded(imageWith({{3, "1F"}}));
        QCOMPARE(r.field(10), QByteArray("8 "));
        QCOMPARE(r.field(13), QByteArray("2"));
        QCOMPARE(decoded(imageWith({{3, "01"}})).field(13), QByteArray("6"));
        QCOMPARE(decoded(imageWith({{3, "02"}})).field(13), QByteArray("4"));

        // Event-in function from bits 1..3 of character 1; bit 0 ignored.
        QCOMPARE(decoded(imageWith({{1, "F"}})).field(14), QByteArray("7"));
        QCOMPARE(decoded(imageWith({{1, "B"}})).field(14), QByteArray("5"));

        // Mantissa "003E8" -> 1000; character 7 is not part of it.
        r = decoded(imageWith({{5, "9" "3" "F" "003E8"}}));
        QCOMPARE(r.field(2), QByteArray("01000"));
        QCOMPARE(r.field(3), QByteArray("E"));
        QCOMPARE(r.field(4), QByteArray("+"));
        QCOMPARE(r.field(5), QByteArray("3"));
        QCOMPARE(r.field(6), QByteArray("H"));

        // Exponent digits: upper groups give "0" for a letter, lower groups
        // the first character of its value ("C" = 12 -> "1").
        r = decoded(imageWith({{6, "A"}, {14, "c"}, {22, "C"}, {30, "9"}}));
        QCOMPARE(r.field(5), QByteArray("0"));
        QCOMPARE(r.field(18), QByteArray("0"));
        QCOMPARE(r.field(23), QByteArray("1"));
        QCOMPARE(r.field(29), QByteArray("9"));

        // Numbers wider than their format keep their first digits.
        r = decoded(imageWith({{8, "FFFFF"}, {43, "FF"}, {37, "FFFF"}, {41, "FF"}}));
        QCOMPARE(r.field(2), QByteArray("10485")); // 1048575
        QCOMPARE(r.field(7), QByteArray("25"));    // 255
        QCOMPARE(r.field(8), QByteArray("65535"));
        QCOMPARE(r.field(9), QByteArray("255"));

        // Identity words in plain decimal, left-aligned.
        r = decoded(imageWith({{49, "06AB"}, {53, "0029"}, {57, "4E20"}}));
        QCOMPARE(r.field(31), QByteArray("1707 "));
        QCOMPARE(r.field(33), QByteArray("41   "));
        QCOMPARE(r.field(32), QByteArray("20000"));
    }

    void decodeBlankImage()
    {
        // No hexadecimal digit anywhere: everything counts as 0.
        AppState st;
        st.ParamRecord.setBytes(QByteArray(74, 'x'));
        DecodeMemoryImage(st); // the start-up image: 64 blanks
        const ParameterRecord &r = st.ParamRecord;
        QCOMPARE(r.bytes().left(54),
                 QByteArray("000000E-0S" "00" "00000" "000" "1 " "0010" "00000E-0S"
                            "00000E-0S" "0" "00000E-0S"));
        QCOMPARE(r.bytes().mid(54), QByteArray("0    0    0    00.00"));
        // A short image reads as if blank-padded.
        AppState shortImage;
        shortImage.MemoryImage = " B";
        DecodeMemoryImage(shortImage);
        QCOMPARE(shortImage.ParamRecord.field(1), QByteArray("1"));
        QCOMPARE(shortImage.ParamRecord.field(34), QByteArray("00.00"));
    }

    void encodeItems()
    {
        ParameterRecord rec;
        rec.setField(31, "1707");
        QByteArray img = encoded(rec);
        QCOMPARE(img.mid(6, 6), QByteArray("0003E8")); // F2 01000
        QCOMPARE(img.mid(48, 4), QByteArray("06AB"));  // F31 1707
        QCOMPARE(decoded(img).field(2), QByteArray("01000"));
        // Defaults: F14 0, F25 0 F11 0 F1 0 F12 0, average 1, prediction 4 (k 2).
        QCOMPARE(img.left(4), QByteArray("0002"));
        QCOMPARE(img.mid(4, 2), QByteArray("90")); // "+" and "H", exponent 0
        QCOMPARE(img.mid(36, 8), QByteArray("00010100")); // F8 1, F9 1, F7 0

        rec.setField(14, "5");
        QCOMPARE(encoded(rec).left(1), QByteArray("A"));
        rec.setField(14, "9"); // 18 = hex "12": a one-character item keeps "1"
        QCOMPARE(encoded(rec).left(1), QByteArray("1"));

        rec.setField(1, "1");
        rec.setField(11, "1");
        rec.setField(25, "1");
        QCOMPARE(encoded(rec).mid(1, 1), QByteArray("E"));

        // F10 8: bits 111 -> "1" at 3 and 12 + k at 4.
        rec.setField(10, "8");
        const struct { const char *f13; const char *c4; const char *back; } preds[] = {
            {"0", "C", "1"}, {"1", "C", "1"}, {"6", "D", "6"}, {"7", "D", "6"},
            {"4", "E", "4"}, {"5", "E", "4"}, {"2", "F", "2"}, {"3", "F", "2"},
            {" ", "C", "1"},
        };
        for (const auto &p : preds) {
            rec.setField(13, p.f13);
            img = encoded(rec);
            QCOMPARE(img.mid(2, 2), QByteArray("1") + p.c4);
            QCOMPARE(decoded(img).field(13), QByteArray(p.back));
            QCOMPARE(decoded(img).field(10), QByteArray("8 "));
        }
    }

    void encodeCarriesSignAndUnit()
    {
        ParameterRecord rec;
        rec.setField(4, "-");
        rec.setField(6, "S");
        rec.setField(17, "+");
        rec.setField(19, "H");
        rec.setField(22, " "); // neither: the upper group's "+" and "H"
        rec.setField(24, "x");
        rec.setField(28, "-"); // own sign, unit still carried
        rec.setField(30, "?");
        QByteArray img = encoded(rec);
        QCOMPARE(img.mid(4, 1), QByteArray("0"));
        QCOMPARE(img.mid(12, 1), QByteArray("9"));
        QCOMPARE(img.mid(20, 1), QByteArray("9"));
        QCOMPARE(img.mid(28, 1), QByteArray("8"));

        // The first group has nobody to inherit from: 0.
        rec.setField(4, "?");
        rec.setField(6, " ");
        img = encoded(rec);
        QCOMPARE(img.mid(4, 1), QByteArray("0"));
    }

    void encodeLeavesUnmappedCharacters()
    {
        QByteArray before = QByteArray(64, ' ');
        before.replace(44, 4, "a5Z!");
        before.replace(52, 12, "0029271003E8");
        ParameterRecord rec;
        const QByteArray img = encoded(rec, before);
        QCOMPARE(img.size(), 64);
        QCOMPARE(img.mid(44, 4), QByteArray("a5Z!"));
        QCOMPARE(img.mid(52), QByteArray("0029271003E8"));
        // A short image is blank-padded to 64 first.
        QCOMPARE(encoded(rec, QByteArray("12")).size(), 64);
    }

    // decode(encode(record)) over generated records: the fields the image
    // carries come back, the lossy ones as the image can hold them.
    void roundTrip()
    {
        QRandomGenerator rng(52);
        auto pick = [&](int lo, int hi) { return qint64(rng.bounded(lo, hi + 1)); };
        static const char *const kPred = "11224466"; // F13 as the image gives it back
        for (int i = 0; i < 3000; ++i) {
            ParameterRecord rec;
            ParameterRecord want;
            auto set = [&](int f, const QByteArray &v, QByteArray back = {}) {
                rec.setField(f, v);
                want.setField(f, back.isNull() ? v : back);
            };
            set(1, digits(pick(0, 1), 1));
            set(11, digits(pick(0, 1), 1));
            set(12, digits(pick(0, 1), 1));
            set(25, digits(pick(0, 1), 1));
            set(14, digits(pick(0, 7), 1));
            const qint64 pred = pick(0, 7);
            set(13, digits(pred, 1), QByteArray(1, kPred[pred]));
            const qint64 avg = pick(0, 99); // 0 and 9.. wrap within three bits
            set(10, digits(avg, 2), QByteArray::number(((avg - 1) & 7) + 1));
            const int groups[4][5] = {
                {2, 3, 4, 5, 6}, {15, 16, 17, 18, 19}, {20, 21, 22, 23, 24}, {26, 27, 28, 29, 30}};
            for (const auto &g : groups) {
                set(g[0], digits(pick(0, 99999), 5));
                set(g[1], "E");
                set(g[2], pick(0, 1) ? "+" : "-");
                set(g[3], digits(pick(0, 9), 1));
                set(g[4], pick(0, 1) ? "H" : "S");
            }
            set(7, digits(pick(0, 99), 2));
            const qint64 upd = pick(1, 99999);
            set(8, digits(upd, 5), digits(upd % 65536, 5));
            const qint64 div = pick(0, 999);
            set(9, digits(div, 3), digits(div % 256, 3));
            set(31, QByteArray::number(pick(0, 50011)));

            QByteArray image(64, '0');
            image.replace(52, 12, "0029271003E8");
            EncodeMemoryImage(rec, image);
            for (char c : image.left(52))
                QVERIFY2(QByteArray("0123456789ABCDEF").contains(c), image.constData());
            want.setField(32, "10000");
            want.setField(33, "41");
            want.setField(34, "00.00");
            const ParameterRecord got = decoded(image);
            if (got != want)
                QFAIL(qPrintable(QStringLiteral("record %1\n in   %2\n got  %3\n want %4")
                                     .arg(i)
                                     .arg(QString::fromLatin1(rec.bytes()))
                                     .arg(QString::fromLatin1(got.bytes()))
                                     .arg(QString::fromLatin1(want.bytes()))));
        }
    }
};

QTEST_APPLESS_MAIN(TestMemoryImage)
#include "test_memoryimage.moc"
