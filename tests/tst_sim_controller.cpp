// The simulated controller as the tool sees it: exact reply bytes for every
// function code in both modes, what it ignores, and the motor's motion on the
// test's own clock, checked against the kinematics of a trapezoid profile.
#include "device/frame.h"
#include "sim/sim_controller.h"

#include <QRandomGenerator>
#include <QTest>

#include <cmath>
#include <limits>

namespace {

QByteArray hex(const char *text)
{
    return QByteArray::fromHex(text);
}

/// Sends \a payload as an RTU frame and returns what the controller answered.
QByteArray send(SimController &controller, const QByteArray &payload)
{
    return controller.receive(frameRtu(payload));
}

constexpr qint64 malformed = std::numeric_limits<qint64>::min();

/// The 32-bit value of a query reply read off the wire, or `malformed` when
/// the reply is not address, code, 04, four bytes and a good CRC.
qint64 query(SimController &controller, quint8 code)
{
    const QByteArray payload = makePayload(controller.address(), code);
    const QByteArray reply = send(controller, payload);
    if (reply.size() != 9 || reply.left(2) != payload.left(2) || reply[2] != 4
        || reply != frameRtu(reply.left(7))) {
        return malformed;
    }
    return qint32(quint32(quint8(reply[3])) << 24 | quint32(quint8(reply[4])) << 16
                  | quint32(quint8(reply[5])) << 8 | quint32(quint8(reply[6])));
}

/// Advances the clock in steps of \a stepUs until the motor stands still;
/// returns the time that took, or -1 when it still moves after \a limitUs.
qint64 runUntilStopped(SimController &controller, qint64 stepUs, qint64 limitUs = 600000000)
{
    qint64 elapsed = 0;
    while (controller.isMoving()) {
        if (elapsed >= limitUs)
            return -1;
        controller.advance(stepUs);
        elapsed += stepUs;
    }
    return elapsed;
}

/// Empty when \a elapsedUs ends within the \a stepUs in which a motion of
/// \a seconds ends; otherwise both times.
QString stopTimeOff(qint64 elapsedUs, double seconds, qint64 stepUs)
{
    const auto predictedUs = qint64(std::ceil(seconds * 1e6));
    if (elapsedUs >= predictedUs && elapsedUs < predictedUs + stepUs)
        return {};
    return QStringLiteral("stopped after %1 us, predicted %2 us").arg(elapsedUs).arg(predictedUs);
}

/// Time in seconds of a move of \a distance pulses: a jump from standstill to
/// the start speed v0, a ramp at a up to vmax (or to the lower peak where the
/// ramps of a short move meet), cruising, a ramp at d down to the end speed ve,
/// a jump to standstill.
double trapezoidSeconds(double distance, double v0, double vmax, double ve, double a, double d)
{
    const double up = (vmax * vmax - v0 * v0) / (2 * a);
    const double down = (vmax * vmax - ve * ve) / (2 * d);
    if (up + down <= distance)
        return (vmax - v0) / a + (distance - up - down) / vmax + (vmax - ve) / d;
    const double peak = std::sqrt((2 * a * d * distance + d * v0 * v0 + a * ve * ve) / (a + d));
    return (peak - v0) / a + (peak - ve) / d;
}

/// Peak speed of the same move.
double trapezoidPeak(double distance, double v0, double vmax, double ve, double a, double d)
{
    const double peak = std::sqrt((2 * a * d * distance + d * v0 * v0 + a * ve * ve) / (a + d));
    return std::min(vmax, peak);
}

/// Time in seconds to run \a distance pulses from standstill at \a speed: the
/// jump to v0, the ramp at a, then constant speed.
double runSeconds(double distance, double v0, double speed, double a)
{
    const double up = (speed * speed - v0 * v0) / (2 * a);
    return (speed - v0) / a + (distance - up) / speed;
}

// The window's default boxes, which are also the controller's defaults.
constexpr double v0 = 100, vmax = 10000, ve = 1000, acc = 10000, dec = 10000;

} // namespace

class TestSimController : public QObject
{
    Q_OBJECT

private slots:
    void replies_data();
    void replies();
    void inputsQuery_data();
    void inputsQuery();
    void framing_data();
    void framing();
    void noiseNeverHidesGoodFrames_data();
    void noiseNeverHidesGoodFrames();
    void addressChangesAfterReply();
    void baudRateChangesAfterReply_data();
    void baudRateChangesAfterReply();
    void factorySettingsRestoreDefaults();
    void positionMove_data();
    void positionMove();
    void sameMotionForAnyTimeStep();
    void moveWithOtherParameters_data();
    void moveWithOtherParameters();
    void speedChangeDuringMove();
    void runStoppedByLimit_data();
    void runStoppedByLimit();
    void speedChanges_data();
    void speedChanges();
    void deceleratingStopDistance();
    void positionCounters();
    void homing_data();
    void homing();
    void ioTableStoreAndQuery_data();
    void ioTableStoreAndQuery();
    void ioTableRunsOnInputChange();
};

