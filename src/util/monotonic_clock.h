#pragma once

#include <QElapsedTimer>
#include <QtGlobal>

#include <functional>

// The one clock of the exchange layer: microseconds on a monotonic clock since
// the program's first call. Bytes and frames are stamped with it where they
// happen (the link); everything that times them is given the stamps.
inline qint64 monotonicUs()
{
    static const QElapsedTimer started = [] {
        QElapsedTimer timer;
        timer.start();
        return timer;
    }();
    return started.nsecsElapsed() / 1000;
}

/// A source of the time in microseconds on the same clock, passed to what
/// schedules or times by it, so that tests can drive it with a clock of their own.
using UsClock = std::function<qint64()>;

/// The monotonic clock above, as a UsClock.
inline UsClock systemClock()
{
    return &monotonicUs;
}
