// The printed settings list: every line, its items and fonts, the blank
// lines left by missing values, printer faults, and the Qt page's layout.
#include "RecordingPrinter.h"
#include "TestRig.h"
#include "core/Language.h"
#include "files/FileCommands.h"
#include "platform/ui/QtPrinter.h"

#include <QFileInfo>
#include <QFontInfo>
#include <QPdfWriter>
#include <QPrinter>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

using namespace qel;
using namespace qel::test;

namespace {

const QString kGothic = QStringLiteral("ＭＳ ゴシック");
const QString kMincho = QStringLiteral("ＭＳ 明朝");
const QString kPGothic = QStringLiteral("ＭＳ Ｐゴシック");
const QString kAborted = QStringLiteral("印刷処理を中断します。");

QString rule(int n)
{
    return QString(n, QChar(0x2500));
}

AppState defaultState()
{
    AppState st;
    st.ParamRecord.setField(31, "1707");  // 2003-05-07
    st.ParamRecord.setField(32, "20001");
    st.ParamRecord.setField(33, "2005");  // 2003-12-25
    st.ParamRecord.setField(34, "01.00");
    st.DeviceType = Type5600;
    st.Is5600Series = true;
    return st;
}

RecordingPrinter printed(const AppState &st)
{
    RecordingPrinter lp;
    FileCommands::DataPrintOut(lp, st);
    return lp;
}

class PrinterChoice : public PrinterProvider {
public:
    Printer *printer = nullptr;
    int asked = 0;
    Printer *selectPrinter() override
    {
        ++asked;
        return printer;
    }
};

} // namespace

class TestPrintout : public QObject {
    Q_OBJECT
private slots:
    void defaultRecordPrintsEveryLine();
    void fontsOfHeadingLabelsValuesAndTitles();
    void eventInScaleLinesFollowF14_data();
    void eventInScaleLinesFollowF14();
    void deviceTypeNoneLeavesOpenLines();
    void headingFollowsSeriesNotType();
    void englishValuesAndRulesKeepTheirColumns();
    void unitsAndUnknownCharacters();
    void printerFaultStopsAndIsReported();
    void cancelledSelectionIsReported();
    void qtPageFlowsItemsAndLines();
    void qtPageOnUnwritableFileFails();
    void printedPdfCarriesTheTitle();
};

void TestPrintout::defaultRecordPrintsEveryLine()
{
    const AppState st = defaultState();
    const AppState before = st;
    const RecordingPrinter lp = printed(st);

    const QStringList expected = {
        QString(),
        QStringLiteral("  ＱＥＬ－５６００　設定データ一覧表  Serial № 20001   Version 01.00"
                       "   Create 2003-12-25   Up Date 2003-05-07"),
        QString(),
        QString(),
        QStringLiteral("　動作タイプ　　　　　ＱＥＬ－５６００"),
        QString(),
        QString(),
        QStringLiteral("────　基本機能　") + rule(50),
        QString(),
        QString(),
        QStringLiteral("　測定モード　　　　　周波数計"),
        QString(),
        QStringLiteral("　フルスケール　　　　01000 E+0  Hz"),
        QString(),
        QStringLiteral("　バイアス　　　　　　00　％"),
        QString(),
        QString(),
        QStringLiteral("────　付加機能　") + rule(50),
        QString(),
        QString(),
        QStringLiteral("　出力更新時間　　　　00001  ms"),
        QString(),
        QStringLiteral("　分周比　　　　　　　001"),
        QString(),
        QStringLiteral("　移動平均　　　　　　01"),
        QString(),
        QStringLiteral("　チャタサプレス　　　Off"),
        QString(),
        QStringLiteral("　ステップレス　　　　Off"),
        QString(),
        QStringLiteral("　ダイナミック予測　　ＤＦ４　　Mid  ×4"),
        QString(),
        QString(),
        QStringLiteral("────　イベントイン機能　") + rule(46),
        QString(),
        QString(),
        QStringLiteral("　イベントイン　　　　デュアルレンジ"),
        QString(),
        QStringLiteral("　サブスケール　　　　00100 E+0  Hz"),
        QString(),
        QString(),
        QStringLiteral("────　イベントアウト機能　") + rule(45),
        QString(),
        QString(),
        QStringLiteral("　イベントアウト　　　下限検出（停止検出）"),
        QString(),
        QStringLiteral("　設定値　　　　　　　00001　E+0  Hz"),
    };
    const QStringList got = lp.texts();
    for (int i = 0; i < qMin(got.size(), expected.size()); ++i)
        QCOMPARE(got[i], expected[i]);
    QCOMPARE(got.size(), expected.size());
    QCOMPARE(lp.ended, 1);
    QVERIFY(lp.current.items.isEmpty());
    QVERIFY(st.ParamRecord == before.ParamRecord);

    // Every section title line is its title plus its rule, as two items.
    const PrintedLine *t = lp.line(QStringLiteral("────　イベントアウト機能　"));
    QVERIFY(t);
    QCOMPARE(t->items.size(), 2);
    QCOMPARE(t->items[1].text, rule(45));
}