void TestSimController::replies_data()
{
    QTest::addColumn<QByteArray>("setup"); // a payload sent first as an RTU frame, if any
    QTest::addColumn<QByteArray>("request");
    QTest::addColumn<QByteArray>("reply");

    // Every case in both modes, framed from payloads (the framing functions meet
    // independent vectors in tst_frame, the controller's own framing the wire
    // rows below); a bare reply is two bytes that go out in RTU without a CRC.
    const auto frames = [](const char *name, const char *request, const char *reply,
                           const char *setup, bool bare) {
        QTest::addRow("%s rtu", name) << hex(setup) << frameRtu(hex(request))
                                      << (bare ? hex(reply) : frameRtu(hex(reply)));
        QTest::addRow("%s ascii", name)
                << hex(setup) << frameAscii(hex(request)) << frameAscii(hex(reply));
    };
    const auto row = [&](const char *name, const char *request, const char *reply,
                         const char *setup = "") {
        frames(name, request, reply, setup, false);
    };
    const auto echo = [&](const char *name, const char *request) {
        row(name, request, request);
    };
    const auto bare = [&](const char *name, const char *request, const char *reply) {
        frames(name, request, reply, "", true);
    };
    const char *run = "01 33 04 00 00 27 10";
    const char *move = "01 31 04 00 00 27 10";
    const char *store = "01 40 07 01 31 04 00 00 27 10";

    echo("20 handshake", "01 20 00");
    row("21 address query to 00", "00 21 00", "01 21 00");
    echo("21 address query to own address", "01 21 00");
    echo("22 change address", "01 22 01 02");
    row("23 baud query", "01 23 00", "01 23 01 06");
    echo("24 change baud", "01 24 01 08");
    echo("25 set start speed", "01 25 04 00 00 00 64");
    echo("27 set max speed", "01 27 04 00 00 27 10");
    echo("29 set end speed", "01 29 04 00 00 03 E8");
    echo("2B set acceleration", "01 2B 04 00 00 27 10");
    echo("2D set deceleration", "01 2D 04 00 00 27 10");
    echo("2F set homing speed", "01 2F 04 00 00 27 10");
    row("26 query start speed", "01 26 00", "01 26 04 00 00 00 64");
    row("28 query max speed", "01 28 00", "01 28 04 00 00 27 10");
    row("2A query end speed", "01 2A 00", "01 2A 04 00 00 03 E8");
    row("2C query acceleration", "01 2C 00", "01 2C 04 00 00 27 10");
    row("2E query deceleration", "01 2E 00", "01 2E 04 00 00 27 10");
    row("30 query homing speed", "01 30 00", "01 30 04 00 00 27 10");
    row("26 query after set 256", "01 26 00", "01 26 04 00 00 01 00", "01 25 04 00 00 01 00");
    row("2E query after set 123456", "01 2E 00", "01 2E 04 00 01 E2 40", "01 2D 04 00 01 E2 40");
    echo("31 move", move);
    echo("32 move direction 24", "01 32 04 01 00 03 E8");
    echo("33 run", run);
    echo("34 run direction 24", "01 34 04 00 00 27 10");
    row("35 change speed", "01 35 04 00 00 13 88", "01 35 04 00 00 13 88", run);
    row("36 speed at rest", "01 36 00", "01 36 04 00 00 00 00");
    row("37 absolute position", "01 37 00", "01 37 04 00 00 00 00");
    echo("38 clear absolute", "01 38 00");
    row("39 relative position", "01 39 00", "01 39 04 00 00 00 00");
    echo("3A clear relative", "01 3A 00");
    row("3B status at rest on zero point", "01 3B 00", "01 3B 04 00 01 00 01");
    row("3B status while running, still on the zero point", "01 3B 00", "01 3B 04 01 01 00 01",
        run);
    bare("3C immediate stop", "01 3C 00", "01 3C");
    bare("3D decelerating stop", "01 3D 00", "01 3D");
    bare("3E homing", "01 3E 01 01", "01 3E");
    echo("40 IO download", store);
    echo("41 IO query empty", "01 41 01 01");
    row("41 IO query stored", "01 41 01 01", "01 41 07 01 31 04 00 00 27 10", store);
    row("42 inputs none active", "01 42 00", "01 42 05 01 01 01 01 01");
    bare("44 speed factor", "01 44 04 00 00 01 F4", "01 44");
    bare("45 quantitative acceleration", "01 45 00", "01 45");
    bare("46 quantitative deceleration", "01 46 00", "01 46");
    bare("47 factory settings", "01 47 00", "01 47");
    // Refusals: the code with its top bit set and the reason.
    row("43 unknown code", "01 43 00", "01 C3 01");
    row("3F unknown code", "01 3F 00", "01 BF 01");
    row("48 unknown code", "01 48 00", "01 C8 01");
    row("03 code below the command set", "01 03 00", "01 83 01");
    row("24 code 00 (57600)", "01 24 01 00", "01 A4 03");
    row("24 code 0A", "01 24 01 0A", "01 A4 03");
    row("22 new address 00", "01 22 01 00", "01 A2 03");
    row("22 new address F8", "01 22 01 F8", "01 A2 03");
    row("25 negative start speed", "01 25 04 FF FF FF FF", "01 A5 03");
    row("27 max speed 0", "01 27 04 00 00 00 00", "01 A7 03");
    row("2B acceleration 0", "01 2B 04 00 00 00 00", "01 AB 03");
    row("32 direction 2", "01 32 04 02 00 03 E8", "01 B2 03");
    row("3E direction 2", "01 3E 01 02", "01 BE 03");
    row("35 negative speed", "01 35 04 FF FF FF FF", "01 B5 03");
    row("44 negative factor", "01 44 04 FF FF FF FF", "01 C4 03");
    row("20 with a data byte", "01 20 01 00", "01 A0 03");
    row("25 with one data byte", "01 25 01 64", "01 A5 03");
    row("40 IO code 0", "01 40 07 00 31 04 00 00 27 10", "01 C0 03");
    row("40 IO code 32", "01 40 07 20 31 04 00 00 27 10", "01 C0 03");
    row("40 command cut short", "01 40 06 01 31 04 00 00 27", "01 C0 03");
    row("40 command not for the IO table", "01 40 03 01 20 00", "01 C0 03");
    row("40 ASCII characters as command", "01 40 0D 01 33 31 30 34 30 30 30 30 32 37 31 30",
        "01 C0 03");
    row("41 IO code 0", "01 41 01 00", "01 C1 03");
    row("41 IO code 32", "01 41 01 20", "01 C1 03");
    row("31 while moving", move, "01 B1 06", run);
    row("33 while moving", run, "01 B3 06", move);
    row("3E while moving", "01 3E 01 00", "01 BE 06", run);

    // The controller's own framing, byte for byte.
    const auto wire = [](const char *name, const QByteArray &request, const QByteArray &reply) {
        QTest::newRow(name) << QByteArray() << request << reply;
    };
    wire("wire: handshake rtu", hex("01 20 00 39 C0"), hex("01 20 00 39 C0"));
    wire("wire: value rtu", hex("01 26 00 3A 60"), hex("01 26 04 00 00 00 64 FC ED"));
    wire("wire: bare reply rtu", hex("01 3C 00 31 00"), hex("01 3C"));
    wire("wire: refusal rtu", hex("01 43 00 11 30"), hex("01 C3 01 B1 30"));
    wire("wire: handshake ascii", ":012000DF\r\n", ":012000DF\r\n");
    wire("wire: value ascii", ":012600D9\r\n", ":0126040000006471\r\n");
    wire("wire: two-byte reply ascii", ":013C00C3\r\n", ":013CC3\r\n");
    wire("wire: refusal ascii", ":014300BC\r\n", ":01C3013B\r\n");
}

