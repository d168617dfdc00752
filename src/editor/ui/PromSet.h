#pragma once
// The main window: the settings screen with its four tabs, the identity of
// the connected device, the six command buttons, the status line and the
// menu bar. Every control carries its own name (as member and objectName).
//
// Filling a control raises the same handler as a user's edit, so the record
// always holds what the screen shows, numbers in their zero-padded form.

#include "ScaledValueRow.h"
#include "editor/SettingsCommands.h"
#include "files/FileCommands.h"
#include "jobs/Jobs.h"
#include "EditRules.h"

#include <QMainWindow>
#include <array>
#include <functional>
#include <memory>

class QAction;
class QCheckBox;
class QComboBox;
class QGridLayout;
class QGroupBox;
class QLabel;
class QLineEdit;
class QMenu;
class QPushButton;
class QRadioButton;
class QTabWidget;

namespace qel {

class Monitor;
class TypeChangeDialog;

class PromSet : public QMainWindow, public EditorView {
    Q_OBJECT
public:
    PromSet(Context &ctx, RsReadWrite &engine, TypeChange &typeChange, QWidget *parent = nullptr);
    ~PromSet() override;

    // --- start and end ---
    // Port from the store (the port window on a first run), stored position,
    // type detection, the 5600's identification, then the Read command.
    void Form_Load();
    void ProgEnd_Click();
    // The settings file the program was started with, loaded as the load
    // command loads a chosen one (after Form_Load's read, which it replaces).
    void loadStartFile(const QString &path);

    // --- EditorView ---
    void CommandButtun(bool ii) override;
    void setStatus(const QString &text) override;
    void VerDsp() override;
    void ModeTypeDsp() override;
    void DspData() override;
    void setUpdateLabel(const QString &text) override;

    void EventDspUp(bool sw);
    void EventDspDown(bool sw);

    // --- buttons ---
    void Command1_Click();
    void Command2_Click();
    void Command3_Click();
    void Command4_Click();
    void Command5_Click();
    void Command6_Click();

    // --- menus ---
    void DataFileLoad_Click();
    void DataFileSave_Click();
    void DataLprint_Click();
    void mnuPortSelect_Click();
    void mnuHContents_Click();
    void mnuHSearch_Click();
    void PVER_Click();

    // --- editing rules ---
    void Text1_Change();
    void Text2_Change();
    void Text3_Change();
    void Text4_Change();
    void Text5_Change();
    void Text6_Change();
    void Text7_Change();
    void Text8_Change();
    void Text9_Change();
    void Text10_Change();
    void Text11_Change();
    void Text12_Change();
    void Combo1_Click();
    void Combo2_Click();
    void Combo3_Click();
    void Combo4_Click();
    void Combo5_Click();
    void Check1_Click();
    void Check2_Click();
    void Option1_Click(int index);
    void Option2_Click(int index);
    void Option5_Click(int index);
    void Option6_Click(int index);
    void Option7_Click(int index);
    void Option8_Click(int index);
    void Option9_Click(int index);

    // --- what the window reaches (replaceable in tests) ---
    TypeChangeDialog *typeChangeDialog() const { return typeChangeDialog_; }
    Monitor *monitor() const { return monitor_.get(); }
    // Shows the type-change dialog modally.
    std::function<void()> showTypeChange;
    // Shows the version window modally.
    std::function<void()> showVersion;
    // Ends the program at once (after what the caller stored).
    std::function<void()> endProgram;
    // The printer selection of the print command; none: printing is unavailable.
    PrinterProvider *printers = nullptr;
    // The device history every read goes into, after its exchange, and that
    // undoes a write; none: nothing is kept.
    jobs::EditorHistory *history = nullptr;
    QString helpFile = QStringLiteral("qel-5600.hlp");

    // --- controls ---
    QMenu *FileIO;
    QAction *DataFileLoad;
    QAction *DataFileSave;
    QAction *MenuLine1;
    QAction *DataLprint;
    QAction *MenuLine2;
    QAction *ProgEnd;
    QMenu *MeuOption;
    QAction *mnuPortSelect;
    QMenu *help;
    QAction *mnuHContents;
    QAction *mnuHSearch;
    QAction *MenuLine3;
    QAction *PVER;

    QPushButton *Command1;
    QPushButton *Command2;
    QPushButton *Command3;
    QPushButton *Command5;
    QPushButton *Command6;
    QPushButton *Command4;

