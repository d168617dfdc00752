// The network serial line: the Telnet/RFC 2217 coder against byte sequences
// recorded from a device server, the port against scripted servers that
// misbehave (silent, refusing a speed, refusing the connection, dropping it),
// and the device procedures through an in-process device server in front of
// a simulated converter (one session a command, sessions refused while the
// server is busy, floods, a session lost half way through a reply).

#include "TestRig.h"
#include "editor/SettingsCommands.h"
#include "platform/Rfc2217.h"
#include "platform/Rfc2217Module.h"
#include "platform/Rfc2217Port.h"

#include <QElapsedTimer>
#include <QMutex>
#include <QTcpServer>
#include <QTcpSocket>
#include <QtTest>
#include <atomic>
#include <thread>

using namespace qel;
using namespace qel::rfc2217;
using qel::test::Live;
using qel::test::Rig;

namespace {

QByteArray bytes(std::initializer_list<int> list)
{
    QByteArray b;
    for (const int v : list)
        b += char(v);
    return b;
}

// What a device server sent after the client's greeting (recorded).
const QByteArray kGreetingAnswer = bytes({255, 251, 3, 255, 253, 3, 255, 251, 1, 255, 254, 1,
                                          255, 253, 0, 255, 251, 0, 255, 253, 44, 255, 253, 3,
                                          255, 250, 44, 107, 0, 255, 240});
// Its answers to 1200 baud, 8 bits, no parity, one stop bit (recorded).
const QByteArray kSettingsAnswer
    = bytes({255, 250, 44, 101, 0, 0, 4, 176, 255, 240, 255, 250, 44, 102, 8, 255, 240,
             255, 250, 44, 103, 1, 255, 240, 255, 250, 44, 104, 1, 255, 240});

// A server on a thread of its own (the port blocks on its socket while it
// waits), listening on a free loopback port; serve() runs until stop().
class ServerThread {
public:
    QString url() const { return QStringLiteral("rfc2217://127.0.0.1:%1").arg(port_); }
    void stop()
    {
        stop_ = true;
        if (thread_.joinable())
            thread_.join();
    }

protected:
    void start(std::function<void(QTcpServer &)> serve)
    {
        std::atomic<bool> ready = false;
        thread_ = std::thread([this, &ready, serve] {
            QTcpServer server;
            server.listen(QHostAddress::LocalHost, 0);
            port_ = server.serverPort();
            ready = true;
            serve(server);
        });
        while (!ready)
            std::this_thread::yield();
    }
    std::atomic<bool> stop_ = false;
    std::atomic<quint16> port_ = 0;

private:
    std::thread thread_;
};

// A device server whose script() gets each chunk the client sent and returns
// what to answer; an empty optional closes the connection.
class ScriptedServer : public ServerThread {
public:
    using Script = std::function<std::optional<QByteArray>(const QByteArray &)>;
    explicit ScriptedServer(Script script) : script_(std::move(script))
    {
        start([this](QTcpServer &server) {
            while (!stop_) {
                if (!server.waitForNewConnection(50))
                    continue;
                std::unique_ptr<QTcpSocket> s(server.nextPendingConnection());
                while (!stop_ && s->state() == QAbstractSocket::ConnectedState) {
                    // Bytes that came in while the last answer was being written
                    // are already buffered: no new data would announce them.
                    if (s->bytesAvailable() == 0 && !s->waitForReadyRead(50))
                        continue;
                    const std::optional<QByteArray> a = script_(s->readAll());
                    if (!a) {
                        s->abort();
                        break;
                    }
                    s->write(*a);
                    s->waitForBytesWritten(1000);
                }
            }
        });
    }
    ~ScriptedServer() { stop(); }

private:
    Script script_;
};

// Answers COM-PORT-OPTION and every command with the value asked, except a
// speed, which it answers with `heldBaud` when that is not 0.
QByteArray answerAll(const QByteArray &in, quint32 heldBaud)
{
    QByteArray out;
    if (in.contains(negotiation(WILL, OptComPort)))
        out += negotiation(DO, OptComPort);
    for (qsizetype i = in.indexOf(bytes({IAC, SB, OptComPort})); i >= 0;
         i = in.indexOf(bytes({IAC, SB, OptComPort}), i + 1)) {
        const qsizetype end = in.indexOf(bytes({IAC, SE}), i);
        const auto cmd = static_cast<unsigned char>(in[i + 3]);
        QByteArray value = in.mid(i + 4, end - i - 4);
        if (cmd == SetControl && (value == "\x0b" || value == "\x0c"))
            continue; // RTS on a line without modem control: no answer
        if (cmd == SetBaudRate && heldBaud)
            value = baudValue(heldBaud);
        out += comPortCommand(cmd + kServerOffset, value);
    }
    return out;
}

// A device server in front of a simulated converter, as ser2net serves a pseudo-terminal by default: COM-PORT commands
// answered with the value asked, RTS requests not answered, one client at a
// time (another is told "Port already in use" and closed). The speed set
// over the network is the one the converter judges bytes at.
class DeviceServer : public ServerThread {
public:
    struct Faults {
        int refuseFirst = 0;  // connections accepted and closed at once
        bool refuseAll = false;
        int floodChunk = 0;   // > 0: once the line is set, noise without CR ...
        int floodEveryMs = 0; // ... this often (0: as fast as the client takes it)
        bool mute = false;    // the converter answers nothing
        QByteArray cutAt;     // the reply to this command is cut half way, the connection closed
    };
    explicit DeviceServer(int type) : DeviceServer(type, Faults()) {}
    DeviceServer(int type, Faults faults) : device_(type), faults_(std::move(faults))
    {
        start([this](QTcpServer &server) { serve(server); });
    }
    ~DeviceServer() { stop(); }
    int accepted() const { return accepted_; }
    bool clientConnected() const { return connected_; }
    // Once stopped: the converter and what reached it.
    const sim::SimDevice &device() const { return device_; }

private:
    void serve(QTcpServer &server)
    {
        std::unique_ptr<QTcpSocket> s;
        QElapsedTimer sinceFlood;
        sinceFlood.start();
        while (!stop_) {
            if (!s) {
                if (!server.waitForNewConnection(10))
                    continue;
                s.reset(server.nextPendingConnection());
                const bool refuse = faults_.refuseAll || accepted_ < faults_.refuseFirst;
                ++accepted_;
                if (refuse) {
                    s->abort();
                    s.reset();
                    continue;
                }
                state_ = Data;
                baud_ = 9600;
                lineSet_ = false;
                connected_ = true;
            }
            if (server.waitForNewConnection(0)) {
                std::unique_ptr<QTcpSocket> other(server.nextPendingConnection());
                ++accepted_;
                other->write("Port already in use\r\n");
                other->waitForBytesWritten(100);
                other->abort();
            }
            const bool flooding = faults_.floodChunk > 0 && lineSet_;
            if (s->bytesAvailable() > 0 || s->waitForReadyRead(flooding ? 1 : 10)) {
                if (!take(*s, s->readAll())) {
                    s->abort();
                }
            }
            if (flooding && sinceFlood.elapsed() >= faults_.floodEveryMs && s->bytesToWrite() < 65536) {
                sinceFlood.restart();
                QByteArray noise(faults_.floodChunk, '\0');
                for (int i = 0; i < noise.size(); ++i)
                    noise[i] = "0123456789ABCDEF"[i % 16];
                s->write(noise);
            }
            s->flush();
            if (s->state() != QAbstractSocket::ConnectedState) {
                s.reset();
                connected_ = false;
            }
        }
    }

