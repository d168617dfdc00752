// libFuzzer target: arbitrary bytes as a settings data file, through the
// loader, the save that keeps a longer file's tail, the `show` listing (text
// and JSON) and the printed settings list on a printer that only checks.
//
// Every input must leave these true (abort otherwise):
// - the loader takes a file of 74 bytes or more, reads exactly its first 74
//   bytes, and refuses a shorter one without touching the record;
// - saving the record over the file keeps the file's bytes from the 75th on,
//   and loading it again gives the same record;
// - the JSON listing is one valid object whose 34 fields are the record's;
// - the printout ends the document exactly once, and stops at once when the
//   printer fails part-way.
#include "core/AppState.h"
#include "files/DataFile.h"
#include "files/FileCommands.h"
#include "files/SettingsListing.h"

#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

using namespace qel;

namespace {

[[noreturn]] void fail(const char *what)
{
    std::fprintf(stderr, "invariant broken: %s\n", what);
    std::abort();
}

#define CHECK(cond)                                                                                \
    do {                                                                                           \
        if (!(cond))                                                                               \
            fail(#cond);                                                                           \
    } while (0)

// Counts what the page does; fails once `failAfter` operations were made.
class CheckingPrinter : public Printer {
public:
    void setFont(const QString &name, int size) override
    {
        step();
        CHECK(!name.isEmpty() && size > 0);
    }
    void print(const QString &text, bool lineBreak) override
    {
        step();
        chars += text.size();
        if (lineBreak)
            ++lines;
    }
    void newLine() override
    {
        step();
        ++lines;
    }
    void endDoc() override
    {
        step();
        ++ended;
    }
    bool ok() const override { return failAfter < 0 || ops < failAfter; }

    int ops = 0, lines = 0, ended = 0, failAfter = -1;
    qsizetype chars = 0;

private:
    void step()
    {
        // Nothing may be drawn once the printer has failed.
        CHECK(ok());
        ++ops;
    }
};

void writeFile(const QString &path, const QByteArray &data)
{
    QFile f(path);
    CHECK(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    CHECK(f.write(data) == data.size());
}

QByteArray readFile(const QString &path)
{
    QFile f(path);
    CHECK(f.open(QIODevice::ReadOnly));
    return f.readAll();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    // On a memory file system when there is one: every save ends in a sync.
    static QTemporaryDir dir(QFileInfo(QStringLiteral("/dev/shm")).isWritable()
                                 ? QStringLiteral("/dev/shm/qel-fuzz-XXXXXX")
                                 : QString());
    static const QString path = dir.filePath(QStringLiteral("in.pdt"));
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    writeFile(path, bytes);

    // Load.
    ParameterRecord rec;
    rec.setField(32, "54321");
    const ParameterRecord before = rec;
    QString error;
    const bool loaded = loadDataFile(path, rec, error);
    if (bytes.size() < ParameterRecord::Size) {
        CHECK(!loaded && !error.isEmpty() && rec == before);
        rec.setBytes(bytes); // still explain and print what there is
    } else {
        CHECK(loaded && rec.bytes() == bytes.left(ParameterRecord::Size));

        // Save over the same file: the tail stays, the record comes back.
        ParameterRecord other;
        other.setBytes(QByteArray(bytes.mid(7) + bytes.left(7)));
        CHECK(saveDataFile(path, other, error));
        const QByteArray saved = readFile(path);
        CHECK(saved.size() == bytes.size());
        CHECK(saved.left(ParameterRecord::Size) == other.bytes());
        CHECK(saved.mid(ParameterRecord::Size) == bytes.mid(ParameterRecord::Size));
        ParameterRecord again;
        CHECK(loadDataFile(path, again, error) && again == other);
    }

    const int types[] = {TypeNone, Type521, Type5600, Type527,
                         size ? int(int8_t(data[size - 1])) : 2};
    for (const int type : types) {
        // The listing.
        const QString text = settingsListingText(rec, type);
        CHECK(text.count(QLatin1Char('\n')) == 18 + 5);
        QJsonParseError pe;
        const QJsonDocument doc = QJsonDocument::fromJson(settingsListingJson(rec, type), &pe);
        CHECK(pe.error == QJsonParseError::NoError && doc.isObject());
        const QJsonObject fields = doc.object().value(QStringLiteral("fields")).toObject();
        CHECK(fields.size() == ParameterRecord::FieldCount);
        for (int f = 1; f <= ParameterRecord::FieldCount; ++f)
            CHECK(fields.value(QStringLiteral("F%1").arg(f)).toString() == rec.text(f));
        CHECK(doc.object().value(QStringLiteral("settings")).toObject().size() == 18);

        // The printout, whole and then failing part-way.
        AppState st;
        st.ParamRecord = rec;
        st.DeviceType = type;
        st.Is5600Series = leadingNumber(rec.field(32)) > 20000;
        CheckingPrinter whole;
        FileCommands::DataPrintOut(whole, st);
        CHECK(whole.ended == 1);
        // 49 lines with every value present and both event-in scales; each
        // missing value merges its line into the next.
        CHECK(whole.lines >= 36 && whole.lines <= 49);
        CHECK(st.ParamRecord == rec);

        CheckingPrinter broken;
        broken.failAfter = size ? int(data[0]) % (whole.ops + 1) : 0;
        FileCommands::DataPrintOut(broken, st);
        CHECK(broken.ops == broken.failAfter);
        CHECK(broken.ended == (broken.failAfter == whole.ops ? 1 : 0));
    }
    return 0;
}