    QLabel *Label1;
    QLabel *Label2;
    QLabel *Label3;
    QLabel *Label4;
    QLabel *Label5;
    QLabel *Label6;
    QLabel *Label7;
    QLabel *Label12;
    QLabel *Label13;

    QTabWidget *SSTab1;

    // Tab 0 基本機能
    QGroupBox *Frame5;
    std::array<QRadioButton *, 2> Option1;
    QLabel *Label9;
    QLineEdit *Text1;
    QLabel *Label10;
    QComboBox *Combo1;
    QLineEdit *Text2;
    QGroupBox *Frame4;
    std::array<QRadioButton *, 2> Option2;
    QLabel *Label11;
    QLineEdit *Text3;
    QLabel *Label14;

    // Tab 1 付加機能
    QLabel *Label15;
    QLineEdit *Text4;
    QLabel *Label16;
    QLabel *Label17;
    QLineEdit *Text5;
    QLabel *Label18;
    QLineEdit *Text6;
    QLabel *Label21;
    QComboBox *Combo2;
    QCheckBox *Check1;
    QCheckBox *Check2;

    // Tab 2 イベントイン
    QGroupBox *Frame1;
    std::array<QRadioButton *, 6> Option5;
    QLabel *Label23;
    QLineEdit *Text7;
    QLabel *Label24;
    QComboBox *Combo3;
    QLineEdit *Text8;
    QGroupBox *Frame6;
    std::array<QRadioButton *, 2> Option6;
    QLabel *Label25;
    QLineEdit *Text9;
    QLabel *Label26;
    QComboBox *Combo4;
    QLineEdit *Text10;
    QGroupBox *Frame7;
    std::array<QRadioButton *, 2> Option7;

    // Tab 3 イベントアウト
    QGroupBox *Frame2;
    std::array<QRadioButton *, 2> Option8;
    QLabel *Label28;
    QLineEdit *Text11;
    QLabel *Label29;
    QComboBox *Combo5;
    QLineEdit *Text12;
    QGroupBox *Frame3;
    std::array<QRadioButton *, 2> Option9;

protected:
    void closeEvent(QCloseEvent *e) override;

private:
    void buildMenus();
    void describeInputs();
    void keyboardAccess();
    QWidget *buildTab0();
    QWidget *buildTab1();
    QWidget *buildTab2();
    QWidget *buildTab3();
    // A handler of this window as a control's callback.
    template <typename... Args>
    std::function<void(Args...)> call(void (PromSet::*handler)(Args...))
    {
        return [this, handler](Args... args) { (this->*handler)(args...); };
    }
    // A scaled-value row over the fields from `first`; the screen's members
    // for its controls are set from controls().
    std::unique_ptr<ScaledValueRow> scaledRow(QGridLayout *grid, int row, int first,
                                              const ScaledValueRow::Names &names,
                                              const QString &caption,
                                              ScaledValueRow::Handlers handlers);

    // Leaves `command` for the monitor while it is open; true when it did.
    bool leftForMonitor(Pending command);
    // The Read and Write buttons' work with the device history: a read kept
    // after its exchange (`later`: once the event loop runs again), a write's
    // undo marked in it.
    void readingIn(bool later);
    void writingOut();
    // The event-in scale rows of function 0-5 shown, the upper one captioned.
    void showEventScales(int function);
    // Text box rule: last `width` characters, zero pattern, into field f.
    void textRule(QLineEdit *box, int f, int width);
    // Check box rule: "1" checked, "0" unchecked into field f.
    void checkRule(QCheckBox *box, int f);
    void end(bool storeAll);

    Context &ctx_;
    RsReadWrite &engine_;
    TypeChange &typeChange_;
    std::unique_ptr<SettingsCommands> commands_;
    std::unique_ptr<FileCommands> files_;
    TypeChangeDialog *typeChangeDialog_;
    std::unique_ptr<Monitor> monitor_;
    // The four scaled values: full scale (F2-F6), event-in upper/sub scale
    // (F15-F19) and lower scale (F20-F24), event-out set value (F26-F30).
    std::unique_ptr<ScaledValueRow> fullScale_, upperScale_, lowerScale_, setValue_;
    bool ending_ = false;
    FieldTextValidator *fieldInput_ = nullptr; // shared by the twelve text boxes
};

} // namespace qel
