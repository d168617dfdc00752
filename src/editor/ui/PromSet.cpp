#include "PromSet.h"

#include "core/SettingTable.h"
#include "Controls.h"
#include "EditRules.h"
#include "ScaledValueRow.h"
#include "core/Codes.h"
#include "core/Settings.h"
#include "core/ui/Fonts.h"
#include "core/ui/FormPosition.h"
#include "core/ui/Keys.h"
#include "core/ui/VersionNo.h"
#include "monitor/ui/Monitor.h"
#include "typechange/ui/TypeChangeDialog.h"

#include <QAction>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QCoreApplication>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPushButton>
#include <QRadioButton>
#include <QScopeGuard>
#include <QShortcut>
#include <QTabWidget>
#include <QTimer>
#include <QVBoxLayout>

namespace qel {

namespace {

int digitIndex(const QByteArray &f)
{
    return f == "0" ? 0 : f == "1" ? 1 : -1;
}

} // namespace

PromSet::PromSet(Context &ctx, RsReadWrite &engine, TypeChange &typeChange, QWidget *parent)
    : QMainWindow(parent), ctx_(ctx), engine_(engine), typeChange_(typeChange)
{
    setObjectName(QStringLiteral("PromSet"));
    setWindowTitle(tr("ＱＥＬ－５６００　設定変更"));
    setFont(designFont(QStringLiteral("ＭＳ Ｐゴシック"), 9));
    installAccessibility();

    commands_ = std::make_unique<SettingsCommands>(ctx_, engine_, typeChange_, this);
    files_ = std::make_unique<FileCommands>(ctx_);
    fieldInput_ = new FieldTextValidator(this);

    buildMenus();

    auto *central = new QWidget(this);
    central->setObjectName(QStringLiteral("PromSetBody"));
    auto *all = new QVBoxLayout(central);

    // The identity of the device.
    auto *ident = new QGridLayout;
    Label2 = namedLabel(central, "Label2", tr("Serial№"));
    Label3 = namedLabel(central, "Label3", QStringLiteral(" - - - "));
    Label4 = namedLabel(central, "Label4", QStringLiteral("Create"));
    Label5 = namedLabel(central, "Label5", QStringLiteral("- - - - - "));
    Label6 = namedLabel(central, "Label6", QStringLiteral("Version"));
    Label7 = namedLabel(central, "Label7", QStringLiteral("- - - "));
    Label12 = namedLabel(central, "Label12", QStringLiteral("Update"));
    Label13 = namedLabel(central, "Label13", QStringLiteral("- - - - - "));
    QLabel *values[] = {Label3, Label5, Label7, Label13};
    QLabel *names[] = {Label2, Label4, Label6, Label12};
    for (int i = 0; i < 4; ++i) {
        values[i]->setFrameShape(QFrame::Panel);
        values[i]->setFrameShadow(QFrame::Sunken);
        values[i]->setMinimumWidth(scaled(90));
        ident->addWidget(names[i], 0, i * 2);
        ident->addWidget(values[i], 0, i * 2 + 1);
        ident->setColumnStretch(i * 2 + 1, 1);
    }
    all->addLayout(ident);

    SSTab1 = new QTabWidget(central);
    SSTab1->setObjectName(QStringLiteral("SSTab1"));
    SSTab1->addTab(buildTab0(), tr("基本機能"));
    SSTab1->addTab(buildTab1(), tr("付加機能"));
    SSTab1->addTab(buildTab2(), tr("イベントイン"));
    SSTab1->addTab(buildTab3(), tr("イベントアウト"));
    for (QLineEdit *t : {Text1, Text2, Text3, Text4, Text5, Text6, Text7, Text8, Text9, Text10,
                         Text11, Text12})
        t->setValidator(fieldInput_);
    all->addWidget(SSTab1, 1);

    Label1 = namedLabel(central, "Label1", QString());
    Label1->setFrameShape(QFrame::Panel);
    Label1->setFrameShadow(QFrame::Sunken);
    Label1->setMinimumHeight(scaled(22));
    all->addWidget(Label1);

    auto *buttons = new QHBoxLayout;
    auto button = [&](const char *name, const QString &caption, void (PromSet::*handler)()) {
        auto *b = new QPushButton(caption, central);
        b->setObjectName(QString::fromLatin1(name));
        b->setMinimumHeight(scaled(32));
        connect(b, &QPushButton::clicked, this, [this, handler] { (this->*handler)(); });
        buttons->addWidget(b);
        return b;
    };
    Command1 = button("Command1", tr("読み出し"), &PromSet::Command1_Click);
    Command2 = button("Command2", tr("書き込み"), &PromSet::Command2_Click);
    Command3 = button("Command3", tr("タイプ変更"), &PromSet::Command3_Click);
    Command5 = button("Command5", tr("測定値ﾓﾆﾀ"), &PromSet::Command5_Click);
    Command6 = button("Command6", tr("リセット"), &PromSet::Command6_Click);
    Command4 = button("Command4", tr("終了 [&X]"), &PromSet::Command4_Click);
    all->addLayout(buttons);

    setCentralWidget(central);
    describeInputs();
    keyboardAccess();
    resize(scaled(600), scaled(380));

    // The windows the buttons open.
    typeChangeDialog_ = new TypeChangeDialog(ctx_, typeChange_, this);
    typeChangeDialog_->hide();
    MonitorActions actions;
    // Between two readings of the monitor: the read's copy is kept once the
    // monitor has its line back.
    actions.readingIn = [this] { readingIn(true); };
    actions.writingOut = [this] { writingOut(); };
    actions.showTypeChange = [this] { showTypeChange(); };
    monitor_ = std::make_unique<Monitor>(ctx_, engine_, std::move(actions));
    monitor_->centreOn = this;
    showTypeChange = [this] { typeChangeDialog_->exec(); };
    showVersion = [this] {
        VersionNo v(this);
        v.Form_Load();
        v.exec();
    };
    endProgram = [this] {
        if (ctx_.platform.terminate)
            ctx_.platform.terminate();
        else
            QCoreApplication::exit(0);
    };

    ctx_.hooks.setStatus = [this](const QString &t) { setStatus(t); };
    ctx_.hooks.ModeTypeDsp = [this] { ModeTypeDsp(); };
    ctx_.hooks.VerDsp = [this] { VerDsp(); };
    ctx_.hooks.setPortMenuEnabled = [this](bool on) { mnuPortSelect->setEnabled(on); };
}

PromSet::~PromSet()
{
    ctx_.hooks = MainWindowHooks{};
    monitor_.reset();
}

// ---------------------------------------------------------------- building

void PromSet::buildMenus()
{
    auto action = [this](QMenu *menu, const char *name, const QString &caption,
                         void (PromSet::*handler)()) {
        QAction *a = menu->addAction(caption);
        a->setObjectName(QString::fromLatin1(name));
        connect(a, &QAction::triggered, this, call(handler));
        return a;
    };
    auto separator = [](QMenu *menu, const char *name) {
        QAction *a = menu->addSeparator();
        a->setObjectName(QString::fromLatin1(name));
        return a;
    };

    FileIO = menuBar()->addMenu(tr("ファイル [&F]"));
    FileIO->setObjectName(QStringLiteral("FileIO"));
    DataFileLoad = action(FileIO, "DataFileLoad", tr("設定データのファイル読込み"),
                          &PromSet::DataFileLoad_Click);
    DataFileSave = action(FileIO, "DataFileSave", tr("設定データのファイル保存"),
                          &PromSet::DataFileSave_Click);
    MenuLine1 = separator(FileIO, "MenuLine1");
    DataLprint = action(FileIO, "DataLprint", tr("設定データの印刷(&P)"),
                        &PromSet::DataLprint_Click);
    MenuLine2 = separator(FileIO, "MenuLine2");
    ProgEnd = action(FileIO, "ProgEnd", tr("終了"), &PromSet::ProgEnd_Click);

    MeuOption = menuBar()->addMenu(tr("設定 [&S]"));
    MeuOption->setObjectName(QStringLiteral("MeuOption"));
    mnuPortSelect = action(MeuOption, "mnuPortSelect", tr("通信ポート"),
                           &PromSet::mnuPortSelect_Click);

    help = menuBar()->addMenu(tr("ヘルプ [&H]"));
    help->setObjectName(QStringLiteral("help"));
    mnuHContents = action(help, "mnuHContents", tr("このプログラムについて"),
                          &PromSet::mnuHContents_Click);
    mnuHSearch = action(help, "mnuHSearch", tr("キーワードで検索 [&S]"),
                        &PromSet::mnuHSearch_Click);
    MenuLine3 = separator(help, "MenuLine3");
    PVER = action(help, "PVER", tr("バージョン情報 [&A]"), &PromSet::PVER_Click);
}

std::unique_ptr<ScaledValueRow> PromSet::scaledRow(QGridLayout *grid, int row, int first,
                                                   const ScaledValueRow::Names &names,
                                                   const QString &caption,
                                                   ScaledValueRow::Handlers handlers)
{
    return std::make_unique<ScaledValueRow>(ctx_.state.ParamRecord, first, grid, row, names,
                                            caption, std::move(handlers));
}

QWidget *PromSet::buildTab0()
{
    auto *tab = new QWidget;
    auto *grid = new QGridLayout(tab);
    Frame5 = optionGroup("Frame5", tr("測定モード"), "Option1", Option1,
                         {tr("周波数計測"), tr("周期計測")},
                         call(&PromSet::Option1_Click), 2);
    grid->addWidget(Frame5, 0, 0, 1, 6);

    fullScale_ = scaledRow(grid, 1, 2, {"Label9", "Text1", "Label10", "Combo1", "Text2", "Frame4", "Option2"},
                           tr("フルスケール"),
                           {call(&PromSet::Text1_Change), call(&PromSet::Combo1_Click),
                            call(&PromSet::Text2_Change), call(&PromSet::Option2_Click)});
    std::tie(Label9, Text1, Label10, Combo1, Text2, Frame4, Option2) = fullScale_->controls();

    Label11 = namedLabel(tab, "Label11", tr("バイアス"));
    Text3 = textBox("Text3", 2, "00", call(&PromSet::Text3_Change));
    Label14 = namedLabel(tab, "Label14", tr("％"));
    grid->addWidget(Label11, 2, 0);
    grid->addWidget(Text3, 2, 1);
    grid->addWidget(Label14, 2, 2);

    grid->setColumnStretch(6, 1);
    grid->setRowStretch(3, 1);
    return tab;
}

QWidget *PromSet::buildTab1()
{
    auto *tab = new QWidget;
    auto *grid = new QGridLayout(tab);
    Label15 = namedLabel(tab, "Label15", tr("出力更新時間"));
    Text4 = textBox("Text4", 5, "00001", call(&PromSet::Text4_Change));
    Label16 = namedLabel(tab, "Label16", tr("ｍｓ"));
    Label17 = namedLabel(tab, "Label17", tr("分周比"));
    Text5 = textBox("Text5", 3, "001", call(&PromSet::Text5_Change));
    Label18 = namedLabel(tab, "Label18", tr("移動平均"));
    Text6 = textBox("Text6", 2, "00", call(&PromSet::Text6_Change));
    Label21 = namedLabel(tab, "Label21", tr("ダイナミック予測"));
    Combo2 = new QComboBox;
    Combo2->setObjectName(QStringLiteral("Combo2"));
    // The entries shown in the language, in code order: an entry's index is its code.
    for (const ChoiceText &entry : predictionChoices())
        Combo2->addItem(shownText(entry), entry.ja);
    connect(Combo2, &QComboBox::activated, this, [this] { Combo2_Click(); });
    Check1 = new QCheckBox(tr("チャタサプレス"));
    Check1->setObjectName(QStringLiteral("Check1"));
    Check2 = new QCheckBox(tr("ステップレス"));
    Check2->setObjectName(QStringLiteral("Check2"));
    connect(Check1, &QCheckBox::stateChanged, this, [this] { Check1_Click(); });
    connect(Check2, &QCheckBox::stateChanged, this, [this] { Check2_Click(); });

    grid->addWidget(Label15, 0, 0);
    grid->addWidget(Text4, 0, 1);
    grid->addWidget(Label16, 0, 2);
    grid->addWidget(Label17, 1, 0);
    grid->addWidget(Text5, 1, 1);
    grid->addWidget(Label18, 2, 0);
    grid->addWidget(Text6, 2, 1);
    grid->addWidget(Label21, 3, 0);
    grid->addWidget(Combo2, 3, 1, 1, 2);
    grid->addWidget(Check1, 0, 4);
    grid->addWidget(Check2, 1, 4);
    grid->setColumnMinimumWidth(3, scaled(40));
    grid->setColumnStretch(5, 1);
    grid->setRowStretch(4, 1);
    return tab;
}

QWidget *PromSet::buildTab2()
{
    auto *tab = new QWidget;
    auto *grid = new QGridLayout(tab);
    Frame1 = optionGroup("Frame1", tr("機能選択"), "Option5", Option5,
                         shownTexts(eventInChoices()),
                         call(&PromSet::Option5_Click), 3);
    grid->addWidget(Frame1, 0, 0, 1, 6);

    upperScale_ = scaledRow(grid, 1, 15, {"Label23", "Text7", "Label24", "Combo3", "Text8", "Frame6", "Option6"},
                            tr("上限スケール"),
                            {call(&PromSet::Text7_Change), call(&PromSet::Combo3_Click),
                             call(&PromSet::Text8_Change), call(&PromSet::Option6_Click)});
    std::tie(Label23, Text7, Label24, Combo3, Text8, Frame6, Option6) = upperScale_->controls();
    lowerScale_ = scaledRow(grid, 2, 20, {"Label25", "Text9", "Label26", "Combo4", "Text10", "Frame7", "Option7"},
                            tr("下限スケール"),
                            {call(&PromSet::Text9_Change), call(&PromSet::Combo4_Click),
                             call(&PromSet::Text10_Change), call(&PromSet::Option7_Click)});
    std::tie(Label25, Text9, Label26, Combo4, Text10, Frame7, Option7) = lowerScale_->controls();

    grid->setColumnStretch(6, 1);
    grid->setRowStretch(3, 1);
    grid->setRowMinimumHeight(1, scaled(48));
    grid->setRowMinimumHeight(2, scaled(48));
    return tab;
}

QWidget *PromSet::buildTab3()
{
    auto *tab = new QWidget;
    auto *grid = new QGridLayout(tab);
    Frame2 = optionGroup("Frame2", tr("機能選択"), "Option8", Option8,
                         shownTexts(eventOutChoices()),
                         call(&PromSet::Option8_Click), 1);
    grid->addWidget(Frame2, 0, 0, 1, 6);

    setValue_ = scaledRow(grid, 1, 26, {"Label28", "Text11", "Label29", "Combo5", "Text12", "Frame3", "Option9"},
                          tr("設定値"),
                          {call(&PromSet::Text11_Change), call(&PromSet::Combo5_Click),
                           call(&PromSet::Text12_Change), call(&PromSet::Option9_Click)});
    std::tie(Label28, Text11, Label29, Combo5, Text12, Frame3, Option9) = setValue_->controls();
    grid->setColumnStretch(6, 1);
    grid->setRowStretch(2, 1);
    return tab;
}

void PromSet::describeInputs()
{
    // A screen reader announces every box with its caption (the scaled
    // values' rows name their own boxes).
    const std::pair<QLabel *, QWidget *> plain[] = {
        {Label11, Text3}, {Label15, Text4}, {Label17, Text5}, {Label18, Text6}, {Label21, Combo2}};
    for (const auto &[caption, box] : plain) {
        caption->setBuddy(box);
        box->setAccessibleName(caption->text());
    }
}

void PromSet::keyboardAccess()
{
    // Keys for the buttons and the tabs, named in their tooltips; the
    // captions stay as they are.
    auto tip = [](const QString &caption, const QKeySequence &key) {
        return QStringLiteral("%1 (%2)").arg(QString(caption).remove(QLatin1Char('&')),
                                             key.toString(QKeySequence::NativeText));
    };
    const std::pair<QPushButton *, QKeySequence> keys[] = {
        {Command1, QKeySequence(Qt::ALT | Qt::Key_R)}, {Command2, QKeySequence(Qt::ALT | Qt::Key_W)},
        {Command3, QKeySequence(Qt::ALT | Qt::Key_T)}, {Command5, QKeySequence(Qt::ALT | Qt::Key_M)},
        {Command6, QKeySequence(Qt::ALT | Qt::Key_D)}};
    for (const auto &[button, key] : keys) {
        button->setShortcut(key);
        button->setToolTip(tip(button->text(), key));
    }
    Command4->setToolTip(tip(Command4->text(), QKeySequence::mnemonic(Command4->text())));
    pressOnEnter({Command1, Command2, Command3, Command5, Command6, Command4});
    for (int i = 0; i < SSTab1->count(); ++i) {
        const QKeySequence key(Qt::ALT | Qt::Key(Qt::Key_1 + i));
        auto *shortcut = new QShortcut(key, this);
        shortcut->setObjectName(QStringLiteral("TabKey%1").arg(i + 1));
        connect(shortcut, &QShortcut::activated, this, [this, i] {
            if (SSTab1->isTabEnabled(i))
                SSTab1->setCurrentIndex(i);
        });
        SSTab1->setTabToolTip(i, tip(SSTab1->tabText(i), key));
    }
}

// ---------------------------------------------------------------- start and end

void PromSet::Form_Load()
{
    AppState &st = ctx_.state;
    CommPortSetting(ctx_, 1);
    RestoreWindowPos(ctx_, this);
    if (st.CommPortNo == 0 && ctx_.platform.dialogs)
        ctx_.platform.dialogs->choosePort();

    // Abort in the detection box has already ended the program.
    const TypeCheckResult r = typeChange_.TypeCheck();
    if (r.aborted)
        return;
    st.DeviceType = r.code;
    // A 52X's identification came with its image; a 5600 is asked for it.
    if (r.generation && !r.generation->identityInDetection)
        r.generation->readIdentity(engine_);
    typeChangeDialog_->selectByType(st.DeviceType);
    Command1_Click();
    // The cursor waits in the first setting.
    Text1->setFocus();
}

void PromSet::end(bool storeAll)
{
    SaveWindowPos(ctx_, this);
    if (storeAll && monitor_) {
        // A monitor that is not open is placed where its start would put it
        // (its stored position), so storing it keeps that position instead
        // of the spot of a window that was never shown or was closed by its
        // frame.
        if (!monitor_->isOpen())
            RestoreWindowPos(ctx_, monitor_.get(), this);
        FormGeometry g = formGeometry(monitor_.get());
        g.name = QStringLiteral("Monitor");
        SaveWindowPos(ctx_, g);
    }
    CommPortSetting(ctx_, 0);
    if (storeAll && ctx_.platform.help)
        ctx_.platform.help->quit(helpFile);
    ending_ = true;
    endProgram();
}

void PromSet::ProgEnd_Click()
{
    end(false);
}

void PromSet::Command4_Click()
{
    end(true);
}

void PromSet::closeEvent(QCloseEvent *e)
{
    // Closing by the window frame ends the program and stores nothing.
    e->accept();
    if (!ending_) {
        ending_ = true;
        endProgram();
    }
}

// ---------------------------------------------------------------- menus

void PromSet::DataFileLoad_Click()
{
    if (files_->DataFileLoad())
        DspData();
}

void PromSet::loadStartFile(const QString &path)
{
    if (files_->DataFileLoad(path))
        DspData();
}

void PromSet::DataFileSave_Click()
{
    files_->DataFileSave();
}

void PromSet::DataLprint_Click()
{
    if (printers)
        files_->DataLprint(*printers);
}

void PromSet::mnuPortSelect_Click()
{
    if (ctx_.platform.dialogs)
        ctx_.platform.dialogs->choosePort();
}

void PromSet::mnuHContents_Click()
{
    if (ctx_.platform.help)
        ctx_.platform.help->contents(helpFile);
}

void PromSet::mnuHSearch_Click()
{
    if (ctx_.platform.help)
        ctx_.platform.help->partialKey(helpFile, QString());
}

void PromSet::PVER_Click()
{
    showVersion();
}

// ---------------------------------------------------------------- buttons

void PromSet::CommandButtun(bool ii)
{
    for (QPushButton *b : {Command1, Command2, Command3, Command5, Command6, Command4})
        b->setEnabled(ii);
}

void PromSet::setStatus(const QString &text)
{
    Label1->setText(text);
}

void PromSet::setUpdateLabel(const QString &text)
{
    Label13->setText(text);
}

bool PromSet::leftForMonitor(Pending command)
{
    // While the monitor has the line, it carries the command out between
    // two readings.
    if (ctx_.state.MonitorActive)
        ctx_.state.PendingCommand = command;
    return ctx_.state.MonitorActive;
}

void PromSet::Command1_Click()
{
    if (!leftForMonitor(Pending::Read))
        readingIn(false);
}

void PromSet::Command2_Click()
{
    if (!leftForMonitor(Pending::Write))
        writingOut();
}

void PromSet::readingIn(bool later)
{
    const CommandOutcome o = commands_->ReadingIn();
    if (!history || o.aborted || !o.transferred || o.result != CommResult::Ok)
        return;
    // The history's work (its folder's turn, git) comes after the exchange,
    // shown as any work is; from the monitor, once its poll is over.
    const jobs::Reading reading{ctx_.state.DeviceType, ctx_.state.ParamRecord, ctx_.clock().wallTime()};
    const auto keep = [this, reading] {
        CommandButtun(false);
        setStatus(tr("デバイス履歴に保存中"));
        history->keep(reading);
        setStatus(QString());
        CommandButtun(true);
    };
    if (later)
        QTimer::singleShot(0, this, keep);
    else
        keep();
}

void PromSet::writingOut()
{
    if (history)
        history->beginWrite(ctx_.state);
    commands_->WritingOut();
    if (history)
        history->endWrite(ctx_.state);
}

void PromSet::Command3_Click()
{
    if (!leftForMonitor(Pending::TypeChange))
        showTypeChange();
}

void PromSet::Command5_Click()
{
    // The engine holds RTS up exactly while its port is open: a transfer is
    // under way and the monitor must not take the line.
    if (engine_.MSComm1().rts()) {
        ctx_.boxes().show(tr("ﾌﾟﾛｸﾞﾗﾑﾓｰﾄﾞではありません。"), applicationTitle(),
                          MsgIcon::Exclamation, MsgButtons::Ok);
        return;
    }
    monitor_->open();
}

void PromSet::Command6_Click()
{
    SetDefaultRecord(ctx_.state.ParamRecord);
    DspData();
}

// ---------------------------------------------------------------- display

void PromSet::EventDspUp(bool sw)
{
    upperScale_->setVisible(sw);
}

void PromSet::EventDspDown(bool sw)
{
    lowerScale_->setVisible(sw);
}

void PromSet::ModeTypeDsp()
{
    // The title and the unit of the output update time by type.
    if (const DeviceTypeInfo *type = deviceTypeInfo(ctx_.state.DeviceType)) {
        setWindowTitle(modelPrefix(ctx_.state.Is5600Series) + tr(type->screenTitle));
        Label16->setText(type->timeUnitMs > 1 ? tr("×１０ｍｓ") : tr("ｍｓ"));
    }
}

void PromSet::VerDsp()
{
    const ParameterRecord &rec = ctx_.state.ParamRecord;
    if (leadingNumber(rec.field(32)) != 0) {
        Label3->setText(rec.text(32));
        Label5->setText(DateDeCord(rec.field(33)));
        Label7->setText(rec.text(34));
        Label13->setText(DateDeCord(rec.field(31)));
    }
    ctx_.state.Is5600Series = SerialOf5600Series(rec);
}

void PromSet::DspData()
{
    fieldInput_->setFilling(true);
    const auto filled = qScopeGuard([this] { fieldInput_->setFilling(false); });
    ParameterRecord &rec = ctx_.state.ParamRecord;

    // 1. Tab 0 and 1 text boxes, the full scale whole.
    fullScale_->show();
    Text3->setText(rec.text(7));
    Text4->setText(rec.text(8));
    Text5->setText(rec.text(9));
    Text6->setText(rec.text(10));

    // 2.-3. Measurement mode (the full-scale unit went with its row).
    selectOption(Option1, digitIndex(rec.field(1)));

    // 4. Dynamic prediction.
    const QByteArray f13 = rec.field(13);
    if (f13.size() == 1 && f13[0] >= '0' && f13[0] <= '7') {
        Combo2->setCurrentIndex(f13[0] - '0');
        Combo2_Click();
    }

    // 5. Check boxes.
    Check1->setChecked(rec.field(11) == "1");
    Check2->setChecked(rec.field(12) == "1");

    // 6. What a type with fewer functions (the 527) does not have.
    if (const DeviceTypeInfo *type = deviceTypeInfo(ctx_.state.DeviceType)) {
        QWidget *restricted[] = {Text5, Text6, Check1, Check2, Option5[1], Option5[2],
                                 Label17, Label18};
        for (QWidget *w : restricted)
            w->setEnabled(!type->fewerFunctions);
        if (type->fewerFunctions && (rec.field(14) == "1" || rec.field(14) == "2"))
            rec.setField(14, "0");
    }

    // 7. Event-in function.
    const long long f14 = leadingNumber(rec.field(14));
    setOptionState(Option5, f14 >= 0 && f14 <= 5 ? int(f14) : -1);

    // 8. Its scale groups.
    const QByteArray fn = rec.field(14);
    if (fn.size() == 1 && fn[0] >= '0' && fn[0] <= '5')
        showEventScales(fn[0] - '0');

    // 9.-10. Event-in scales.
    upperScale_->show();
    lowerScale_->show();

    // 11.-12. Event out.
    selectOption(Option8, digitIndex(rec.field(25)));
    setValue_->show();
}

// ---------------------------------------------------------------- editing rules

void PromSet::textRule(QLineEdit *box, int f, int width)
{
    ctx_.state.ParamRecord.setField(f, zeroPattern(box->text(), width));
}

void PromSet::Text1_Change() { fullScale_->takeMantissa(); }
void PromSet::Text2_Change() { fullScale_->takeExponent(); }
void PromSet::Text3_Change() { textRule(Text3, 7, 2); }
void PromSet::Text4_Change() { textRule(Text4, 8, 5); }
void PromSet::Text5_Change() { textRule(Text5, 9, 3); }
void PromSet::Text6_Change() { textRule(Text6, 10, 2); }
void PromSet::Text7_Change() { upperScale_->takeMantissa(); }
void PromSet::Text8_Change() { upperScale_->takeExponent(); }
void PromSet::Text9_Change() { lowerScale_->takeMantissa(); }
void PromSet::Text10_Change() { lowerScale_->takeExponent(); }
void PromSet::Text11_Change() { setValue_->takeMantissa(); }
void PromSet::Text12_Change() { setValue_->takeExponent(); }

void PromSet::Combo1_Click() { fullScale_->takeSign(); }
void PromSet::Combo3_Click() { upperScale_->takeSign(); }
void PromSet::Combo4_Click() { lowerScale_->takeSign(); }
void PromSet::Combo5_Click() { setValue_->takeSign(); }

void PromSet::Combo2_Click()
{
    const int code = Combo2->currentIndex();
    if (code >= 0)
        ctx_.state.ParamRecord.setField(13, QByteArray::number(code));
}

void PromSet::checkRule(QCheckBox *box, int f)
{
    if (box->checkState() != Qt::PartiallyChecked)
        ctx_.state.ParamRecord.setField(f, box->isChecked() ? "1" : "0");
}

void PromSet::Check1_Click() { checkRule(Check1, 11); }
void PromSet::Check2_Click() { checkRule(Check2, 12); }

namespace {
// Option pair rule: "0" or "1", the option chosen, into field f.
void pairRule(ParameterRecord &rec, int f, int index)
{
    if (index == 0 || index == 1)
        rec.setField(f, QByteArray::number(index));
}
} // namespace

void PromSet::Option1_Click(int index) { pairRule(ctx_.state.ParamRecord, 1, index); }
void PromSet::Option2_Click(int index) { fullScale_->takeUnit(index); }
void PromSet::Option6_Click(int index) { upperScale_->takeUnit(index); }
void PromSet::Option7_Click(int index) { lowerScale_->takeUnit(index); }
void PromSet::Option8_Click(int index) { pairRule(ctx_.state.ParamRecord, 25, index); }
void PromSet::Option9_Click(int index) { setValue_->takeUnit(index); }

void PromSet::showEventScales(int function)
{
    // 0: the sub scale alone; 1-2: upper and lower scale; 3-5: no scale.
    if (function <= 2)
        upperScale_->setCaption(function == 0 ? tr("サブスケール") : tr("上限スケール"));
    EventDspUp(function <= 2);
    EventDspDown(function == 1 || function == 2);
}

void PromSet::Option5_Click(int index)
{
    if (index < 0 || index > 5)
        return;
    showEventScales(index);
    ctx_.state.ParamRecord.setField(14, QByteArray::number(index));
}

} // namespace qel
