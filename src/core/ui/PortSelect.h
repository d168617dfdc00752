#pragma once
// "通信ポート設定": the choice of COM1..COM4. An option sets CommPortNo at
// once; OK stores the window position and the port and closes.
// Beside the options: the device each COM number leads to, the serial ports
// found on the machine (with their adapter names), and a path field, so a
// found port or any typed path can be given to the chosen COM number.

#include "core/Context.h"
#include "platform/PortList.h"

#include <QDialog>

class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QRadioButton;
class QPushButton;
class QTreeWidget;

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

    // The device paths and the found ports (optional: without them the
    // window shows the four options only).
    void setPorts(class PortMap *map, PortList *list);
    // Stores the path field's text as the device of the chosen COM number
    // ("DevicePath"/"COMn"; empty text: back to the default device).
    void Assign_Click();
    QLabel *PathLabel[4] = {};
    QTreeWidget *PortTable = nullptr;
    QLineEdit *PathEdit = nullptr;
    QPushButton *AssignButton = nullptr;
    QLabel *OverrideNote = nullptr;
    // With --port: checked, this run uses the chosen COM number's device
    // instead of the --port one (the checkbox's whole effect, at once).
    QCheckBox *UseChosenCom = nullptr;

    // Form_Load, then modal; true when closed by OK.
    bool run();

private:
    QRadioButton *option(int index) const;
    void refreshPorts();
    Context &ctx_;
    QWidget *main_;
    PortMap *map_ = nullptr;
    PortList *list_ = nullptr;
    QString runPort_; // the --port device of this run
};

} // namespace qel
