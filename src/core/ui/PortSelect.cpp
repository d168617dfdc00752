#include "PortSelect.h"

#include "Fonts.h"
#include "FormPosition.h"
#include "platform/QtSerialPort.h"

#include <QCheckBox>
#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace qel {

PortSelect::PortSelect(Context &ctx, QWidget *mainWindow)
    : QDialog(mainWindow), ctx_(ctx), main_(mainWindow)
{
    setObjectName(QStringLiteral("PortSelect"));
    setWindowTitle(tr("通信ポート設定"));
    setWindowFlags(kFixedDialogFlags);
    setFont(designFont(QStringLiteral("ＭＳ Ｐゴシック"), 9));

    Frame1 = new QGroupBox(tr("通信ポート"), this);
    Frame1->setObjectName(QStringLiteral("Frame1"));
    auto *frameLayout = new QVBoxLayout(Frame1);
    const char *captions[] = {QT_TR_NOOP("ＣＯＭ１"), QT_TR_NOOP("ＣＯＭ２"), QT_TR_NOOP("ＣＯＭ３"),
                              QT_TR_NOOP("ＣＯＭ４")};
    QRadioButton **targets[] = {&Option1, &Option2, &Option3, &Option4};
    for (int i = 0; i < 4; ++i) {
        auto *b = new QRadioButton(tr(captions[i]), Frame1);
        b->setObjectName(QStringLiteral("Option%1").arg(i + 1));
        frameLayout->addWidget(b);
        *targets[i] = b;
        connect(b, &QRadioButton::clicked, this, [this, i] { Option_Click(i + 1); });
    }
    Command1 = new QPushButton(tr("了解　[&Y]"), this);
    Command1->setObjectName(QStringLiteral("Command1"));
    Command1->setDefault(true);
    connect(Command1, &QPushButton::clicked, this, &PortSelect::Command1_Click);

    auto *all = new QVBoxLayout(this);
    all->addWidget(Frame1);
    all->addWidget(Command1, 0, Qt::AlignHCenter);
    setFixedSize(sizeHint().expandedTo(QSize(scaled(200), 0)));
}

void PortSelect::setPorts(PortMap *map, PortList *list)
{
    if (PortTable || !map)
        return;
    map_ = map;
    list_ = list;

    // The device beside each option.
    auto *grid = new QGridLayout;
    auto *frameLayout = static_cast<QVBoxLayout *>(Frame1->layout());
    for (int i = 0; i < 4; ++i) {
        QRadioButton *b = option(i + 1);
        frameLayout->removeWidget(b);
        grid->addWidget(b, i, 0);
        PathLabel[i] = new QLabel(Frame1);
        PathLabel[i]->setObjectName(QStringLiteral("PathLabel%1").arg(i + 1));
        PathLabel[i]->setTextInteractionFlags(Qt::TextSelectableByMouse);
        PathLabel[i]->setFocusPolicy(Qt::NoFocus); // Tab goes from option to option
        grid->addWidget(PathLabel[i], i, 1);
    }
    grid->setColumnStretch(1, 1);
    frameLayout->addLayout(grid);

    auto *found = new QGroupBox(tr("見つかったポート"), this);
    found->setObjectName(QStringLiteral("FoundPorts"));
    auto *foundLayout = new QVBoxLayout(found);
    PortTable = new QTreeWidget(found);
    PortTable->setObjectName(QStringLiteral("PortTable"));
    PortTable->setRootIsDecorated(false);
    PortTable->setAccessibleName(found->title());
    // Two adapters differ at the end of their by-id names: a name too long
    // for its column keeps its beginning and its end (the whole in its tooltip).
    PortTable->setTextElideMode(Qt::ElideMiddle);
    // The long by-id link last, so the adapter's names stay in sight.
    PortTable->setHeaderLabels({tr("デバイス"), tr("説明"),
                                tr("メーカー"), tr("シリアル番号"),
                                tr("固定名 (by-id)")});
    PortTable->header()->setSectionResizeMode(QHeaderView::ResizeToContents);
    PortTable->setMinimumSize(560, 120);
    foundLayout->addWidget(PortTable);
    auto *pathRow = new QHBoxLayout;
    auto *pathCaption = new QLabel(tr("デバイスのパス:"), found);
    PathEdit = new QLineEdit(found);
    PathEdit->setObjectName(QStringLiteral("PathEdit"));
    pathCaption->setBuddy(PathEdit);
    AssignButton = new QPushButton(tr("選択中のＣＯＭに割り当て"), found);
    AssignButton->setObjectName(QStringLiteral("AssignButton"));
    pathRow->addWidget(pathCaption);
    pathRow->addWidget(PathEdit, 1);
    pathRow->addWidget(AssignButton);
    foundLayout->addLayout(pathRow);
    OverrideNote = new QLabel(found);
    OverrideNote->setObjectName(QStringLiteral("OverrideNote"));
    OverrideNote->setWordWrap(true);
    foundLayout->addWidget(OverrideNote);
    // With --port every COM number leads to the same device: the way out
    // when that device does not answer.
    UseChosenCom = new QCheckBox(tr("この実行でも --port ではなく選択中のＣＯＭを使う(&U)"), found);
    UseChosenCom->setObjectName(QStringLiteral("UseChosenCom"));
    foundLayout->addWidget(UseChosenCom);
    static_cast<QVBoxLayout *>(layout())->insertWidget(1, found);

    // Only a port the user picks (a click, the arrow keys, Space) fills the
    // path: the list taking the keyboard, which makes its first row the
    // current one, does not.
    auto offer = [this](QTreeWidgetItem *item) {
        if (item)
            PathEdit->setText(item->data(0, Qt::UserRole).toString());
    };
    connect(PortTable, &QTreeWidget::itemSelectionChanged, this,
            [this, offer] { offer(PortTable->selectedItems().value(0)); });
    connect(PortTable, &QTreeWidget::itemClicked, this, offer);
    connect(UseChosenCom, &QCheckBox::toggled, this, [this](bool on) {
        map_->setOverride(on ? QString() : runPort_);
    });
    connect(AssignButton, &QPushButton::clicked, this, &PortSelect::Assign_Click);

    // The window now grows with its table.
    setMinimumSize(0, 0);
    setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
    resize(sizeHint());
}

