#include "VersionNo.h"

#include "Fonts.h"
#include "FormPosition.h"
#include "core/Settings.h"

#include <QLabel>
#include <QPushButton>
#include <algorithm>
#include <cmath>

namespace qel {

QString versionPattern(int major, int minor)
{
    const float v = float(major) + float(minor) / 100.0f;
    const double rounded = std::round(double(v) * 100.0) / 100.0;
    QString text = QString::number(std::fabs(rounded), 'f', 2);
    QString intPart = text.section(QLatin1Char('.'), 0, 0);
    QString decimals = text.section(QLatin1Char('.'), 1, 1);
    if (intPart == QLatin1String("0"))
        intPart.clear();
    while (decimals.endsWith(QLatin1Char('0')))
        decimals.chop(1);
    return (rounded < 0 ? QStringLiteral("-") : QString()) + intPart + QLatin1Char('.') + decimals;
}

QString versionCaption()
{
    return QStringLiteral("Version ") + versionPattern(QEL_VERSION_MAJOR, QEL_VERSION_MINOR);
}

namespace {
// Controls are laid out in twips as the window was drawn.
QRect twips(int left, int top, int width, int height)
{
    return QRect(scaled(left / kTwipsPerPixel), scaled(top / kTwipsPerPixel),
                 scaled(width / kTwipsPerPixel), scaled(height / kTwipsPerPixel));
}
} // namespace

VersionNo::VersionNo(QWidget *mainWindow) : QDialog(mainWindow), main_(mainWindow)
{
    setObjectName(QStringLiteral("VersionNo"));
    const char *const title = QT_TR_NOOP("バージョン情報");
    setWindowTitle(tr(title));
    setWindowFlags(kFixedDialogFlags);
    const QFont pgothic = designFont(QStringLiteral("ＭＳ Ｐゴシック"), 9);
    const QFont gothic = designFont(QStringLiteral("ＭＳ ゴシック"), 9);

    auto label = [&](const char *name, const QString &text, const QFont &font, QRect r) {
        auto *l = new QLabel(text, this);
        l->setObjectName(QString::fromLatin1(name));
        l->setFont(font);
        l->setGeometry(r);
        return l;
    };
    Label1 = label("Label1", tr("ＱＥＬ－５６００設定プログラム"), pgothic,
                   twips(120, 120, 3015, 255));
    Label4 = label("Label4", tr("for Windows(32bit版)"), pgothic,
                   twips(120, 480, 3015, 255));
    Label3 = label("Label3", QStringLiteral("Version ##.##"), pgothic, twips(120, 840, 3015, 255));
    Label2 = label("Label2", QStringLiteral("QEL Instruments Co., Ltd."), gothic,
                   twips(120, 1200, 3015, 255));
    Command1 = new QPushButton(QStringLiteral("&OK"), this);
    Command1->setObjectName(QStringLiteral("Command1"));
    Command1->setFont(gothic);
    Command1->setGeometry(twips(1200, 1560, 855, 375));
    Command1->setDefault(true);
    connect(Command1, &QPushButton::clicked, this, &VersionNo::Command1_Click);

    // As drawn, unless the language's title or texts need more room: then
    // wider, the texts as wide as the window allows and the button kept in
    // the middle.
    QSize size = twips(0, 0, 3375, 2160).size();
    int wider = titleWiderThanDrawn(windowTitle(), QString::fromUtf8(title));
    for (QLabel *l : {Label1, Label4, Label2})
        wider = std::max(wider, l->sizeHint().width() - l->width());
    if (wider > 0) {
        size.rwidth() += wider;
        for (QLabel *l : {Label1, Label4, Label3, Label2})
            l->resize(l->width() + wider, l->height());
        Command1->move(Command1->x() + wider / 2, Command1->y());
    }
    setFixedSize(size);
}

void VersionNo::Form_Load()
{
    Label3->setText(versionCaption());
    centreOver(this, main_);
}

void VersionNo::Command1_Click()
{
    accept();
}

} // namespace qel
