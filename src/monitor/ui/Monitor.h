#pragma once
// The "測定値モニター" window: live DA value in hex and percent of full scale.

#include "monitor/MonitorEngine.h"
#include "monitor/MonitorRecorder.h"

#include <QWidget>
#include <memory>

class QLabel;
class QLineEdit;
class QPushButton;

namespace qel {

class TrendStrip;

class Monitor : public QWidget, private MonitorView {
    Q_OBJECT
public:
    // `actions` carry out the main window's commands left for the monitor.
    Monitor(Context &ctx, RsReadWrite &engine, MonitorActions actions, QWidget *parent = nullptr);
    ~Monitor() override;
    // Form_Load and show; brings the window to the front when already open.
    void open();
    bool isOpen() const;

    MonitorEngine &logic() { return *logic_; }
    MonitorRecorder &recorder() { return *recorder_; }

    QLineEdit *Text1[2] = {nullptr, nullptr};
    QLabel *Label1[2] = {nullptr, nullptr};
    QLabel *Label2 = nullptr;
    QLabel *Label3 = nullptr;
    QPushButton *Command1 = nullptr;
    TrendStrip *Trend = nullptr;
    // Below the screen's own controls: recording the readings into a CSV
    // file, and the sign that shows while it records.
    QPushButton *RecordButton = nullptr;
    QLabel *RecordSign = nullptr;
    // The window it opens centred over while no position is stored.
    QWidget *centreOn = nullptr;

protected:
    // The close box: unloads at once, without storing the position.
    void closeEvent(QCloseEvent *e) override;
    void keyPressEvent(QKeyEvent *e) override;

private:
    void setText1(int index, const QString &text) override;
    void setLabel1(int index, const QString &text) override;
    void setLabel2(const QString &text) override;
    void setLabel3(const QString &text) override;
    void setCommand1Enabled(bool on) override;
    void readingShown(double percent) override;
    void saveWindowPos() override;
    void closeWindow() override;
    void RecordButton_Click();
    void stopRecording();
    void showRecordingState();
    void tellRecordingFailed();

    Context &ctx_;
    std::unique_ptr<MonitorEngine> logic_;
    std::unique_ptr<MonitorRecorder> recorder_;
    bool inCloseEvent_ = false;
};

} // namespace qel
