// The settings listing (`qelctl show`) and the PDF of `qelctl print`, in
// process and end to end through the built tool.
#include "files/FileCommands.h"
#include "files/SettingsListing.h"
#include "platform/ui/QtPrinter.h"

#include "core/AppState.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QPrinter>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

using namespace qel;

namespace {

struct Run {
    int exit = -1;
    QByteArray out, err;
};

Run qelctl(const QStringList &args)
{
    Run r;
    QProcess p;
    p.start(qEnvironmentVariable("QELCTL"), args);
    if (!p.waitForFinished(60000)) {
        p.kill();
        p.waitForFinished();
        return r;
    }
    r.exit = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    r.out = p.readAllStandardOutput();
    r.err = p.readAllStandardError();
    return r;
}

QString writeRecord(const QTemporaryDir &dir, const QString &name, const QByteArray &bytes)
{
    const QString path = dir.filePath(name);
    QFile f(path);
    if (f.open(QIODevice::WriteOnly))
        f.write(bytes);
    return path;
}

ParameterRecord sample()
{
    ParameterRecord r;
    r.setField(31, "1707");
    r.setField(32, "20001");
    r.setField(33, "2005");
    r.setField(34, "01.00");
    return r;
}

// Every word of a PDF with its box, as pdftotext finds them, and the page size.
QStringList wordBoxes(const QString &pdftotext, const QString &pdf)
{
    QProcess p;
    p.start(pdftotext, {QStringLiteral("-bbox"), QStringLiteral("-enc"), QStringLiteral("UTF-8"), pdf,
                        QStringLiteral("-")});
    if (!p.waitForFinished(30000))
        return {};
    QStringList out;
    static const QRegularExpression box(QStringLiteral("<(page|word)[^>]*>[^<]*"));
    auto it = box.globalMatch(QString::fromUtf8(p.readAllStandardOutput()));
    while (it.hasNext())
        out << it.next().captured(0);
    return out;
}

// pdftotext gives U+3000 back as a blank and rebuilds the blanks between
// items from their positions: compare NFKC forms with blanks collapsed.
QString nfkc(const QString &s)
{
    return s.normalized(QString::NormalizationForm_KC).simplified();
}

} // namespace

class TestShowPrint : public QObject {
    Q_OBJECT
private slots:
    void scaledNumbers_data();
    void scaledNumbers();
    void listingDecodesEverySetting();
    void jsonIsOneValidObject();
    void showThroughTheTool();
    void printThroughTheTool();
};

void TestShowPrint::scaledNumbers_data()
{
    QTest::addColumn<QByteArray>("mantissa");
    QTest::addColumn<char>("sign");
    QTest::addColumn<char>("digit");
    QTest::addColumn<QString>("value");
    QTest::newRow("default") << QByteArray("01000") << '+' << '0' << "1000";
    QTest::newRow("up") << QByteArray("00012") << '+' << '3' << "12000";
    QTest::newRow("point") << QByteArray("00150") << '-' << '2' << "1.5";
    QTest::newRow("tiny") << QByteArray("00001") << '-' << '9' << "0.000000001";
    QTest::newRow("below one") << QByteArray("99999") << '-' << '5' << "0.99999";
    QTest::newRow("zero") << QByteArray("00000") << '-' << '3' << "0";
    QTest::newRow("zero up") << QByteArray("00000") << '+' << '4' << "0";
    QTest::newRow("blank") << QByteArray("0100 ") << '+' << '0' << "";
    QTest::newRow("sign") << QByteArray("01000") << ' ' << '0' << "";
    QTest::newRow("digit") << QByteArray("01000") << '+' << 'x' << "";
}

void TestShowPrint::scaledNumbers()
{
    QFETCH(QByteArray, mantissa);
    QFETCH(char, sign);
    QFETCH(char, digit);
    QFETCH(QString, value);
    QCOMPARE(scaledNumber(mantissa, sign, digit), value);
}

void TestShowPrint::listingDecodesEverySetting()
{
    ParameterRecord r = sample();
    r.setField(8, "00005");
    r.setField(10, "1 "); // as a 52X leaves it
    r.setField(14, "4");
    r.setField(25, "7"); // no such function
    QMap<QString, SettingEntry> by;
    const auto entries = describeRecord(r, Type521);
    for (const auto &e : entries)
        by.insert(e.key, e);
    QCOMPARE(entries.size(), 18);
    QCOMPARE(*by["creationDate"].meaning, QStringLiteral("2003-12-25"));
    QCOMPARE(*by["updateDate"].meaning, QStringLiteral("2003-05-07"));
    QCOMPARE(*by["serialNumber"].meaning, QStringLiteral("20001"));
    QCOMPARE(*by["fullScale"].meaning, QStringLiteral("1000 Hz"));
    QCOMPARE(by["fullScale"].raw, QByteArray("01000E+0H"));
    QCOMPARE(*by["outputUpdateTime"].meaning, QStringLiteral("50 ms (5 × 10 ms)"));
    QCOMPARE(*by["movingAverage"].meaning, QStringLiteral("1"));
    QVERIFY(by["eventInFunction"].meaning->startsWith(QStringLiteral("peak hold")));
    QCOMPARE(by["eventInUpperScale"].used, std::optional<bool>(false));
    QVERIFY(!by["eventOutFunction"].meaning);

    // Blank identity fields are "not set", not the date of code 0.
    ParameterRecord blank;
    for (const auto &e : describeRecord(blank, TypeNone))
        if (e.section == QLatin1String("Identity"))
            QVERIFY2(!e.meaning, qPrintable(e.key));

    const QString text = settingsListingText(r, Type5600);
    QVERIFY(text.contains(QStringLiteral("Full scale (フルスケール)")));
    QVERIFY(text.contains(QStringLiteral("\"01000E+0H\"")));
    QVERIFY(text.contains(QStringLiteral("5 ms")));
    QVERIFY(text.contains(QStringLiteral("[not used by this event-in function]")));
    QVERIFY(text.contains(QStringLiteral("? (not a valid value)")));
}

