// qelctl diff against qel-sim on a pseudo-terminal: differences are listed by
// name with both values, and what a 52X cannot hold is no difference.
#include "QelctlRun.h"
#include "SimPty.h"
#include "core/ParamRecord.h"

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

using qel::ParameterRecord;
using qel::test::SimPty;

namespace {

using Run = qel::test::QelctlRun;

Run qelctl(const QString &port, const QStringList &args)
{
    return qel::test::runQelctl(port, args);
}

bool writeRecord(const QString &path, const ParameterRecord &rec)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly | QIODevice::Truncate)
           && f.write(rec.bytes()) == ParameterRecord::Size;
}

} // namespace

class TestQelctlDiff : public QObject {
    Q_OBJECT
private slots:
    void initTestCase()
    {
        QVERIFY2(!qEnvironmentVariable("QELCTL").isEmpty(), "QELCTL not set");
        QVERIFY(dir_.isValid());
    }

    void equalAfterRead_differentAfterEdit()
    {
        SimPty sim;
        QVERIFY2(sim.start({"--type", "5600"}), qPrintable(sim.errorText()));
        const QString file = dir_.filePath("read.pdt");
        QCOMPARE(qelctl(sim.path(), {"read", "-o", file}).exit, 0);

        Run same = qelctl(sim.path(), {"diff", file});
        QCOMPARE(same.exit, 0);
        QVERIFY(same.lines.isEmpty());

        ParameterRecord rec;
        QFile f(file);
        QVERIFY(f.open(QIODevice::ReadOnly));
        rec.setBytes(f.readAll());
        rec.setField(2, "02000");
        rec.setField(13, "3");
        const QString edited = dir_.filePath("edited.pdt");
        QVERIFY(writeRecord(edited, rec));
        Run d = qelctl(sim.path(), {"diff", edited});
        QCOMPARE(d.exit, 1);
        QCOMPARE(d.lines.size(), 2);
        QVERIFY2(d.lines[0].contains("フルスケール") && d.lines[0].contains("02000E+0H")
                     && d.lines[0].contains("01000E+0H"),
                 qPrintable(d.lines[0]));
        QVERIFY2(d.lines[1].contains("F13") && d.lines[1].contains("\"3\"")
                     && d.lines[1].contains("\"4\""),
                 qPrintable(d.lines[1]));
    }

    void a52XHoldsWhatItsImageCarries()
    {
        SimPty sim;
        QVERIFY2(sim.start({"--type", "521"}), qPrintable(sim.errorText()));
        ParameterRecord rec;
        rec.setField(13, "3");  // held as "2"
        rec.setField(10, "03"); // held as "3" and a blank
        const QString file = dir_.filePath("52x.pdt");
        QVERIFY(writeRecord(file, rec));
        QCOMPARE(qelctl(sim.path(), {"write", file}).exit, 0);
        Run d = qelctl(sim.path(), {"diff", file});
        QCOMPARE(d.exit, 0);
        QVERIFY2(d.lines.isEmpty(), qPrintable(d.lines.join('\n')));
    }

    void badInputs()
    {
        Run usage = qelctl("/nonexistent", {"diff"});
        QCOMPARE(usage.exit, 2);
        Run missing = qelctl("/nonexistent", {"diff", dir_.filePath("missing.pdt")});
        QCOMPARE(missing.exit, 3);
        const QString file = dir_.filePath("ok.pdt");
        QVERIFY(writeRecord(file, ParameterRecord()));
        Run none = qelctl("/nonexistent", {"diff", file});
        QCOMPARE(none.exit, 1);
    }

private:
    QTemporaryDir dir_;
};

QTEST_GUILESS_MAIN(TestQelctlDiff)
#include "test_qelctl_diff.moc"
