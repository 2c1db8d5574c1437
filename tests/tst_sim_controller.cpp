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
    QTest::addColumn<QByteArrayList>("setup"); // payloads sent first, as RTU frames
    QTest::addColumn<QByteArray>("request");
    QTest::addColumn<QByteArray>("reply");

    // clang-format off
    QTest::newRow("20 handshake rtu")
            << QByteArrayList{} << hex("01 20 00 39 C0") << hex("01 20 00 39 C0");
    QTest::newRow("21 address query to 00 rtu")
            << QByteArrayList{} << hex("00 21 00 69 90") << hex("01 21 00 38 50");
    QTest::newRow("21 address query to own address rtu")
            << QByteArrayList{} << hex("01 21 00 38 50") << hex("01 21 00 38 50");
    QTest::newRow("22 change address rtu")
            << QByteArrayList{} << hex("01 22 01 02 21 83") << hex("01 22 01 02 21 83");
    QTest::newRow("23 baud query rtu")
            << QByteArrayList{} << hex("01 23 00 39 30") << hex("01 23 01 06 71 80");
    QTest::newRow("24 change baud rtu")
            << QByteArrayList{} << hex("01 24 01 08 41 85") << hex("01 24 01 08 41 85");
    QTest::newRow("25 set start speed rtu")
            << QByteArrayList{} << hex("01 25 04 00 00 00 64 FC DE")
            << hex("01 25 04 00 00 00 64 FC DE");
    QTest::newRow("27 set max speed rtu")
            << QByteArrayList{} << hex("01 27 04 00 00 27 10 E6 EB")
            << hex("01 27 04 00 00 27 10 E6 EB");
    QTest::newRow("29 set end speed rtu")
            << QByteArrayList{} << hex("01 29 04 00 00 03 E8 FD 47")
            << hex("01 29 04 00 00 03 E8 FD 47");
    QTest::newRow("2B set acceleration rtu")
            << QByteArrayList{} << hex("01 2B 04 00 00 27 10 E6 27")
            << hex("01 2B 04 00 00 27 10 E6 27");
    QTest::newRow("2D set deceleration rtu")
            << QByteArrayList{} << hex("01 2D 04 00 00 27 10 E6 41")
            << hex("01 2D 04 00 00 27 10 E6 41");
    QTest::newRow("2F set homing speed rtu")
            << QByteArrayList{} << hex("01 2F 04 00 00 27 10 E7 A3")
            << hex("01 2F 04 00 00 27 10 E7 A3");
    QTest::newRow("26 query start speed rtu")
            << QByteArrayList{} << hex("01 26 00 3A 60") << hex("01 26 04 00 00 00 64 FC ED");
    QTest::newRow("28 query max speed rtu")
            << QByteArrayList{} << hex("01 28 00 3E 00") << hex("01 28 04 00 00 27 10 E6 14");
    QTest::newRow("2A query end speed rtu")
            << QByteArrayList{} << hex("01 2A 00 3F 60") << hex("01 2A 04 00 00 03 E8 FD 74");
    QTest::newRow("2C query acceleration rtu")
            << QByteArrayList{} << hex("01 2C 00 3C C0") << hex("01 2C 04 00 00 27 10 E7 90");
    QTest::newRow("2E query deceleration rtu")
            << QByteArrayList{} << hex("01 2E 00 3D A0") << hex("01 2E 04 00 00 27 10 E6 72");
    QTest::newRow("30 query homing speed rtu")
            << QByteArrayList{} << hex("01 30 00 34 00") << hex("01 30 04 00 00 27 10 E5 CC");
    QTest::newRow("26 query after set 256 rtu")
            << QByteArrayList{hex("01 25 04 00 00 01 00")} << hex("01 26 00 3A 60")
            << hex("01 26 04 00 00 01 00 FC 96");
    QTest::newRow("2E query after set 123456 rtu")
            << QByteArrayList{hex("01 2D 04 00 01 E2 40")} << hex("01 2E 00 3D A0")
            << hex("01 2E 04 00 01 E2 40 E4 DE");
    QTest::newRow("31 move rtu")
            << QByteArrayList{} << hex("01 31 04 00 00 27 10 E4 1D")
            << hex("01 31 04 00 00 27 10 E4 1D");
    QTest::newRow("32 move direction 24 rtu")
            << QByteArrayList{} << hex("01 32 04 01 00 03 E8 FF 50")
            << hex("01 32 04 01 00 03 E8 FF 50");
    QTest::newRow("33 run rtu")
            << QByteArrayList{} << hex("01 33 04 00 00 27 10 E5 FF")
            << hex("01 33 04 00 00 27 10 E5 FF");
    QTest::newRow("34 run direction 24 rtu")
            << QByteArrayList{} << hex("01 34 04 00 00 27 10 E4 48")
            << hex("01 34 04 00 00 27 10 E4 48");
    QTest::newRow("35 change speed rtu")
            << QByteArrayList{hex("01 33 04 00 00 27 10")} << hex("01 35 04 00 00 13 88 F2 F3")
            << hex("01 35 04 00 00 13 88 F2 F3");
    QTest::newRow("36 speed at rest rtu")
            << QByteArrayList{} << hex("01 36 00 37 A0") << hex("01 36 04 00 00 00 00 FF 96");
    QTest::newRow("37 absolute position rtu")
            << QByteArrayList{} << hex("01 37 00 36 30") << hex("01 37 04 00 00 00 00 FE 47");
    QTest::newRow("38 clear absolute rtu")
            << QByteArrayList{} << hex("01 38 00 33 C0") << hex("01 38 00 33 C0");
    QTest::newRow("39 relative position rtu")
            << QByteArrayList{} << hex("01 39 00 32 50") << hex("01 39 04 00 00 00 00 FF 69");
    QTest::newRow("3A clear relative rtu")
            << QByteArrayList{} << hex("01 3A 00 32 A0") << hex("01 3A 00 32 A0");
    QTest::newRow("3B status at rest on zero point rtu")
            << QByteArrayList{} << hex("01 3B 00 33 30") << hex("01 3B 04 00 01 00 01 6E 8B");
    QTest::newRow("3B status while running, still on the zero point rtu")
            << QByteArrayList{hex("01 33 04 00 00 27 10")} << hex("01 3B 00 33 30")
            << hex("01 3B 04 01 01 00 01 6F 77");
    QTest::newRow("3C immediate stop rtu")
            << QByteArrayList{} << hex("01 3C 00 31 00") << hex("01 3C");
    QTest::newRow("3D decelerating stop rtu")
            << QByteArrayList{} << hex("01 3D 00 30 90") << hex("01 3D");
    QTest::newRow("3E homing rtu")
            << QByteArrayList{} << hex("01 3E 01 01 A0 44") << hex("01 3E");
    QTest::newRow("40 IO download rtu")
            << QByteArrayList{} << hex("01 40 07 01 31 04 00 00 27 10 AE FA")
            << hex("01 40 07 01 31 04 00 00 27 10 AE FA");
    QTest::newRow("41 IO query empty rtu")
            << QByteArrayList{} << hex("01 41 01 01 91 9C") << hex("01 41 01 01 91 9C");
    QTest::newRow("41 IO query stored rtu")
            << QByteArrayList{hex("01 40 07 01 31 04 00 00 27 10")} << hex("01 41 01 01 91 9C")
            << hex("01 41 07 01 31 04 00 00 27 10 A3 6A");
    QTest::newRow("42 inputs none active rtu")
            << QByteArrayList{} << hex("01 42 00 10 A0") << hex("01 42 05 01 01 01 01 01 4E 3A");
    QTest::newRow("44 speed factor rtu")
            << QByteArrayList{} << hex("01 44 04 00 00 01 F4 F5 53") << hex("01 44");
    QTest::newRow("45 quantitative acceleration rtu")
            << QByteArrayList{} << hex("01 45 00 12 90") << hex("01 45");
    QTest::newRow("46 quantitative deceleration rtu")
            << QByteArrayList{} << hex("01 46 00 12 60") << hex("01 46");
    QTest::newRow("47 factory settings rtu")
            << QByteArrayList{} << hex("01 47 00 13 F0") << hex("01 47");
    QTest::newRow("43 unknown code rtu")
            << QByteArrayList{} << hex("01 43 00 11 30") << hex("01 C3 01 B1 30");
    QTest::newRow("3F unknown code rtu")
            << QByteArrayList{} << hex("01 3F 00 31 F0") << hex("01 BF 01 91 F0");
    QTest::newRow("48 unknown code rtu")
            << QByteArrayList{} << hex("01 48 00 16 00") << hex("01 C8 01 B6 00");
    QTest::newRow("03 code below the command set rtu")
            << QByteArrayList{} << hex("01 03 00 20 F0") << hex("01 83 01 80 F0");
    QTest::newRow("24 code 00 (57600) rtu")
            << QByteArrayList{} << hex("01 24 01 00 40 43") << hex("01 A4 03 1A C1");
    QTest::newRow("24 code 0A rtu")
            << QByteArrayList{} << hex("01 24 01 0A C0 44") << hex("01 A4 03 1A C1");
    QTest::newRow("22 new address 00 rtu")
            << QByteArrayList{} << hex("01 22 01 00 A0 42") << hex("01 A2 03 19 61");
    QTest::newRow("22 new address F8 rtu")
            << QByteArrayList{} << hex("01 22 01 F8 A1 C0") << hex("01 A2 03 19 61");
    QTest::newRow("25 negative start speed rtu")
            << QByteArrayList{} << hex("01 25 04 FF FF FF FF FC A1") << hex("01 A5 03 1B 51");
    QTest::newRow("27 max speed 0 rtu")
            << QByteArrayList{} << hex("01 27 04 00 00 00 00 FC D7") << hex("01 A7 03 1A 31");
    QTest::newRow("2B acceleration 0 rtu")
            << QByteArrayList{} << hex("01 2B 04 00 00 00 00 FC 1B") << hex("01 AB 03 1F 31");
    QTest::newRow("32 direction 2 rtu")
            << QByteArrayList{} << hex("01 32 04 02 00 03 E8 FF 14") << hex("01 B2 03 14 A1");
    QTest::newRow("3E direction 2 rtu")
            << QByteArrayList{} << hex("01 3E 01 02 E0 45") << hex("01 BE 03 11 A1");
    QTest::newRow("35 negative speed rtu")
            << QByteArrayList{} << hex("01 35 04 FF FF FF FF FE 31") << hex("01 B5 03 16 91");
    QTest::newRow("44 negative factor rtu")
            << QByteArrayList{} << hex("01 44 04 FF FF FF FF F4 D0") << hex("01 C4 03 32 C1");
    QTest::newRow("20 with a data byte rtu")
            << QByteArrayList{} << hex("01 20 01 00 01 82") << hex("01 A0 03 18 01");
    QTest::newRow("25 with one data byte rtu")
            << QByteArrayList{} << hex("01 25 01 64 10 68") << hex("01 A5 03 1B 51");
    QTest::newRow("40 IO code 0 rtu")
            << QByteArrayList{} << hex("01 40 07 00 31 04 00 00 27 10 BE 3A")
            << hex("01 C0 03 30 01");
    QTest::newRow("40 IO code 32 rtu")
            << QByteArrayList{} << hex("01 40 07 20 31 04 00 00 27 10 9F F8")
            << hex("01 C0 03 30 01");
    QTest::newRow("40 command cut short rtu")
            << QByteArrayList{} << hex("01 40 06 01 31 04 00 00 27 58 6F") << hex("01 C0 03 30 01");
    QTest::newRow("40 command not for the IO table rtu")
            << QByteArrayList{} << hex("01 40 03 01 20 00 48 41") << hex("01 C0 03 30 01");
    QTest::newRow("40 ASCII characters as command rtu")
            << QByteArrayList{} << hex("01 40 0D 01 33 31 30 34 30 30 30 30 32 37 31 30 34 8B")
            << hex("01 C0 03 30 01");
    QTest::newRow("41 IO code 0 rtu")
            << QByteArrayList{} << hex("01 41 01 00 50 5C") << hex("01 C1 03 31 91");
    QTest::newRow("41 IO code 32 rtu")
            << QByteArrayList{} << hex("01 41 01 20 51 84") << hex("01 C1 03 31 91");
    QTest::newRow("31 while moving rtu")
            << QByteArrayList{hex("01 33 04 00 00 27 10")} << hex("01 31 04 00 00 27 10 E4 1D")
            << hex("01 B1 06 D4 52");
    QTest::newRow("33 while moving rtu")
            << QByteArrayList{hex("01 31 04 00 00 27 10")} << hex("01 33 04 00 00 27 10 E5 FF")
            << hex("01 B3 06 D5 32");
    QTest::newRow("3E while moving rtu")
            << QByteArrayList{hex("01 33 04 00 00 27 10")} << hex("01 3E 01 00 61 84")
            << hex("01 BE 06 D1 A2");
    QTest::newRow("20 handshake ascii")
            << QByteArrayList{} << QByteArray(":012000DF\r\n") << QByteArray(":012000DF\r\n");
    QTest::newRow("21 address query to 00 ascii")
            << QByteArrayList{} << QByteArray(":002100DF\r\n") << QByteArray(":012100DE\r\n");
    QTest::newRow("21 address query to own address ascii")
            << QByteArrayList{} << QByteArray(":012100DE\r\n") << QByteArray(":012100DE\r\n");
    QTest::newRow("22 change address ascii")
            << QByteArrayList{} << QByteArray(":01220102DA\r\n") << QByteArray(":01220102DA\r\n");
    QTest::newRow("23 baud query ascii")
            << QByteArrayList{} << QByteArray(":012300DC\r\n") << QByteArray(":01230106D5\r\n");
    QTest::newRow("24 change baud ascii")
            << QByteArrayList{} << QByteArray(":01240108D2\r\n") << QByteArray(":01240108D2\r\n");
    QTest::newRow("25 set start speed ascii")
            << QByteArrayList{} << QByteArray(":0125040000006472\r\n")
            << QByteArray(":0125040000006472\r\n");
    QTest::newRow("27 set max speed ascii")
            << QByteArrayList{} << QByteArray(":012704000027109D\r\n")
            << QByteArray(":012704000027109D\r\n");
    QTest::newRow("29 set end speed ascii")
            << QByteArrayList{} << QByteArray(":012904000003E8E7\r\n")
            << QByteArray(":012904000003E8E7\r\n");
    QTest::newRow("2B set acceleration ascii")
            << QByteArrayList{} << QByteArray(":012B040000271099\r\n")
            << QByteArray(":012B040000271099\r\n");
    QTest::newRow("2D set deceleration ascii")
            << QByteArrayList{} << QByteArray(":012D040000271097\r\n")
            << QByteArray(":012D040000271097\r\n");
    QTest::newRow("2F set homing speed ascii")
            << QByteArrayList{} << QByteArray(":012F040000271095\r\n")
            << QByteArray(":012F040000271095\r\n");
    QTest::newRow("26 query start speed ascii")
            << QByteArrayList{} << QByteArray(":012600D9\r\n")
            << QByteArray(":0126040000006471\r\n");
    QTest::newRow("28 query max speed ascii")
            << QByteArrayList{} << QByteArray(":012800D7\r\n")
            << QByteArray(":012804000027109C\r\n");
    QTest::newRow("2A query end speed ascii")
            << QByteArrayList{} << QByteArray(":012A00D5\r\n")
            << QByteArray(":012A04000003E8E6\r\n");
    QTest::newRow("2C query acceleration ascii")
            << QByteArrayList{} << QByteArray(":012C00D3\r\n")
            << QByteArray(":012C040000271098\r\n");
    QTest::newRow("2E query deceleration ascii")
            << QByteArrayList{} << QByteArray(":012E00D1\r\n")
            << QByteArray(":012E040000271096\r\n");
    QTest::newRow("30 query homing speed ascii")
            << QByteArrayList{} << QByteArray(":013000CF\r\n")
            << QByteArray(":0130040000271094\r\n");
    QTest::newRow("26 query after set 256 ascii")
            << QByteArrayList{hex("01 25 04 00 00 01 00")} << QByteArray(":012600D9\r\n")
            << QByteArray(":01260400000100D4\r\n");
    QTest::newRow("2E query after set 123456 ascii")
            << QByteArrayList{hex("01 2D 04 00 01 E2 40")} << QByteArray(":012E00D1\r\n")
            << QByteArray(":012E040001E240AA\r\n");
    QTest::newRow("31 move ascii")
            << QByteArrayList{} << QByteArray(":0131040000271093\r\n")
            << QByteArray(":0131040000271093\r\n");
    QTest::newRow("32 move direction 24 ascii")
            << QByteArrayList{} << QByteArray(":013204010003E8DD\r\n")
            << QByteArray(":013204010003E8DD\r\n");
    QTest::newRow("33 run ascii")
            << QByteArrayList{} << QByteArray(":0133040000271091\r\n")
            << QByteArray(":0133040000271091\r\n");
    QTest::newRow("34 run direction 24 ascii")
            << QByteArrayList{} << QByteArray(":0134040000271090\r\n")
            << QByteArray(":0134040000271090\r\n");
    QTest::newRow("35 change speed ascii")
            << QByteArrayList{hex("01 33 04 00 00 27 10")} << QByteArray(":013504000013882B\r\n")
            << QByteArray(":013504000013882B\r\n");
    QTest::newRow("36 speed at rest ascii")
            << QByteArrayList{} << QByteArray(":013600C9\r\n")
            << QByteArray(":01360400000000C5\r\n");
    QTest::newRow("37 absolute position ascii")
            << QByteArrayList{} << QByteArray(":013700C8\r\n")
            << QByteArray(":01370400000000C4\r\n");
    QTest::newRow("38 clear absolute ascii")
            << QByteArrayList{} << QByteArray(":013800C7\r\n") << QByteArray(":013800C7\r\n");
    QTest::newRow("39 relative position ascii")
            << QByteArrayList{} << QByteArray(":013900C6\r\n")
            << QByteArray(":01390400000000C2\r\n");
    QTest::newRow("3A clear relative ascii")
            << QByteArrayList{} << QByteArray(":013A00C5\r\n") << QByteArray(":013A00C5\r\n");
    QTest::newRow("3B status at rest on zero point ascii")
            << QByteArrayList{} << QByteArray(":013B00C4\r\n")
            << QByteArray(":013B0400010001BE\r\n");
    QTest::newRow("3B status while running, still on the zero point ascii")
            << QByteArrayList{hex("01 33 04 00 00 27 10")} << QByteArray(":013B00C4\r\n")
            << QByteArray(":013B0401010001BD\r\n");
    QTest::newRow("3C immediate stop ascii")
            << QByteArrayList{} << QByteArray(":013C00C3\r\n") << QByteArray(":013CC3\r\n");
    QTest::newRow("3D decelerating stop ascii")
            << QByteArrayList{} << QByteArray(":013D00C2\r\n") << QByteArray(":013DC2\r\n");
    QTest::newRow("3E homing ascii")
            << QByteArrayList{} << QByteArray(":013E0101BF\r\n") << QByteArray(":013EC1\r\n");
    QTest::newRow("40 IO download ascii")
            << QByteArrayList{} << QByteArray(":014007013104000027104B\r\n")
            << QByteArray(":014007013104000027104B\r\n");
    QTest::newRow("41 IO query empty ascii")
            << QByteArrayList{} << QByteArray(":01410101BC\r\n") << QByteArray(":01410101BC\r\n");
    QTest::newRow("41 IO query stored ascii")
            << QByteArrayList{hex("01 40 07 01 31 04 00 00 27 10")}
            << QByteArray(":01410101BC\r\n") << QByteArray(":014107013104000027104A\r\n");
    QTest::newRow("42 inputs none active ascii")
            << QByteArrayList{} << QByteArray(":014200BD\r\n")
            << QByteArray(":0142050101010101B3\r\n");
    QTest::newRow("44 speed factor ascii")
            << QByteArrayList{} << QByteArray(":014404000001F4C2\r\n") << QByteArray(":0144BB\r\n");
    QTest::newRow("45 quantitative acceleration ascii")
            << QByteArrayList{} << QByteArray(":014500BA\r\n") << QByteArray(":0145BA\r\n");
    QTest::newRow("46 quantitative deceleration ascii")
            << QByteArrayList{} << QByteArray(":014600B9\r\n") << QByteArray(":0146B9\r\n");
    QTest::newRow("47 factory settings ascii")
            << QByteArrayList{} << QByteArray(":014700B8\r\n") << QByteArray(":0147B8\r\n");
    QTest::newRow("43 unknown code ascii")
            << QByteArrayList{} << QByteArray(":014300BC\r\n") << QByteArray(":01C3013B\r\n");
    QTest::newRow("3F unknown code ascii")
            << QByteArrayList{} << QByteArray(":013F00C0\r\n") << QByteArray(":01BF013F\r\n");
    QTest::newRow("48 unknown code ascii")
            << QByteArrayList{} << QByteArray(":014800B7\r\n") << QByteArray(":01C80136\r\n");
    QTest::newRow("03 code below the command set ascii")
            << QByteArrayList{} << QByteArray(":010300FC\r\n") << QByteArray(":0183017B\r\n");
    QTest::newRow("24 code 00 (57600) ascii")
            << QByteArrayList{} << QByteArray(":01240100DA\r\n") << QByteArray(":01A40358\r\n");
    QTest::newRow("24 code 0A ascii")
            << QByteArrayList{} << QByteArray(":0124010AD0\r\n") << QByteArray(":01A40358\r\n");
    QTest::newRow("22 new address 00 ascii")
            << QByteArrayList{} << QByteArray(":01220100DC\r\n") << QByteArray(":01A2035A\r\n");
    QTest::newRow("22 new address F8 ascii")
            << QByteArrayList{} << QByteArray(":012201F8E4\r\n") << QByteArray(":01A2035A\r\n");
    QTest::newRow("25 negative start speed ascii")
            << QByteArrayList{} << QByteArray(":012504FFFFFFFFDA\r\n")
            << QByteArray(":01A50357\r\n");
    QTest::newRow("27 max speed 0 ascii")
            << QByteArrayList{} << QByteArray(":01270400000000D4\r\n")
            << QByteArray(":01A70355\r\n");
    QTest::newRow("2B acceleration 0 ascii")
            << QByteArrayList{} << QByteArray(":012B0400000000D0\r\n")
            << QByteArray(":01AB0351\r\n");
    QTest::newRow("32 direction 2 ascii")
            << QByteArrayList{} << QByteArray(":013204020003E8DC\r\n")
            << QByteArray(":01B2034A\r\n");
    QTest::newRow("3E direction 2 ascii")
            << QByteArrayList{} << QByteArray(":013E0102BE\r\n") << QByteArray(":01BE033E\r\n");
    QTest::newRow("35 negative speed ascii")
            << QByteArrayList{} << QByteArray(":013504FFFFFFFFCA\r\n")
            << QByteArray(":01B50347\r\n");
    QTest::newRow("44 negative factor ascii")
            << QByteArrayList{} << QByteArray(":014404FFFFFFFFBB\r\n")
            << QByteArray(":01C40338\r\n");
    QTest::newRow("20 with a data byte ascii")
            << QByteArrayList{} << QByteArray(":01200100DE\r\n") << QByteArray(":01A0035C\r\n");
    QTest::newRow("25 with one data byte ascii")
            << QByteArrayList{} << QByteArray(":0125016475\r\n") << QByteArray(":01A50357\r\n");
    QTest::newRow("40 IO code 0 ascii")
            << QByteArrayList{} << QByteArray(":014007003104000027104C\r\n")
            << QByteArray(":01C0033C\r\n");
    QTest::newRow("40 IO code 32 ascii")
            << QByteArrayList{} << QByteArray(":014007203104000027102C\r\n")
            << QByteArray(":01C0033C\r\n");
    QTest::newRow("40 command cut short ascii")
            << QByteArrayList{} << QByteArray(":0140060131040000275C\r\n")
            << QByteArray(":01C0033C\r\n");
    QTest::newRow("40 command not for the IO table ascii")
            << QByteArrayList{} << QByteArray(":0140030120009B\r\n") << QByteArray(":01C0033C\r\n");
    QTest::newRow("40 ASCII characters as command ascii")
            << QByteArrayList{} << QByteArray(":01400D013331303430303030323731305F\r\n")
            << QByteArray(":01C0033C\r\n");
    QTest::newRow("41 IO code 0 ascii")
            << QByteArrayList{} << QByteArray(":01410100BD\r\n") << QByteArray(":01C1033B\r\n");
    QTest::newRow("41 IO code 32 ascii")
            << QByteArrayList{} << QByteArray(":014101209D\r\n") << QByteArray(":01C1033B\r\n");
    QTest::newRow("31 while moving ascii")
            << QByteArrayList{hex("01 33 04 00 00 27 10")} << QByteArray(":0131040000271093\r\n")
            << QByteArray(":01B10648\r\n");
    QTest::newRow("33 while moving ascii")
            << QByteArrayList{hex("01 31 04 00 00 27 10")} << QByteArray(":0133040000271091\r\n")
            << QByteArray(":01B30646\r\n");
    QTest::newRow("3E while moving ascii")
            << QByteArrayList{hex("01 33 04 00 00 27 10")} << QByteArray(":013E0100C0\r\n")
            << QByteArray(":01BE063B\r\n");
    // clang-format on
}

