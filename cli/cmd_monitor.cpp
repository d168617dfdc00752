// qelctl type-change 521|527|5600 and qelctl monitor --count N.
#include "Cli.h"

#include "monitor/MonitorEngine.h"

namespace qel::cli {

namespace {

// The monitor's window for a terminal: each reading becomes one line of the
// two box texts; the engine is asked to close after the last one.
class LineView : public MonitorView {
public:
    LineView(MonitorEngine &engine, qint64 count) : engine_(engine), count_(count) {}
    void setText1(int, const QString &) override {}
    void setLabel1(int, const QString &) override {}
    void setLabel2(const QString &) override {}
    void setLabel3(const QString &) override {}
    void setCommand1Enabled(bool) override {}
    void readingShown(double) override
    {
        const QString hex = engine_.Text1[0].trimmed();
        const QString pct = engine_.Text1[1].trimmed();
        out(hex.isEmpty() && pct.isEmpty() ? QStringLiteral("- -") : hex + u' ' + pct);
        if (++shown_ >= count_)
            engine_.Command1_Click(); // honoured at the end of this poll
    }
    void closeWindow() override { closed = true; }

    qint64 shown() const { return shown_; }
    bool closed = false;

private:
    MonitorEngine &engine_;
    qint64 count_;
    qint64 shown_ = 0;
};

} // namespace

int cmdTypeChange(Env &env)
{
    // A value such as "-5" reaches here as an option the command does not know.
    if (env.badOption.isNull() ? env.args.size() != 1 : !env.args.isEmpty()) {
        err(QStringLiteral("usage: qelctl type-change 521|527|5600"));
        return ExitUsage;
    }
    const QString &want = env.badOption.isNull() ? env.args[0] : env.badOption;
    char digit = 0;
    int wanted = TypeNone;
    if (want == QLatin1String("521")) {
        digit = '1';
        wanted = Type521;
    } else if (want == QLatin1String("527")) {
        digit = '7';
        wanted = Type527;
    } else if (want == QLatin1String("5600")) {
        digit = '4';
        wanted = Type5600;
    } else {
        err(QStringLiteral("qelctl: type-change wants 521, 527 or 5600, not '%1'").arg(want));
        return ExitUsage;
    }

    // Detection as at start-up; with nothing on the line there is nothing to change.
    const TypeCheckResult found = env.typeChange->TypeCheck();
    if (found.aborted || found.code == TypeNone) {
        out(QStringLiteral("none"));
        return ExitDevice;
    }

    const TypeChange::ChangeResult r = env.typeChange->ChangeType(digit);
    if (r.aborted) {
        out(QStringLiteral("none"));
        return ExitDevice;
    }
    out(typeName(r.detected));
    if (r.refused || r.noEcho)
        return ExitDevice;
    return r.detected == wanted ? ExitOk : ExitDevice;
}

int cmdMonitor(Env &env)
{
    qint64 count = -1;
    if (env.badOption.isNull() && env.args.isEmpty()
        && env.opts->values(QStringLiteral("count")).size() == 1) {
        bool ok = false;
        count = env.opts->value(QStringLiteral("count")).toLongLong(&ok);
        if (!ok)
            count = -1;
    }
    if (count < 1) {
        err(QStringLiteral("usage: qelctl monitor --count N   (N >= 1)"));
        return ExitUsage;
    }

    const TypeCheckResult found = env.typeChange->TypeCheck();
    if (found.aborted || found.code == TypeNone) {
        err(QStringLiteral("qelctl: no device answers"));
        return ExitDevice;
    }

    MonitorEngine monitor(*env.ctx, *env.engine);
    LineView view(monitor, count);
    monitor.setView(&view);
    monitor.Form_Load();
    while (!view.closed)
        env.ctx->yield();
    monitor.setView(nullptr);
    if (monitor.closedOnError() || view.shown() < count)
        return ExitDevice;
    return ExitOk;
}

const CommandRegistration typeChangeCommand({
    QStringLiteral("type-change"), QStringLiteral("type-change 521|527|5600"),
    QStringLiteral("switch the operation type; prints the type\ndetected afterwards"), {},
    cmdTypeChange});

const CommandRegistration monitorCommand({
    QStringLiteral("monitor"), QStringLiteral("monitor --count N"),
    QStringLiteral("N readings: hex text and percent text\n(a blanked reading prints '- -')"),
    {QCommandLineOption(QStringLiteral("count"), QString(), QStringLiteral("N"))}, cmdMonitor});

} // namespace qel::cli
