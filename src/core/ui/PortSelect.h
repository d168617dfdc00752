#pragma once
// "通信ポート設定": the choice of COM1..COM4. An option sets CommPortNo at
// once; OK stores the window position and the port and closes.

#include "core/Context.h"

#include <QDialog>

class QGroupBox;
class QRadioButton;
class QPushButton;

namespace qel {

class PortSelect : public QDialog {
    Q_OBJECT
public:
    // mainWindow: the window it opens centred over (may be null: the screen).
    PortSelect(Context &ctx, QWidget *mainWindow = nullptr);

    // Start: port from the store, stored position, preselection, centring.
    void Form_Load();
    void Option_Click(int index); // index 1..4
    void Command1_Click();

    QGroupBox *Frame1;
    QRadioButton *Option1;
    QRadioButton *Option2;
    QRadioButton *Option3;
    QRadioButton *Option4;
    QPushButton *Command1;

    // Form_Load, then modal; true when closed by OK.
    bool run();

private:
    QRadioButton *option(int index) const;
    Context &ctx_;
    QWidget *main_;
};

} // namespace qel
