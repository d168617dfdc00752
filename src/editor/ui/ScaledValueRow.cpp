#include "ScaledValueRow.h"

#include "Controls.h"
#include "EditRules.h"
#include "core/ui/Fonts.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QLabel>
#include <QLineEdit>

namespace qel {

ScaledValueRow::ScaledValueRow(ParameterRecord &rec, int firstField, QGridLayout *grid, int row,
                               const Names &names, const QString &captionText, Handlers handlers)
    : rec_(rec), first_(firstField), handlers_(std::move(handlers))
{
    QWidget *parent = grid->parentWidget();
    caption = namedLabel(parent, names.caption, captionText);
    mantissa = textBox(names.mantissa, 5, "00001", handlers_.mantissaChange);
    e = namedLabel(parent, names.e, QStringLiteral("E"));
    // The "+"/"-" list; a user's choice calls the handler.
    sign = new QComboBox;
    sign->setObjectName(QString::fromLatin1(names.sign));
    sign->addItems({QStringLiteral("+"), QStringLiteral("-")});
    sign->setFixedWidth(scaled(48));
    QObject::connect(sign, &QComboBox::activated, sign,
                     [clicked = handlers_.signClick] { clicked(); });
    exponent = textBox(names.exponent, 1, "0", handlers_.exponentChange);
    frame = optionGroup(names.frame, QString(), names.unit, unit,
                        {QStringLiteral("Hz"), QStringLiteral("sec")}, handlers_.unitClick, 2);
    QWidget *columns[] = {caption, mantissa, e, sign, exponent, frame};
    for (int c = 0; c < 6; ++c)
        grid->addWidget(columns[c], row, c);

    caption->setBuddy(mantissa);
    setCaption(captionText);
}

void ScaledValueRow::setCaption(const QString &text)
{
    // A screen reader announces the boxes with the caption shown, the sign,
    // the exponent and the unit with that caption as well.
    caption->setText(text);
    mantissa->setAccessibleName(text);
    sign->setAccessibleName(QCoreApplication::translate("qel::PromSet", "%1 指数の符号").arg(text));
    exponent->setAccessibleName(QCoreApplication::translate("qel::PromSet", "%1 指数").arg(text));
    frame->setAccessibleName(QCoreApplication::translate("qel::PromSet", "%1 単位").arg(text));
}

void ScaledValueRow::takeMantissa()
{
    rec_.setField(first_, zeroPattern(mantissa->text(), 5));
}

void ScaledValueRow::takeSign()
{
    const QString t = sign->currentText();
    if (t == QLatin1String("+") || t == QLatin1String("-"))
        rec_.setField(first_ + 2, t);
}

void ScaledValueRow::takeExponent()
{
    rec_.setField(first_ + 3, zeroPattern(exponent->text(), 1));
}

void ScaledValueRow::takeUnit(int index)
{
    if (index == 0)
        rec_.setField(first_ + 4, "H");
    else if (index == 1)
        rec_.setField(first_ + 4, "S");
}

void ScaledValueRow::show()
{
    mantissa->setText(rec_.text(first_));
    // A sign that is neither: the list shows nothing and the record keeps its text.
    const QByteArray s = rec_.field(first_ + 2);
    sign->setCurrentIndex(s == "+" ? 0 : s == "-" ? 1 : -1);
    if (sign->currentIndex() >= 0)
        handlers_.signClick();
    exponent->setText(rec_.text(first_ + 3));
    const QByteArray u = rec_.field(first_ + 4);
    selectOption(unit, u == "H" ? 0 : u == "S" ? 1 : -1);
}

void ScaledValueRow::setVisible(bool visible)
{
    QWidget *all[] = {caption, e, mantissa, exponent, sign, frame};
    for (QWidget *w : all)
        w->setVisible(visible);
}

} // namespace qel
