#pragma once

#include "device/frame.h"
#include "sim_axis.h"
#include "sim_frame_reader.h"
#include "util/result.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QList>

#include <array>
#include <optional>

// The simulated motion controller: bytes in, bytes out. It answers the requests
// of the command set (RTU or ASCII, replying in the mode of the request), runs
// the motor axis on a clock its owner advances, and keeps the IO table whose
// commands run when the inputs IN1 to IN5 show their code. Pure and
// single-threaded: no port, no timer, no wall clock.

/// What is wrong with a unit that plays a faulty one, to see how the tool and a test
/// plan cope: replies lost, spoiled or late (the server's part), moves that end short
/// and a motor slower than its settings (the controller's). Nothing by default.
struct SimFaults
{
    /// Where the random choices of the faults start, unless told otherwise.
    static constexpr quint32 defaultSeed = 1;

    int dropPercent = 0; // share of replies never sent, 0 to 100
    int corruptPercent = 0; // share of replies sent with one byte spoiled, 0 to 100
    int delayMs = 0; // each reply held back so long on the server's clock
    qint32 lostSteps = 0; // each position move ends so many pulses short, 0 or more
    // Motions run at this share of the speeds they are given, over 0 up to 1; the
    // accelerations at its square, so that each takes 1 / slowFactor times as long.
    double slowFactor = 1;
};

/// How the simulated controller and its machine start.
struct SimConfig
{
    quint8 address = 1;
    qint32 baudRate = 9600; // one of the rates with a code (2400 to 38400)
    qint32 leftLimit = -1000000;
    qint32 zeroPoint = 0;
    qint32 rightLimit = 1000000;
    quint8 activeInputs = 0; // bit 0 = IN1 active ... bit 4 = IN5 active
    SimFaults faults{};
};

/// The motion parameters the set and query commands reach, with the values the
/// window's boxes start with; factory settings restore them.
struct SimParameters
{
    qint32 startSpeed = 100;
    qint32 maxSpeed = 10000;
    qint32 endSpeed = 1000;
    qint32 acceleration = 10000;
    qint32 deceleration = 10000;
    qint32 homingSpeed = 10000;
    qint32 speedFactor = 500;

    friend bool operator==(const SimParameters &, const SimParameters &) = default;
};

/// One request with a good check and what the controller sent back (empty when
/// no reply was due: another station's frame, or a broadcast).
struct SimExchange
{
    QByteArray request;
    QByteArray reply;
    CommMode mode = CommMode::Rtu; // of the request, and so of the reply
};

class SimController
{
public:
    /// MODBUS exception codes the controller replies with.
    enum Exception : quint8 {
        IllegalFunction = 0x01, // a function code it does not know
        IllegalDataValue = 0x03, // wrong data length, or a value out of range
        DeviceBusy = 0x06, // a motion command while the motor moves
    };

    static constexpr int ioCodeCount = 31;

    explicit SimController(const SimConfig &config = {});

    /// Takes the bytes that came in and returns the reply bytes to send: the
    /// replies to every complete request among them, in order. A partial frame
    /// is kept until the rest arrives (or the line stays silent too long). With
    /// \a exchanges, every accepted request and its reply are appended there.
    QByteArray receive(QByteArrayView bytes, QList<SimExchange> *exchanges = nullptr);
    /// As receive(), for \a bytes that came in at \a lineRate baud: at any other
    /// rate than the controller's own they reach it garbled, as on a real line, so
    /// it drops them (counted in droppedBytes()) and stays silent.
    QByteArray receive(QByteArrayView bytes, qint32 lineRate,
                       QList<SimExchange> *exchanges = nullptr);

    /// Lets \a microseconds pass: the motor moves, partial frames grow stale.
    void advance(qint64 microseconds);
    /// Microseconds passed since the controller was made.
    qint64 clock() const { return m_clock; }

    /// Sets the inputs (bit 0 = IN1 active ... bit 4 = IN5 active). When they
    /// change to a code with a stored command, that command runs once.
    void setInputs(quint8 activeMask);
    /// The active inputs, bit 0 = IN1.
    quint8 inputs() const { return m_inputs; }

