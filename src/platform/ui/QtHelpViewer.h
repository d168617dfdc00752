#pragma once
// The help viewer: a window of its own that shows the help file (HTML text)
// from the program's folder, with a contents page and a keyword search. The
// keywords are the headings of the file, each written as
//   <h2><a name="anchor">Keyword</a></h2>   (or h3).
// A help file that cannot be read is reported by the viewer itself; the
// caller never hears of it.

#include "platform/HelpViewer.h"

#include <QList>
#include <QWidget>
#include <functional>

class QTextBrowser;
class QLineEdit;
class QListWidget;

namespace qel {

struct HelpKeyword {
    QString text;
    QString anchor;
};

class QtHelpViewer : public QWidget, public HelpViewer {
    Q_OBJECT
public:
    // baseDir: the folder a relative help file name is taken from; empty: the
    // program's own folder.
    explicit QtHelpViewer(const QString &baseDir = QString());

    void contents(const QString &helpFile) override;
    void partialKey(const QString &helpFile, const QString &key) override;
    void quit(const QString &helpFile) override;

    // The help in English: the file's English version beside it (name_en.hlp)
    // where there is one. The program sets it with its language.
    bool english = false;
    // How the viewer tells that a file is missing; by default a modeless box.
    std::function<void(const QString &)> report;
    QString lastError() const { return lastError_; }

    // The keywords of an HTML help text, sorted.
    static QList<HelpKeyword> keywordsOf(const QString &html);

    QTextBrowser *browser() const { return browser_; }
    QLineEdit *searchEdit() const { return search_; }
    QListWidget *keywordList() const { return list_; }
    // Shows the keywords matching the search text and goes to the first.
    void filter(const QString &text);
    void openKeyword(int row);

protected:
    void keyPressEvent(QKeyEvent *e) override;

private:
    bool load(const QString &helpFile);

    QString baseDir_;
    QString loaded_;
    QString lastError_;
    QList<HelpKeyword> keywords_;
    QTextBrowser *browser_;
    QLineEdit *search_;
    QListWidget *list_;
};

} // namespace qel