void TestSimController::replies()
{
    QFETCH(QByteArrayList, setup);
    QFETCH(QByteArray, request);
    QFETCH(QByteArray, reply);

    SimController controller;
    for (const QByteArray &payload : std::as_const(setup))
        QVERIFY(!send(controller, payload).isEmpty());
    QCOMPARE(controller.receive(request).toHex(' '), reply.toHex(' '));
}

void TestSimController::inputsQuery_data()
{
    QTest::addColumn<quint8>("active");
    QTest::addColumn<QByteArray>("rtuReply");
    QTest::addColumn<QByteArray>("asciiReply");

    QTest::newRow("none") << quint8(0) << hex("01 42 05 01 01 01 01 01 4E 3A")
                          << QByteArray(":0142050101010101B3\r\n");
    QTest::newRow("IN1") << quint8(0x01) << hex("01 42 05 00 01 01 01 01 73 FA")
                         << QByteArray(":0142050001010101B4\r\n");
    QTest::newRow("IN2 and IN5") << quint8(0x12) << hex("01 42 05 01 00 01 01 00 8E 06")
                                 << QByteArray(":0142050100010100B5\r\n");
    QTest::newRow("IN1, IN3, IN5") << quint8(0x15) << hex("01 42 05 00 01 00 01 00 E3 FA")
                                   << QByteArray(":0142050001000100B6\r\n");
    QTest::newRow("all") << quint8(0x1F) << hex("01 42 05 00 00 00 00 00 E3 96")
                         << QByteArray(":0142050000000000B8\r\n");
}