void TestPrintout::englishValuesAndRulesKeepTheirColumns()
{
    // In another language the values still start in one column, two blanks
    // at least after the longest label, and no rule runs past the Japanese
    // ones (60 full-width characters with its title).
    const QString folder = QFileInfo(QString::fromLocal8Bit(qgetenv("QEL_SETTINGS"))).absolutePath();
    QVERIFY(installLanguage(QLocale(QStringLiteral("en_US")), folder));
    AppState st = defaultState();
    st.ParamRecord.setField(14, "1");
    const RecordingPrinter lp = printed(st);
    removeLanguage();
    auto columns = [](const QString &t) {
        int n = 0;
        for (const QChar c : t)
            n += c.unicode() >= 0x2500 ? 2 : 1;
        return n;
    };
    int valueColumn = 0, settings = 0, titles = 0;
    for (const PrintedLine &l : lp.lines) {
        const QString text = l.text();
        if (l.items.size() >= 2 && l.items[0].font == kGothic && l.items[0].size == 10) {
            const QString label = l.items[0].text;
            valueColumn = valueColumn ? valueColumn : columns(label);
            QVERIFY2(columns(label) == valueColumn && label.endsWith(QStringLiteral("  ")), qPrintable(text));
            ++settings;
        } else if (text.startsWith(rule(4))) {
            QVERIFY2(columns(text) <= 120 && columns(text) >= 118, qPrintable(text));
            ++titles;
        }
    }
    QCOMPARE(settings, 15); // the upper and lower scale, not the sub scale
    QCOMPARE(titles, 4);
}

void TestPrintout::fontsOfHeadingLabelsValuesAndTitles()
{
    const RecordingPrinter lp = printed(defaultState());

    const PrintedLine *head = lp.line(QStringLiteral("  ＱＥＬ"));
    QVERIFY(head);
    QCOMPARE(head->items.size(), 9);
    QCOMPARE(head->items[0].font, kPGothic);
    QCOMPARE(head->items[0].size, 12);
    for (int i = 1; i < 9; ++i) {
        // Captions in style 2, values in style 1.
        QCOMPARE(head->items[i].font, i % 2 ? kPGothic : kMincho);
        QCOMPARE(head->items[i].size, 10);
    }
    QCOMPARE(head->items[1].text, QStringLiteral("Serial № "));
    QCOMPARE(head->items[7].text, QStringLiteral("   Up Date "));

    const PrintedLine *fs = lp.line(QStringLiteral("　フルスケール"));
    QVERIFY(fs);
    QCOMPARE(fs->items.size(), 6);
    QCOMPARE(fs->items[0].font, kGothic);
    QCOMPARE(fs->items[0].size, 10);
    for (int i = 1; i < 6; ++i)
        QCOMPARE(fs->items[i].font, kMincho);
    QCOMPARE(fs->items[3].text, QStringLiteral("+0"));

    const PrintedLine *title = lp.line(QStringLiteral("────　基本機能"));
    QVERIFY(title);
    QCOMPARE(title->items[0].font, kGothic);
    QCOMPARE(title->items[0].size, 9);
}

void TestPrintout::eventInScaleLinesFollowF14_data()
{
    QTest::addColumn<QString>("f14");
    QTest::addColumn<QString>("function");
    QTest::addColumn<QStringList>("between"); // lines between the event-in line and the next title

    const QString sub = QStringLiteral("　サブスケール　　　　00100 E+0  Hz");
    const QString up = QStringLiteral("　上限スケール　　　　00100 E+0  Hz");
    const QString low = QStringLiteral("　下限スケール　　　　00001 E+0  Hz");
    QTest::newRow("0 dual range") << "0" << "デュアルレンジ" << QStringList{"", sub, "", ""};
    QTest::newRow("1 spread") << "1" << "スプレッド" << QStringList{"", up, "", low, "", ""};
    QTest::newRow("2 log") << "2" << "対数出力" << QStringList{"", up, "", low, "", ""};
    QTest::newRow("3 data lock") << "3" << "データロック" << QStringList{"", "", ""};
    QTest::newRow("4 peak hold") << "4" << "ピークホールド" << QStringList{"", "", ""};
    QTest::newRow("5 valley") << "5" << "バレーホールド" << QStringList{"", "", ""};
    // No function: the event-in line stays open and the next style change
    // ends it; the blank line of the scale test follows.
    QTest::newRow("7 none") << "7" << "" << QStringList{"", ""};
}

