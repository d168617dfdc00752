#include "HistoryGit.h"

#include "SettingsListing.h"
#include "platform/Folder.h"
#include "platform/SafeWrite.h"

#include <QEventLoop>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QSysInfo>
#include <QTimer>

namespace qel {

namespace {

// Git's own waits are short; these bound a hook or a hung repository.
constexpr int kGitMs = 60000;
constexpr int kTurnMs = 120000;

struct Git {
    QString program;
    QString root;
    QStringList options; // before the command: the identity where it lacks one

    // Runs `git COMMAND ARGS...` in the repository; true when it exited 0.
    // `out` gets its standard output, `error` its last line of error output.
    bool run(const QString &command, const QStringList &args, QString *out, QString &error) const
    {
        QProcess p;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        // The repository is the history folder whatever the caller's shell
        // says, the texts are parsed in English, and nothing may prompt.
        for (const char *v : {"GIT_DIR", "GIT_WORK_TREE", "GIT_INDEX_FILE", "GIT_PREFIX"})
            env.remove(QLatin1String(v));
        env.insert(QStringLiteral("LC_ALL"), QStringLiteral("C"));
        env.insert(QStringLiteral("GIT_TERMINAL_PROMPT"), QStringLiteral("0"));
        p.setProcessEnvironment(env);
        p.setWorkingDirectory(root);
        p.setStandardInputFile(QProcess::nullDevice());
        QEventLoop loop;
        QObject::connect(&p, &QProcess::finished, &loop, &QEventLoop::quit);
        QObject::connect(&p, &QProcess::errorOccurred, &loop, &QEventLoop::quit);
        QTimer::singleShot(kGitMs, &loop, &QEventLoop::quit);
        p.start(program, options + QStringList{command} + args);
        if (p.state() != QProcess::NotRunning)
            loop.exec();
        if (p.state() != QProcess::NotRunning) {
            p.kill();
            p.waitForFinished(1000);
            error = QStringLiteral("git %1 did not end within %2 s").arg(command).arg(kGitMs / 1000);
            return false;
        }
        if (out)
            *out = QString::fromUtf8(p.readAllStandardOutput());
        const QStringList said = QString::fromUtf8(p.readAllStandardError()).trimmed().split(u'\n');
        if (p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0)
            return true;
        error = QStringLiteral("git %1: %2")
                    .arg(command, p.error() == QProcess::FailedToStart ? p.errorString() : said.last());
        return false;
    }

    // `-c user.name=... -c user.email=...` for what the repository (its
    // own, the user's or the system's configuration, or the environment)
    // does not name.
    QStringList identity() const
    {
        QString config, ignored;
        run(QStringLiteral("config"), {QStringLiteral("--get-regexp"), QStringLiteral("^user\\.(name|email)$")},
            &config, ignored);
        QStringList args;
        const auto lacks = [&](const char *key, const char *variable) {
            return !config.contains(QLatin1String(key)) && qEnvironmentVariableIsEmpty(variable);
        };
        if (lacks("user.name ", "GIT_AUTHOR_NAME"))
            args << QStringLiteral("-c") << QStringLiteral("user.name=qel-settings");
        if (lacks("user.email ", "GIT_AUTHOR_EMAIL") && qEnvironmentVariableIsEmpty("EMAIL"))
            args << QStringLiteral("-c")
                 << QStringLiteral("user.email=qel-settings@%1").arg(QSysInfo::machineHostName());
        return args;
    }
};

// One keeper at a time commits (git's own index lock refuses a second one
// instead of waiting): a lock on the repository's .git (FolderLock), taken
// in turn while the event loop runs.
} // namespace

bool recordNewCopy(const QString &root, const QString &converter, const QString &copy,
                   const ParameterRecord &rec, int deviceType, const QDateTime &when,
                   QString &error)
{
    // The listing as it stands is left alone (no write, no new time stamp);
    // else it replaces whatever entry settings.txt is, a link included.
    const QString name = QStringLiteral("settings.txt");
    const QByteArray text = settingsListingText(rec, deviceType).toUtf8();
    Folder top, folder;
    if (!top.open(root, false, error) || !folder.open(top, converter, false, error))
        return false;
    QByteArray now;
    QString unread, written;
    folder.readFile(name, text.size() + 1, now, unread);
    if (now != text
        && !writeFileIn(folder, name, SafeWrite::Placing::Replace, text, written, error))
        return false;
    const QString gitPath = root + QStringLiteral("/.git");
    if (!QFileInfo::exists(gitPath))
        return true;
    Git git{QStandardPaths::findExecutable(QStringLiteral("git")), root, {}};
    if (git.program.isEmpty()) {
        error = QStringLiteral("%1 is a git repository, but git is not installed: nothing committed").arg(root);
        return false;
    }
    git.options = git.identity();
    FolderLock turn;
    if (!turn.take(gitPath, kTurnMs)) {
        error = QStringLiteral("%1: another program kept the repository busy: nothing committed").arg(root);
        return false;
    }
    const QString message = QStringLiteral("%1: settings as read %2\n\n%3\n")
                                .arg(converter,
                                     when.toOffsetFromUtc(when.offsetFromUtc()).toString(Qt::ISODate),
                                     QFileInfo(copy).fileName());
    // Only this converter's folder goes into the commit, whatever else is
    // staged. Nothing new there (the plant's .gitignore leaves the copies
    // out, and the listing is the same) is no commit and no fault.
    QString said;
    if (!git.run(QStringLiteral("add"), {QStringLiteral("--"), converter}, nullptr, error))
        return false;
    if (git.run(QStringLiteral("commit"),
                {QStringLiteral("-q"), QStringLiteral("-m"), message, QStringLiteral("--only"),
                 QStringLiteral("--"), converter},
                &said, error))
        return true;
    return said.contains(QLatin1String("nothing to commit"))
        || said.contains(QLatin1String("no changes added to commit"))
        || said.contains(QLatin1String("nothing added to commit"));
}

} // namespace qel
