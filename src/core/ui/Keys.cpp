#include "Keys.h"

#include <QAbstractButton>
#include <QAccessible>
#include <QAccessibleWidget>
#include <QComboBox>
#include <QKeyEvent>
#include <mutex>

namespace qel {

namespace {

class EnterPresses : public QObject {
public:
    explicit EnterPresses(QAbstractButton *button) : QObject(button), button_(button) {}
    bool eventFilter(QObject *, QEvent *e) override
    {
        if (e->type() != QEvent::KeyPress)
            return false;
        const auto *k = static_cast<const QKeyEvent *>(e);
        if ((k->key() != Qt::Key_Return && k->key() != Qt::Key_Enter)
            || (k->modifiers() & ~Qt::KeypadModifier))
            return false;
        if (!k->isAutoRepeat() && button_->isEnabled())
            button_->click();
        return true;
    }

private:
    QAbstractButton *button_;
};

// Qt names a list box on this platform by its current entry and leaves the
// caption to a label relation, which only the boxes with a label of their
// own have: the sign lists have none. Here the name is the caption the
// window gives the box, the entry its value.
class CaptionedComboBox : public QAccessibleWidget {
public:
    explicit CaptionedComboBox(QComboBox *box) : QAccessibleWidget(box, QAccessible::ComboBox) {}

    QString text(QAccessible::Text t) const override
    {
        const QComboBox *box = combo();
        if (t == QAccessible::Value || (t == QAccessible::Name && box->accessibleName().isEmpty()))
            return box->currentText();
        return QAccessibleWidget::text(t);
    }
    QStringList actionNames() const override
    {
        return QStringList{showMenuAction(), pressAction()} + QAccessibleWidget::actionNames();
    }
    void doAction(const QString &action) override
    {
        if (action == showMenuAction() || action == pressAction())
            combo()->showPopup();
        else
            QAccessibleWidget::doAction(action);
    }

private:
    QComboBox *combo() const { return static_cast<QComboBox *>(widget()); }
};

QAccessibleInterface *programAccessibles(const QString &className, QObject *object)
{
    if (className == QLatin1String("QComboBox"))
        return new CaptionedComboBox(static_cast<QComboBox *>(object));
    // The monitor is a window of its own, not a pane of another one.
    if (className == QLatin1String("qel::Monitor"))
        return new QAccessibleWidget(static_cast<QWidget *>(object), QAccessible::Window);
    return nullptr;
}

} // namespace

void pressOnEnter(std::initializer_list<QAbstractButton *> buttons)
{
    for (QAbstractButton *b : buttons)
        b->installEventFilter(new EnterPresses(b));
}

void installAccessibility()
{
    static std::once_flag once;
    std::call_once(once, [] { QAccessible::installFactory(programAccessibles); });
}

} // namespace qel
