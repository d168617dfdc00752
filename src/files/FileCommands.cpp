#include "FileCommands.h"

#include "DataFile.h"
#include "core/Codes.h"
#include "core/SettingTable.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <algorithm>

namespace qel {

namespace {

const QString kLoadFilter = QStringLiteral("Data Files(*.pdt)|*.pdt|All Files(*.*)|*.*");
const QString kSaveFilter = QStringLiteral("5600 Files(*.pdt)|*.pdt|All Files(*.*)|*.*");

// The only folder separator: a backslash is a character of a file name.
int lastSeparator(const QString &s)
{
    return s.lastIndexOf(QLatin1Char('/'));
}

} // namespace

FileCommands::FileCommands(Context &ctx) : ctx_(ctx) {}

QString FileCommands::programFolder() const
{
    return programFolder_.isEmpty() ? QCoreApplication::applicationDirPath() : programFolder_;
}

void FileCommands::RestoreWorkDir()
{
    const QString folder = programFolder();
    if (!folder.isEmpty())
        QDir::setCurrent(folder);
}

void FileCommands::splitFileName(const QString &fullName, QString &fileTitle, QString &folder)
{
    const int sep = lastSeparator(fullName);
    fileTitle = fullName.mid(sep + 1);
    folder = sep < 0 ? QString() : fullName.left(sep);
}

QString FileCommands::joinFileName(const QString &folder, const QString &fileTitle)
{
    return folder + QLatin1Char('/') + fileTitle;
}

bool FileCommands::SelectDataFile(int mode, QString &fileName, QString &folder)
{
    AppState &st = ctx_.state;
    Dialogs *dialogs = ctx_.platform.dialogs;
    QString full;
    bool chosen = false;

    // Installed, the program's folder (/usr/bin) is no place to keep files:
    // both dialogs then start in the folder last used, else the home folder.
    const QString userStart = QFileInfo(programFolder()).isWritable() ? QString() : userFolder();

    if (dialogs && (mode == 0 || mode == 1)) {
        FileDialogRequest req;
        bool folderOk = true;
        if (mode == 0) {
            // The load dialog opens where the last loaded file was.
            if (!st.LastDataPath.isEmpty() && userStart.isEmpty())
                folderOk = QDir::setCurrent(st.LastDataPath);
            req.title = QCoreApplication::translate("qel::FileCommands", " ＱＥＬ－５６００データファイルの選択(読込)");
            req.filter = kLoadFilter;
            req.startFolder = userStart.isEmpty() ? st.LastDataPath : userStart;
            req.hideReadOnly = true;
            if (folderOk)
                chosen = dialogs->openFile(req, full);
        } else {
            req.title = QCoreApplication::translate("qel::FileCommands", " 保存ファイル名");
            req.filter = kSaveFilter;
            req.defaultExtension = QStringLiteral("PDT");
            req.confirmOverwrite = true;
            req.startFolder = userStart;
            chosen = dialogs->saveFile(req, full);
        }
        // A bare name is relative to the folder the dialog was showing.
        if (chosen && !full.isEmpty() && lastSeparator(full) < 0)
            full = QFileInfo(full).absoluteFilePath();
    }

    if (!chosen || full.isEmpty()) {
        st.LastDataPath.clear();
        RestoreWorkDir();
        return false;
    }
    splitFileName(full, fileName, folder);
    rememberFolder(mode, folder);
    RestoreWorkDir();
    return true;
}

void FileCommands::rememberFolder(int mode, const QString &folder)
{
    if (mode == 0)
        ctx_.state.LastDataPath = folder;
    if (!folder.isEmpty() && ctx_.platform.store)
        ctx_.platform.store->save(QStringLiteral("QEL-5600"), QStringLiteral("DataFile"),
                                  QStringLiteral("Folder"), folder);
}

QString FileCommands::userFolder() const
{
    QString stored;
    if (ctx_.platform.store
        && ctx_.platform.store->get(QStringLiteral("QEL-5600"), QStringLiteral("DataFile"),
                                    QStringLiteral("Folder"), stored)
        && !stored.isEmpty() && QFileInfo(stored).isDir())
        return stored;
    return QDir::homePath();
}

bool FileCommands::DataFileLoad()
{
    QString name, folder;
    if (!SelectDataFile(0, name, folder))
        return false;
    return loadChosen(joinFileName(folder, name));
}

bool FileCommands::DataFileLoad(const QString &path)
{
    QString name, folder;
    splitFileName(QFileInfo(path).absoluteFilePath(), name, folder);
    // A file that does not load leaves the stored folder as it was.
    if (!loadChosen(joinFileName(folder, name)))
        return false;
    rememberFolder(0, folder);
    return true;
}

bool FileCommands::loadChosen(const QString &path)
{
    QString error;
    // The loader touches the record only when all 74 bytes were read.
    if (!loadDataFile(path, ctx_.state.ParamRecord, error)) {
        ctx_.boxes().show(error, applicationTitle(), MsgIcon::Exclamation, MsgButtons::Ok);
        return false;
    }
    return true;
}

bool FileCommands::DataFileSave()
{
    QString name, folder;
    if (!SelectDataFile(1, name, folder))
        return false;
    QString error;
    if (!saveDataFile(joinFileName(folder, name), ctx_.state.ParamRecord, error)) {
        ctx_.boxes().show(error, applicationTitle(), MsgIcon::Exclamation, MsgButtons::Ok);
        return false;
    }
    return true;
}

void FileCommands::DataLprint(PrinterProvider &printers)
{
    Printer *lp = printers.selectPrinter();
    if (lp && lp->ok())
        DataPrintOut(*lp, ctx_.state);
    if (!lp || !lp->ok()) {
        // A file that could not be written is named, with the reason.
        const QString file = lp ? lp->fileError() : QString();
        const QString aborted = QCoreApplication::translate("qel::FileCommands", "印刷処理を中断します。");
        ctx_.boxes().show(file.isEmpty() ? aborted : aborted + QLatin1Char('\n') + file,
                          applicationTitle(), MsgIcon::None, MsgButtons::Ok);
    }
}

// ---------------------------------------------------------------------------
// The printed settings list.
//
// The printer is a flowing text page: every item is either followed by
// "stay on the line" or by a line break, and a step with no items moves to
// the next line. A style change of style 0 or 3 is such a step, so when a
// value was missing and its line is still open, that step only ends the line.

void FileCommands::LPSet(Printer &lp, int style)
{
    struct Style {
        const char *font;
        int size;
        bool newLine;
    };
    static const Style styles[] = {{"ＭＳ ゴシック", 10, true}, {"ＭＳ 明朝", 10, false},
                                   {"ＭＳ Ｐゴシック", 10, false}, {"ＭＳ ゴシック", 9, true}};
    if (style < 0 || style > 3)
        return;
    const Style &s = styles[style];
    lp.setFont(QString::fromUtf8(s.font), s.size);
    if (s.newLine && lp.ok()) // a failed printer takes nothing more
        lp.newLine();
}

namespace {

struct PrinterFault {};

// The labels of the setting lines (the settings' own in the table). In
// Japanese each is eleven full-width characters, so the values start in one
// column; another language's labels are padded with blanks to the longest of
// them and two blanks more.
const char *const kTypeLabel =
    QT_TRANSLATE_NOOP("qel::FileCommands", "　動作タイプ　　　　　");

QString translated(const char *source)
{
    return QCoreApplication::translate("qel::FileCommands", source);
}

// Columns of a text in the page's fixed-pitch font: two for a full-width
// character (kana, kanji, full-width forms, the ideographic blank, box
// drawing), one for any other.
int columns(const QString &text)
{
    int n = 0;
    for (const QChar c : text)
        n += c.unicode() >= 0x2500 && !(c.unicode() >= 0xFF61 && c.unicode() <= 0xFF9F) ? 2 : 1;
    return n;
}

// The column the values start in: that of the labels as translated, and at
// least two blanks after the longest label's text.
int valueColumn()
{
    QList<const char *> labels{kTypeLabel};
    for (const SettingDef &d : settingTable())
        labels << d.printLabel << d.dualPrintLabel;
    int column = 0;
    for (const char *source : labels) {
        if (!source)
            continue;
        QString label = translated(source);
        column = std::max(column, columns(label));
        while (!label.isEmpty() && label.back().isSpace())
            label.chop(1);
        column = std::max(column, columns(label) + 2);
    }
    return column;
}

// Wraps the printer so that the page stops at the first fault.
class Page {
public:
    explicit Page(Printer &lp) : lp_(lp) {}