void PortSelect::refreshPorts()
{
    if (!PortTable)
        return;
    const QList<FoundPort> found = list_ ? list_->ports() : QList<FoundPort>{};
    auto isFound = [&](const QString &path) {
        const QString canonical = QFileInfo(path).canonicalFilePath();
        for (const FoundPort &p : found)
            if (p.path == path || p.byId == path
                || (!canonical.isEmpty() && QFileInfo(p.path).canonicalFilePath() == canonical))
                return true;
        return false;
    };

    PortTable->clear();
    for (const FoundPort &p : found) {
        auto *item = new QTreeWidgetItem(PortTable, {p.path, p.description, p.manufacturer,
                                                     p.serialNumber, p.byId});
        item->setData(0, Qt::UserRole, p.stableName());
        item->setToolTip(4, p.byId);
    }
    // A port assigned to a COM number but not there now (unplugged) stays
    // listed, so that plugging it back in finds the choice as it was.
    QStringList absent;
    for (int n = 1; n <= 4; ++n) {
        const QString path = map_->mappedPath(n);
        const bool present = isFound(path) || QFileInfo::exists(path);
        PathLabel[n - 1]->setText(present ? tr("→ %1").arg(path)
                                          : tr("→ %1 （未接続）").arg(path));
        if (!present && !absent.contains(path) && path != PortMap::defaultPath(n)) {
            absent << path;
            const bool byId = path.startsWith(QLatin1String("/dev/serial/"));
            auto *item = new QTreeWidgetItem(PortTable, {byId ? QString() : path,
                                                         tr("（未接続）"), QString(),
                                                         QString(), byId ? path : QString()});
            item->setData(0, Qt::UserRole, path);
            item->setToolTip(4, byId ? path : QString());
            for (int c = 0; c < item->columnCount(); ++c)
                item->setForeground(c, palette().brush(QPalette::Disabled, QPalette::Text));
        }
    }
    if (!map_->overridePath().isEmpty()) {
        runPort_ = map_->overridePath();
        OverrideNote->setText(tr("この実行では --port の %1 を使っています。"
                                 "選択中のＣＯＭに割り当てると次回からも使えます。")
                                  .arg(runPort_));
        PathEdit->setText(runPort_);
    } else if (!UseChosenCom->isChecked()) {
        OverrideNote->hide();
        UseChosenCom->hide();
    }
}

void PortSelect::Assign_Click()
{
    const int n = ctx_.state.CommPortNo;
    if (!map_ || !ctx_.platform.store || n < 1 || n > 4)
        return;
    ctx_.platform.store->save(QStringLiteral("QEL-5600"), QStringLiteral("DevicePath"),
                              QStringLiteral("COM%1").arg(n), PathEdit->text().trimmed());
    refreshPorts();
}

QRadioButton *PortSelect::option(int index) const
{
    QRadioButton *const options[] = {Option1, Option2, Option3, Option4};
    return index >= 1 && index <= 4 ? options[index - 1] : nullptr;
}

void PortSelect::Form_Load()
{
    CommPortSetting(ctx_, 1);
    RestoreWindowPos(ctx_, this);
    int n = ctx_.state.CommPortNo;
    if (n == 0 || n == 1) {
        ctx_.state.CommPortNo = 1;
        n = 1;
    }
    if (QRadioButton *chosen = option(n)) {
        chosen->setChecked(true); // the options exclude each other
        chosen->setFocus();
    }
    refreshPorts();
    centreOver(this, main_);
}

void PortSelect::Option_Click(int index)
{
    if (index >= 1 && index <= 4)
        ctx_.state.CommPortNo = index;
}

void PortSelect::Command1_Click()
{
    SaveWindowPos(ctx_, this);
    CommPortSetting(ctx_, 0);
    accept();
}

bool PortSelect::run()
{
    Form_Load();
    return exec() == QDialog::Accepted;
}

} // namespace qel
