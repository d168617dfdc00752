#pragma once
// The settings screen's control builders: every control named as the screen
// names it, its change going to the given handler.

#include <QGridLayout>
#include <QGroupBox>
#include <QRadioButton>
#include <QString>
#include <QStringList>
#include <array>
#include <functional>

class QLabel;
class QLineEdit;
class QWidget;

namespace qel {

QLabel *namedLabel(QWidget *parent, const char *name, const QString &text);
// A right-aligned box of `width` characters; every text change calls `changed`.
QLineEdit *textBox(const char *name, int width, const char *initial, std::function<void()> changed);

// Clears every option of a group but `on` (an auto-exclusive group refuses
// to have its checked button unchecked directly) and checks `on`, if any.
template <size_t N>
void setOptionState(std::array<QRadioButton *, N> &options, int on)
{
    for (size_t i = 0; i < N; ++i) {
        if (int(i) == on)
            continue;
        options[i]->setAutoExclusive(false);
        options[i]->setChecked(false);
        options[i]->setAutoExclusive(true);
    }
    if (on >= 0 && on < int(N))
        options[on]->setChecked(true);
}

// Selects an option of a group; an index outside it changes nothing.
template <size_t N>
void selectOption(std::array<QRadioButton *, N> &options, int index)
{
    if (index >= 0 && index < int(N))
        setOptionState(options, index);
}

// A frame of option buttons named OPTION_0, OPTION_1 ...; checking one
// calls `clicked` with its index.
template <size_t N>
QGroupBox *optionGroup(const char *frameName, const QString &caption, const char *optionName,
                       std::array<QRadioButton *, N> &options, const QStringList &captions,
                       std::function<void(int)> clicked, int columns = 1)
{
    auto *frame = new QGroupBox(caption);
    frame->setObjectName(QString::fromLatin1(frameName));
    auto *grid = new QGridLayout(frame);
    grid->setContentsMargins(8, caption.isEmpty() ? 4 : 8, 8, 4);
    for (size_t i = 0; i < N; ++i) {
        auto *b = new QRadioButton(captions.value(int(i)), frame);
        b->setObjectName(QStringLiteral("%1_%2").arg(QString::fromLatin1(optionName)).arg(i));
        grid->addWidget(b, int(i) / columns, int(i) % columns);
        options[i] = b;
        const int index = int(i);
        QObject::connect(b, &QRadioButton::toggled, b, [clicked, index](bool on) {
            if (on)
                clicked(index);
        });
    }
    return frame;
}

} // namespace qel