void TestPrintout::eventInScaleLinesFollowF14()
{
    QFETCH(QString, f14);
    QFETCH(QString, function);
    QFETCH(QStringList, between);

    AppState st = defaultState();
    st.ParamRecord.setField(14, f14);
    const QStringList got = printed(st).texts();
    const int in = got.indexOf(QStringLiteral("　イベントイン　　　　") + function);
    const int out = got.indexOf(QStringLiteral("────　イベントアウト機能　") + rule(45));
    QVERIFY(in > 0);
    QVERIFY(out > in);
    QCOMPARE(got.mid(in + 1, out - in - 1), between);
}

void TestPrintout::deviceTypeNoneLeavesOpenLines()
{
    AppState st = defaultState();
    st.DeviceType = TypeNone;
    const QStringList got = printed(st).texts();
    const QStringList five = printed(defaultState()).texts();

    // The type line holds only its label and is ended by the next style
    // change; the update time has no unit and is ended the same way. So
    // each of these lines loses the blank line that its break would leave.
    const int type = got.indexOf(QStringLiteral("　動作タイプ　　　　　"));
    QVERIFY(type > 0);
    QCOMPARE(got[type + 1], QString());
    QCOMPARE(got[type + 2], QStringLiteral("────　基本機能　") + rule(50));
    const int upd = got.indexOf(QStringLiteral("　出力更新時間　　　　00001  "));
    QVERIFY(upd > 0);
    QCOMPARE(got[upd + 1], QStringLiteral("　分周比　　　　　　　001"));
    QCOMPARE(got.size(), five.size() - 2);
}

void TestPrintout::headingFollowsSeriesNotType()
{
    AppState st = defaultState();
    st.Is5600Series = false;
    const QStringList got = printed(st).texts();
    QVERIFY(got[1].startsWith(QStringLiteral("  ＱＥＬ－５２００　設定データ一覧表  Serial № ")));
    QVERIFY(got.contains(QStringLiteral("　動作タイプ　　　　　ＱＥＬ－５６００")));

    st.DeviceType = Type521;
    const QStringList t521 = printed(st).texts();
    QVERIFY(t521.contains(QStringLiteral("　動作タイプ　　　　　ＱＥＬ－５２１")));
    QVERIFY(t521.contains(QStringLiteral("　出力更新時間　　　　00001  × 10 ms")));
    st.DeviceType = Type527;
    const QStringList t527 = printed(st).texts();
    QVERIFY(t527.contains(QStringLiteral("　動作タイプ　　　　　ＱＥＬ－５２７")));
    QVERIFY(t527.contains(QStringLiteral("　出力更新時間　　　　00001  ms")));
}

void TestPrintout::unitsAndUnknownCharacters()
{
    AppState st = defaultState();
    ParameterRecord &r = st.ParamRecord;
    r.setField(1, "1");
    r.setField(2, "12345");
    r.setField(4, "-");
    r.setField(5, "3");
    r.setField(6, "S");
    r.setField(3, "X"); // the stored E is not printed
    r.setField(11, "1");
    r.setField(13, "7");
    r.setField(25, "1");
    r.setField(30, "S");
    r.setField(12, "9"); // no such value: the line stays open
    r.setField(31, "");  // blank code decodes as code 0
    const QStringList got = printed(st).texts();
    QVERIFY(got.contains(QStringLiteral("　測定モード　　　　　周期計")));
    QVERIFY(got.contains(QStringLiteral("　フルスケール　　　　12345 E-3  sec")));
    QVERIFY(got.contains(QStringLiteral("　チャタサプレス　　　On")));
    QVERIFY(got.contains(QStringLiteral("　ダイナミック予測　　ＤＦ７　　ExHigh ×1.5")));
    QVERIFY(got.contains(QStringLiteral("　イベントアウト　　　上限検出（コンパレータ）")));
    QVERIFY(got.contains(QStringLiteral("　設定値　　　　　　　00001　E+0  sec")));
    QVERIFY(got[1].endsWith(QStringLiteral("   Up Date 1999-12-20")));
    const int sl = got.indexOf(QStringLiteral("　ステップレス　　　　"));
    QVERIFY(sl > 0);
    QCOMPARE(got[sl + 1], QStringLiteral("　ダイナミック予測　　ＤＦ７　　ExHigh ×1.5"));
}