void TestSimController::replies()
{
    QFETCH(QByteArray, setup);
    QFETCH(QByteArray, request);
    QFETCH(QByteArray, reply);

    SimController controller;
    if (!setup.isEmpty())
        QVERIFY(!send(controller, setup).isEmpty());
    QCOMPARE(controller.receive(request).toHex(' '), reply.toHex(' '));
}

void TestSimController::inputsQuery_data()
{
    QTest::addColumn<quint8>("active");
    QTest::addColumn<QByteArray>("reply"); // payload

    QTest::newRow("none") << quint8(0) << hex("01 42 05 01 01 01 01 01");
    QTest::newRow("IN1") << quint8(0x01) << hex("01 42 05 00 01 01 01 01");
    QTest::newRow("IN2 and IN5") << quint8(0x12) << hex("01 42 05 01 00 01 01 00");
    QTest::newRow("IN1, IN3, IN5") << quint8(0x15) << hex("01 42 05 00 01 00 01 00");
    QTest::newRow("all") << quint8(0x1F) << hex("01 42 05 00 00 00 00 00");
}

void TestSimController::inputsQuery()
{
    QFETCH(quint8, active);
    QFETCH(QByteArray, reply);

    const QByteArray query = hex("01 42 00");
    SimConfig config;
    config.activeInputs = active;
    SimController atStart(config);
    QCOMPARE(atStart.receive(frameRtu(query)).toHex(' '), frameRtu(reply).toHex(' '));

    SimController changed;
    changed.setInputs(active);
    QCOMPARE(changed.receive(frameAscii(query)), frameAscii(reply));
}

void TestSimController::framing_data()
{
    QTest::addColumn<QByteArrayList>("chunks");
    QTest::addColumn<qint64>("gapUs"); // clock advanced between chunks
    QTest::addColumn<QByteArray>("reply");

    const auto row = [](const char *name, const QByteArrayList &chunks, qint64 gapUs,
                        const QByteArray &reply) {
        QTest::newRow(name) << chunks << gapUs << reply;
    };
    const QByteArray hs = hex("01 20 00 39 C0"); // the handshake, and its echo
    const QByteArray asciiHs(":012000DF\r\n");
    const QByteArrayList split{hex("01 20"), hex("00 39 C0")};
    row("good frame", {hs}, 0, hs);
    row("bad CRC", {hex("01 20 00 39 C1")}, 0, {});
    row("bad LRC", {":012000DE\r\n"}, 0, {});
    row("another station, RTU", {hex("02 20 00 C9 C0")}, 0, {});
    row("another station, ASCII", {":022000DE\r\n"}, 0, {});
    row("broadcast is not acted on",
        {frameRtu(hex("00 31 04 00 00 27 10")), frameRtu(hex("01 3B 00"))}, 0,
        hex("01 3B 04 00 01 00 01 6E 8B"));
    row("bad frame, then a good one", {hex("01 20 00 39 C1") + hs}, 0, hs);
    row("garbage, then a good frame", {hex("FF FF") + hs}, 0, hs);
    row("garbage with a long length byte, then a good frame", {hex("05 06 FF") + hs}, 0, hs);
    row("bad ASCII frame, then a good RTU frame", {":012000DE\r\n" + hs}, 0, hs);
    row("ASCII frame without LF, then a good RTU frame", {":012000DF\r" + hs}, 0, hs);
    row("two frames in one block", {hs + asciiHs}, 0, hs + asciiHs);
    row("split frame, short pause", split, 4000, hs);
    row("split frame, silence longer than 3.5 characters", split, 4100, {});
    row("stale partial frame, then a good frame", {hex("01 20"), hs}, 4100, hs);
    row("split ASCII frame, half a second apart", {":0120", "00DF\r\n"}, 500000, asciiHs);
    row("split ASCII frame, over a second apart", {":0120", "00DF\r\n"}, 1000100, {});
    row("lower-case hex digits, upper-case reply", {":012000df\r\n"}, 0, asciiHs);
    row("ASCII length byte disagrees with the data", {":0125030000006473\r\n"}, 0, ":01A50357\r\n");
    row("byte by byte", {hex("01"), hex("20"), hex("00"), hex("39"), hex("C0")}, 1000, hs);
    // A standard master's requests are framed by their own layout and refused
    // with "illegal function", in one piece or byte by byte.
    const QByteArray illegal03 = frameRtu(hex("01 83 01"));
    row("read holding registers", {hex("01 03 00 00 00 01 84 0A")}, 0, illegal03);
    row("read holding registers, split", {hex("01 03 00"), hex("00 00 01 84 0A")}, 1000,
        illegal03);
    row("write single register", {frameRtu(hex("01 06 00 01 00 03"))}, 0, frameRtu(hex("01 86 01")));
    row("write multiple registers",
        {frameRtu(hex("01 10 00 01 00 02 04 00 0A 01 02")), hs}, 0, frameRtu(hex("01 90 01")) + hs);
    row("read and write registers", {frameRtu(hex("01 17 00 00 00 01 00 00 00 01 02 00 07"))}, 0,
        frameRtu(hex("01 97 01")));
    row("read device identification", {frameRtu(hex("01 2B 0E 01 00"))}, 0,
        frameRtu(hex("01 AB 01")));
    row("read holding registers, ASCII", {":010300000001FB\r\n"}, 0, frameAscii(hex("01 83 01")));
    row("read device identification, ASCII", {frameAscii(hex("01 2B 0E 01 00"))}, 0,
        frameAscii(hex("01 AB 01")));
    row("standard request to another station", {frameRtu(hex("02 03 00 00 00 01"))}, 0, {});
}