void TestShowPrint::jsonIsOneValidObject()
{
    ParameterRecord r = sample();
    r.setField(34, QByteArray("0\"\\\r\x01\xff"));
    QJsonParseError pe;
    const QJsonDocument doc = QJsonDocument::fromJson(settingsListingJson(r, Type527), &pe);
    QCOMPARE(pe.error, QJsonParseError::NoError);
    const QJsonObject o = doc.object();
    QCOMPARE(o["deviceType"].toInt(), 7);
    const QJsonObject fields = o["fields"].toObject();
    QCOMPARE(fields.size(), 34);
    for (int f = 1; f <= 34; ++f)
        QCOMPARE(fields[QStringLiteral("F%1").arg(f)].toString(), r.text(f));
    const QJsonObject s = o["settings"].toObject();
    QCOMPARE(s["fullScale"].toObject()["meaning"].toString(), QStringLiteral("1000 Hz"));
    QCOMPARE(s["creationDate"].toObject()["meaning"].toString(), QStringLiteral("2003-12-25"));
    QCOMPARE(s["eventInUpperScale"].toObject()["used"].toBool(), true);
    QCOMPARE(s["eventInLowerScale"].toObject()["used"].toBool(), false);

    // Numbers are JSON numbers, with their unit beside them; no value for text.
    QVERIFY(s["fullScale"].toObject()["value"].isDouble());
    QCOMPARE(s["fullScale"].toObject()["value"].toDouble(), 1000.0);
    QCOMPARE(s["fullScale"].toObject()["unit"].toString(), QStringLiteral("Hz"));
    QCOMPARE(s["serialNumber"].toObject()["value"].toDouble(), 20001.0);
    QVERIFY(!s["version"].toObject().contains(QStringLiteral("value")));
    r.setField(2, "0100 ");
    const QJsonObject bad = QJsonDocument::fromJson(settingsListingJson(r, Type527)).object();
    QVERIFY(!bad["settings"].toObject()["fullScale"].toObject().contains(QStringLiteral("value")));
}

void TestShowPrint::showThroughTheTool()
{
    if (qEnvironmentVariable("QELCTL").isEmpty())
        QSKIP("QELCTL not set");
    QTemporaryDir dir;
    const QString good = writeRecord(dir, QStringLiteral("a.pdt"), sample().bytes());
    const QString shrt = writeRecord(dir, QStringLiteral("short.pdt"), sample().bytes().left(40));

    Run r = qelctl({QStringLiteral("show"), good});
    QCOMPARE(r.exit, 0);
    const QString text = QString::fromUtf8(r.out);
    QVERIFY(text.contains(QStringLiteral("2003-12-25")));
    QVERIFY(text.contains(QStringLiteral("frequency measurement")));
    QVERIFY(text.contains(QStringLiteral("DF4 Mid  ×4")));

    r = qelctl({QStringLiteral("show"), good, QStringLiteral("--json")});
    QCOMPARE(r.exit, 0);
    QJsonParseError pe;
    const QJsonDocument doc = QJsonDocument::fromJson(r.out, &pe);
    QCOMPARE(pe.error, QJsonParseError::NoError);
    QCOMPARE(doc.object()["fields"].toObject()["F32"].toString(), QStringLiteral("20001"));

    for (const QString &bad : {shrt, dir.filePath(QStringLiteral("missing.pdt"))}) {
        r = qelctl({QStringLiteral("show"), bad});
        QCOMPARE(r.exit, 3);
        QVERIFY(r.out.isEmpty());
        QVERIFY(!r.err.isEmpty());
    }
    QVERIFY(!QFileInfo::exists(dir.filePath(QStringLiteral("missing.pdt"))));
    QCOMPARE(qelctl({QStringLiteral("show")}).exit, 2);

    // Only print loads widget and print-support code, and only a network
    // port the network transport: show starts without a display, without
    // the GUI libraries and without Qt Network and what it brings (the
    // loader lists what it loads).
    const auto loadedBy = [](const QStringList &args, int &exit, QByteArray &said) {
        QProcess p;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("LD_DEBUG"), QStringLiteral("libs"));
        env.remove(QStringLiteral("DISPLAY"));
        env.remove(QStringLiteral("QT_QPA_PLATFORM"));
        p.setProcessEnvironment(env);
        p.start(qEnvironmentVariable("QELCTL"), args);
        p.waitForFinished(60000);
        exit = p.exitCode();
        said = p.readAllStandardError();
        QByteArray libs;
        for (const QByteArray &line : said.split('\n'))
            if (line.contains("calling init:"))
                libs += line.mid(line.lastIndexOf(' ') + 1) + '\n';
        return libs;
    };
    int exit = -1;
    QByteArray said;
    QByteArray loaded = loadedBy({QStringLiteral("show"), good}, exit, said);
    QCOMPARE(exit, 0);
    QVERIFY(loaded.contains("libQt6Core"));
    for (const char *lib : {"libQt6Gui", "libQt6Widgets", "libQt6PrintSupport", "libQt6Network", "libkrb5",
                            "libproxy", "qel-network.so"})
        QVERIFY2(!loaded.contains(lib), lib);
    // A network port loads the transport, which then works: nothing listens
    // on the discard port here, and the connection is refused (not "no
    // transport").
    loaded = loadedBy({QStringLiteral("--port"), QStringLiteral("rfc2217://127.0.0.1:9"), QStringLiteral("detect")},
                      exit, said);
    QCOMPARE(exit, 1);
    QVERIFY2(loaded.contains("qel-network.so") && loaded.contains("libQt6Network"), loaded.constData());
    QVERIFY2(said.contains("127.0.0.1:9: Connection refused"), said.constData());
}