    // The client's bytes: Telnet taken apart, data to the converter. False
    // when the connection is to be cut.
    bool take(QTcpSocket &s, const QByteArray &in)
    {
        QByteArray out, data;
        for (const char ch : in) {
            const auto c = static_cast<unsigned char>(ch);
            switch (state_) {
            case Data:
                if (c == IAC)
                    state_ = Iac;
                else
                    data += ch;
                break;
            case Iac:
                state_ = c == SB ? Sub : c >= WILL ? Verb : Data;
                if (c == IAC)
                    data += ch;
                sub_.clear();
                verb_ = c;
                break;
            case Verb:
                if (verb_ == WILL && c == OptComPort)
                    out += negotiation(DO, OptComPort);
                state_ = Data;
                break;
            case Sub:
                if (c == IAC)
                    state_ = SubIac;
                else
                    sub_ += ch;
                break;
            case SubIac:
                if (c == SE) {
                    out += answer(sub_);
                    state_ = Data;
                } else {
                    sub_ += ch;
                    state_ = Sub;
                }
                break;
            }
        }
        if (!data.isEmpty() && !faults_.mute) {
            const qsizetype known = device_.commands().size();
            const QList<sim::SimReply> replies = device_.receive(data, int(baud_));
            bool cut = false;
            for (qsizetype i = known; i < device_.commands().size(); ++i)
                cut = cut || (!faults_.cutAt.isEmpty() && device_.commands()[i].startsWith(faults_.cutAt));
            for (const sim::SimReply &r : replies)
                out += escape(cut ? r.bytes.left(r.bytes.size() / 2) : r.bytes);
            if (cut) {
                s.write(out);
                s.waitForBytesWritten(500);
                return false;
            }
        }
        s.write(out);
        return true;
    }

