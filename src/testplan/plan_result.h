#pragma once

#include "exchange/exchange_pairing.h"
#include "test_plan.h"

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QString>

#include <optional>

// What a plan found at one controller: an outcome per step, with the value
// measured, its limits and the exchange it came from, and the verdict. The
// runner fills it; the reports and the window read it.

/// The exchange a step judged (a wait: its last poll).
struct StepExchange
{
    QByteArray request; // the frame as written
    QByteArray reply; // as received; empty when none came
    Verdict verdict = Verdict::NoReply;
    quint8 exceptionCode = 0;
    double responseMs = -1; // -1 when no reply came
};

struct StepResult
{
    QString name;
    Outcome outcome = Outcome::Skipped;
    std::optional<double> measured;
    QString unit;
    Limits limits;
    QString message; // why it failed, or what it saw; empty for a plain pass
    std::optional<StepExchange> exchange;
    double seconds = 0; // how long the step took
};

struct StationResult
{
    QString plan; // the plan's name
    QString planFile;
    QString port; // as the user named it
    quint8 station = 0;
    QDateTime start;
    QDateTime end;
    Outcome outcome = Outcome::Skipped; // the worst step outcome; Pass once all passed
    QList<StepResult> steps;

    /// "COM3 station 05", "/dev/ttyUSB0 station 01": how lines and reports name it.
    QString label() const;
};