void TestShowPrint::printThroughTheTool()
{
    if (qEnvironmentVariable("QELCTL").isEmpty())
        QSKIP("QELCTL not set");
    QTemporaryDir dir;
    const QString good = writeRecord(dir, QStringLiteral("a.pdt"), sample().bytes());
    const QString pdf = dir.filePath(QStringLiteral("list.pdf"));

    Run r = qelctl({QStringLiteral("print"), good, QStringLiteral("-o"), pdf, QStringLiteral("--type"),
                    QStringLiteral("5600")});
    QCOMPARE(r.exit, 0);
    QVERIFY(QFileInfo(pdf).size() > 1000);

    // Bad input or usage: no PDF.
    const QString pdf2 = dir.filePath(QStringLiteral("none.pdf"));
    const QString shrt = writeRecord(dir, QStringLiteral("short.pdt"), "0100");
    QCOMPARE(qelctl({QStringLiteral("print"), shrt, QStringLiteral("-o"), pdf2}).exit, 3);
    QCOMPARE(qelctl({QStringLiteral("print"), good}).exit, 2);
    QCOMPARE(qelctl({QStringLiteral("print"), good, QStringLiteral("-o"), pdf2, QStringLiteral("--type"),
                     QStringLiteral("99")})
                 .exit,
             2);
    QVERIFY(!QFileInfo::exists(pdf2));

    const QString pdftotext = QStandardPaths::findExecutable(QStringLiteral("pdftotext"));
    if (pdftotext.isEmpty())
        QSKIP("pdftotext is not installed");
    QProcess p;
    p.start(pdftotext, {QStringLiteral("-raw"), QStringLiteral("-enc"), QStringLiteral("UTF-8"), pdf, QStringLiteral("-")});
    QVERIFY(p.waitForFinished(30000));
    const QString text = nfkc(QString::fromUtf8(p.readAllStandardOutput()));
    QVERIFY2(text.contains(nfkc(QStringLiteral("ＱＥＬ－５６００　設定データ一覧表"))), qPrintable(text));
    QVERIFY(text.contains(nfkc(QStringLiteral("周波数計"))));
    QVERIFY(text.contains(nfkc(QStringLiteral("01000 E+0  Hz"))));
    QVERIFY(text.contains(nfkc(QStringLiteral("ＱＥＬ－５６００"))));
    QVERIFY(text.contains(QStringLiteral("Create 2003-12-25 Up Date 2003-05-07")));
    QVERIFY(text.contains(nfkc(QStringLiteral("00001  ms"))));

    // The program prints the same page: its printer as the print dialog
    // leaves it for a PDF file, the state as the tool builds it.
    const QString fromProgram = dir.filePath(QStringLiteral("program.pdf"));
    {
        QPrinter printer(QPrinter::HighResolution);
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(fromProgram);
        QtPrinter lp(&printer);
        AppState st;
        st.ParamRecord = sample();
        st.DeviceType = Type5600;
        st.Is5600Series = true;
        FileCommands::DataPrintOut(lp, st);
        QVERIFY(lp.ok());
    }
    const QStringList tool = wordBoxes(pdftotext, pdf);
    QVERIFY(tool.size() > 50);
    QCOMPARE(tool, wordBoxes(pdftotext, fromProgram));
}

QTEST_MAIN(TestShowPrint)
#include "test_show_print.moc"
