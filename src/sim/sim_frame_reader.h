#pragma once

#include "device/frame.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QList>

// Cuts the byte stream that reaches the controller into request frames. RTU
// frames carry no delimiter: the length byte (index 2) gives the candidate
// length, 3 + L + 2, and a good CRC accepts it. A request of a standard MODBUS
// master (read or write registers and coils, device identification) is framed
// by its own layout, so that the controller can refuse it as an illegal
// function instead of letting the master wait for a time-out. ASCII frames run from ":" to
// CR LF and are accepted by a good LRC. Anything else is dropped a byte at a
// time until a frame lines up again, so one bad frame never blocks the next
// good one; a partial frame is also dropped when the line has been silent for
// longer than a frame may pause (3.5 characters in RTU, one second in ASCII).

/// One request frame with a good check.
struct SimRequest
{
    QByteArray frame; // as it came off the line
    QByteArray payload; // address, code, length byte, data
    CommMode mode = CommMode::Rtu;
    bool standard = false; // laid out as a standard MODBUS request, not as the controller's
};

class SimFrameReader
{
public:
    /// Adds \a bytes that arrived at \a now (microseconds on the controller's
    /// clock) and returns the complete requests, oldest first. A partial frame
    /// left from earlier is dropped first when more than \a rtuSilence
    /// microseconds passed since its last byte (one second for ASCII).
    QList<SimRequest> feed(QByteArrayView bytes, qint64 now, qint64 rtuSilence);
    /// Counts \a bytes as dropped without reading them: they came in garbled (at
    /// another baud rate), so they cannot make or break a frame.
    void discard(QByteArrayView bytes) { m_dropped += bytes.size(); }

    /// Bytes waiting for the rest of their frame.
    qsizetype pendingBytes() const { return m_buffer.size(); }
    /// All bytes dropped so far: bad checks, garbage, stale partial frames.
    qint64 droppedBytes() const { return m_dropped; }

private:
    void drop(qsizetype count);
    void logDropped(const char *why);

    QByteArray m_buffer;
    QByteArray m_droppedNow; // for one line of diagnostics per block
    qint64 m_lastByteTime = 0;
    qint64 m_dropped = 0;
};
