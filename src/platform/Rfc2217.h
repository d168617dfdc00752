#pragma once
// The Telnet side of a network serial line (RFC 854/855/856/858 and the
// COM-PORT-OPTION of RFC 2217), as pure byte work with no socket: what the
// client sends to open the session and to set the line, and what it makes of
// the bytes the server sends (data with 0xFF undoubled, option negotiation
// answered, the server's COM-PORT answers recorded). Rfc2217Port moves the
// bytes over TCP.

#include <QByteArray>
#include <QString>
#include <array>
#include <functional>
#include <optional>

namespace qel::rfc2217 {

enum : unsigned char {
    IAC = 255, DONT = 254, DO = 253, WONT = 252, WILL = 251, SB = 250, SE = 240,
    OptBinary = 0, OptSuppressGoAhead = 3, OptComPort = 44,
};

// COM-PORT-OPTION commands, client to server; the server answers with the
// command + 100 and the value in force.
enum ComCommand : unsigned char {
    Signature = 0, SetBaudRate = 1, SetDataSize = 2, SetParity = 3, SetStopSize = 4,
    SetControl = 5, NotifyLineState = 6, NotifyModemState = 7,
    SetLineStateMask = 10, SetModemStateMask = 11, PurgeData = 12,
};
constexpr int kServerOffset = 100;

// SET-CONTROL values and PURGE-DATA values used here.
enum : unsigned char { ControlNoFlow = 1, ControlRtsOn = 11, ControlRtsOff = 12 };
enum : unsigned char { PurgeReceive = 1 };

// Parity codes: 1 none, 2 odd, 3 even, 4 mark, 5 space. Stop size: 1 one,
// 2 two, 3 one and a half.
struct LineSettings {
    quint32 baud = 9600;
    unsigned char dataSize = 8;
    unsigned char parity = 1;
    unsigned char stopSize = 1;
};
// "9600,N,8,1" (the serial control's settings text, case-insensitive);
// nullopt when a part is not understood.
std::optional<LineSettings> parseSettings(const QString &text);

// 0xFF doubled, for data and for sub-negotiation values alike.
QByteArray escape(const QByteArray &data);
// IAC verb option.
QByteArray negotiation(unsigned char verb, unsigned char option);
// IAC SB 44 command value IAC SE (value escaped).
QByteArray comPortCommand(unsigned char command, const QByteArray &value);
QByteArray baudValue(quint32 baud); // 4 bytes, network order
quint32 baudFromValue(const QByteArray &value);
// The Telnet commands in `bytes` in words, for the wire trace: "IAC WILL
// COM-PORT-OPTION; IAC SB COM-PORT-OPTION SET-BAUDRATE 9600 IAC SE".
QString describe(const QByteArray &bytes);

class Session {
public:
    // What waits to be read is held up to this many bytes; more, unread, is
    // dropped as a serial port's overrun drops it. A sub-negotiation longer
    // than kMaxSubNegotiation bytes is cut there (the answers here are a few
    // bytes; only a broken or hostile server sends more).
    static constexpr int kMaxData = 4096;
    static constexpr int kMaxSubNegotiation = 64;

    // Sent on connecting: BINARY and SUPPRESS-GO-AHEAD both ways, and the
    // offer of COM-PORT-OPTION.
    QByteArray greeting();

    // Takes bytes from the server (any split); returns what must go back
    // (answers to the server's own negotiation requests).
    QByteArray receive(const QByteArray &bytes);

    // Data from the serial line, 0xFF undoubled.
    int dataSize() const { return int(data_.size()); }
    QByteArray takeData();
    // Drops the data received so far; with untilPurgeAnswer, also what arrives
    // until the server's answer to this PURGE-DATA (it left the server before
    // the purge), however many purges are still unanswered.
    void dropData(bool untilPurgeAnswer);
    bool purgePending() const { return purgesPending_ > 0; }
    void stopDropping() { purgesPending_ = 0; }

    // The server's answer to COM-PORT command c (its value), once one came.
    std::optional<QByteArray> answer(unsigned char c) const;
    void forget(unsigned char c) { answers_[c].reset(); }

    bool comPortAccepted() const { return comPort_ == Accepted; }
    bool comPortRefused() const { return comPort_ == Refused; }

    // Told every negotiation and sub-negotiation the server sends, as its
    // bytes (for the wire trace).
    std::function<void(const QByteArray &)> heard;

private:
    void onNegotiation(unsigned char verb, unsigned char option);
    void onSubNegotiation(const QByteArray &payload);

    enum { Data, Iac, Verb, Sub, SubIac } state_ = Data;
    unsigned char verb_ = 0;
    QByteArray sub_;
    QByteArray data_;
    QByteArray reply_;
    int purgesPending_ = 0;
    std::array<std::optional<QByteArray>, 256> answers_;
    // What this side has said about each option (to answer a request once).
    std::array<bool, 256> sentWill_{}, sentDo_{};
    enum { Pending, Accepted, Refused } comPort_ = Pending;
};

} // namespace qel::rfc2217
