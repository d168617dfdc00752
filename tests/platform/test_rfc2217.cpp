// The network serial line: the Telnet/RFC 2217 coder against byte sequences
// recorded from a device server, and the port against scripted servers that
// misbehave (silent, refusing a speed, refusing the connection, dropping it).

#include "platform/Rfc2217.h"
#include "platform/Rfc2217Port.h"

#include <QElapsedTimer>
#include <QTcpServer>
#include <QTcpSocket>
#include <QtTest>
#include <atomic>
#include <thread>

using namespace qel;
using namespace qel::rfc2217;

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

// A device server on a thread of its own (the port blocks on its socket
// while it waits). script() gets each chunk the client sent and returns
// what to answer; an empty optional closes the connection.
class ScriptedServer {
public:
    using Script = std::function<std::optional<QByteArray>(const QByteArray &)>;
    explicit ScriptedServer(Script script) : script_(std::move(script))
    {
        std::atomic<bool> ready = false;
        thread_ = std::thread([this, &ready] {
            QTcpServer server;
            server.listen(QHostAddress::LocalHost, 0);
            port_ = server.serverPort();
            ready = true;
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
        while (!ready)
            std::this_thread::yield();
    }
    ~ScriptedServer()
    {
        stop_ = true;
        thread_.join();
    }
    QString url() const { return QStringLiteral("rfc2217://127.0.0.1:%1").arg(port_); }

private:
    Script script_;
    std::thread thread_;
    std::atomic<bool> stop_ = false;
    std::atomic<quint16> port_ = 0;
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

} // namespace

class Rfc2217Test : public QObject {
    Q_OBJECT
private slots:
    void sessionWithARecordedServer_data();
    void sessionWithARecordedServer();
    void dataBytesAndPurge();
    void settingsText_data();
    void settingsText();
    void portAgainstServers_data();
    void portAgainstServers();
    void anOpenLineEndsWhenTheServerDropsIt();
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
        // The line echoes what is written to it.
        QByteArray out = answerAll(in, kind == QLatin1String("holds-9600") ? 9600 : 0);
        if (!in.contains(bytes({IAC, SB})) && !in.contains(bytes({IAC, WILL})))
            out += in;
        return out;
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

QTEST_GUILESS_MAIN(Rfc2217Test)
#include "test_rfc2217.moc"
