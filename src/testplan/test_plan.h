#pragma once

#include "bus/config_set.h"
#include "device/frame.h"
#include "util/result.h"

#include <QByteArray>
#include <QCoreApplication>
#include <QList>
#include <QString>
#include <QStringView>

#include <optional>

// A test plan: the steps a controller is put through, what each must show and
// the limits of what is measured, read whole from a TOML file before anything
// is sent. docs/test-plans.md is the reference of the file format.

/// What a failed step does to the rest of the run.
enum class OnFail { Stop, Continue };

/// The bounds a value must keep. Outside min..max fails; inside, but outside
/// marginal_min..marginal_max, passes as marginal. `equals` alone asks for one value.
struct Limits
{
    std::optional<double> equals;
    std::optional<double> min;
    std::optional<double> max;
    std::optional<double> marginalMin;
    std::optional<double> marginalMax;

    bool isEmpty() const { return !equals && !min && !max && !marginalMin && !marginalMax; }
};

/// How a step ended. A marginal step passes, and is marked.
enum class Outcome {
    Pass,
    Marginal,
    Fail,
    Error, // the bench failed (the port went away, refused a frame): no verdict on the unit
    Skipped, // not run: the run stopped before it
};

/// How a value compares with \a limits: Pass, Marginal or Fail.
Outcome judge(double value, const Limits &limits);

/// The worse of two outcomes, for a controller's verdict (Skipped counts as Pass).
Outcome worse(Outcome a, Outcome b);

/// "pass", "marginal", "fail", "error", "skipped": as reports and output lines name it.
QString outcomeName(Outcome outcome);

/// \a limits as a line shows them: "= 12000", "9999 … 10001", "0.95 … 1.05 (marginal
/// 0.97 … 1.03)"; empty without limits.
QString limitsText(const Limits &limits);

/// A number as reports show it: integers without a fraction, others to six digits.
QString numberText(double value);

/// One step of a plan, as read from the file.
struct PlanStep
{
    enum class Kind {
        Exchange, // send a request, check the reply and its value
        WaitUntil, // poll a query until a condition holds or the time is up
        Measure, // judge a measurement of what happened before
        Delay, // wait
        ApplyConfig, // write a configuration set, read it back and compare
        VerifyConfig, // read back what a configuration set holds and compare
        Repeat, // the steps under it, so many times
    };
    /// What a reply must be.
    enum class Expect { Ok, NoReply, Exception };
    /// What a wait waits for.
    enum class WaitFor { Stopped, Moving, Position, Inputs, Value };
    /// What a measure step measures.
    enum class Measure { ResponseMs, MoveDurationS, MoveDurationRatio, PositionError };

    Kind kind = Kind::Exchange;
    QString name;
    int line = 0; // where the step's table starts in the file
    OnFail onFail = OnFail::Stop;

    // Exchange, and the query of WaitUntil Value
    quint8 code = 0;
    QByteArray data; // after the length byte
    Expect expect = Expect::Ok;
    std::optional<quint8> exceptionCode; // "exception 01": that code only
    Limits value; // of the reply's value; empty: not checked

    // WaitUntil (its value bounds are `value`)
    WaitFor waitFor = WaitFor::Stopped;
    int timeoutMs = 5000;
    int pollMs = 50;
    quint8 inputMask = 0; // which of IN1 (bit 0) .. IN5 (bit 4) are checked
    quint8 inputBits = 0; // and the state each must show

    // Measure
    Measure measure = Measure::ResponseMs;
    Limits limits;

    // Delay
    int delayMs = 0;

    // ApplyConfig, VerifyConfig
    QString configPath;
    ConfigSet config;

    // Repeat
    int repeat = 1;
    QList<PlanStep> steps;
};

/// A whole plan.
struct TestPlan
{
    QString path;
    QString name;
    CommMode mode = CommMode::Rtu;
    qint32 baudRate = 9600;
    quint8 address = 0x01;
    int replyTimeoutMs = 500;
    OnFail onFail = OnFail::Stop;
    QList<PlanStep> steps;
};

/// The steps of \a steps with every repeat laid out, in the order they run;
/// a repeated step's name ends in its pass ("handshake #3").
QList<PlanStep> flattenSteps(const QList<PlanStep> &steps);

/// The unit of what \a step measures or checks: "ms", "s", "pulses", "pulses/s"; or none.
QString stepUnit(const PlanStep &step);

/// The plan in the file \a path, checked whole. A fault gives one message that
/// names the file, the line and the column: "plan.toml:12:9: ...".
Result<TestPlan> readTestPlan(const QString &path);

/// The plan that \a text spells, as if read from \a path (which names it in
/// messages and is where configuration files are looked for).
Result<TestPlan> parseTestPlan(QStringView text, const QString &path);

/// The longest a laid-out plan may be, in steps.
inline constexpr int maxPlanSteps = 100000;