void TestPrintout::printerFaultStopsAndIsReported()
{
    // Directly: whichever operation fails, even inside a style change, the
    // page stops right there.
    const int all = printed(defaultState()).ops;
    for (int n = 0; n < all; ++n) {
        RecordingPrinter lp;
        lp.failAfter = n;
        FileCommands::DataPrintOut(lp, defaultState());
        QCOMPARE(lp.ops, n);
        QCOMPARE(lp.ended, 0);
    }

    // Through the menu command: one box, record unchanged.
    Rig rig;
    rig.st() = defaultState();
    const ParameterRecord before = rig.rec();
    FileCommands fc(*rig.ctx);
    RecordingPrinter lp;
    lp.failAfter = 20;
    PrinterChoice choice;
    choice.printer = &lp;
    fc.DataLprint(choice);
    QCOMPARE(lp.ops, 20);
    QCOMPARE(rig.boxes.shown.size(), 1);
    QCOMPARE(rig.boxes.shown[0].text, kAborted);
    QCOMPARE(rig.boxes.shown[0].title, applicationTitle());
    QCOMPARE(rig.boxes.shown[0].icon, MsgIcon::None);
    QCOMPARE(rig.boxes.shown[0].buttons, MsgButtons::Ok);
    QVERIFY(rig.rec() == before);

    // A healthy printer: the whole page, no box.
    RecordingPrinter good;
    choice.printer = &good;
    fc.DataLprint(choice);
    QCOMPARE(good.ended, 1);
    QCOMPARE(rig.boxes.shown.size(), 1);
}

void TestPrintout::cancelledSelectionIsReported()
{
    Rig rig;
    FileCommands fc(*rig.ctx);
    PrinterChoice choice; // nullptr: the user cancelled
    fc.DataLprint(choice);
    QCOMPARE(choice.asked, 1);
    QCOMPARE(rig.boxes.texts(), QStringList{kAborted});
}

void TestPrintout::qtPageFlowsItemsAndLines()
{
    QTemporaryDir dir;
    QPdfWriter writer(dir.filePath(QStringLiteral("page.pdf")));
    QtPrinter lp(&writer);

    lp.setFont(kGothic, 10);
    QCOMPARE(QFontInfo(lp.font()).family(), QStringLiteral("IPAGothic"));
    const qreal h10 = lp.lineHeight();
    QVERIFY(h10 > 0);

    lp.print(QStringLiteral("ab"), false);
    const QPointF afterAb = lp.position();
    QCOMPARE(afterAb.y(), 0.0);
    QVERIFY(afterAb.x() > 0);
    lp.print(QStringLiteral("cd"), false);
    // Fixed pitch: two more characters advance as far again.
    QVERIFY(qAbs(lp.position().x() - 2 * afterAb.x()) < 1.0);

    lp.setFont(kGothic, 20);
    const qreal h20 = lp.lineHeight();
    QVERIFY(h20 > 1.5 * h10);
    lp.print(QStringLiteral("e"), true);
    QCOMPARE(lp.position(), QPointF(0, h20)); // the current font's height
    lp.newLine();
    QCOMPARE(lp.position(), QPointF(0, 2 * h20));
    lp.setFont(kMincho, 10);
    QCOMPARE(QFontInfo(lp.font()).family(), QStringLiteral("IPAMincho"));
    lp.setFont(kPGothic, 10);
    QCOMPARE(QFontInfo(lp.font()).family(), QStringLiteral("IPAPGothic"));
    lp.endDoc();
    QVERIFY(lp.ok());
    QCOMPARE(lp.pages(), 1);

    // The whole list fits on one page.
    QtPrinter pdf(dir.filePath(QStringLiteral("list.pdf")));
    AppState st = defaultState();
    st.ParamRecord.setField(14, "1");
    FileCommands::DataPrintOut(pdf, st);
    QVERIFY(pdf.ok());
    QCOMPARE(pdf.pages(), 1);
    QVERIFY(QFileInfo(dir.filePath(QStringLiteral("list.pdf"))).size() > 1000);
}

void TestPrintout::qtPageOnUnwritableFileFails()
{
    QtPrinter pdf(QStringLiteral("/nonexistent-folder/x/list.pdf"));
    FileCommands::DataPrintOut(pdf, defaultState());
    QVERIFY(!pdf.ok());
}

void TestPrintout::printedPdfCarriesTheTitle()
{
    // "Print to file" of the print dialog: the PDF names what it holds.
    const QString pdfinfo = QStandardPaths::findExecutable(QStringLiteral("pdfinfo"));
    if (pdfinfo.isEmpty())
        QSKIP("pdfinfo (poppler-utils) is not installed");
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("printed.pdf"));
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(path);
    {
        QtPrinter lp(&printer);
        FileCommands::DataPrintOut(lp, defaultState());
        QVERIFY(lp.ok());
    }
    QProcess info;
    info.start(pdfinfo, {path});
    QVERIFY(info.waitForFinished(30000));
    const QString out = QString::fromUtf8(info.readAllStandardOutput());
    QVERIFY2(out.contains(QStringLiteral("Title:           設定データ一覧表")), qPrintable(out));
}

QTEST_MAIN(TestPrintout)
#include "test_printout.moc"
