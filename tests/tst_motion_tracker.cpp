// The motion chart's data: samples from replies, the prediction of each
// accepted motion command with the parameters the controller holds, and the
// measured duration and final position of a motion.

#include "device/frame.h"
#include "exchange/exchange_pairing.h"
#include "motion/motion_tracker.h"

#include <QTest>

#include <cmath>

namespace {

constexpr qint64 second = 1'000'000;

/// Hands \a tracker an exchange: \a code with \a data, answered by \a reply data, with the
/// window's boxes at \a boxes.
void add(MotionTracker &tracker, quint8 code, QByteArrayView data, QByteArrayView reply,
         qint64 sentUs, qint64 repliedUs, Verdict verdict = Verdict::Good,
         const MotionParameters &boxes = {})
{
    tracker.addExchange({.request = frameRtu(makePayload(1, code, data)),
                         .reply = frameRtu(makePayload(1, code, reply)),
                         .verdict = verdict,
                         .sentUs = sentUs,
                         .repliedUs = repliedUs},
                        boxes);
}

} // namespace

class TestMotionTracker : public QObject
{
    Q_OBJECT

private slots:
    // The window's boxes count only for what the tool never saw set or read.
    void parameterSources()
    {
        MotionTracker tracker;
        add(tracker, 0x25, int32BigEndian(300), int32BigEndian(300), 0, 1);
        add(tracker, 0x28, {}, int32BigEndian(8000), 2, 3);
        // Refused: the controller keeps what it had.
        add(tracker, 0x2B, int32BigEndian(-5), {}, 4, 5, Verdict::Exception);
        MotionParameters boxes;
        boxes.endSpeed = 700;
        add(tracker, 0x31, int32BigEndian(4000), int32BigEndian(4000), 6, 7, Verdict::Good, boxes);
        const MotionParameters &used = tracker.predictionParameters();
        QCOMPARE((QList{used.startSpeed, used.maxSpeed, used.endSpeed, used.acceleration}),
                 (QList{300.0, 8000.0, 700.0, 10000.0}));
        using S = MotionTracker::Source;
        QCOMPARE(tracker.predictionSource(MotionTracker::StartSpeed), S::Set);
        QCOMPARE(tracker.predictionSource(MotionTracker::MaxSpeed), S::ReadBack);
        QCOMPARE(tracker.predictionSource(MotionTracker::EndSpeed), S::Box);
        QCOMPARE(tracker.predictionSource(MotionTracker::Acceleration), S::Box);
    }

    // A move from where the motor was last read; the first state reply that
    // says it stands ends the measurement, the next position read is final.
    void measurement()
    {
        MotionTracker tracker;
        tracker.clear(0);
        QVERIFY(tracker.addReply(frameRtu(makePayload(1, 0x37, int32BigEndian(500))), true, 10));
        add(tracker, 0x31, int32BigEndian(10000), int32BigEndian(10000), second, second + 100);
        QCOMPARE(tracker.target(), 10500.0);
        QVERIFY(std::abs(*tracker.predictedDuration() - 1.89505) < 1e-6);
        const SampleSeries &predicted = tracker.series(MotionTracker::PredictedPosition);
        QCOMPARE(predicted.at(0), QPointF(1, 500));
        QVERIFY(std::abs(predicted.last().x() - 2.89505) < 1e-6);
        QCOMPARE(predicted.last().y(), 10500.0);
        QCOMPARE(tracker.series(MotionTracker::PredictedSpeed).last().y(), 0.0);

        const auto state = [&](qint64 sentUs, bool moving) {
            add(tracker, 0x3B, {}, QByteArray::fromHex(moving ? "01010101" : "00010101"), sentUs,
                sentUs + 2000);
        };
        state(second / 2, false); // asked before the command: no verdict on it
        state(2 * second, true);
        state(5 * second / 2, true);
        add(tracker, 0x37, {}, int32BigEndian(9000), 2'900'000, 2'901'000);
        QVERIFY(!tracker.measuredDuration());
        state(3 * second, false);
        QCOMPARE(tracker.measuredDuration()->seconds, 2.002);
        QCOMPARE(tracker.measuredDuration()->uncertainty, 0.5);
        // Reads asked before the stop was seen do not count, even settled after it.
        add(tracker, 0x37, {}, int32BigEndian(9900), 2'950'000, 3'004'000);
        QVERIFY(!tracker.finalPosition());
        add(tracker, 0x37, {}, int32BigEndian(10500), 3'010'000, 3'011'000);
        QCOMPARE(tracker.finalPosition(), 10500.0);
    }

    // Left of the zero point: positions read and targets are negative.
    void negativePositions()
    {
        MotionTracker tracker;
        tracker.clear(0);
        QVERIFY(tracker.addReply(frameRtu(makePayload(1, 0x37, int32BigEndian(-500))), true, 10));
        QCOMPARE(tracker.series(MotionTracker::Position).last().y(), -500.0);
        add(tracker, 0x31, int32BigEndian(-1000), int32BigEndian(-1000), second, second + 100);
        QCOMPARE(tracker.target(), -1500.0);
        QCOMPARE(tracker.series(MotionTracker::PredictedPosition).last().y(), -1500.0);
    }

    // A decelerating stop during the move replaces the rest of the prediction.
    void stopCutsThePrediction()
    {
        MotionTracker tracker;
        tracker.clear(0);
        add(tracker, 0x31, int32BigEndian(10000), int32BigEndian(10000), 0, 100);
        add(tracker, 0x3D, {}, {}, second / 2, second / 2 + 100);
        const SampleSeries &speed = tracker.series(MotionTracker::PredictedSpeed);
        QVERIFY(std::abs(speed.last().x() - 0.91) < 1e-9);
        QCOMPARE(speed.last().y(), 0.0);
        QVERIFY(*tracker.target() < 5000);
        // A stop at standstill predicts nothing new.
        const qsizetype samples = speed.size();
        add(tracker, 0x3C, {}, {}, 3 * second, 3 * second + 100);
        QCOMPARE(speed.size(), samples);
    }

    // The chart draws a few points per pixel column, always with the extremes.
    void decimation()
    {
        SampleSeries series(1000);
        for (int i = 0; i < 3000; ++i)
            series.append(i / 100.0, i % 97 == 50 ? -1000 : i % 7);
        QCOMPARE(series.size(), 1000);
        QCOMPARE(series.dropped(), 2000);
        QCOMPARE(series.at(0).x(), 20.0);
        const QList<QPointF> points = series.decimated(22, 28, 20);
        QVERIFY(points.size() <= 4 * 20 + 2 && points.first().x() < 22 && points.last().x() > 28);
        int lows = 0;
        for (qsizetype i = 0; i < points.size(); ++i) {
            lows += points[i].y() == -1000;
            QVERIFY(i == 0 || points[i].x() >= points[i - 1].x());
        }
        QCOMPARE(lows, 6); // every spike in 22..28 s
        series.truncateAfter(25);
        QCOMPARE(series.last().x(), 25.0);
    }
};

QTEST_GUILESS_MAIN(TestMotionTracker)
#include "tst_motion_tracker.moc"