    QByteArray answer(const QByteArray &sub)
    {
        if (sub.size() < 2 || static_cast<unsigned char>(sub[0]) != OptComPort)
            return {};
        const auto command = static_cast<unsigned char>(sub[1]);
        const QByteArray value = sub.mid(2);
        if (command == SetControl && (value == "\x0b" || value == "\x0c"))
            return {}; // no modem control on the line
        if (command == SetBaudRate && baudFromValue(value) != 0) {
            baud_ = baudFromValue(value);
            lineSet_ = true;
        }
        return comPortCommand(command + kServerOffset, value);
    }

    sim::SimDevice device_;
    const Faults faults_;
    std::atomic<int> accepted_ = 0;
    std::atomic<bool> connected_ = false;
    enum { Data, Iac, Verb, Sub, SubIac } state_ = Data;
    unsigned char verb_ = 0;
    QByteArray sub_;
    quint32 baud_ = 9600;
    bool lineSet_ = false;
};

// What the program does in a command: detection, a read and a write of what
// was read, and the detection again.
void detectReadWriteDetect(Context &ctx, RsReadWrite &engine, TypeChange &typeChange)
{
    typeChange.TypeCheck();
    SettingsCommands commands(ctx, engine, typeChange);
    commands.ReadingIn();
    commands.WritingOut();
    typeChange.TypeCheck();
}

bool eventually(const std::function<bool()> &done, int ms)
{
    QDeadlineTimer d(ms);
    while (!done() && !d.hasExpired())
        QTest::qWait(5);
    return done();
}

} // namespace

class Rfc2217Test : public QObject {
    Q_OBJECT
private slots:
    // The transport in process, where the programs load it as a module.
    void initTestCase() { useNetworkModule(rfc2217Module()); }
    void sessionWithARecordedServer_data();
    void sessionWithARecordedServer();
    void dataBytesAndPurge();
    void settingsText_data();
    void settingsText();
    void portAgainstServers_data();
    void portAgainstServers();
    void anOpenLineEndsWhenTheServerDropsIt();
    void oneSessionForACommand_data();
    void oneSessionForACommand();
    void aClosedPortsSessionLingers();
    void refusedSessions_data();
    void refusedSessions();
    void floodingServer_data();
    void floodingServer();
    void lostSessionIsNamed_data();
    void lostSessionIsNamed();
    void cleanup() { Rfc2217Port::endSessions(); }
};

void Rfc2217Test::sessionWithARecordedServer_data()
{
    QTest::addColumn<int>("chunk"); // bytes per read; 0 = all at once
    QTest::newRow("one read") << 0;
    QTest::newRow("one byte a read") << 1;
    QTest::newRow("three bytes a read") << 3;
}