void TestSimController::inputsQuery()
{
    QFETCH(quint8, active);
    QFETCH(QByteArray, rtuReply);
    QFETCH(QByteArray, asciiReply);

    SimConfig config;
    config.activeInputs = active;
    SimController atStart(config);
    QCOMPARE(atStart.receive(hex("01 42 00 10 A0")).toHex(' '), rtuReply.toHex(' '));

    SimController changed;
    changed.setInputs(active);
    QCOMPARE(changed.receive(":014200BD\r\n"), asciiReply);
}

void TestSimController::framing_data()
{
    QTest::addColumn<QByteArrayList>("chunks");
    QTest::addColumn<qint64>("gapUs"); // clock advanced between chunks
    QTest::addColumn<QByteArray>("reply");

    const QByteArray handshake = hex("01 20 00 39 C0");
    const QByteArray asciiHandshake(":012000DF\r\n");
    QTest::newRow("good frame") << QByteArrayList{handshake} << 0ll << handshake;
    QTest::newRow("bad CRC") << QByteArrayList{hex("01 20 00 39 C1")} << 0ll << QByteArray();
    QTest::newRow("bad LRC") << QByteArrayList{":012000DE\r\n"} << 0ll << QByteArray();
    QTest::newRow("another station, RTU")
            << QByteArrayList{hex("02 20 00 C9 C0")} << 0ll << QByteArray();
    QTest::newRow("another station, ASCII")
            << QByteArrayList{":022000DE\r\n"} << 0ll << QByteArray();
    QTest::newRow("broadcast is not acted on")
            << QByteArrayList{frameRtu(hex("00 31 04 00 00 27 10")), frameRtu(hex("01 3B 00"))}
            << 0ll << hex("01 3B 04 00 01 00 01 6E 8B");
    QTest::newRow("bad frame, then a good one")
            << QByteArrayList{hex("01 20 00 39 C1") + handshake} << 0ll << handshake;
    QTest::newRow("garbage, then a good frame")
            << QByteArrayList{hex("FF FF") + handshake} << 0ll << handshake;
    QTest::newRow("garbage with a long length byte, then a good frame")
            << QByteArrayList{hex("05 06 FF") + handshake} << 0ll << handshake;
    QTest::newRow("bad ASCII frame, then a good RTU frame")
            << QByteArrayList{":012000DE\r\n" + handshake} << 0ll << handshake;
    QTest::newRow("ASCII frame without LF, then a good RTU frame")
            << QByteArrayList{":012000DF\r" + handshake} << 0ll << handshake;
    QTest::newRow("two frames in one block")
            << QByteArrayList{handshake + asciiHandshake} << 0ll << handshake + asciiHandshake;
    QTest::newRow("split frame, short pause")
            << QByteArrayList{hex("01 20"), hex("00 39 C0")} << 4000ll << handshake;
    QTest::newRow("split frame, silence longer than 3.5 characters")
            << QByteArrayList{hex("01 20"), hex("00 39 C0")} << 4100ll << QByteArray();
    QTest::newRow("stale partial frame, then a good frame")
            << QByteArrayList{hex("01 20"), handshake} << 4100ll << handshake;
    QTest::newRow("split ASCII frame, half a second apart")
            << QByteArrayList{":0120", "00DF\r\n"} << 500000ll << asciiHandshake;
    QTest::newRow("split ASCII frame, over a second apart")
            << QByteArrayList{":0120", "00DF\r\n"} << 1000100ll << QByteArray();
    QTest::newRow("lower-case hex digits, upper-case reply")
            << QByteArrayList{":012000df\r\n"} << 0ll << asciiHandshake;
    QTest::newRow("ASCII length byte disagrees with the data")
            << QByteArrayList{":0125030000006473\r\n"} << 0ll << QByteArray(":01A50357\r\n");
    QTest::newRow("byte by byte") << QByteArrayList{hex("01"), hex("20"), hex("00"), hex("39"),
                                                    hex("C0")}
                                  << 1000ll << handshake;
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
    QCOMPARE(answered.size(), rounds * reply.size());
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
    QTest::addColumn<QByteArray>("change");
    QTest::addColumn<quint8>("code");
    QTest::addColumn<qint64>("gapUs");
    QTest::addColumn<bool>("partialKept");

    // 3.5 characters of 11 bits: 4011 us at 9600, 2006 us at 19200, and
    // never less than 2 ms.
    QTest::newRow("9600, 3 ms pause") << hex("01 24 01 06 C0 41") << quint8(6) << 3000ll << true;
    QTest::newRow("19200, 3 ms pause") << hex("01 24 01 08 41 85") << quint8(8) << 3000ll << false;
    QTest::newRow("19200, 2 ms pause") << hex("01 24 01 08 41 85") << quint8(8) << 2000ll << true;
    QTest::newRow("2400, 16 ms pause") << hex("01 24 01 04 41 80") << quint8(4) << 16000ll << true;
    QTest::newRow("2400, 16.1 ms pause")
            << hex("01 24 01 04 41 80") << quint8(4) << 16100ll << false;
    QTest::newRow("38400, 1.9 ms pause") << hex("01 24 01 09 80 45") << quint8(9) << 1900ll << true;
}

