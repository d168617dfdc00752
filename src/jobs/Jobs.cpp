#include "Jobs.h"

#include "comm/Generation.h"
#include "comm/MemoryImage.h"
#include "editor/PartialWrite.h"
#include "editor/SettingsCommands.h"
#include "platform/Folder.h"
#include "platform/FileAccess.h"
#include "platform/SafeWrite.h"

#include <QRegularExpression>
#include <map>

namespace qel::jobs {

namespace {

QString trimmedField(const ParameterRecord &rec, int n)
{
    return QString::fromLatin1(rec.field(n).trimmed());
}

bool commandWent(const Session &s, const CommandOutcome &o)
{
    return !o.aborted && !s.ended() && o.transferred && o.result == CommResult::Ok;
}

// The write reached the converter: a setting taken, one whose reply never
// came, or all of them.
bool reachedConverter(const AppState &st)
{
    const WriteProgress &p = st.LastWrite;
    return (p.stop == WriteProgress::Done && p.total > 0) || p.stop == WriteProgress::ModeExit
        || stoppedPartWay(st);
}

// A backup file's name: TYPE-SERIAL-YYYYMMDD-HHMMSS.pdt, -2, -3 ... for a name taken.
const QRegularExpression &backupName()
{
    static const QRegularExpression re(
        QStringLiteral("^([0-9]+)-([0-9A-Za-z]+)-([0-9]{8}-[0-9]{6})(-[0-9]+)?\\.pdt$"));
    return re;
}

} // namespace

PortResult Detection::result() const
{
    PortResult r;
    r.port = port;
    r.type = type();
    if (!portProblem.ok())
        r.portProblem = portProblem.text();
    return r;
}

Detection detect(Session &s)
{
    Detection d;
    d.port = s.port;
    if (!s.claim(d.portProblem))
        return d;
    // TypeCheck alone: the 5600's identification read that follows it at
    // start-up fills only F31..F34, which a read overwrites and a write
    // takes from its file, so the jobs leave it off the line.
    const TypeCheckResult r = s.typeChange.TypeCheck();
    if (!r.aborted && !s.ended())
        d.found = r;
    return d;
}

ScanResult identify(Session &s)
{
    const Detection d = detect(s);
    ScanResult r;
    static_cast<PortResult &>(r) = d.result();
    // A 52X's detection has read its memory image; a 5600 is asked for its
    // identification (read commands only).
    if (d.answered() && d.found.generation->readIdentity(s.engine) == CommResult::Ok) {
        r.serial = trimmedField(s.ctx.state.ParamRecord, 32);
        r.version = trimmedField(s.ctx.state.ParamRecord, 34);
    }
    return r;
}

PortResult ReadOutcome::result() const
{
    PortResult r = detection.result();
    if (ok()) {
        r.type = typeText(deviceType);
        r.serial = serial();
    }
    return r;
}

ReadOutcome readSettings(Session &s)
{
    ReadOutcome r;
    r.detection = detect(s);
    if (!r.detection.portProblem.ok())
        return r;
    if (!r.detection.answered()) {
        r.status = ReadStatus::NoConverter;
        return r;
    }
    SettingsCommands commands(s.ctx, s.engine, s.typeChange);
    const CommandOutcome o = commands.ReadingIn();
    if (!commandWent(s, o)) {
        r.status = o.result == CommResult::NoAnswer ? ReadStatus::NoAnswer : ReadStatus::Incomplete;
        return r;
    }
    r.status = ReadStatus::Read;
    r.deviceType = s.ctx.state.DeviceType;
    r.record = s.ctx.state.ParamRecord;
    return r;
}

namespace {

KeepResult keepReading(Session &s, const Reading &reading)
{
    const KeepResult k = s.store.keep(reading);
    if (const QString warning = keepWarning(k); !warning.isEmpty())
        s.warn(warning);
    return k;
}

} // namespace

void keepRead(Session &s, ReadOutcome &read)
{
    if (read.ok())
        read.kept = keepReading(s, {read.deviceType, read.record, s.now()});
}

ReadOutcome readAndKeep(Session &s)
{
    ReadOutcome r = readSettings(s);
    keepRead(s, r);
    return r;
}

// ---------------------------------------------------------------- write and restore

bool WriteOutcome::written() const
{
    switch (status) {
    case WriteStatus::Written:
    case WriteStatus::Verified:
    case WriteStatus::ReadBackFailed:
    case WriteStatus::NotHeld:
        return true;
    default:
        return false;
    }
}

namespace {

// Once detection and the present read know the converter (its type and
// serial number as the history names them): the record to write; false
// when there is none (the outcome says why).
using Choose = std::function<bool(const QString &type, const QString &serial, WriteOutcome &out,
                                  ParameterRecord &record)>;

WriteOutcome runWrite(Session &s, WriteRequest request, const Choose &choose)
{
    WriteOutcome out;
    AppState &st = s.ctx.state;
    out.expectSerial = request.expectSerial;
    out.detection = detect(s);
    if (!out.detection.portProblem.ok())
        return out;
    const Generation *g = out.detection.found.generation;
    if (!g) {
        out.status = WriteStatus::NoConverter;
        return out;
    }

    // What the converter holds now: read before anything is written, to be
    // kept; without keeping, only its serial number when one is expected.
    const bool keep = s.store.keeps();
    if (keep) {
        // A 5600 is read in full (the commands of `read`); a 52X's image came with detection.
        ParameterRecord present;
        if (!g->presentSettings(s.engine, present) || s.ended()) {
            out.status = WriteStatus::PresentUnread;
            return out;
        }
        st.ParamRecord = present;
        st.DeviceType = out.detection.found.code;
    } else if (!request.expectSerial.isEmpty() && g->readIdentity(s.engine) != CommResult::Ok) {
        out.status = WriteStatus::SerialUnread;
        return out;
    }
    if (keep || !request.expectSerial.isEmpty())
        out.serial = trimmedField(st.ParamRecord, 32);
    if (!request.expectSerial.isEmpty() && !sameSerial(out.serial, request.expectSerial)) {
        out.status = WriteStatus::OtherSerial;
        return out;
    }
    if (choose && !choose(typeText(out.detection.found.code), historySerial(st.ParamRecord.field(32)), out,
                          request.record)) {
        out.status = WriteStatus::NoCopy;
        return out;
    }
    // Kept (or found unchanged in the history) before the first write command.
    if (keep) {
        const KeepResult k = keepReading(s, {st.DeviceType, st.ParamRecord, s.now()});
        if (!k.kept()) {
            out.status = WriteStatus::NotKept;
            return out;
        }
        out.kept = k.copy;
    }

    WriteUndo undo(s.store, out.kept, s.portArgument, s.warn);
    st.ParamRecord = request.record;
    undo.begin(st);
    SettingsCommands commands(s.ctx, s.engine, s.typeChange);
    const CommandOutcome o = commands.WritingOut();
    if (!commandWent(s, o)) {
        out.stopLines = undo.stopLines(st, false);
        if (out.stopLines.isEmpty())
            out.stopLines << (o.transferred ? QStringLiteral("the device did not accept the settings")
                                            : QStringLiteral("the converter did not answer \"Q\" any more; "
                                                             "nothing written"));
        out.status = WriteStatus::Stopped;
        return out;
    }
    undo.settle(st);
    out.status = WriteStatus::Written;
    if (!request.verify)
        return out;

    const ParameterRecord written = st.ParamRecord;
    const CommandOutcome back = commands.ReadingIn();
    if (!back.transferred || back.result != CommResult::Ok) {
        out.status = WriteStatus::ReadBackFailed;
        return out;
    }
    keepReading(s, {st.DeviceType, st.ParamRecord, s.now()});
    out.serial = trimmedField(st.ParamRecord, 32);
    out.notHeld = DeviceDifferences(written, st);
    out.differences = settingDifferences(written, st);
    out.status = out.notHeld.isEmpty() ? WriteStatus::Verified : WriteStatus::NotHeld;
    return out;
}

} // namespace

WriteOutcome writeWithUndo(Session &s, const WriteRequest &request)
{
    return runWrite(s, request, {});
}

WriteOutcome restore(Session &s, const QString &serial, const QString &at)
{
    WriteRequest request;
    request.verify = true;
    request.expectSerial = serial.trimmed();
    return runWrite(s, request,
                    [&](const QString &type, const QString &found, WriteOutcome &out, ParameterRecord &record) {
                        out.choice = s.store.choose(type, found, at);
                        return out.choice.found() && s.store.load(out.choice.copy, record, out.copyProblem);
                    });
}

WriteUndo::WriteUndo(DeviceStore &store, KeptCopy replaced, QString portArgument,
                     std::function<void(const QString &)> warn)
    : store_(store), replaced_(std::move(replaced)), portArgument_(std::move(portArgument)), warn_(std::move(warn))
{
}

void WriteUndo::begin(AppState &st)
{
    st.LastWrite = {};
}

void WriteUndo::settle(const AppState &st)
{
    if (marked_ || markFailed_ || replaced_.path.isEmpty() || !reachedConverter(st))
        return;
    QString error;
    marked_ = store_.markBeforeWrite(replaced_, error);
    markFailed_ = !marked_;
    if (markFailed_ && warn_)
        warn_(QStringLiteral("%1 holds the settings before this write, but: %2").arg(replaced_.path, error));
}

QStringList WriteUndo::stopLines(const AppState &st, bool program)
{
    settle(st);
    RestoreHint hint;
    if (!replaced_.path.isEmpty()) {
        // The copy every restore of this converter takes; the one kept
        // here where the store could not mark it.
        KeptCopy undo = replaced_;
        if (marked_) {
            const CopyChoice c = store_.choose(replaced_.type, replaced_.serial);
            if (c.found())
                undo = keptCopyOf(c.copy);
        }
        hint = restoreHint(undo, portArgument_);
    }
    return writeStopLines(st, hint, program);
}

EditorHistory::EditorHistory(DeviceStore &store, QString portArgument, std::function<void(const QString &)> warn)
    : store_(store), portArgument_(std::move(portArgument)), warn_(std::move(warn))
{
}

KeepResult EditorHistory::keep(const Reading &reading)
{
    const KeepResult k = store_.keep(reading);
    if (const QString warning = keepWarning(k); !warning.isEmpty() && warn_)
        warn_(warning);
    lastRead_ = k.kept() ? k.copy : KeptCopy();
    return k;
}

void EditorHistory::beginWrite(AppState &st)
{
    // What the write replaces: the last read, where it was of a converter
    // of the type written to.
    const bool same = !lastRead_.path.isEmpty() && lastRead_.type == typeText(st.DeviceType);
    write_.emplace(store_, same ? lastRead_ : KeptCopy(), portArgument_, warn_);
    write_->begin(st);
}

QString EditorHistory::stopNote(const AppState &st)
{
    return (write_ ? write_->stopLines(st, true) : writeStopLines(st, {}, true)).join(u'\n');
}

void EditorHistory::endWrite(const AppState &st)
{
    if (write_)
        write_->settle(st);
    write_.reset();
}

// ---------------------------------------------------------------- check and backup

CheckResult check(Session &s, const QString &approvedDir)
{
    ReadOutcome read = readSettings(s);
    CheckResult r;
    static_cast<PortResult &>(r) = read.detection.result();
    r.portProblem.clear(); // told when the port was claimed; the check says it in its own words
    if (read.status == ReadStatus::NotOpened)
        r.error = QStringLiteral("the port did not open");
    else if (read.status == ReadStatus::NoConverter)
        r.error = QStringLiteral("no converter answered");
    else if (!read.ok())
        r.error = QStringLiteral("the read did not complete");
    if (!read.ok())
        return r;
    keepRead(s, read);
    return compareWithApproved(approvedDir, s.ctx.state, r);
}

CheckResult compareWithApproved(const QString &approvedDir, const AppState &device, CheckResult r)
{
    const QString type = typeText(device.DeviceType), serial = historySerial(device.ParamRecord.field(32));
    r.type = type;
    r.serial = trimmedField(device.ParamRecord, 32);
    // The names looked for in turn: SERIAL.pdt, TYPE-SERIAL.pdt.
    const QStringList names{QStringLiteral("%1/%2.pdt").arg(approvedDir, serial),
                            QStringLiteral("%1/%2-%3.pdt").arg(approvedDir, type, serial)};
    const auto found = std::find_if(names.begin(), names.end(), [](const QString &path) {
        const FileState::Kind k = fileState(path).kind;
        return k != FileState::Missing && k != FileState::Unknown;
    });
    if (found == names.end()) {
        r.status = CheckStatus::NoApprovedFile;
        r.lookedFor = names;
        return r;
    }
    r.approved = *found;
    ParameterRecord approved;
    FileProblem problem;
    if (!loadDataFile(r.approved, approved, problem)) {
        r.status = CheckStatus::ApprovedFileError;
        r.error = problem.text();
        return r;
    }
    r.differences = settingDifferences(approved, device);
    r.status = r.differences.isEmpty() ? CheckStatus::Same : CheckStatus::Differs;
    return r;
}

bool backupState(const QString &path, AppState &device, FileProblem &problem)
{
    const QRegularExpressionMatch m = backupName().match(path.mid(path.lastIndexOf(u'/') + 1));
    const DeviceTypeInfo *type = m.hasMatch() ? deviceTypeNamed(m.captured(1)) : nullptr;
    if (!loadDataFile(path, device.ParamRecord, problem))
        return false;
    if (!type) {
        problem.cause = FileProblem::Unreadable;
        problem.path = path;
        problem.why = QStringLiteral("not a backup file (TYPE-SERIAL-YYYYMMDD-HHMMSS.pdt)");
        return false;
    }
    device.DeviceType = type->code;
    // A 52X holds a record as its image carries it.
    EncodeMemoryImage(device.ParamRecord, device.MemoryImage);
    return true;
}

BackupResult backup(Session &s, const QString &dir)
{
    ReadOutcome read = readSettings(s);
    BackupResult r;
    static_cast<PortResult &>(r) = read.detection.result();
    if (!read.detection.answered())
        return r;
    if (!read.ok()) {
        r.error = QStringLiteral("the read did not complete");
        return r;
    }
    // The type as read (the presence check may have found another).
    static_cast<PortResult &>(r) = read.result();
    // Its own file, under a name nothing else holds (two converters with
    // one serial number read in the same second take -2, -3 ...); the
    // history's copy after it.
    const QString name = QStringLiteral("%1-%2-%3.pdt")
                             .arg(r.type, historySerial(read.record.field(32)),
                                  s.now().toString(QStringLiteral("yyyyMMdd-HHmmss")));
    Folder folder;
    QString path, error;
    if (folder.open(dir, true, error)
        && writeFileIn(folder, name, SafeWrite::Placing::NewName, read.record.bytes(), path,
                       error))
        r.file = path;
    else
        r.fileError = error;
    keepRead(s, read);
    return r;
}

QStringList latestBackups(const QString &dir, QString &error)
{
    Folder folder;
    if (!folder.open(dir, false, error))
        return {};
    // converter -> its latest time -> the files of that time
    std::map<QString, std::pair<QString, QStringList>> latest;
    for (const Folder::Entry &e : folder.entries()) {
        const QRegularExpressionMatch m = backupName().match(e.name);
        if (e.isFolder || !m.hasMatch() || !deviceTypeNamed(m.captured(1)))
            continue;
        auto &[stamp, files] = latest[m.captured(1) + u'-' + m.captured(2)];
        if (m.captured(3) > stamp)
            files.clear(), stamp = m.captured(3);
        if (m.captured(3) == stamp)
            files << folder.filePath(e.name);
    }
    QStringList out;
    for (const auto &[converter, found] : latest)
        out << found.second;
    out.sort();
    return out;
}

} // namespace qel::jobs
