#pragma once
// "バージョン情報": the program's name and version.

#include <QDialog>

class QLabel;
class QPushButton;

namespace qel {

// major + minor / 100 as a single-precision number, formatted "##.##": the
// integer digits without leading zeros, always the point, up to two decimals
// without trailing zeros (1, 9 -> "1.09"; 1, 10 -> "1.1"; 2, 0 -> "2.").
QString versionPattern(int major, int minor);
// "Version " + versionPattern of the program's own version.
QString versionCaption();

class VersionNo : public QDialog {
    Q_OBJECT
public:
    explicit VersionNo(QWidget *mainWindow = nullptr);
    void Form_Load();
    void Command1_Click();

    QLabel *Label1;
    QLabel *Label4;
    QLabel *Label3;
    QLabel *Label2;
    QPushButton *Command1;

private:
    QWidget *main_;
};

} // namespace qel