    /// The station address the controller answers to.
    quint8 address() const { return m_address; }
    /// The code of the baud rate (0x04 = 2400 ... 0x09 = 38400).
    quint8 baudCode() const { return m_baudCode; }
    /// The baud rate of baudCode(), 2400 to 38400.
    qint32 baudRate() const { return baudRateForCode(m_baudCode); }
    /// The motion parameters as the set commands left them.
    const SimParameters &parameters() const { return m_parameters; }
    /// What is wrong with this unit; factory settings leave it so.
    const SimFaults &faults() const { return m_faults; }

    /// The absolute position the query 0x37 reports, in pulses.
    qint32 absolutePosition() const;
    /// The relative position the query 0x39 reports, in pulses.
    qint32 relativePosition() const;
    /// Current speed in whole pulses per second, never negative.
    qint32 speed() const;
    /// Whether the motor moves, a decelerating stop included.
    bool isMoving() const { return m_axis.isMoving(); }
    /// The switches as the status query 0x3B reports them (true: active).
    bool leftLimitActive() const { return m_axis.leftLimitActive(); }
    bool zeroPointActive() const { return m_axis.zeroPointActive(); }
    bool rightLimitActive() const { return m_axis.rightLimitActive(); }
    /// The motor axis, for a closer look than the replies give.
    const SimAxis &axis() const { return m_axis; }

    /// The command bytes stored for IO code \a code (1 to 31): function code,
    /// length byte, data. Empty when nothing is stored.
    QByteArray ioEntry(int code) const;

    /// How long the line must be silent before a partial RTU frame is dropped:
    /// 3.5 characters of 11 bits at the current baud rate, at least 2 ms.
    qint64 silenceMicroseconds() const;
    /// Bytes dropped so far as not belonging to any good frame.
    qint64 droppedBytes() const { return m_reader.droppedBytes(); }

    /// The rate of baud-rate code \a code, or 0 for a code without one.
    static qint32 baudRateForCode(quint8 code);
    /// The code of baud rate \a rate, if the controller has one.
    static std::optional<quint8> baudCodeForRate(qint32 rate);

private:
    struct Reply
    {
        enum Kind { None, Framed, Short } kind = None;
        QByteArray payload; // Short: address and code, sent without a check
    };

    Reply execute(QByteArrayView payload, bool fromIoTable = false, bool standard = false);
    /// Carries out a request: the data of its reply, or the exception refusing it.
    Result<QByteArray, Exception> act(quint8 code, QByteArrayView data);
    Result<QByteArray, Exception> actOnParameter(int index, quint8 code, QByteArrayView data);
    /// The data of a query's reply; nothing for a code that is no plain query.
    std::optional<QByteArray> query(quint8 code) const;
    Result<QByteArray, Exception> changeAddress(quint8 newAddress);
    Result<QByteArray, Exception> changeBaudRate(quint8 baudCode);
    Result<QByteArray, Exception> runMotionCommand(quint8 code, QByteArrayView data);
    /// Change speed (0x35) or the speed-change factor (0x44).
    Result<QByteArray, Exception> setSpeedValue(quint8 code, qint32 value);
    Result<QByteArray, Exception> storeIoEntry(QByteArrayView data);
    Result<QByteArray, Exception> readIoEntry(quint8 ioCode) const;
    /// The commands that carry no data and answer none: stops, clears, steps of speed.
    void steer(quint8 code);
    Reply exception(quint8 code, Exception reason) const;
    QByteArray encode(const Reply &reply, CommMode mode) const;
    SimProfile profile() const;
    double actualSpeed(double speed) const;
    qint64 actualMove(qint64 pulses) const;
    void restoreFactorySettings();

    SimAxis m_axis;
    SimFrameReader m_reader;
    SimParameters m_parameters;
    std::array<QByteArray, ioCodeCount + 1> m_ioTable; // index = IO code, 0 unused
    qint64 m_clock = 0;
    quint8 m_address = 1;
    quint8 m_baudCode = 0x06;
    quint8 m_inputs = 0;
    SimFaults m_faults;
};