void TestSimController::baudRateChangesAfterReply()
{
    QFETCH(QByteArray, change);
    QFETCH(quint8, code);
    QFETCH(qint64, gapUs);
    QFETCH(bool, partialKept);

    SimController controller;
    QCOMPARE(controller.receive(change), change);
    QCOMPARE(controller.baudCode(), code);
    QCOMPARE(controller.receive(hex("01 23 00 39 30")),
             frameRtu(QByteArray(hex("01 23 01")) + char(code)));

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

    // Halfway up the first ramp, x = v0 t + a t^2 / 2.
    const double t1 = 0.5;
    const auto ramp = [](double t) {
        return qint32(std::lround(v0 * t + acc * t * t / 2));
    };
    QTest::newRow("10000 pulses, window defaults")
            << hex("01 31 04 00 00 27 10") << 10000
            << trapezoidSeconds(10000, v0, vmax, ve, acc, dec)
            << trapezoidPeak(10000, v0, vmax, ve, acc, dec) << 500 << ramp(t1);
    QTest::newRow("-10000 pulses")
            << hex("01 31 04 FF FF D8 F0") << -10000
            << trapezoidSeconds(10000, v0, vmax, ve, acc, dec)
            << trapezoidPeak(10000, v0, vmax, ve, acc, dec) << 500 << -ramp(t1);
    QTest::newRow("1000 pulses never reach the maximum speed")
            << hex("01 31 04 00 00 03 E8") << 1000 << trapezoidSeconds(1000, v0, vmax, ve, acc, dec)
            << trapezoidPeak(1000, v0, vmax, ve, acc, dec) << 200 << ramp(0.2);
    QTest::newRow("direction 1, 24-bit count 1000")
            << hex("01 32 04 01 00 03 E8") << -1000
            << trapezoidSeconds(1000, v0, vmax, ve, acc, dec)
            << trapezoidPeak(1000, v0, vmax, ve, acc, dec) << 200 << -ramp(0.2);
    QTest::newRow("direction 0, 24-bit count 50000")
            << hex("01 32 04 00 00 C3 50") << 50000
            << trapezoidSeconds(50000, v0, vmax, ve, acc, dec)
            << trapezoidPeak(50000, v0, vmax, ve, acc, dec) << 500 << ramp(t1);
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
    const auto predictedUs = qint64(std::ceil(seconds * 1e6));
    QVERIFY2(elapsedUs >= predictedUs && elapsedUs < predictedUs + stepUs,
             qPrintable(QStringLiteral("stopped after %1 us, predicted %2 us")
                                .arg(elapsedUs)
                                .arg(predictedUs)));
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

    const auto value = [](quint8 code, qint32 v) {
        return makePayload(1, code, int32BigEndian(v));
    };
    QTest::newRow("start and end speed 0")
            << QByteArrayList{value(0x25, 0), value(0x29, 0)} << 10001
            << trapezoidSeconds(10001, 0, vmax, 0, acc, dec);
    // The motor starts at the lower of start and maximum speed, and ends its
    // ramp at the lower of end and maximum speed.
    QTest::newRow("start speed above the maximum speed")
            << QByteArrayList{value(0x25, 20000)} << 10001
            << trapezoidSeconds(10001, vmax, vmax, ve, acc, dec);
    QTest::newRow("end speed above the maximum speed")
            << QByteArrayList{value(0x29, 20000)} << 10000
            << trapezoidSeconds(10000, v0, vmax, vmax, acc, dec);
    QTest::newRow("slow acceleration, hard deceleration")
            << QByteArrayList{value(0x2B, 1000), value(0x2D, 50000)} << 30000
            << trapezoidSeconds(30000, v0, vmax, ve, 1000, 50000);
    QTest::newRow("maximum speed 2500") << QByteArrayList{value(0x27, 2500)} << 10000
                                        << trapezoidSeconds(10000, v0, 2500, ve, acc, dec);
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
    const qint64 elapsedUs = runUntilStopped(controller, 1000);
    const auto predictedUs = qint64(std::ceil(seconds * 1e6));
    QVERIFY2(elapsedUs >= predictedUs && elapsedUs < predictedUs + 1000,
             qPrintable(QStringLiteral("stopped after %1 us, predicted %2 us")
                                .arg(elapsedUs)
                                .arg(predictedUs)));
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
    const qint64 elapsedUs = runUntilStopped(controller, 1000);
    const auto predictedUs = qint64(std::ceil(rest * 1e6));
    QVERIFY2(elapsedUs >= predictedUs && elapsedUs < predictedUs + 1000,
             qPrintable(QStringLiteral("stopped after %1 us, predicted %2 us")
                                .arg(elapsedUs)
                                .arg(predictedUs)));
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
    const qint64 elapsedUs = runUntilStopped(controller, 10000);
    const auto predictedUs = qint64(std::ceil(seconds * 1e6));
    QVERIFY2(elapsedUs >= predictedUs && elapsedUs < predictedUs + 10000,
             qPrintable(QStringLiteral("stopped after %1 us, predicted %2 us")
                                .arg(elapsedUs)
                                .arg(predictedUs)));
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

    const QByteArray to5000 = hex("01 35 04 00 00 13 88");
    const QByteArray faster = hex("01 45 00");
    const QByteArray slower = hex("01 46 00");
    const QByteArray factor2000 = hex("01 44 04 00 00 07 D0");
    // Ramps at 10000 pulses/s^2 in both directions.
    QTest::newRow("new speed 5000, a quarter second on")
            << true << QByteArrayList{to5000} << 250 << 7500;
    QTest::newRow("new speed 5000, settled") << true << QByteArrayList{to5000} << 1000 << 5000;
    QTest::newRow("new speed 15000, a quarter second on")
            << true << QByteArrayList{hex("01 35 04 00 00 3A 98")} << 250 << 12500;
    QTest::newRow("new speed 0 stops the run")
            << true << QByteArrayList{hex("01 35 04 00 00 00 00")} << 1000 << 0;
    QTest::newRow("faster by the default factor 500")
            << true << QByteArrayList{faster} << 1000 << 10500;
    QTest::newRow("slower by the default factor 500")
            << true << QByteArrayList{slower} << 1000 << 9500;
    QTest::newRow("factor 2000, faster twice")
            << true << QByteArrayList{factor2000, faster, faster} << 1000 << 14000;
    QTest::newRow("factor 2000, slower three times")
            << true << QByteArrayList{factor2000, slower, slower, slower} << 1000 << 4000;
    QTest::newRow("faster at standstill does not start the motor")
            << false << QByteArrayList{faster} << 1000 << 0;
    QTest::newRow("decelerating stop, 0.45 s on")
            << true << QByteArrayList{hex("01 3D 00")} << 450 << 5500;
    QTest::newRow("decelerating stop, done after 0.9 s")
            << true << QByteArrayList{hex("01 3D 00")} << 901 << 0;
    QTest::newRow("immediate stop") << true << QByteArrayList{hex("01 3C 00")} << 0 << 0;
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
    const qint64 elapsedUs = runUntilStopped(controller, 1000);
    const auto predictedUs = qint64(std::ceil(seconds * 1e6));
    QVERIFY2(elapsedUs >= predictedUs && elapsedUs < predictedUs + 1000,
             qPrintable(QStringLiteral("stopped after %1 us, predicted %2 us")
                                .arg(elapsedUs)
                                .arg(predictedUs)));
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
    QTest::addColumn<QByteArray>("download");
    QTest::addColumn<QByteArray>("downloadReply");
    QTest::addColumn<QByteArray>("query");
    QTest::addColumn<QByteArray>("queryReply");

    QTest::newRow("code 1: move 10000")
            << hex("01 40 07 01 31 04 00 00 27 10 AE FA")
            << hex("01 40 07 01 31 04 00 00 27 10 AE FA") << hex("01 41 01 01 91 9C")
            << hex("01 41 07 01 31 04 00 00 27 10 A3 6A");
    QTest::newRow("code 3: immediate stop")
            << hex("01 40 03 03 3C 00 E1 41") << hex("01 40 03 03 3C 00 E1 41")
            << hex("01 41 01 03 10 5D") << hex("01 41 03 03 3C 00 DC 81");
    QTest::newRow("code 31: quantitative acceleration")
            << hex("01 40 03 1F 45 00 03 17") << hex("01 40 03 1F 45 00 03 17")
            << hex("01 41 01 1F 11 94") << hex("01 41 03 1F 45 00 3E D7");
    QTest::newRow("code 31: no command bytes clears the entry")
            << hex("01 40 01 1F 40 54") << hex("01 40 01 1F 40 54") << hex("01 41 01 1F 11 94")
            << hex("01 41 01 1F 11 94");
    QTest::newRow("code 1 stored, code 3 asked")
            << hex("01 40 07 01 31 04 00 00 27 10 AE FA")
            << hex("01 40 07 01 31 04 00 00 27 10 AE FA") << hex("01 41 01 03 10 5D")
            << hex("01 41 01 03 10 5D");
}

void TestSimController::ioTableStoreAndQuery()
{
    QFETCH(QByteArray, download);
    QFETCH(QByteArray, downloadReply);
    QFETCH(QByteArray, query);
    QFETCH(QByteArray, queryReply);

    SimController controller;
    QCOMPARE(controller.receive(download).toHex(' '), downloadReply.toHex(' '));
    QCOMPARE(controller.receive(query).toHex(' '), queryReply.toHex(' '));
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
