#include "System.h"

#include "FileName.h"

#include <QFile>
#include <QFileInfo>

#include <clocale>
#include <cerrno>
#include <csignal>
#include <cstdlib>

namespace qel {

QStringList commandArguments(int argc, char **argv)
{
    QStringList args;
    for (int i = 1; i < argc; ++i)
        args << decodeFileName(QByteArray(argv[i]));
    return args;
}

void prepareProcess()
{
    std::signal(SIGPIPE, SIG_IGN);
}

void useEnglishSystemTexts()
{
    std::setlocale(LC_MESSAGES, "C");
}

bool writeStd(FILE *to, const QByteArray &bytes)
{
    return std::fwrite(bytes.constData(), 1, size_t(bytes.size()), to) == size_t(bytes.size())
        && std::fflush(to) == 0;
}

bool lastWriteFoundNoReader()
{
    return errno == EPIPE;
}

void endAsClosedPipe()
{
    std::fflush(stderr);
    std::signal(SIGPIPE, SIG_DFL);
    std::raise(SIGPIPE);
    std::_Exit(128 + SIGPIPE);
}

QString programFolder()
{
    return QFileInfo(QFile::symLinkTarget(QStringLiteral("/proc/self/exe"))).path();
}

} // namespace qel