void Rfc2217Test::sessionWithARecordedServer()
{
    QFETCH(int, chunk);
    Session s;
    QCOMPARE(s.greeting(), bytes({255, 251, 0, 255, 253, 0, 255, 251, 3, 255, 253, 3,
                                  255, 251, 44}));
    // Data follows the last sub-negotiation in the same read.
    const QByteArray in = kGreetingAnswer + kSettingsAnswer + QByteArray("960\r");
    QByteArray replies;
    for (qsizetype i = 0; i < in.size(); i += chunk ? chunk : in.size())
        replies += s.receive(in.mid(i, chunk ? chunk : in.size()));
    // Only the server's echo is declined; what it agreed to is not answered again.
    QCOMPARE(replies, negotiation(DONT, 1));
    QVERIFY(s.comPortAccepted());
    QCOMPARE(s.answer(SetBaudRate).value_or("none"), baudValue(1200));
    QCOMPARE(s.answer(SetDataSize).value_or("none"), QByteArray("\x08"));
    QCOMPARE(s.answer(SetParity).value_or("none"), QByteArray("\x01"));
    QCOMPARE(s.answer(SetStopSize).value_or("none"), QByteArray("\x01"));
    QVERIFY(!s.answer(SetControl)); // the RTS request went unanswered
    QCOMPARE(s.takeData(), QByteArray("960\r"));

    Session refused;
    refused.greeting();
    refused.receive(negotiation(DONT, OptComPort));
    QVERIFY(refused.comPortRefused());
}

void Rfc2217Test::dataBytesAndPurge()
{
    // 0xFF is doubled on the way out, in data and in command values alike.
    QCOMPARE(escape(bytes({'A', 255, 'B', 255, 255})), bytes({'A', 255, 255, 'B', 255, 255, 255, 255}));
    QCOMPARE(comPortCommand(SetBaudRate, baudValue(0x0000ffff)),
             bytes({255, 250, 44, 1, 0, 0, 255, 255, 255, 255, 255, 240}));

    // ...and undoubled on the way in, even when the pair is split.
    Session s;
    s.receive(bytes({'x', 255}));
    s.receive(bytes({255, 'y'}));
    QCOMPARE(s.takeData(), bytes({'x', 255, 'y'}));
    s.receive(bytes({255, 250, 44, 101, 0, 0, 255, 255}));
    s.receive(bytes({255, 255, 255, 240}));
    QCOMPARE(s.answer(SetBaudRate).value_or("none"), baudValue(0xffff));
    QCOMPARE(s.dataSize(), 0);

    // A purge drops what came before the server's answer, keeps what follows.
    s.receive("old");
    s.dropData(true);
    s.receive(QByteArray("late") + comPortCommand(PurgeData + kServerOffset, "\x01") + "new");
    QVERIFY(!s.purgePending());
    QCOMPARE(s.takeData(), QByteArray("new"));
}

void Rfc2217Test::settingsText_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<uint>("baud");
    QTest::addColumn<int>("parity");
    QTest::addColumn<int>("stop");
    QTest::newRow("5600") << "9600,N,8,1" << true << 9600u << 1 << 1;
    QTest::newRow("52X lower case") << "1200,n,8,1" << true << 1200u << 1 << 1;
    QTest::newRow("even, two stop") << "4800,E,7,2" << true << 4800u << 3 << 2;
    QTest::newRow("one and a half") << "300,o,8,1.5" << true << 300u << 2 << 3;
    QTest::newRow("no speed") << ",N,8,1" << false << 0u << 0 << 0;
    QTest::newRow("parity word") << "9600,None,8,1" << false << 0u << 0 << 0;
    QTest::newRow("nine bits") << "9600,N,9,1" << false << 0u << 0 << 0;
    QTest::newRow("three parts") << "9600,N,8" << false << 0u << 0 << 0;
}

void Rfc2217Test::settingsText()
{
    QFETCH(QString, text);
    QFETCH(bool, ok);
    const std::optional<LineSettings> s = parseSettings(text);
    QCOMPARE(bool(s), ok);
    if (!ok)
        return;
    QFETCH(uint, baud);
    QFETCH(int, parity);
    QFETCH(int, stop);
    QCOMPARE(s->baud, baud);
    QCOMPARE(int(s->parity), parity);
    QCOMPARE(int(s->stopSize), stop);
}

