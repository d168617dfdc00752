#pragma once
// What the device history does beside keeping a new copy: each converter's
// folder holds settings.txt, the readable listing (`qelctl show`) of its
// latest copy; and a history folder that is a git repository gets a commit
// for every new copy, so that `git log -p` shows which settings changed
// when, and the plant's own git set-up can carry it to a central server.

#include "core/ParamRecord.h"

#include <QDateTime>
#include <QString>

namespace qel {

// A new copy of a converter's settings `rec` (a device of `deviceType`)
// was kept at `copy` in the folder `root/converter` ("5600-23456"), read at
// `when`. Rewrites that folder's settings.txt (whole or not at all); then,
// when `root` is the top of a git repository (it holds .git) and the git
// program is installed, adds the folder's new files and commits them alone,
// the message naming the converter and the time, as "qel-settings" where
// the repository has no identity of its own. Git runs only locally here
// (add, config, commit); concurrent keepers take turns. False with `error`
// when something was not done; the copy stands either way.
bool recordNewCopy(const QString &root, const QString &converter, const QString &copy,
                   const ParameterRecord &rec, int deviceType, const QDateTime &when,
                   QString &error);

} // namespace qel
