#include "PortSelect.h"

#include "FormPosition.h"

#include <QGroupBox>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

namespace qel {

PortSelect::PortSelect(Context &ctx, QWidget *mainWindow)
    : QDialog(mainWindow), ctx_(ctx), main_(mainWindow)
{
    setObjectName(QStringLiteral("PortSelect"));
    setWindowTitle(QStringLiteral("通信ポート設定"));
    setFont(QFont(QStringLiteral("ＭＳ Ｐゴシック"), 9));

    Frame1 = new QGroupBox(QStringLiteral("通信ポート"), this);
    Frame1->setObjectName(QStringLiteral("Frame1"));
    auto *frameLayout = new QVBoxLayout(Frame1);
    const char *captions[] = {"ＣＯＭ１", "ＣＯＭ２", "ＣＯＭ３", "ＣＯＭ４"};
    QRadioButton **targets[] = {&Option1, &Option2, &Option3, &Option4};
    for (int i = 0; i < 4; ++i) {
        auto *b = new QRadioButton(QString::fromUtf8(captions[i]), Frame1);
        b->setObjectName(QStringLiteral("Option%1").arg(i + 1));
        frameLayout->addWidget(b);
        *targets[i] = b;
        connect(b, &QRadioButton::clicked, this, [this, i] { Option_Click(i + 1); });
    }
    Command1 = new QPushButton(QStringLiteral("了解　[&Y]"), this);
    Command1->setObjectName(QStringLiteral("Command1"));
    Command1->setDefault(true);
    connect(Command1, &QPushButton::clicked, this, &PortSelect::Command1_Click);

    auto *all = new QVBoxLayout(this);
    all->addWidget(Frame1);
    all->addWidget(Command1, 0, Qt::AlignHCenter);
    setFixedSize(sizeHint().expandedTo(QSize(200, 0)));
}

QRadioButton *PortSelect::option(int index) const
{
    switch (index) {
    case 1: return Option1;
    case 2: return Option2;
    case 3: return Option3;
    case 4: return Option4;
    default: return nullptr;
    }
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
        // One option on, the others off.
        for (int i = 1; i <= 4; ++i) {
            option(i)->setAutoExclusive(false);
            option(i)->setChecked(i == n);
            option(i)->setAutoExclusive(true);
        }
        chosen->setFocus();
    }
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
