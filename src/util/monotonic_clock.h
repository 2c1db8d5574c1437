#pragma once

#include <QElapsedTimer>
#include <QtGlobal>

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
