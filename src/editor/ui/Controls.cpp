#include "Controls.h"

#include "core/ui/Fonts.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>

namespace qel {

QLabel *namedLabel(QWidget *parent, const char *name, const QString &text)
{
    auto *l = new QLabel(text, parent);
    l->setObjectName(QString::fromLatin1(name));
    return l;
}

QLineEdit *textBox(const char *name, int width, const char *initial, std::function<void()> changed)
{
    auto *t = new QLineEdit(QString::fromLatin1(initial));
    t->setObjectName(QString::fromLatin1(name));
    t->setMaxLength(width);
    t->setAlignment(Qt::AlignRight);
    t->setFixedWidth(scaled(22 + 9 * width));
    QObject::connect(t, &QLineEdit::textChanged, t, [changed = std::move(changed)] { changed(); });
    return t;
}

QComboBox *signList(const char *name, std::function<void()> clicked)
{
    auto *c = new QComboBox;
    c->setObjectName(QString::fromLatin1(name));
    c->addItems({QStringLiteral("+"), QStringLiteral("-")});
    c->setFixedWidth(scaled(48));
    QObject::connect(c, &QComboBox::activated, c, [clicked = std::move(clicked)] { clicked(); });
    return c;
}

void selectSign(QComboBox *list, const std::function<void()> &clicked, const QByteArray &sign)
{
    const int index = sign == "+" ? 0 : sign == "-" ? 1 : -1;
    if (index < 0) {
        // Neither sign: the list shows nothing and the record keeps its text.
        list->setCurrentIndex(-1);
        return;
    }
    list->setCurrentIndex(index);
    clicked();
}

} // namespace qel
