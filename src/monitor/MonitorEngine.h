#pragma once
// The measurement monitor without its window: the 100 ms poll, the command
// exchange on the monitor's own serial port, the set-up exchange of each
// device generation, the deferred main-window commands and the conversion
// of a reading into the two box texts. The window (or the command-line tool)
// plugs in through MonitorView.

#include "comm/Generation.h"
#include "core/Context.h"

#include <QByteArray>
#include <QString>
#include <functional>
#include <memory>

namespace qel {

// What the monitor shows and how it leaves the screen.
class MonitorView {
public:
    virtual ~MonitorView() = default;
    // The screen's boxes and labels; a view without a screen leaves them.
    virtual void setText1(int /*index*/, const QString &) {} // 0: hex, 1: percent
    virtual void setLabel1(int /*index*/, const QString &) {}
    virtual void setLabel2(const QString &) {}
    virtual void setLabel3(const QString &) {}
    virtual void setCommand1Enabled(bool) {}
    // After every reading: the percentage shown, NaN when both boxes were blanked.
    virtual void readingShown(double percent) { (void)percent; }
    // SaveWindowPos of "Monitor".
    virtual void saveWindowPos() {}
    // The screen has been unloaded: take the window away.
    virtual void closeWindow() {}
};

// The main window's commands the monitor carries out between two readings.
struct MonitorActions {
    std::function<void()> readingIn;      // ReadingIn
    std::function<void()> writingOut;     // WritingOut
    std::function<void()> showTypeChange; // the type-change dialog, modal
};

// One reading turned into the box texts.
struct MonitorDisplay {
    QString hex;     // Text1(0)
    QString percent; // Text1(1)
    double value;    // the percentage, NaN when blanked
    bool blank() const { return hex.isEmpty(); }
};

class MonitorEngine {
public:
    MonitorEngine(Context &ctx, RsReadWrite &engine, MonitorActions actions = {});
    ~MonitorEngine();

    // The window the monitor shows in; none: a view that shows nothing.
    void setView(MonitorView *view) { view_ = view ? view : &noView_; }
    void setActions(MonitorActions actions) { actions_ = std::move(actions); }
    // Every reading as converted (the recorder listens here), after the view.
    std::function<void(const MonitorDisplay &)> onReading;
    SerialPort &MSComm1() { return link_.port(); }

    // --- screen events ---
    void Form_Load();
    void Form_Unload();
    void Command1_Click() { CloseRequested = true; }
    void Timer1_Timer();
    void Timer2_Timer();
    bool isLoaded() const { return loaded_; }
    // Why the monitor closed itself last time (false: by the user).
    bool closedOnError() const { return closedOnError_; }

    // --- timers and port ---
    void StartTickTimer();
    void StartPollTimer();
    bool SetPortState(bool state);

    // --- exchanges ---
    bool MonitorDataReadWrite(const QByteArray &command, QByteArray &reply, int timeout);
    // Retries up to 20 times. False only when the monitor had to close (after
    // message 1) or was closed while waiting.
    bool MonitorCommand(const QByteArray &command, QByteArray &reply, int timeout);
    // The set-up exchange of the device's generation; true when every check passed.
    bool InitMonitor(const Generation &g);
    void ShowReading();

    // --- conversion ---
    static qint32 HexReplyValue(const QByteArray &reply);
    static QString PadLeft8(const QString &text);
    static MonitorDisplay Convert(qint32 X, qint32 full, qint32 zero, int biasPercent);
    // Leading decimal number of a reply (0 if none), to the nearest integer,
    // an exact half to the even neighbour, held to the 16-bit range.
    static int DecimalReplyValue(const QByteArray &reply) { return replyInteger(reply); }

    // --- screen variables ---
    int MonTickCount = 0;
    bool CloseRequested = false;
    bool NeedInit = false;
    qint32 FullCount = 0;
    qint32 ZeroCount = 0;
    int BiasPercent = 0;
    int Busy = 0;
    bool PeriodMode = false;
    QString Text1[2];
    QString Label1[2];
    QString Label2;
    QString Label3;
    qint64 readings = 0; // readings shown since the last Form_Load

private:
    void poll();
    bool alive(quint64 session) const { return loaded_ && session_ == session; }
    void closeOnError();
    void setCaptions(bool period);
    void setText(int index, const QString &text);
    void setLabel3(const QString &text);

    Context &ctx_;
    RsReadWrite &engine_;
    MonitorActions actions_;
    MonitorView noView_;
    MonitorView *view_ = &noView_;
    Link link_;
    WaitTicker timer1_; // MonTickCount: runs only while a poll waits
    std::unique_ptr<Timer> timer2_;
    std::unique_ptr<Timer> kick_; // makes a yield return at once
    bool loaded_ = false;
    bool closedOnError_ = false;
    quint64 session_ = 0;
};

} // namespace qel
