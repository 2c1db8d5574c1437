// The predicted motion: hand-computed ramps, request payloads, the simulated controller's axis.
#include "device/frame.h"
#include "motion/motion_profile.h"
#include "sim/sim_controller.h"

#include <QTest>

#include <array>
#include <cmath>
#include <limits>

namespace {
using Timed = std::pair<double, MotionCommand>; // a command and when it is given, in s
using Sample = std::array<double, 3>; // time, position, speed
using Sent = std::pair<int, const char *>; // when, in ms, a request payload (hex) is sent
constexpr double inf = std::numeric_limits<double>::infinity();

bool near(double actual, double expected)
{
    return std::isinf(expected)
            ? actual == expected
            : std::abs(actual - expected) <= 1e-9 * std::max(1.0, std::abs(expected));
}
} // namespace

Q_DECLARE_METATYPE(MotionParameters)
Q_DECLARE_METATYPE(QList<Timed>)
Q_DECLARE_METATYPE(QList<Sample>)
Q_DECLARE_METATYPE(QList<Sent>)
Q_DECLARE_METATYPE(std::optional<MotionCommand>)

// clang-format off
#define VERIFY_NEAR(actual, expected, t) \
    QVERIFY2(near(actual, expected), qPrintable(QStringLiteral(#actual " at %1 s: %2, not %3") \
                                                .arg(t).arg(actual, 0, 'g', 12).arg(expected)))
// clang-format on

class TestMotionProfile : public QObject
{
    Q_OBJECT

private slots:
    void profile_data()
    {
        QTest::addColumn<MotionParameters>("parameters");
        QTest::addColumn<QList<Timed>>("commands");
        QTest::addColumn<QList<Sample>>("samples");
        QTest::addColumn<double>("duration");
        QTest::addColumn<double>("end");
        using C = MotionCommand;
        const MotionParameters p;
        const MotionCommand move10000{C::Move, 10000}, run5000{C::Run, 5000};
        const auto row = [](const char *name, const MotionParameters &parameters,
                            const QList<Timed> &commands, const QList<Sample> &samples,
                            double duration, double end) {
            QTest::newRow(name) << parameters << commands << samples << duration << end;
        };
        // clang-format off
        row("trapezoid", p, {{0, move10000}}, {{0, 0, 100}, {0.99, 4999.5, 10000},
            {0.99505, 5050, 10000}, {1.44505, 8537.5, 5500}, {3, 10000, 0}}, 1.89505, 10000);
        row("triangle", p, {{0, {C::Move, 1000}}},
            {{0.314114177412837, 524.75, 3241.14177412837}}, 0.538228354825674, 1000);
        row("triangle, steeper up than down", {.startSpeed = 500, .endSpeed = 200,
            .acceleration = 20000, .deceleration = 5000}, {{0, {C::Move, 2500}}},
            {{0.199064722792322, 495.8, 4481.29445584644}}, 1.05532361396161, 2500);
        row("zero-length move", p, {{0, {C::Move, 0}}}, {{0, 0, 0}, {1, 0, 0}}, 0, 0);
        row("negative move", p, {{0, {C::Move, -10000}}}, {{0.99, -4999.5, 10000}}, 1.89505,
            -10000);
        row("start above end speed", {.startSpeed = 2000, .endSpeed = 500}, {{0, move10000}},
            {{0.8, 4800, 10000}, {0.82125, 5012.5, 10000}}, 1.77125, 10000);
        row("short move, below the end speed all the way", p, {{0, {C::Move, 40}}},
            {{0.04, 12, 500}}, 0.08, 40);
        row("short move, braking all the way", {.startSpeed = 3000}, {{0, {C::Move, 250}}},
            {{0.05, 137.5, 2500}}, 0.1, 250);
        row("run", p, {{0, run5000}}, {{0.49, 1249.5, 5000}, {1.49, 6249.5, 5000}}, inf, inf);
        row("run below the start speed", p, {{0, {C::Run, 50}}}, {{0, 0, 50}, {1, 50, 50}}, inf,
            inf);
        row("run, slower", p, {{0, run5000}, {1, {C::ChangeSpeed, 2000}}},
            {{1.15, 4437, 3500}, {1.3, 4849.5, 2000}, {2.3, 6849.5, 2000}}, inf, inf);
        row("run, faster by the factor", p, {{0, {C::Run, -2000}},
            {1, {C::QuantitativeAcceleration}}}, {{1.05, -1932, 2500}, {2.05, -4432, 2500}}, inf,
            -inf);
        row("run, speed 0 stops it", {.startSpeed = 0}, {{0, run5000},
            {1, {C::ChangeSpeed, 0}}}, {{1.2, 4550, 3000}}, 1.4, 4950);
        row("move, slower while cruising", p, {{0, {C::Move, 30000}},
            {1.5, {C::ChangeSpeed, 5000}}}, {{1.5, 10099.5, 10000}, {2, 13849.5, 5000},
            {4.9901, 28800, 5000}}, 5.3901, 30000);
        row("move, faster while cruising", {.maxSpeed = 5000}, {{0, {C::Move, 30000}},
            {1, {C::ChangeSpeed, 10000}}}, {{1.5, 7549.5, 10000}, {3.25005, 25050, 10000}},
            4.15005, 30000);
        row("decelerating stop while ramping up", p, {{0, move10000},
            {0.305, {C::DeceleratingStop}}}, {{0.305, 495.625, 3150}, {0.41, 771.25, 2100}},
            0.52, 942);
        row("immediate stop", p, {{0, move10000}, {0.305, {C::ImmediateStop}}}, {{0.4, 496, 0}},
            0.305, 496);
        row("homing towards the zero point", {.homingSpeed = 5000}, {{0, {C::Move, -3000}},
            {1, {C::Home, 1}}}, {{1.49, -1750.5, 5000}}, 1.8401, 0);
        row("homing away from the zero point", p, {{0, {C::Move, -3000}}, {1, {C::Home, -1}}},
            {{2, -8099.5, 10000}}, inf, -inf);
        row("homing on the zero point", p, {{0, {C::Home, 1}}}, {{0.5, 0, 0}}, 0, 0);
        row("move refused while running", p, {{0, run5000}, {1, {C::Move, 1000}}},
            {{1.49, 6249.5, 5000}}, inf, inf);
        // clang-format on
    }

    void profile()
    {
        QFETCH(MotionParameters, parameters);
        QFETCH(QList<Timed>, commands);
        QFETCH(QList<Sample>, samples);
        QFETCH(double, duration);
        QFETCH(double, end);
        MotionProfile profile;
        double at = 0; // when the profile's command was given
        for (const auto &[time, command] : commands) {
            profile = predictMotion(profile.stateAt(time - at), parameters, command);
            at = time;
        }
        for (const auto &[t, position, speed] : samples) {
            VERIFY_NEAR(profile.positionAt(t - at), position, t);
            VERIFY_NEAR(profile.speedAt(t - at), speed, t);
        }
        VERIFY_NEAR(at + profile.duration(), duration, at);
        VERIFY_NEAR(profile.endPosition(), end, at);
    }

    void payload_data()
    {
        QTest::addColumn<QByteArray>("payload");
        QTest::addColumn<std::optional<MotionCommand>>("command");
        using C = MotionCommand;
        const auto row = [](const char *hex, std::optional<MotionCommand> command) {
            QTest::newRow(hex) << QByteArray::fromHex(hex) << command;
        };
        row("01 31 04 FF FF F6 3C", C{C::Move, -2500});
        row("01 32 04 01 00 09 C4", C{C::Move, -2500});
        row("01 34 04 00 01 86 A0", C{C::Run, 100000});
        row("01 33 04 80 00 00 00", C{C::Run, -2147483648LL});
        row("01 35 04 00 00 07 D0", C{C::ChangeSpeed, 2000});
        row("01 35 04 FF FF FF FF", std::nullopt);
        row("01 44 04 00 00 01 F4", C{C::SpeedFactor, 500});
        row("01 3E 01 01", C{C::Home, -1});
        row("01 3E 01 02", std::nullopt);
        row("01 3D 00", C{C::DeceleratingStop});
        row("01 46 00", C{C::QuantitativeDeceleration});
        row("01 31 03 00 27 10", std::nullopt);
        row("01 37 00", std::nullopt);
    }

    void payload()
    {
        QFETCH(QByteArray, payload);
        QFETCH(std::optional<MotionCommand>, command);
        QCOMPARE(MotionCommand::fromPayload(payload), command);
    }

    // The simulated controller, run on its clock in 1 ms steps, against the prediction.
    void simulator_data()
    {
        QTest::addColumn<MotionParameters>("parameters");
        QTest::addColumn<QList<Sent>>("sent");
        const auto row = [](const char *name, const MotionParameters &p, const QList<Sent> &sent) {
            QTest::newRow(name) << p << sent;
        };
        const MotionParameters p;
        row("10000 pulses", p, {{0, "01 31 04 00 00 27 10"}});
        row("1000 pulses", p, {{0, "01 31 04 00 00 03 E8"}});
        row("-2500 pulses, another ramp", {500, 4000, 200, 20000, 5000},
            {{0, "01 32 04 01 00 09 C4"}});
        row("run, slower at 1 s", p, {{0, "01 33 04 00 00 13 88"}, {1000, "01 35 04 00 00 07 D0"}});
        row("run, decelerating stop at 0.7 s", {.startSpeed = 0},
            {{0, "01 34 04 00 00 0F A0"}, {700, "01 3D 00"}});
    }

    void simulator()
    {
        QFETCH(MotionParameters, parameters);
        QFETCH(QList<Sent>, sent);
        SimController controller;
        const auto send = [&](const QByteArray &payload) {
            const QByteArray reply = controller.receive(frameRequest(payload, CommMode::Rtu));
            QVERIFY2(reply.size() >= 2 && !(reply[1] & 0x80), reply.toHex(' ').constData());
        };
        const std::pair<quint8, double> fields[] = {
                {0x25, parameters.startSpeed},   {0x27, parameters.maxSpeed},
                {0x29, parameters.endSpeed},     {0x2B, parameters.acceleration},
                {0x2D, parameters.deceleration}, {0x2F, parameters.homingSpeed}};
        for (const auto &[code, value] : fields)
            send(makePayload(1, code, int32BigEndian(qint32(value))));
        MotionProfile profile;
        int ms = 0, at = 0;
        for (const auto &[time, hex] : sent) {
            for (; ms < time; ++ms)
                controller.advance(1000);
            const QByteArray payload = QByteArray::fromHex(hex);
            send(payload);
            profile = predictMotion(profile.stateAt((time - at) / 1e3), parameters,
                                    *MotionCommand::fromPayload(payload));
            at = time;
        }
        if (std::isinf(profile.duration())) {
            for (; ms < at + 1500; ++ms)
                controller.advance(1000);
            VERIFY_NEAR(controller.axis().position(), profile.positionAt(1.5), 1.5);
            VERIFY_NEAR(controller.axis().speed(), profile.speedAt(1.5), 1.5);
            return;
        }
        const double end = at / 1e3 + profile.duration();
        for (; controller.isMoving() && ms < 60000; ++ms)
            controller.advance(1000);
        QVERIFY2(std::abs(ms / 1e3 - end) <= 0.01 * end, qPrintable(QString::number(ms)));
        QCOMPARE(double(controller.absolutePosition()), profile.endPosition());
    }
};

QTEST_GUILESS_MAIN(TestMotionProfile)
#include "tst_motion_profile.moc"