void Rfc2217Test::portAgainstServers_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<bool>("opens");
    QTest::addColumn<QString>("error");
    QTest::newRow("answers, RTS unanswered") << "good" << true << QString();
    QTest::newRow("silent") << "silent" << false << "did not take up RFC 2217";
    QTest::newRow("plain telnet") << "refuses-option" << false << "refuses RFC 2217";
    QTest::newRow("keeps its speed") << "holds-9600" << false
                                     << "refused 1200 baud (its line stays at 9600)";
    QTest::newRow("nothing listening") << "closed" << false << "127.0.0.1:";
    QTest::newRow("malformed address") << "bad-url" << false << "not a network port";
}

void Rfc2217Test::portAgainstServers()
{
    QFETCH(QString, kind);
    QFETCH(bool, opens);
    QFETCH(QString, error);

    ScriptedServer server([kind](const QByteArray &in) -> std::optional<QByteArray> {
        if (kind == QLatin1String("silent"))
            return QByteArray();
        if (kind == QLatin1String("refuses-option"))
            return in.contains(negotiation(WILL, OptComPort)) ? negotiation(DONT, OptComPort)
                                                              : QByteArray();
        // The line echoes what is written to it (the data between the commands).
        QByteArray out = answerAll(in, kind == QLatin1String("holds-9600") ? 9600 : 0);
        if (in.contains(bytes({IAC, WILL})))
            return out;
        QByteArray data = in;
        for (qsizetype i; (i = data.indexOf(bytes({IAC, SB}))) >= 0;)
            data.remove(i, data.indexOf(bytes({IAC, SE}), i) + 2 - i);
        return out + data;
    });
    QString url = server.url();
    if (kind == QLatin1String("closed")) {
        QTcpServer probe; // a port nobody listens on any more
        probe.listen(QHostAddress::LocalHost, 0);
        url = QStringLiteral("rfc2217://127.0.0.1:%1").arg(probe.serverPort());
        probe.close();
    } else if (kind == QLatin1String("bad-url")) {
        url = QStringLiteral("rfc2217://127.0.0.1");
    }

    Rfc2217Port port(url);
    port.setTimeouts(1000, 300);
    port.setSettings(QStringLiteral("1200,N,8,1"));
    QElapsedTimer t;
    t.start();
    QCOMPARE(port.open(), opens);
    QVERIFY2(t.elapsed() < 1500, "every wait of the open is bounded");
    if (!opens) {
        QVERIFY2(port.lastError().contains(error), qPrintable(port.lastError()));
        if (kind != QLatin1String("bad-url"))
            QVERIFY2(port.lastError().startsWith(QStringLiteral("127.0.0.1:")), qPrintable(port.lastError()));
        QVERIFY(!port.isOpen());
        return;
    }
    QVERIFY(port.setRts(true)); // unanswered, not waited for
    port.discardInput();
    QVERIFY(port.write(bytes({'Q', 255, '\r'})));
    QDeadlineTimer d(2000);
    while (port.bytesWaiting() < 3 && !d.hasExpired())
        QTest::qWait(5);
    QCOMPARE(port.readAllWaiting(), bytes({'Q', 255, '\r'}));
    port.setSettings(QStringLiteral("9600,N,8,1")); // answered while open
    QVERIFY(port.isOpen() && !port.lineLost());
    port.close();
    QVERIFY(!port.isOpen());
}

void Rfc2217Test::anOpenLineEndsWhenTheServerDropsIt()
{
    ScriptedServer server([](const QByteArray &in) -> std::optional<QByteArray> {
        if (in.contains("bye"))
            return std::nullopt;
        return answerAll(in, 0);
    });
    Rfc2217Port port(server.url());
    port.setTimeouts(1000, 500);
    QVERIFY(port.open());
    port.write("bye");
    QDeadlineTimer d(3000);
    while (!port.lineLost() && !d.hasExpired())
        QTest::qWait(5);
    QVERIFY(port.lineLost());
    QVERIFY(!port.isOpen());
    QVERIFY2(port.lastError().startsWith(QStringLiteral("127.0.0.1:")), qPrintable(port.lastError()));
}