void TestSimController::framing()
{
    QFETCH(QByteArrayList, chunks);
    QFETCH(qint64, gapUs);
    QFETCH(QByteArray, reply);

    SimController controller;
    QByteArray replies;
    for (qsizetype i = 0; i < chunks.size(); ++i) {
        if (i > 0)
            controller.advance(gapUs);
        replies += controller.receive(chunks[i]);
    }
    QCOMPARE(replies.toHex(' '), reply.toHex(' '));
    QVERIFY(!controller.isMoving());
}

void TestSimController::noiseNeverHidesGoodFrames_data()
{
    QTest::addColumn<QByteArray>("request");
    QTest::addColumn<QByteArray>("reply");

    QTest::newRow("RTU") << hex("01 3B 00 33 30") << hex("01 3B 04 00 01 00 01 6E 8B");
    QTest::newRow("ASCII") << QByteArray(":013B00C4\r\n") << QByteArray(":013B0400010001BE\r\n");
}

void TestSimController::noiseNeverHidesGoodFrames()
{
    QFETCH(QByteArray, request);
    QFETCH(QByteArray, reply);

    // Line noise of random length and content before every request, the two
    // sometimes in one block and sometimes split anywhere: each request is
    // still answered once, in order, and nothing else comes back.
    SimController controller;
    QRandomGenerator random(20240611);
    constexpr int rounds = 500;
    QByteArray answered;
    for (int round = 0; round < rounds; ++round) {
        QByteArray noise(random.bounded(1, 12), Qt::Uninitialized);
        for (char &byte : noise)
            byte = char(random.bounded(256));
        const QByteArray line = noise + request;
        const qsizetype cut = random.bounded(line.size() + 1);
        answered += controller.receive(line.first(cut));
        answered += controller.receive(line.sliced(cut));
        controller.advance(5000); // a pause between requests ends any leftover
    }
    QCOMPARE(answered, reply.repeated(rounds));
    QVERIFY(controller.droppedBytes() > 0);
}

void TestSimController::addressChangesAfterReply()
{
    SimController controller;
    // The echo still comes from station 1; from then on only station 2 answers.
    QCOMPARE(controller.receive(hex("01 22 01 02 21 83")).toHex(' '), "01 22 01 02 21 83");
    QCOMPARE(controller.receive(hex("01 20 00 39 C0")), QByteArray());
    QCOMPARE(controller.receive(hex("02 20 00 C9 C0")).toHex(' '), "02 20 00 c9 c0");
    QCOMPARE(controller.receive(hex("00 21 00 69 90")).toHex(' '), "02 21 00 c8 50");
    QCOMPARE(controller.receive(":002100DF\r\n"), QByteArray(":022100DD\r\n"));
    // A refused address leaves the station as it was.
    QCOMPARE(controller.receive(frameRtu(hex("02 22 01 00"))).toHex(' '), "02 a2 03 e9 61");
    QCOMPARE(controller.address(), quint8(2));

    // Station 3A: its RTU frames start with ":" like an ASCII frame.
    QCOMPARE(controller.receive(hex("02 22 01 3A 20 15")).toHex(' '), "02 22 01 3a 20 15");
    QCOMPARE(controller.receive(hex("3A 20 00 48 0D")).toHex(' '), "3a 20 00 48 0d");
    QCOMPARE(controller.receive(":3A2000A6\r\n"), QByteArray(":3A2000A6\r\n"));
    QCOMPARE(controller.receive(hex("3A 3B 00 42 FD") + ":3A2000A6\r\n").toHex(' '),
             hex("3A 3B 04 00 01 00 01 E4 48").toHex(' ') + " "
                     + QByteArray(":3A2000A6\r\n").toHex(' '));
}

