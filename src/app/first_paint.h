#pragma once

#include <QCoreApplication>
#include <QEvent>
#include <QObject>
#include <QTimer>

#include <chrono>
#include <cstdio>

// For the start-up benchmark: once the first paint of the widget it watches is
// done, children and all, prints "shown NS" (nanoseconds on the system's
// monotonic clock, which the benchmark reads too) and quits. The measure ends
// where the user first sees the whole window, not at the first paint event
// (which comes before any of the children is painted), nor where the process
// has torn itself down.
class FirstPaint final : public QObject
{
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Paint && !m_seen) {
            m_seen = true;
            // The children are painted and the frame flushed before the event
            // loop takes the next event.
            QTimer::singleShot(0, QCoreApplication::instance(), [] {
                const auto now = std::chrono::steady_clock::now().time_since_epoch();
                std::printf("shown %lld\n",
                            static_cast<long long>(
                                    std::chrono::duration_cast<std::chrono::nanoseconds>(now)
                                            .count()));
                std::fflush(stdout);
                QCoreApplication::quit();
            });
        }
        return QObject::eventFilter(watched, event);
    }

private:
    bool m_seen = false;
};
