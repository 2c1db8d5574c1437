#pragma once

#include <QByteArray>
#include <QString>
#include <QtGlobal>

#include <functional>
#include <optional>

// One step of the command-list run loop, as a pure function of the list, the
// current line index and the default interval, so that it can be driven tick
// by tick without a timer.

/// The longest interval the run loop's timer takes, in milliseconds.
inline constexpr int maxRunInterval = 65535;

struct RunStep
{
    QByteArray frame; // the bytes to send; empty when the tick sends nothing
    int intervalMs; // the wait until the next tick; 0: no further tick
    qint16 nextLine; // the line the next tick executes
};

/// Runs one tick at line \a line of a list of \a count lines. \a lineAt gives the
/// text of a line; \a defaultIntervalMs is the default interval box's value
/// (nothing when the box's value lies outside 0..65535).
///
/// A frame line is sent byte for byte; delay and jump lines act on the line
/// before them: a delay line right after the executed line sets the pause and
/// is passed over, a jump line right after it (target within the list) sets the
/// next line. After the last line the run starts again at line 0. An empty line
/// is passed over like a frame line of blanks, and an index past the end of the
/// list wraps to line 0, so the run never stalls while the list holds a line.
RunStep runLoopStep(qint16 line, int count, const std::function<QString(int)> &lineAt,
                    std::optional<int> defaultIntervalMs);

/// The interval a box or delay argument stands for: the value rounded to whole
/// milliseconds, or nothing when it lies outside 0..65535.
std::optional<int> runInterval(double value);