void Rfc2217Test::oneSessionForACommand_data()
{
    QTest::addColumn<int>("type");
    QTest::newRow("5600") << 5600;
    QTest::newRow("521") << 521;
}

void Rfc2217Test::oneSessionForACommand()
{
    // Detection at 9600 and 1200 baud, the read and the write open and close
    // the ports of two windows many times: the server sees one client, and
    // the converter exactly what it sees on a local line.
    QFETCH(int, type);
    DeviceServer server(type);
    Live net(server.url());
    detectReadWriteDetect(*net.ctx, *net.engine, *net.typeChange);
    QCOMPARE(server.accepted(), 1);
    QVERIFY(server.clientConnected());
    QCOMPARE(Rfc2217Port::lingeringSessions(), 1);
    Rfc2217Port::endSessions(); // as at the end of the process: not waited for
    QVERIFY(eventually([&] { return !server.clientConnected(); }, 1000));
    server.stop();

    Rig local(type);
    local.clock.setToday(net.clock.today()); // the write stamps today's date
    detectReadWriteDetect(*local.ctx, *local.engine, *local.typeChange);
    QCOMPARE(server.device().commands(), local.device.commands());
    QCOMPARE(server.device().noise(), local.device.noise());
    QCOMPARE(net.boxes.texts(), local.boxes.texts());
}

void Rfc2217Test::aClosedPortsSessionLingers()
{
    DeviceServer server(5600);
    Rfc2217Port a(server.url()), b(server.url());
    a.setSessionTimes(300, 3000);
    b.setSessionTimes(300, 3000);
    // A reply that comes after the close arrives during the linger ...
    QVERIFY(a.open());
    a.write("Q");
    a.close();
    QTest::qWait(50);
    // ... and is not data of the next open, on the same session.
    QVERIFY(b.open());
    QCOMPARE(server.accepted(), 1);
    QCOMPARE(Rfc2217Port::lingeringSessions(), 0);
    QCOMPARE(b.bytesWaiting(), 0);
    b.write("Q");
    QVERIFY(eventually([&] { return b.bytesWaiting() >= 4; }, 1000));
    QCOMPARE(b.readAllWaiting(), QByteArray("960\r"));
    b.close();
    // Idle: the server is free again once the linger is over.
    QVERIFY(server.clientConnected());
    QVERIFY(eventually([&] { return !server.clientConnected(); }, 2000));
    QCOMPARE(Rfc2217Port::lingeringSessions(), 0);
    // A later open is a new session.
    QVERIFY(a.open());
    QCOMPARE(server.accepted(), 2);
}

void Rfc2217Test::refusedSessions_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<bool>("opens");
    QTest::addColumn<int>("accepted");
    QTest::addColumn<QString>("error");
    QTest::newRow("closes the first two") << "first-two" << true << 3 << QString();
    QTest::newRow("closes every one") << "all" << false << -1 << "the server refused the session";
    QTest::newRow("busy with another client") << "busy" << false << -1 << "\"Port already in use\"";
    QTest::newRow("nothing listening") << "closed" << false << 0 << "refused";
}

void Rfc2217Test::refusedSessions()
{
    QFETCH(QString, kind);
    QFETCH(bool, opens);
    QFETCH(int, accepted);
    QFETCH(QString, error);
    DeviceServer::Faults f;
    f.refuseFirst = kind == QLatin1String("first-two") ? 2 : 0;
    f.refuseAll = kind == QLatin1String("all");
    DeviceServer server(5600, f);
    QString url = server.url();
    QTcpSocket other;
    if (kind == QLatin1String("busy")) {
        other.connectToHost(QHostAddress::LocalHost, QUrl(url).port());
        QVERIFY(other.waitForConnected(1000));
        QVERIFY(eventually([&] { return server.clientConnected(); }, 1000));
    } else if (kind == QLatin1String("closed")) {
        QTcpServer probe; // a port nobody listens on any more
        probe.listen(QHostAddress::LocalHost, 0);
        url = QStringLiteral("rfc2217://127.0.0.1:%1").arg(probe.serverPort());
    }
    Rfc2217Port port(url);
    port.setSessionTimes(1500, 1000);
    QElapsedTimer t;
    t.start();
    QCOMPARE(port.open(), opens);
    if (accepted >= 0)
        QCOMPARE(server.accepted(), accepted);
    if (opens)
        return;
    QVERIFY2(port.lastError().startsWith(QStringLiteral("127.0.0.1:")), qPrintable(port.lastError()));
    QVERIFY2(port.lastError().contains(error), qPrintable(port.lastError()));
    if (kind == QLatin1String("closed")) {
        QVERIFY2(t.elapsed() < 500, "nothing listening is told at once");
    } else {
        // Asked again for the time given, then given up.
        QVERIFY(t.elapsed() >= 1000);
        QVERIFY(t.elapsed() < 4000);
        QVERIFY(server.accepted() > 2);
    }
}