void TestSimController::baudRateChangesAfterReply_data()
{
    QTest::addColumn<quint8>("code");
    QTest::addColumn<qint64>("gapUs");
    QTest::addColumn<bool>("partialKept");

    // 3.5 characters of 11 bits: 4011 us at 9600, 2006 us at 19200, and
    // never less than 2 ms.
    QTest::newRow("9600, 3 ms pause") << quint8(6) << 3000ll << true;
    QTest::newRow("19200, 3 ms pause") << quint8(8) << 3000ll << false;
    QTest::newRow("19200, 2 ms pause") << quint8(8) << 2000ll << true;
    QTest::newRow("2400, 16 ms pause") << quint8(4) << 16000ll << true;
    QTest::newRow("2400, 16.1 ms pause") << quint8(4) << 16100ll << false;
    QTest::newRow("38400, 1.9 ms pause") << quint8(9) << 1900ll << true;
}

void TestSimController::baudRateChangesAfterReply()
{
    QFETCH(quint8, code);
    QFETCH(qint64, gapUs);
    QFETCH(bool, partialKept);

    SimController controller;
    const QByteArray change = frameRtu(hex("01 24 01") + char(code));
    QCOMPARE(controller.receive(change), change);
    QCOMPARE(controller.baudCode(), code);
    QCOMPARE(controller.receive(hex("01 23 00 39 30")), frameRtu(hex("01 23 01") + char(code)));

    controller.receive(hex("01 20"));
    controller.advance(gapUs);
    const QByteArray reply = controller.receive(hex("00 39 C0"));
    QCOMPARE(reply, partialKept ? hex("01 20 00 39 C0") : QByteArray());
}

void TestSimController::factorySettingsRestoreDefaults()
{
    SimConfig config;
    config.address = 5;
    config.baudRate = 19200;
    SimController controller(config);
    for (const char *payload : {"05 25 04 00 00 01 00", "05 44 04 00 00 07 D0", "05 40 03 03 3C 00",
                                "05 33 04 00 00 27 10"}) {
        QVERIFY(!send(controller, hex(payload)).isEmpty());
    }
    QVERIFY(controller.isMoving());

    // The reply comes from station 5; then the controller is as it left the factory.
    QCOMPARE(controller.receive(frameRtu(hex("05 47 00"))).toHex(' '), "05 47");
    QCOMPARE(controller.address(), quint8(1));
    QCOMPARE(controller.baudCode(), quint8(6));
    QCOMPARE(controller.parameters(), SimParameters());
    QVERIFY(!controller.isMoving());
    QCOMPARE(query(controller, 0x26), 100);
    QCOMPARE(send(controller, hex("01 41 01 03")).toHex(' '), "01 41 01 03 10 5d");
    QCOMPARE(controller.receive(frameRtu(hex("05 20 00"))), QByteArray());
}

void TestSimController::positionMove_data()
{
    QTest::addColumn<QByteArray>("request");
    QTest::addColumn<qint32>("target");
    QTest::addColumn<double>("seconds");
    QTest::addColumn<double>("peak");
    QTest::addColumn<int>("probeMs");
    QTest::addColumn<qint32>("probePosition");

    // At the probe the motor is still on its first ramp: x = v0 t + a t^2 / 2.
    const auto row = [](const char *name, const char *request, qint32 target, int probeMs) {
        const double d = std::abs(target), t = probeMs / 1000.0;
        const auto probe = qint32(std::lround(v0 * t + acc * t * t / 2));
        QTest::newRow(name) << hex(request) << target << trapezoidSeconds(d, v0, vmax, ve, acc, dec)
                            << trapezoidPeak(d, v0, vmax, ve, acc, dec) << probeMs
                            << (target < 0 ? -probe : probe);
    };
    row("10000 pulses, window defaults", "01 31 04 00 00 27 10", 10000, 500);
    row("-10000 pulses", "01 31 04 FF FF D8 F0", -10000, 500);
    row("1000 pulses never reach the maximum speed", "01 31 04 00 00 03 E8", 1000, 200);
    row("direction 1, 24-bit count 1000", "01 32 04 01 00 03 E8", -1000, 200);
    row("direction 0, 24-bit count 50000", "01 32 04 00 00 C3 50", 50000, 500);
}

void TestSimController::positionMove()
{
    QFETCH(QByteArray, request);
    QFETCH(qint32, target);
    QFETCH(double, seconds);
    QFETCH(double, peak);
    QFETCH(int, probeMs);
    QFETCH(qint32, probePosition);

    SimController controller;
    QCOMPARE(send(controller, request), frameRtu(request));
    QVERIFY(controller.isMoving());

    constexpr qint64 stepUs = 1000;
    qint64 elapsedUs = 0;
    qint32 fastest = 0;
    while (controller.isMoving() && elapsedUs < 60000000) {
        controller.advance(stepUs);
        elapsedUs += stepUs;
        fastest = qMax(fastest, controller.speed());
        if (elapsedUs == probeMs * 1000)
            QCOMPARE(query(controller, 0x37), probePosition);
    }
    // Stopped within the millisecond in which the trapezoid ends.
    const QString off = stopTimeOff(elapsedUs, seconds, stepUs);
    QVERIFY2(off.isEmpty(), qPrintable(off));
    QVERIFY2(fastest <= peak + 0.5 && fastest >= peak - acc * 1e-3 - 1,
             qPrintable(QStringLiteral("peak %1, predicted %2").arg(fastest).arg(peak)));
    QCOMPARE(query(controller, 0x37), target);
    QCOMPARE(query(controller, 0x39), target);
    QCOMPARE(query(controller, 0x36), 0);
}

