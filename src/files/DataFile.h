#pragma once
// The settings data file (".pdt"): exactly the 74 bytes of the record, no
// header, no line end.

#include "core/ParamRecord.h"

#include <QString>

namespace qel {

// Why a settings file could not be read or written, told as the program's
// message (in its language) or as one English line for qelctl.
struct FileProblem {
    enum Cause { None, Missing, Unreadable, Folder, NotRegular, TooShort, ShortRead, Unwritable,
                 FolderInTheWay, NotRegularTarget };
    Cause cause = None;
    QString path;
    QString why;     // Unreadable, Unwritable: the system's reason
    qint64 size = 0; // TooShort: the file's size; ShortRead: the bytes read

    bool ok() const { return cause == None; }
    // "PATH: cause", in English.
    QString text() const;
    // The program's message: Japanese, or its translation.
    QString message() const;
};

// Reads the first 74 bytes of `path` into `rec`. A missing, unreadable or
// short file is refused with the reason in `problem`, and `rec` is untouched.
bool loadDataFile(const QString &path, ParameterRecord &rec, FileProblem &problem);
// The same with the program's message.
bool loadDataFile(const QString &path, ParameterRecord &rec, QString &error);

// Writes the record as the first 74 bytes of `path`. A longer existing file
// keeps its bytes from the 75th on. The file is replaced atomically; on any
// failure (a full disk included) `problem` says why and the old file stays
// byte for byte as it was.
bool saveDataFile(const QString &path, const ParameterRecord &rec, FileProblem &problem);
bool saveDataFile(const QString &path, const ParameterRecord &rec, QString &error);

} // namespace qel
