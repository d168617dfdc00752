#pragma once
// What a program asks of the system it runs on, beyond files and ports:
// its arguments, its standard streams, where it lies. Each system's side is
// a file of its own (System_posix.cpp, System_windows.cpp).

#include <QString>
#include <QStringList>

#include <cstdio>

namespace qel {

// The program's arguments after its name, decoded without loss (Linux: the
// bytes the shell gave, decodeFileName; Windows: the wide command line).
QStringList commandArguments(int argc, char **argv);
// Called first in main: a reader that went away is a write that fails and
// is told, not the end of the process (Linux: SIGPIPE ignored); the standard
// streams carry the bytes as given (Windows: no CR added before LF).
void prepareProcess();
// The system's own texts (a file's or a port's error) in English from here
// on, whatever the locale (Linux: LC_MESSAGES; Windows asks for English texts
// by itself).
void useEnglishSystemTexts();
// Bytes to stdout or stderr, passed on at once; false when they did not all
// go. A console is written as text in its own characters (Windows), every
// other target as the bytes (UTF-8).
bool writeStd(FILE *to, const QByteArray &bytes);
// Whether the write to a standard stream that just failed found no reader
// (a closed pipe: Linux EPIPE, Windows a broken pipe).
bool lastWriteFoundNoReader();
// Ends the process as a closed pipe ends a program in a shell's pipeline:
// at once and quietly (Linux: by SIGPIPE, which the shell shows as 141;
// Windows: exit code 141).
[[noreturn]] void endAsClosedPipe();
// The folder of the running program, found without an application object.
QString programFolder();

} // namespace qel