void TestSimController::sameMotionForAnyTimeStep()
{
    // The 10000-pulse move at 1.5 s, on its final ramp: up from v0 to vmax,
    // a short cruise to the braking point, then down at dec.
    const double upSeconds = (vmax - v0) / acc;
    const double upPulses = (vmax * vmax - v0 * v0) / (2 * acc);
    const double brakingPoint = 10000 - (vmax * vmax - ve * ve) / (2 * dec);
    const double braking = 1.5 - upSeconds - (brakingPoint - upPulses) / vmax;
    const double expected = brakingPoint + vmax * braking - dec * braking * braking / 2;

    // However the clock is cut into steps, the motor gets there.
    for (const qint64 stepUs : {1500000ll, 100000ll, 7000ll, 333ll}) {
        SimController controller;
        send(controller, hex("01 31 04 00 00 27 10"));
        for (qint64 t = 0; t < 1500000; t += stepUs)
            controller.advance(qMin(stepUs, 1500000 - t));
        QVERIFY2(std::abs(controller.axis().position() - expected) < 1e-6,
                 qPrintable(QStringLiteral("step %1 us: %2, expected %3")
                                    .arg(stepUs)
                                    .arg(controller.axis().position(), 0, 'f', 6)
                                    .arg(expected, 0, 'f', 6)));
        QCOMPARE(query(controller, 0x36), qint64(std::lround(vmax - dec * braking)));
    }
}

void TestSimController::moveWithOtherParameters_data()
{
    QTest::addColumn<QByteArrayList>("parameters");
    QTest::addColumn<qint32>("pulses");
    QTest::addColumn<double>("seconds");

    const auto row = [](const char *name, const QByteArrayList &parameters, qint32 pulses,
                        double seconds) {
        QTest::newRow(name) << parameters << pulses << seconds;
    };
    const auto set = [](quint8 code, qint32 v) {
        return makePayload(1, code, int32BigEndian(v));
    };
    row("start and end speed 0", {set(0x25, 0), set(0x29, 0)}, 10001,
        trapezoidSeconds(10001, 0, vmax, 0, acc, dec));
    // The motor starts at the lower of start and maximum speed, and ends its
    // ramp at the lower of end and maximum speed.
    row("start speed above the maximum speed", {set(0x25, 20000)}, 10001,
        trapezoidSeconds(10001, vmax, vmax, ve, acc, dec));
    row("end speed above the maximum speed", {set(0x29, 20000)}, 10000,
        trapezoidSeconds(10000, v0, vmax, vmax, acc, dec));
    row("slow acceleration, hard deceleration", {set(0x2B, 1000), set(0x2D, 50000)}, 30000,
        trapezoidSeconds(30000, v0, vmax, ve, 1000, 50000));
    row("maximum speed 2500", {set(0x27, 2500)}, 10000,
        trapezoidSeconds(10000, v0, 2500, ve, acc, dec));
}

void TestSimController::moveWithOtherParameters()
{
    QFETCH(QByteArrayList, parameters);
    QFETCH(qint32, pulses);
    QFETCH(double, seconds);

    SimController controller;
    for (const QByteArray &payload : std::as_const(parameters))
        QCOMPARE(send(controller, payload), frameRtu(payload));
    send(controller, makePayload(1, 0x31, int32BigEndian(pulses)));
    const QString off = stopTimeOff(runUntilStopped(controller, 1000), seconds, 1000);
    QVERIFY2(off.isEmpty(), qPrintable(off));
    QCOMPARE(query(controller, 0x37), pulses);
}

void TestSimController::speedChangeDuringMove()
{
    // A 50000-pulse move is at its maximum speed after one second; then the
    // new speed 5000: down at dec, cruise, brake from 5000 to the end speed.
    SimController controller;
    send(controller, hex("01 31 04 00 00 C3 50"));
    controller.advance(1000000);
    QCOMPARE(send(controller, hex("01 35 04 00 00 13 88")), frameRtu(hex("01 35 04 00 00 13 88")));
    const double v1 = 5000;
    const double at1s = (vmax * vmax - v0 * v0) / (2 * acc) + vmax * (1 - (vmax - v0) / acc);
    const double slowing = (vmax * vmax - v1 * v1) / (2 * dec);
    const double braking = (v1 * v1 - ve * ve) / (2 * dec);
    const double rest = (vmax - v1) / dec + (50000 - at1s - slowing - braking) / v1
            + (v1 - ve) / dec;
    const QString off = stopTimeOff(runUntilStopped(controller, 1000), rest, 1000);
    QVERIFY2(off.isEmpty(), qPrintable(off));
    QCOMPARE(query(controller, 0x37), 50000);
}

void TestSimController::runStoppedByLimit_data()
{
    QTest::addColumn<qint32>("leftLimit");
    QTest::addColumn<qint32>("rightLimit");
    QTest::addColumn<QByteArray>("run");
    QTest::addColumn<QByteArray>("runBack");
    QTest::addColumn<qint32>("stopsAt");
    QTest::addColumn<double>("seconds");
    QTest::addColumn<QByteArray>("status");

    QTest::newRow("32-bit run right, default limits")
            << -1000000 << 1000000 << hex("01 33 04 00 00 27 10") << hex("01 33 04 FF FF D8 F0")
            << 1000000 << runSeconds(1000000, v0, 10000, acc) << hex("01 3B 04 00 01 01 00 AE DB");
    QTest::newRow("24-bit run left at 5000, left limit -5000")
            << -5000 << 1000000 << hex("01 34 04 01 00 13 88") << hex("01 34 04 00 00 13 88")
            << -5000 << runSeconds(5000, v0, 5000, acc) << hex("01 3B 04 00 00 01 01 3E DB");
}