    void style(int s)
    {
        FileCommands::LPSet(lp_, s);
        check();
    }
    void font(const QString &name, int size)
    {
        lp_.setFont(name, size);
        check();
    }
    void stay(const QString &text) { item(text, false); }
    void end(const QString &text) { item(text, true); }
    void item(const QString &text, bool lineBreak)
    {
        lp_.print(text, lineBreak);
        check();
    }
    void blank()
    {
        lp_.newLine();
        check();
    }
    // A value chosen by a field's character; nothing (and the line stays
    // open) when the character is none of those listed.
    void choice(const QByteArray &key, std::initializer_list<std::pair<const char *, QString>> map)
    {
        for (const auto &[k, text] : map) {
            if (key == k) {
                end(text);
                return;
            }
        }
    }
    // The same, from a table of the settings chosen from a list; the
    // prediction is printed "ＤＦ<code>　　<text>".
    void choice(const QByteArray &key, const QList<ChoiceText> &table)
    {
        if (const ChoiceText *c = choiceFor(table, key))
            end(&table == &predictionChoices()
                    ? QCoreApplication::translate("qel::FileCommands",
                                                  (QStringLiteral("ＤＦ") + QChar(0xFF10 + (key[0] - '0'))
                                                   + QStringLiteral("　　") + c->ja).toUtf8().constData())
                    : shownText(*c));
    }
    // A label as translated, padded to the column of the values.
    void labelText(const char *source)
    {
        const QString text = translated(source);
        stay(text + QString(std::max(0, valueColumn_ - columns(text)), QLatin1Char(' ')));
    }
    // A section title and its rule of `rule` characters after the Japanese
    // title: a title that takes more room gets a shorter rule, so that every
    // rule ends where the Japanese ones do.
    void titleLine(const char *source, int rule)
    {
        const QString title = translated(source);
        const int wider = columns(title) - columns(QString::fromUtf8(source));
        stay(title);
        end(QString(std::max(0, rule - (wider + 1) / 2), QChar(0x2500)));
    }
    void endDoc()
    {
        lp_.endDoc();
        check();
    }
    void check()
    {
        if (!lp_.ok())
            throw PrinterFault{};
    }

private:
    Printer &lp_;
    const int valueColumn_ = valueColumn();
};

// A setting's value items on its line: the field as stored, or the words
// its character stands for (nothing, the line left open, for any other);
// a scaled value as mantissa, the "E" text, sign and exponent digit, two
// blanks and its unit.
void printValue(Page &p, const SettingDef &d, const AppState &st)
{
    const ParameterRecord &r = st.ParamRecord;
    const QByteArray raw = r.field(d.field);
    switch (d.kind) {
    case SettingKind::Scaled:
        p.stay(r.text(d.field));
        p.stay(d.printE ? translated(d.printE) : QStringLiteral(" E"));
        p.stay(r.text(d.field + 2) + r.text(d.field + 3));
        p.stay(QStringLiteral("  "));
        p.choice(r.field(d.field + 4), {{"H", QStringLiteral("Hz")}, {"S", QStringLiteral("sec")}});
        break;
    case SettingKind::Percent:
        p.stay(r.text(d.field));
        p.end(QCoreApplication::translate("qel::FileCommands", "　％"));
        break;
    case SettingKind::UpdateTime:
        p.stay(r.text(d.field));
        p.stay(QStringLiteral("  "));
        if (const DeviceTypeInfo *type = deviceTypeInfo(st.DeviceType))
            p.end(type->timeUnitMs > 1 ? QCoreApplication::translate("qel::FileCommands", "× 10 ms")
                                       : QStringLiteral("ms"));
        break;
    case SettingKind::OnOff:
        p.choice(raw, {{"0", QStringLiteral("Off")}, {"1", QStringLiteral("On")}});
        break;
    case SettingKind::Choice:
    case SettingKind::Prediction:
        if (d.printTexts[0])
            p.choice(raw, {{"0", translated(d.printTexts[0])}, {"1", translated(d.printTexts[1])}});
        else
            p.choice(raw, d.choices());
        break;
    default:
        p.end(r.text(d.field));
    }
}

// The prediction lines as printed, for the translation file.
[[maybe_unused]] const char *const kPredictionLines[] = {
    QT_TRANSLATE_NOOP("qel::FileCommands", "ＤＦ０　　周期保持"),
    QT_TRANSLATE_NOOP("qel::FileCommands", "ＤＦ１　　連続予測"),
    QT_TRANSLATE_NOOP("qel::FileCommands", "ＤＦ２　　Low  ×8"),
    QT_TRANSLATE_NOOP("qel::FileCommands", "ＤＦ３　　MLow ×6"),
    QT_TRANSLATE_NOOP("qel::FileCommands", "ＤＦ４　　Mid  ×4"),
    QT_TRANSLATE_NOOP("qel::FileCommands", "ＤＦ５　　MHigh ×3"),
    QT_TRANSLATE_NOOP("qel::FileCommands", "ＤＦ６　　High  ×2"),
    QT_TRANSLATE_NOOP("qel::FileCommands", "ＤＦ７　　ExHigh ×1.5")};

} // namespace

void FileCommands::DataPrintOut(Printer &lp, const AppState &st)
{
    const ParameterRecord &r = st.ParamRecord;
    Page p(lp);
    try {
        p.check();
        // Heading and the identity line.
        p.blank();
        p.font(QStringLiteral("ＭＳ Ｐゴシック"), 12);
        p.stay(st.Is5600Series ? QCoreApplication::translate("qel::FileCommands", "  ＱＥＬ－５６００　設定データ一覧表  ")
                               : QCoreApplication::translate("qel::FileCommands", "  ＱＥＬ－５２００　設定データ一覧表  "));
        const std::pair<QString, QString> identity[] = {
            {QCoreApplication::translate("qel::FileCommands", "Serial № "), r.text(32)},
            {QStringLiteral("   Version "), r.text(34)},
            {QStringLiteral("   Create "), DateDeCord(r.field(33))},
            {QStringLiteral("   Up Date "), DateDeCord(r.field(31))}};
        for (int i = 0; i < 4; ++i) {
            p.style(2);
            p.stay(identity[i].first);
            p.style(1);
            p.item(identity[i].second, i == 3); // the last one ends the line
        }
        p.blank();

        // A setting line: blank line, label, then the value items in style 1.
        p.style(0);
        p.labelText(kTypeLabel);
        p.style(1);
        if (const DeviceTypeInfo *type = deviceTypeInfo(st.DeviceType))
            p.end(translated(type->printName));

        // The settings, section by section, from the fundamental functions on.
        const QByteArray f14 = r.field(14);
        const SettingSection *section = nullptr;
        bool scalesOpened = false;
        for (const SettingDef &d : settingTable()) {
            if (!d.section->printTitle)
                continue; // the identity, in the heading
            if (d.section != section) {
                if (section) {
                    p.blank();
                    p.style(3);
                } else {
                    p.style(3);
                    p.blank();
                }
                section = d.section;
                p.titleLine(section->printTitle, section->rule);
                p.blank();
            }
            // The event-in scales' style change is made whatever F14 holds:
            // without scale lines it leaves a blank line.
            const bool used = d.usedWith(f14);
            if (d.usedWhen && !scalesOpened) {
                scalesOpened = true;
                p.style(0);
            } else if (used) {
                p.style(0);
            }
            if (!used)
                continue;
            p.labelText(d.dualWith(f14) ? d.dualPrintLabel : d.printLabel);
            p.style(1);
            printValue(p, d, st);
        }

        p.endDoc();
    } catch (const PrinterFault &) {
        // The page stops here; DataLprint reports it.
    }
}

} // namespace qel
