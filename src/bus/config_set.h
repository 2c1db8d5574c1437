#pragma once

#include "util/result.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringView>
#include <QtGlobal>

#include <array>
#include <optional>

// A controller's configuration as one set: the six motion parameters and the
// IO replacement table. Read from a station, written to one or many, and kept
// in a plain text file that reads well and diffs well, one value per line:
//
//   # StepperBench configuration set
//   start_speed = 100
//   ...
//   io 00001 = 31 04 00 00 27 10
//   io 00010 =
//
// An IO line's key is the input combination as IN5 ... IN1; its value is the
// stored command (function code, length byte, data) in hex, empty for none.

struct ConfigSet
{
    static constexpr int parameterCount = 6;
    static constexpr int ioCodeCount = 31;

    /// Start, maximum and end speed, acceleration, deceleration, homing speed.
    std::array<std::optional<qint32>, parameterCount> parameters{};
    /// The commands stored under IO codes 1 to 31 (index 0 unused); an entry
    /// that is there but empty says that nothing is stored.
    std::array<std::optional<QByteArray>, ioCodeCount + 1> io{};

    /// Whether nothing is in the set.
    bool isEmpty() const;
    friend bool operator==(const ConfigSet &, const ConfigSet &) = default;
};

/// The file key of parameter \a index ("start_speed" ...).
QString parameterKey(int index);
/// The file key of IO code \a code ("io 00001" ...).
QString ioKey(int code);

/// The file text of \a set, each line ending in LF, after \a comment lines
/// (each gets "# " in front).
QByteArray formatConfigSet(const ConfigSet &set, const QStringList &comment = {});

/// Reads a set file's text. The whole text is checked before anything is
/// returned; the first fault is named with its line: "第 3 行：...".
Result<ConfigSet> parseConfigSet(QByteArrayView text);

/// One line of a comparison of a set with what a controller holds.
struct ConfigRow
{
    QString key;
    QString expected; // the set's value ("" where the set has none)
    QString actual; // the controller's ("" where it was not read)
    bool differs;
};

/// The items of \a expected, each beside what \a actual holds.
QList<ConfigRow> compareConfigSets(const ConfigSet &expected, const ConfigSet &actual);
