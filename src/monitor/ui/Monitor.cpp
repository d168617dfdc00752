#include "Monitor.h"

#include "TrendStrip.h"
#include "core/ui/FormPosition.h"
#include "core/ui/Keys.h"

#include <QCloseEvent>
#include <QFileInfo>
#include <QFontDatabase>
#include <QGridLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QStyle>
#include <QVBoxLayout>

namespace qel {

namespace {

// A line of text that never widens its window: a text longer than the room
// it has shows its beginning and its end with "…" between them (the whole
// text stays its tooltip's and a screen reader's).
class ElidedLabel : public QLabel {
public:
    using QLabel::QLabel;
    QSize sizeHint() const override { return {0, QLabel::sizeHint().height()}; }
    QSize minimumSizeHint() const override { return {0, QLabel::minimumSizeHint().height()}; }

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter p(this);
        const QRect r = contentsRect();
        style()->drawItemText(&p, r, int(alignment()), palette(), isEnabled(),
                              fontMetrics().elidedText(text(), Qt::ElideMiddle, r.width()),
                              foregroundRole());
    }
};

} // namespace

Monitor::Monitor(Context &ctx, RsReadWrite &engine, MonitorActions actions, QWidget *parent)
    : QWidget(parent, Qt::Window), ctx_(ctx)
{
    installAccessibility();
    logic_ = std::make_unique<MonitorEngine>(ctx, engine, std::move(actions));

    setObjectName(QStringLiteral("Monitor"));
    setWindowTitle(tr("測定値モニター"));

    Label2 = new QLabel(logic_->Label2, this);
    Label3 = new QLabel(QString(), this);
    const QFont fixed = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    for (int i = 0; i < 2; ++i) {
        Label1[i] = new QLabel(logic_->Label1[i], this);
        Text1[i] = new QLineEdit(this);
        Text1[i]->setReadOnly(true);
        Text1[i]->setFont(fixed);
        Text1[i]->setFocusPolicy(Qt::NoFocus);
        // The values come blank-padded to 8 characters: right-aligned they
        // line up by their last digit.
        Text1[i]->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        Text1[i]->setMinimumWidth(QFontMetrics(fixed).horizontalAdvance(QLatin1Char('0')) * 12);
        Label1[i]->setBuddy(Text1[i]);
        Text1[i]->setAccessibleName(Label1[i]->text());
    }
    Command1 = new QPushButton(tr("終了"), this);
    Trend = new TrendStrip([&ctx] { return ctx.clock().nowMs(); }, this);
    Trend->setAccessibleName(tr("1分間の推移"));

    auto *grid = new QGridLayout;
    grid->addWidget(Label2, 0, 0, 1, 2);
    grid->addWidget(Label1[0], 1, 0);
    grid->addWidget(Text1[0], 1, 1);
    grid->addWidget(Label1[1], 2, 0);
    grid->addWidget(Text1[1], 2, 1);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(grid);
    layout->addWidget(Trend);
    auto *bottom = new QHBoxLayout;
    bottom->addWidget(Label3, 1);
    bottom->addWidget(Command1);
    layout->addLayout(bottom);

    connect(Command1, &QPushButton::clicked, this, [this] { logic_->Command1_Click(); });
    RecordButton = new QPushButton(this);
    RecordButton->setObjectName(QStringLiteral("RecordButton"));
    RecordSign = new ElidedLabel(this);
    RecordSign->setObjectName(QStringLiteral("RecordSign"));
    RecordSign->setStyleSheet(QStringLiteral("color: #c00000; font-weight: bold;"));
    RecordSign->setTextInteractionFlags(Qt::TextSelectableByMouse);
    auto *record = new QHBoxLayout;
    record->addWidget(RecordButton);
    record->addWidget(RecordSign, 1);
    record->addStretch();
    layout->addLayout(record);

    recorder_ = std::make_unique<MonitorRecorder>(ctx.clock());
    recorder_->onFailed = [this] {
        // The disk is full (or the file went away): the recording ends,
        // the monitor goes on.
        showRecordingState();
        tellRecordingFailed();
    };
    logic_->onReading = [this](const MonitorDisplay &d) { recorder_->record(d); };
    connect(RecordButton, &QPushButton::clicked, this, [this] { RecordButton_Click(); });
    pressOnEnter({Command1, RecordButton});
    showRecordingState();

    logic_->setView(this);
    // Sized before the first show: a window that gets its size only while
    // being shown is placed by its inner corner, and the stored position
    // would put its title bar off the screen.
    resize(sizeHint());
}

