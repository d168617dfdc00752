#include "MonitorEngine.h"

#include <QCoreApplication>

#include "core/Codes.h"
#include "core/Numbers.h"

#include <cmath>
#include <cstdlib>
#include <limits>

namespace qel {

MonitorEngine::MonitorEngine(Context &ctx, RsReadWrite &engine, MonitorActions actions)
    : ctx_(ctx), engine_(engine), actions_(std::move(actions)),
      link_(ctx), timer1_(ctx, [this] { Timer1_Timer(); }),
      timer2_(ctx.clock().createTimer()), kick_(ctx.clock().createTimer())
{
    kick_->onTimeout = [this] { kick_->stop(); };
    timer2_->onTimeout = [this] { Timer2_Timer(); };
    Label1[0] = QCoreApplication::translate("qel::MonitorEngine", "ＤＡ値(HEX)");
    setCaptions(false);
}

MonitorEngine::~MonitorEngine()
{
    timer1_.stop();
    timer2_->stop();
    kick_->stop();
}

// ---------------------------------------------------------------- screen events

void MonitorEngine::Form_Load()
{
    ++session_;
    loaded_ = true;
    closedOnError_ = false;
    CloseRequested = false;
    NeedInit = true;
    readings = 0;
    // A freshly loaded screen: empty boxes, the design's captions, no values.
    FullCount = ZeroCount = 0;
    BiasPercent = 0;
    setText(0, QString());
    setText(1, QString());
    setCaptions(false);
    setLabel3(QString());
    // The engine's and the type-change screen's tick source rests while the
    // monitor owns the line (CMD_Send restarts it for its pauses).
    ctx_.ticks.stop();
    ctx_.hooks.setPortMenuEnabled(false);
    ctx_.state.MonitorActive = true;
    view_->setCommand1Enabled(true);
    StartPollTimer();
}

void MonitorEngine::Form_Unload()
{
    if (!loaded_)
        return;
    timer1_.stop();
    timer2_->stop();
    ctx_.ticks.restart();
    SetPortState(false);
    ctx_.state.MonitorActive = false;
    // A command left for the monitor has nobody to carry it out any more.
    ctx_.state.PendingCommand = Pending::None;
    ctx_.hooks.setPortMenuEnabled(true);
    loaded_ = false;
    ++session_; // a poll still waiting in an exchange sees this and gives up
    view_->closeWindow();
}

void MonitorEngine::Timer1_Timer()
{
    MonTickCount += 1;
    if (MonTickCount >= 1000)
        MonTickCount = 1000;
}

void MonitorEngine::Timer2_Timer()
{
    if (Busy)
        return;
    Busy = 1;
    timer2_->stop(); // the next poll starts 100 ms after this one ends
    poll();
    Busy = 0;
}

void MonitorEngine::poll()
{
    const quint64 s = session_;
    AppState &st = ctx_.state;

    if (NeedInit) {
        setLabel3(QCoreApplication::translate("qel::MonitorEngine", "データ読み出し中"));
        NeedInit = false;
        const Generation *g = generationOf(st.DeviceType);
        if (!g) {
            ctx_.boxes().show(QCoreApplication::translate("qel::MonitorEngine", "機器ﾀｲﾌﾟが認識できません。"), applicationTitle(),
                              MsgIcon::Exclamation, MsgButtons::Ok);
            closeOnError();
            return;
        }
        link_.configure(g->screenSettings());
        if (!SetPortState(true)) {
            engine_.DspRSErr(1, link_.port().openProblem());
            closeOnError();
            return;
        }
        InitMonitor(*g);
        if (!alive(s))
            return;
        setLabel3(QString());
    }

    ShowReading();
    if (!alive(s))
        return;

    // A main-window command left for the monitor: the port is handed over
    // while it runs. After a read the port is reopened as it was (the set-up
    // values stay valid); after a write or a type change the set-up runs anew.
    const Pending pending = st.PendingCommand;
    if (pending != Pending::None) {
        view_->setCommand1Enabled(false);
        SetPortState(false);
        const std::function<void()> &action = pending == Pending::Read ? actions_.readingIn
            : pending == Pending::Write                                ? actions_.writingOut
                                                                       : actions_.showTypeChange;
        if (action)
            action();
        if (!alive(s))
            return;
        if (pending != Pending::Read) {
            NeedInit = true;
        } else if (!SetPortState(true)) {
            engine_.DspRSErr(1, link_.port().openProblem());
            closeOnError();
            return;
        }
        view_->setCommand1Enabled(true);
    }
    st.PendingCommand = Pending::None;

    if (CloseRequested) {
        view_->saveWindowPos();
        Form_Unload();
    } else {
        timer2_->start(100);
    }
}

void MonitorEngine::closeOnError()
{
    if (!loaded_)
        return;
    closedOnError_ = true;
    Form_Unload();
}

// ---------------------------------------------------------------- timers and port

void MonitorEngine::StartTickTimer()
{
    MonTickCount = 0;
    timer1_.restart();
}

void MonitorEngine::StartPollTimer()
{
    timer2_->stop();
    timer2_->start(100);
}

bool MonitorEngine::SetPortState(bool state)
{
    if (state)
        return link_.raise();
    link_.close();
    return true;
}

// ---------------------------------------------------------------- exchanges

bool MonitorEngine::MonitorDataReadWrite(const QByteArray &command, QByteArray &reply,
                                         int timeout)
{
    const quint64 s = session_;
    StartTickTimer();
    link_.send(command);
    // The time-out runs from the moment the command was written.
    StartTickTimer();
    const Collected c = link_.collect(reply, {timeout, &MonTickCount, 0,
                                              [this, s] { return session_ != s; }});
    if (c == Collected::Complete)
        return true;
    if (c == Collected::TimedOut && command != "Q") {
        const QString text = QStringLiteral("Error in MonitorDataReadWrite()T?=")
            + QString::number(MonTickCount) + QStringLiteral("\r\nSD$=")
            + QString::fromLatin1(command) + QStringLiteral("\r\nRD$=")
            + QString::fromLatin1(reply);
        ctx_.boxes().show(text, applicationTitle(), MsgIcon::None, MsgButtons::Ok);
    }
    return false;
}

bool MonitorEngine::MonitorCommand(const QByteArray &command, QByteArray &reply, int timeout)
{
    const quint64 s = session_;
    // Let waiting events run, without waiting for a new one: the kick is
    // due at once, so the yield returns as soon as the queue is worked off.
    kick_->start(0);
    ctx_.yield();
    kick_->stop();
    if (session_ != s)
        return false;
    for (int attempt = 0; attempt < 20; ++attempt) {
        if (MonitorDataReadWrite(command, reply, timeout))
            return true;
        if (session_ != s)
            return false;
    }
    // The line is dead: say so (and where it went, for a lost line) and
    // close the monitor; the program goes on.
    engine_.DspRSErr(1, link_.port().openProblem());
    if (session_ == s)
        closeOnError();
    return false;
}

// The set-up of a generation: full scale, setting mode, the generation's
// reads of the measurement kind and the bias, test mode, zero count, back to
// measuring.
bool MonitorEngine::InitMonitor(const Generation &g)
{
    QByteArray r;
    auto failed = [this] {
        engine_.DspRSErr(1);
        return false;
    };

    if (!MonitorCommand("P", r, g.monitorFast))
        return false;
    FullCount = HexReplyValue(r);
    if (FullCount == 0)
        FullCount = 1;

    if (!MonitorCommand("M", r, g.monitorFast))
        return false;
    if (r != "A\r")
        return failed();

    const auto ask = [this](const QByteArray &command, QByteArray &reply, int ticks) {
        return MonitorCommand(command, reply, ticks);
    };
    switch (g.monitorSetUp(ask, [this](bool period) { setCaptions(period); }, BiasPercent)) {
    case SetUpStep::Stopped:
        return false;
    case SetUpStep::Wrong:
        return failed();
    case SetUpStep::Done:
        break;
    }

    if (!MonitorCommand("T\r", r, g.monitorTest))
        return false;
    if (r != "T\r")
        return failed();

    if (!MonitorCommand("U\r", r, g.monitorTest))
        return false;
    ZeroCount = r == "?\r" ? 0 : HexReplyValue(r);

    return MonitorCommand("E\r", r, g.monitorLeave);
}

void MonitorEngine::ShowReading()
{
    QByteArray r;
    if (!MonitorCommand("Q", r, 100))
        return;
    const MonitorDisplay d = Convert(HexReplyValue(r), FullCount, ZeroCount, BiasPercent);
    setText(0, d.hex);
    setText(1, d.percent);
    ++readings;
    view_->readingShown(d.value);
    if (onReading)
        onReading(d);
}

// ---------------------------------------------------------------- conversion

qint32 MonitorEngine::HexReplyValue(const QByteArray &reply)
{
    QByteArray t = reply;
    const int cr = t.indexOf('\r');
    if (cr >= 0)
        t.truncate(cr);
    if (t.isEmpty() || t.size() > 8)
        return -1;
    for (char c : t)
        if (hexDigitValue(c) < 0)
            return -1;
    const quint32 raw = t.toUInt(nullptr, 16);
    // Up to four digits the literal is a 16-bit value, longer ones 32-bit.
    qint32 v = t.size() <= 4 ? qint32(qint16(quint16(raw))) : qint32(raw);
    if (v < 0)
        v += 65536;
    return v;
}

QString MonitorEngine::PadLeft8(const QString &text)
{
    return text.rightJustified(8, QLatin1Char(' '));
}

MonitorDisplay MonitorEngine::Convert(qint32 X, qint32 full, qint32 zero, int biasPercent)
{
    MonitorDisplay d{QString(), QString(), std::numeric_limits<double>::quiet_NaN()};
    if (X < 0)
        return d;
    const qint64 span = qint64(full) - qint64(zero);
    // The bias in counts is a 16-bit quantity; outside that range there is
    // no meaningful zero point and the reading is blanked.
    const double bias = roundHalfEven(double(span) * biasPercent / 100.0);
    if (bias < -32768.0 || bias > 32767.0)
        return d;
    const qint64 b = qint64(bias);
    const qint64 S = span - b;
    if (std::llabs(S) < 1)
        return d;
    const double ratio = double(qint64(X) - qint64(zero) - b) / double(S);
    // "##0.00": a negative value keeps its minus sign even when it rounds
    // to zero ("-0.00"); a zero (also 0 over a negative span) has none.
    const double pct = 100.0 * ratio + 0.0;
    d.hex = PadLeft8(QString::number(X, 16).toUpper());
    d.percent = PadLeft8(QString::number(pct, 'f', 2));
    d.value = pct;
    return d;
}

// ---------------------------------------------------------------- display

void MonitorEngine::setCaptions(bool period)
{
    PeriodMode = period;
    Label2 = period ? QCoreApplication::translate("qel::MonitorEngine", "周期計") : QCoreApplication::translate("qel::MonitorEngine", "周波数計");
    Label1[1] = period ? QCoreApplication::translate("qel::MonitorEngine", "周期/ﾌﾙｽｹｰﾙ(％)") : QCoreApplication::translate("qel::MonitorEngine", "周波数/ﾌﾙｽｹｰﾙ(％)");
    view_->setLabel2(Label2);
    view_->setLabel1(1, Label1[1]);
}

void MonitorEngine::setText(int index, const QString &text)
{
    Text1[index] = text;
    view_->setText1(index, text);
}

void MonitorEngine::setLabel3(const QString &text)
{
    Label3 = text;
    view_->setLabel3(text);
}

} // namespace qel
