#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QList>

// Cuts what is typed or piped into the simulator into whole lines, whatever
// pieces the pipe brings them in. A line longer than the limit is refused whole
// (its rest is skipped up to its end), never cut into several commands.
class SimLineReader
{
public:
    struct Line
    {
        QByteArray text; // without its line end; empty for a refused line
        bool tooLong = false;
    };

    explicit SimLineReader(qsizetype maxLength = 1024) : m_maxLength(maxLength) {}

    /// Takes the next \a bytes and gives the lines they complete.
    QList<Line> feed(QByteArrayView bytes);
    /// The input ended: a last line without a line end counts too.
    QList<Line> finish();

private:
    qsizetype m_maxLength;
    QByteArray m_pending;
    bool m_skipping = false; // in a line already refused, until its end
};
