#include "QtHelpViewer.h"

#include <QCollator>
#include <QCoreApplication>
#include <QLocale>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QRegularExpression>
#include <QTextBrowser>
#include <QTextDocument>
#include <QUrl>
#include <QVBoxLayout>
#include <algorithm>

namespace qel {

QtHelpViewer::QtHelpViewer(const QString &baseDir) : QWidget(nullptr), baseDir_(baseDir)
{
    setObjectName(QStringLiteral("HelpViewer"));
    setWindowTitle(tr("ヘルプ"));
    resize(760, 560);

    auto *searchPane = new QWidget(this);
    auto *side = new QVBoxLayout(searchPane);
    side->setContentsMargins(0, 0, 0, 0);
    auto *searchCaption = new QLabel(tr("キーワード:"), searchPane);
    side->addWidget(searchCaption);
    search_ = new QLineEdit(searchPane);
    search_->setObjectName(QStringLiteral("SearchText"));
    searchCaption->setBuddy(search_);
    search_->setAccessibleName(searchCaption->text());
    side->addWidget(search_);
    list_ = new QListWidget(searchPane);
    list_->setObjectName(QStringLiteral("KeywordList"));
    list_->setAccessibleName(searchCaption->text());
    side->addWidget(list_);
    searchPane->setFixedWidth(220);

    auto *top = new QHBoxLayout;
    auto *homeButton = new QPushButton(tr("目次"), this);
    auto *backButton = new QPushButton(tr("戻る"), this);
    top->addWidget(homeButton);
    top->addWidget(backButton);
    top->addStretch();

    browser_ = new QTextBrowser(this);
    browser_->setOpenExternalLinks(false);
    auto *body = new QHBoxLayout;
    body->addWidget(searchPane);
    body->addWidget(browser_, 1);

    auto *all = new QVBoxLayout(this);
    all->addLayout(top);
    all->addLayout(body, 1);

    connect(homeButton, &QPushButton::clicked, browser_, &QTextBrowser::home);
    connect(backButton, &QPushButton::clicked, browser_, &QTextBrowser::backward);
    connect(search_, &QLineEdit::textChanged, this, &QtHelpViewer::filter);
    connect(search_, &QLineEdit::returnPressed, this, [this] { openKeyword(list_->currentRow()); });
    connect(list_, &QListWidget::itemActivated, this,
            [this](QListWidgetItem *it) { openKeyword(list_->row(it)); });
    connect(list_, &QListWidget::itemClicked, this,
            [this](QListWidgetItem *it) { openKeyword(list_->row(it)); });

    report = [this](const QString &text) {
        auto *box = new QMessageBox(QMessageBox::Warning, tr("ヘルプ"), text,
                                    QMessageBox::Ok, nullptr);
        box->setAttribute(Qt::WA_DeleteOnClose);
        box->show();
    };
}

QList<HelpKeyword> QtHelpViewer::keywordsOf(const QString &html)
{
    static const QRegularExpression re(
        QStringLiteral("<h[23][^>]*>\\s*<a\\s+name=\"([^\"]+)\"[^>]*>([^<]+)</a>"),
        QRegularExpression::CaseInsensitiveOption);
    QList<HelpKeyword> out;
    auto it = re.globalMatch(html);
    while (it.hasNext()) {
        const auto m = it.next();
        out.append({m.captured(2).trimmed(), m.captured(1)});
    }
    // In the order of the language's dictionary (kana in their own order,
    // half- and full-width forms together, case ignored), not by character code.
    QCollator collator{QLocale()};
    collator.setCaseSensitivity(Qt::CaseInsensitive);
    collator.setNumericMode(true);
    std::stable_sort(out.begin(), out.end(), [&collator](const HelpKeyword &a, const HelpKeyword &b) {
        return collator.compare(a.text, b.text) < 0;
    });
    return out;
}

bool QtHelpViewer::load(const QString &helpFile)
{
    const QString dir = baseDir_.isEmpty() ? QCoreApplication::applicationDirPath() : baseDir_;
    auto locate = [&](const QString &name) {
        QString found = QDir(dir).absoluteFilePath(name);
        // Installed, the help file lives in the shared data folder of the program.
        if (baseDir_.isEmpty() && !QFile::exists(found)) {
            const QString shared = QDir(dir).absoluteFilePath(QStringLiteral("../share/qel-settings/") + name);
            if (QFile::exists(shared))
                found = QDir::cleanPath(shared);
        }
        return found;
    };
    QString path = locate(helpFile);
    // In English the help comes from the English file beside it (name_en.hlp).
    if (english) {
        const QFileInfo named(helpFile);
        const QString inEnglish = locate(named.completeBaseName() + QStringLiteral("_en.") + named.suffix());
        if (QFile::exists(inEnglish))
            path = inEnglish;
    }
    if (path == loaded_ && QFile::exists(path))
        return true;
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) {
        lastError_ = tr("ヘルプファイル %1 を開けません。").arg(QDir::toNativeSeparators(path));
        if (report)
            report(lastError_);
        return false;
    }
    const QString html = QString::fromUtf8(f.readAll());
    lastError_.clear();
    loaded_ = path;
    keywords_ = keywordsOf(html);
    // The file's name need not end in .html: set the text as HTML directly
    // and keep the file's folder for relative links and pictures.
    browser_->setSearchPaths({QFileInfo(path).absolutePath()});
    browser_->setHtml(html);
    browser_->document()->setMetaInformation(QTextDocument::DocumentUrl,
                                             QUrl::fromLocalFile(path).toString());
    filter(search_->text());
    return true;
}

void QtHelpViewer::filter(const QString &text)
{
    list_->clear();
    for (const auto &k : keywords_) {
        if (text.isEmpty() || k.text.contains(text, Qt::CaseInsensitive)) {
            auto *item = new QListWidgetItem(k.text, list_);
            item->setData(Qt::UserRole, k.anchor);
        }
    }
    if (list_->count() > 0)
        list_->setCurrentRow(0);
}

void QtHelpViewer::openKeyword(int row)
{
    if (row < 0 || row >= list_->count())
        return;
    browser_->scrollToAnchor(list_->item(row)->data(Qt::UserRole).toString());
}

void QtHelpViewer::contents(const QString &helpFile)
{
    if (!load(helpFile))
        return;
    browser_->scrollToAnchor(QStringLiteral("contents"));
    show();
    raise();
    activateWindow();
}

void QtHelpViewer::partialKey(const QString &helpFile, const QString &key)
{
    if (!load(helpFile))
        return;
    search_->setText(key);
    filter(key);
    show();
    raise();
    activateWindow();
    search_->setFocus();
}

void QtHelpViewer::quit(const QString &)
{
    hide();
}

void QtHelpViewer::keyPressEvent(QKeyEvent *e)
{
    // Escape closes the help, as it closes a dialog.
    if (e->key() == Qt::Key_Escape && e->modifiers() == Qt::NoModifier) {
        hide();
        return;
    }
    QWidget::keyPressEvent(e);
}

} // namespace qel