void Rfc2217Test::floodingServer_data()
{
    QTest::addColumn<int>("chunk");
    QTest::addColumn<int>("everyMs");
    QTest::newRow("fast") << 16384 << 0;
    QTest::newRow("slow") << 4 << 3;
}

void Rfc2217Test::floodingServer()
{
    // Noise without end from a broken converter's line (or the server). Each
    // wait ends by its own bound, nothing grows without one, and the read and
    // the write fail.
    QFETCH(int, chunk);
    QFETCH(int, everyMs);
    DeviceServer::Faults f;
    f.floodChunk = chunk;
    f.floodEveryMs = everyMs;
    f.mute = true;
    DeviceServer server(5600, f);
    QElapsedTimer t;
    t.start();
    {
        Rfc2217Port port(server.url());
        QVERIFY(port.open());
        QTest::qWait(300);
        QVERIFY(port.bytesWaiting() > 0);
        QVERIFY(port.bytesWaiting() <= Session::kMaxData);
        port.close();
    }
    Live net(server.url());
    net.typeChange->TypeCheck(); // any answer to "Q" is a converter
    SettingsCommands commands(*net.ctx, *net.engine, *net.typeChange);
    QCOMPARE_NE(commands.ReadingIn().result, CommResult::Ok);
    QCOMPARE_NE(commands.WritingOut().result, CommResult::Ok);
    QVERIFY2(t.elapsed() < 10000, qPrintable(QString::number(t.elapsed())));
}

void Rfc2217Test::lostSessionIsNamed_data()
{
    QTest::addColumn<int>("type");
    QTest::addColumn<QByteArray>("cutAt");
    QTest::addColumn<bool>("write");
    QTest::addColumn<QString>("box");
    QTest::newRow("5600 read") << 5600 << QByteArray("RP02") << false << QString::fromUtf8("QEL-5600と通信ができません。");
    QTest::newRow("5600 write") << 5600 << QByteArray("WP02") << true << QString::fromUtf8("QEL-5600と通信ができません。");
    QTest::newRow("52X image") << 521 << QByteArray("R\r") << false << "Error in Read52X()";
}

void Rfc2217Test::lostSessionIsNamed()
{
    QFETCH(int, type);
    QFETCH(QByteArray, cutAt);
    QFETCH(bool, write);
    QFETCH(QString, box);
    DeviceServer::Faults f;
    f.cutAt = cutAt;
    DeviceServer server(type, f);
    Live net(server.url());
    net.typeChange->TypeCheck();
    SettingsCommands commands(*net.ctx, *net.engine, *net.typeChange);
    if (type == 5600)
        QCOMPARE_NE((write ? commands.WritingOut() : commands.ReadingIn()).result, CommResult::Ok);
    const QString named = QStringLiteral("%1: the network session was lost").arg(server.url());
    const QStringList shown = net.boxes.texts();
    QVERIFY2(std::any_of(shown.begin(), shown.end(),
                         [&](const QString &t) { return t.startsWith(box) && t.contains(named); }),
             qPrintable(shown.join(QStringLiteral("\n--\n"))));
}

QTEST_GUILESS_MAIN(Rfc2217Test)
#include "test_rfc2217.moc"