void TestSimController::runStoppedByLimit()
{
    QFETCH(qint32, leftLimit);
    QFETCH(qint32, rightLimit);
    QFETCH(QByteArray, run);
    QFETCH(QByteArray, runBack);
    QFETCH(qint32, stopsAt);
    QFETCH(double, seconds);
    QFETCH(QByteArray, status);

    SimConfig config;
    config.leftLimit = leftLimit;
    config.rightLimit = rightLimit;
    SimController controller(config);
    QCOMPARE(send(controller, run), frameRtu(run));
    const QString off = stopTimeOff(runUntilStopped(controller, 10000), seconds, 10000);
    QVERIFY2(off.isEmpty(), qPrintable(off));
    QCOMPARE(query(controller, 0x37), stopsAt);
    QCOMPARE(send(controller, hex("01 3B 00")).toHex(' '), status.toHex(' '));

    // Further into the switch nothing moves; away from it the motor runs.
    QCOMPARE(send(controller, run), frameRtu(run));
    QVERIFY(!controller.isMoving());
    QCOMPARE(send(controller, runBack), frameRtu(runBack));
    QVERIFY(controller.isMoving());
    controller.advance(100000);
    QVERIFY(!controller.leftLimitActive() && !controller.rightLimitActive());
}

void TestSimController::speedChanges_data()
{
    QTest::addColumn<bool>("running"); // a run at 10000 has reached its speed first
    QTest::addColumn<QByteArrayList>("commands");
    QTest::addColumn<int>("afterMs");
    QTest::addColumn<qint32>("speed");

    const auto row = [](const char *name, const QByteArrayList &commands, int afterMs, qint32 speed,
                        bool running = true) {
        QTest::newRow(name) << running << commands << afterMs << speed;
    };
    const QByteArray to5000 = hex("01 35 04 00 00 13 88");
    const QByteArray faster = hex("01 45 00");
    const QByteArray slower = hex("01 46 00");
    const QByteArray factor2000 = hex("01 44 04 00 00 07 D0");
    // Ramps at 10000 pulses/s^2 in both directions.
    row("new speed 5000, a quarter second on", {to5000}, 250, 7500);
    row("new speed 5000, settled", {to5000}, 1000, 5000);
    row("new speed 15000, a quarter second on", {hex("01 35 04 00 00 3A 98")}, 250, 12500);
    row("new speed 0 stops the run", {hex("01 35 04 00 00 00 00")}, 1000, 0);
    row("faster by the default factor 500", {faster}, 1000, 10500);
    row("slower by the default factor 500", {slower}, 1000, 9500);
    row("factor 2000, faster twice", {factor2000, faster, faster}, 1000, 14000);
    row("factor 2000, slower three times", {factor2000, slower, slower, slower}, 1000, 4000);
    row("faster at standstill does not start the motor", {faster}, 1000, 0, false);
    row("decelerating stop, 0.45 s on", {hex("01 3D 00")}, 450, 5500);
    row("decelerating stop, done after 0.9 s", {hex("01 3D 00")}, 901, 0);
    row("immediate stop", {hex("01 3C 00")}, 0, 0);
}

void TestSimController::speedChanges()
{
    QFETCH(bool, running);
    QFETCH(QByteArrayList, commands);
    QFETCH(int, afterMs);
    QFETCH(qint32, speed);

    SimController controller;
    if (running) {
        send(controller, hex("01 33 04 00 00 27 10"));
        controller.advance(2000000);
        QCOMPARE(query(controller, 0x36), 10000);
    }
    for (const QByteArray &command : std::as_const(commands))
        QVERIFY(!send(controller, command).isEmpty());
    controller.advance(qint64(afterMs) * 1000);
    QCOMPARE(query(controller, 0x36), speed);
    QCOMPARE(controller.isMoving(), speed != 0);
}

void TestSimController::deceleratingStopDistance()
{
    SimController controller;
    send(controller, hex("01 33 04 00 00 27 10"));
    controller.advance(2000000);
    const qint64 before = query(controller, 0x37);
    QCOMPARE(send(controller, hex("01 3D 00")).toHex(' '), "01 3d");
    QVERIFY(runUntilStopped(controller, 1000) > 0);
    // From 10000 down to the end speed 1000 at 10000 pulses/s^2.
    QCOMPARE(query(controller, 0x37) - before, qint64((vmax * vmax - ve * ve) / (2 * dec)));
}

void TestSimController::positionCounters()
{
    SimController controller;
    send(controller, hex("01 31 04 00 00 27 10"));
    runUntilStopped(controller, 10000);
    QCOMPARE(send(controller, hex("01 3A 00")), frameRtu(hex("01 3A 00")));
    send(controller, hex("01 31 04 FF FF F4 48")); // -3000
    runUntilStopped(controller, 10000);
    QCOMPARE(query(controller, 0x37), 7000);
    QCOMPARE(query(controller, 0x39), -3000);
    QCOMPARE(send(controller, hex("01 38 00")), frameRtu(hex("01 38 00")));
    QCOMPARE(query(controller, 0x37), 0);
    QCOMPARE(query(controller, 0x39), -3000);
    // The zero-point switch stays where it is on the axis.
    QVERIFY(!controller.zeroPointActive());
}

