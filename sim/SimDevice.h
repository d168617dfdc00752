#pragma once
// The simulated converter: the device side of both generations (5600 at 9600
// baud, 521/527 at 1200 baud) as a pure protocol state machine. Bytes go in
// with the host's line speed; timed reply chunks come out. The same core
// serves the in-process tests (SimPort) and the qel-sim program on a pty.

#include "core/ParamRecord.h"

#include <QByteArray>
#include <QList>

#include <memory>

namespace qel::sim {

struct SimReply {
    int delayMs = 0;   // after the command's last byte (or after the previous chunk)
    QByteArray bytes;
    bool dropLine = false; // instead of bytes: the line drops here (the driver cuts it)
};

// A scriptable fault for one command. `command` is the command as received
// without its CR ("RP02", "WP22", "M", "Q", "E", "R", "W", "Z", "P", "T", "U", "RV" ...);
// a write command matches by its first four characters ("WP22"), the 52X write by "W".
struct SimFault {
    enum Kind {
        Refuse,     // answer "?" + CR
        Wrong,      // answer `reply` (give it its own CR if wanted)
        Delay,      // answer normally, `delayMs` later
        Silence,    // no answer at all
        Chunks,     // answer normally, cut into `chunks` pieces `delayMs` apart
        NoCR,       // answer normally without the final CR
        Drop,       // the line drops as the command comes: it never reaches the
                    // device and nothing answers (a pulled cable, a lost session)
    };
    QByteArray command;
    Kind kind = Refuse;
    int count = 1;        // how many times it applies; -1: always
    QByteArray reply = {};
    int delayMs = 0;
    int chunks = 2;
};

class SimDevice {
public:
    // type: 5600, 521 or 527.
    explicit SimDevice(int type = 5600);

    int type() const;              // present operation type: 5600, 521 or 527
    void setType(int type);
    int lineBaud() const;          // 9600 for 5600, 1200 for 521/527

    // Identity and settings. The device keeps its settings as record fields
    // F1..F30 and its identity as F31 (update code), F32 (serial),
    // F33 (creation code), F34 (version text "01.00").
    ParameterRecord &record();
    const ParameterRecord &record() const;
    void setSerial(int serial);
    void setVersion(const QByteArray &version); // "01.00"
    // The 64-character memory image a 52X hands over for "R".
    QByteArray memoryImage() const;
    void setMemoryImage(const QByteArray &image);

    // Monitor values: full-scale count ("P"), zero count ("U"), present count ("Q").
    void setMonitorCounts(int full, int zero, int present);

    void addFault(const SimFault &f);
    void clearFaults();
    // Answer only at this generation's speed (true, the default); bytes sent at
    // another speed are line noise to the device and get no answer.
    void setStrictSpeed(bool on);
    // Per-reply latency before the first character (default 1 ms).
    void setLatencyMs(int ms);

    // Bytes from the host, sent at hostBaud. Returns the reply chunks.
    QList<SimReply> receive(const QByteArray &bytes, int hostBaud);

    // Every complete command received (terminator included), in order.
    const QList<QByteArray> &commands() const;
    // Forgets the commands and the noise received so far.
    void clearLog();
    bool inSettingMode() const;

    // --- additions ---
    int serial() const;             // value of F32
    int latencyMs() const;
    // Optional line-speed pacing: every character costs 10 bit times at the
    // line speed (on reception of the command and on sending the reply).
    void setPacing(bool on);
    // Between "Z" and the closing "E" of a type change.
    bool inTypeChangeMode() const;
    // Bytes thrown away because they came at a speed the device does not
    // listen at, in order.
    const QByteArray &noise() const;

    // A stream the device sends on its own, whatever it is asked: line
    // garbage (random bytes, CR among them) or an endless text with no CR.
    // The line driver (SimPort, qel-sim) fetches a chunk every interval.
    enum class Stream { Off, Garbage, NoCR };
    void setStream(Stream s, int intervalMs = 10);
    Stream stream() const;
    int streamIntervalMs() const;
    QByteArray nextStreamChunk();

private:
    struct Impl;
    std::shared_ptr<Impl> d;
};

} // namespace qel::sim
