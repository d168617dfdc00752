#include "Controls.h"

#include "core/ui/Fonts.h"

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

} // namespace qel