void TestSimController::homing_data()
{
    QTest::addColumn<QByteArray>("moveAway");
    QTest::addColumn<bool>("clearAbsolute"); // before homing, away from the switch
    QTest::addColumn<QByteArray>("home");
    QTest::addColumn<double>("seconds");

    // Homing speed 10000 from the start speed 100 at 10000 pulses/s^2; a limit
    // switch on the way stops the motor and sends it back.
    const QByteArray plus20000 = hex("01 31 04 00 00 4E 20");
    const QByteArray minus20000 = hex("01 31 04 FF FF B1 E0");
    QTest::newRow("from the right, towards the switch")
            << plus20000 << false << hex("01 3E 01 01") << runSeconds(20000, v0, 10000, acc);
    QTest::newRow("from the left, towards the switch")
            << minus20000 << false << hex("01 3E 01 00") << runSeconds(20000, v0, 10000, acc);
    QTest::newRow("from the right, away: turns at the right limit 30000")
            << plus20000 << false << hex("01 3E 01 00")
            << runSeconds(10000, v0, 10000, acc) + runSeconds(30000, v0, 10000, acc);
    QTest::newRow("absolute position cleared elsewhere")
            << plus20000 << true << hex("01 3E 01 01") << runSeconds(20000, v0, 10000, acc);
}

void TestSimController::homing()
{
    QFETCH(QByteArray, moveAway);
    QFETCH(bool, clearAbsolute);
    QFETCH(QByteArray, home);
    QFETCH(double, seconds);

    SimConfig config;
    config.rightLimit = 30000;
    SimController controller(config);
    send(controller, moveAway);
    runUntilStopped(controller, 10000);
    if (clearAbsolute)
        send(controller, hex("01 38 00"));
    const qint64 relativeBefore = query(controller, 0x39);

    QCOMPARE(send(controller, home), home.left(2));
    const QString off = stopTimeOff(runUntilStopped(controller, 1000), seconds, 1000);
    QVERIFY2(off.isEmpty(), qPrintable(off));
    QCOMPARE(query(controller, 0x37), 0);
    QCOMPARE(send(controller, hex("01 3B 00")).toHex(' '), "01 3b 04 00 01 00 01 6e 8b");
    // Homing zeroes only the absolute position.
    QCOMPARE(query(controller, 0x39), relativeBefore - (moveAway[3] == '\0' ? 20000 : -20000));
    send(controller, hex("01 31 04 00 00 13 88"));
    runUntilStopped(controller, 10000);
    QCOMPARE(query(controller, 0x37), 5000);
}

void TestSimController::ioTableStoreAndQuery_data()
{
    QTest::addColumn<QByteArray>("download"); // payloads, sent as RTU frames
    QTest::addColumn<quint8>("code");
    QTest::addColumn<QByteArray>("queryReply");

    const auto row = [](const char *name, const char *download, quint8 code, const char *reply) {
        QTest::newRow(name) << hex(download) << code << hex(reply);
    };
    const char *move = "01 40 07 01 31 04 00 00 27 10";
    row("code 1: move 10000", move, 1, "01 41 07 01 31 04 00 00 27 10");
    row("code 3: immediate stop", "01 40 03 03 3C 00", 3, "01 41 03 03 3C 00");
    row("code 31: quantitative acceleration", "01 40 03 1F 45 00", 31, "01 41 03 1F 45 00");
    row("code 31: no command bytes clears the entry", "01 40 01 1F", 31, "01 41 01 1F");
    row("code 1 stored, code 3 asked", move, 3, "01 41 01 03");
}

void TestSimController::ioTableStoreAndQuery()
{
    QFETCH(QByteArray, download);
    QFETCH(quint8, code);
    QFETCH(QByteArray, queryReply);

    SimController controller;
    QCOMPARE(send(controller, download).toHex(' '), frameRtu(download).toHex(' '));
    const QByteArray reply = send(controller, hex("01 41 01") + char(code));
    QCOMPARE(reply.toHex(' '), frameRtu(queryReply).toHex(' '));
    // Downloading runs nothing.
    QVERIFY(!controller.isMoving());
}

void TestSimController::ioTableRunsOnInputChange()
{
    SimController controller;
    // IN1 and IN2 active (code 3): move 100 pulses.
    send(controller, hex("01 40 07 03 31 04 00 00 00 64"));
    QCOMPARE(controller.ioEntry(3).toHex(' '), "31 04 00 00 00 64");

    controller.setInputs(0x01);
    QVERIFY(!controller.isMoving());
    controller.setInputs(0x03);
    QVERIFY(controller.isMoving());
    runUntilStopped(controller, 10000);
    QCOMPARE(query(controller, 0x37), 100);

    // The same inputs again are no change: nothing runs.
    controller.setInputs(0x03);
    QVERIFY(!controller.isMoving());
    // Leaving the code and coming back runs the command once more.
    controller.setInputs(0x00);
    controller.setInputs(0x03);
    runUntilStopped(controller, 10000);
    QCOMPARE(query(controller, 0x37), 200);

    // A stored stop ends a run when its inputs show.
    send(controller, hex("01 40 03 10 3C 00"));
    send(controller, hex("01 33 04 00 00 27 10"));
    controller.advance(100000);
    controller.setInputs(0x10);
    QVERIFY(!controller.isMoving());

    // A stored move while the motor runs is refused like a busy request.
    send(controller, hex("01 33 04 00 00 27 10"));
    controller.advance(100000);
    const qint64 position = query(controller, 0x37);
    controller.setInputs(0x03);
    QCOMPARE(controller.axis().motion(), SimAxis::Motion::Run);
    QVERIFY(query(controller, 0x37) >= position);
}

QTEST_GUILESS_MAIN(TestSimController)
#include "tst_sim_controller.moc"
