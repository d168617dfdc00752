#include "Language.h"

#include <QCoreApplication>
#include <QDir>
#include <QLibraryInfo>
#include <QTranslator>
#include <memory>

namespace qel {

namespace {
std::unique_ptr<QTranslator> program;
std::unique_ptr<QTranslator> qtOwn;

QStringList searchFolders(const QString &folder)
{
    if (!folder.isEmpty())
        return {folder};
    // Built: beside the program; installed: in the shared data folder.
    const QString dir = QCoreApplication::applicationDirPath();
    return {dir, QDir::cleanPath(dir + QStringLiteral("/../share/qel-settings/translations"))};
}
} // namespace

bool usesEnglish(const QLocale &locale)
{
    return locale.language() == QLocale::English;
}

bool installLanguage(const QLocale &locale, const QString &folder)
{
    removeLanguage();
    if (usesEnglish(locale)) {
        // Qt's own dialogs are in English without a translation.
        auto t = std::make_unique<QTranslator>();
        for (const QString &dir : searchFolders(folder)) {
            if (t->load(QString::fromLatin1(kEnglishTranslation), dir)) {
                QCoreApplication::installTranslator(t.get());
                program = std::move(t);
                return true;
            }
        }
        return false;
    }
    // The program speaks Japanese: so do Qt's file, printer and message
    // dialogs (when Qt's translations are installed; otherwise they stay in
    // English).
    auto t = std::make_unique<QTranslator>();
    if (t->load(QLocale(QLocale::Japanese, QLocale::Japan), QStringLiteral("qtbase"),
                QStringLiteral("_"), QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        QCoreApplication::installTranslator(t.get());
        qtOwn = std::move(t);
    }
    return true;
}

void removeLanguage()
{
    for (std::unique_ptr<QTranslator> *t : {&program, &qtOwn}) {
        if (*t)
            QCoreApplication::removeTranslator(t->get());
        t->reset();
    }
}

bool englishInForce()
{
    return program != nullptr;
}

} // namespace qel