Monitor::~Monitor()
{
    logic_->setView(nullptr);
    logic_->onReading = nullptr;
    recorder_->stop();
}

void Monitor::open()
{
    if (logic_->isLoaded()) {
        show();
        raise();
        activateWindow();
        return;
    }
    Trend->clear();
    logic_->Form_Load();
    // Placed with the size the captions just set give it.
    if (layout())
        layout()->activate();
    RestoreWindowPos(ctx_, this, centreOn);
    show();
    raise();
}

bool Monitor::isOpen() const
{
    return logic_->isLoaded();
}

void Monitor::closeEvent(QCloseEvent *e)
{
    inCloseEvent_ = true;
    logic_->Form_Unload();
    inCloseEvent_ = false;
    e->accept();
}

void Monitor::keyPressEvent(QKeyEvent *e)
{
    // Escape is 終了 (and does nothing while 終了 is disabled).
    if (e->key() == Qt::Key_Escape && e->modifiers() == Qt::NoModifier) {
        Command1->click();
        return;
    }
    QWidget::keyPressEvent(e);
}

void Monitor::setText1(int index, const QString &text)
{
    Text1[index]->setText(text);
}

void Monitor::setLabel1(int index, const QString &text)
{
    Label1[index]->setText(text);
    Text1[index]->setAccessibleName(text);
}

void Monitor::setLabel2(const QString &text)
{
    Label2->setText(text);
}

void Monitor::setLabel3(const QString &text)
{
    Label3->setText(text);
}

void Monitor::setCommand1Enabled(bool on)
{
    Command1->setEnabled(on);
}

void Monitor::readingShown(double percent)
{
    Trend->addSample(percent);
}

void Monitor::saveWindowPos()
{
    SaveWindowPos(ctx_, this);
}

void Monitor::closeWindow()
{
    // Whatever closed the monitor (終了, the close box, a lost line), the
    // recording ends with the file complete.
    stopRecording();
    if (!inCloseEvent_)
        hide();
}

void Monitor::RecordButton_Click()
{
    if (recorder_->isRecording()) {
        stopRecording();
        return;
    }
    FileDialogRequest req;
    req.title = tr("記録ファイル");
    req.filter = tr("CSVﾌｧｲﾙ(*.csv)|*.csv|すべてのﾌｧｲﾙ(*.*)|*.*");
    req.confirmOverwrite = true;
    QString path;
    const bool chosen = ctx_.platform.dialogs && ctx_.platform.dialogs->saveFile(req, path);
    // The monitor stays in front of the main window once the dialog is gone.
    raise();
    activateWindow();
    if (!chosen || path.isEmpty())
        return;
    if (QFileInfo(path).suffix().isEmpty())
        path += QStringLiteral(".csv");
    if (!recorder_->start(path)) {
        ctx_.boxes().show(tr("記録ファイルを作成できません。\n") + path
                              + QStringLiteral("\n") + recorder_->error(),
                          applicationTitle(), MsgIcon::Exclamation, MsgButtons::Ok);
    }
    showRecordingState();
}

void Monitor::stopRecording()
{
    if (!recorder_->isRecording())
        return;
    const bool ok = recorder_->stop();
    showRecordingState();
    if (!ok)
        tellRecordingFailed();
}

void Monitor::tellRecordingFailed()
{
    ctx_.boxes().show(tr("記録ファイルに書き込めません。記録を止めました。\n")
                          + recorder_->path() + QStringLiteral("\n") + recorder_->error(),
                      applicationTitle(), MsgIcon::Exclamation, MsgButtons::Ok);
}

void Monitor::showRecordingState()
{
    const bool on = recorder_->isRecording();
    RecordButton->setText(on ? tr("記録停止") : tr("記録開始..."));
    RecordSign->setText(on ? tr("● 記録中: ") + QFileInfo(recorder_->path()).fileName()
                           : QString());
    RecordSign->setToolTip(on ? recorder_->path() : QString());
    RecordSign->setVisible(on);
}

} // namespace qel
