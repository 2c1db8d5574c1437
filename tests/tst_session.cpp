#include "pty_pair.h"
#include "session/auto_poller.h"
#include "session/link_session.h"
#include "session/quiet_filter.h"
#include "session/run_driver.h"
#include "test_util.h"

#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

// The session's parts without a window: the quiet filter fed by a real exchange monitor with
// invented times, the run driver ticked by hand, the poll and the link over a pseudo-terminal.

using namespace Qt::StringLiterals;

const QByteArray speedQuery = rtu("013600");
const QByteArray speedReply = rtu("01360400000064");
const QByteArray positionQuery = rtu("013700");

class TestSession : public QObject
{
    Q_OBJECT

private slots:
    // Steps, separated by blanks: q=HEX a quiet request written, u=HEX one of the user's, r=HEX
    // bytes arriving, t the view taking what arrived, x=MS the clock moved on. Frames are RTU with
    // their CRC; Q, U and A stand for the speed query, the position query and the speed reply.
    void quietFilter_data()
    {
        QTest::addColumn<QString>("steps");
        QTest::addColumn<QByteArray>("shown");
        QTest::addColumn<bool>("echo");
        const auto row = [](const char *name, const char *steps, const QByteArray &shown,
                            bool echo = false) {
            QTest::newRow(name) << QString::fromLatin1(steps) << shown << echo;
        };
        row("quiet reply hidden, the user's shown", "q=Q r=A u=U r=A t", speedReply);
        row("the user's identical reply stays", "u=Q r=A q=Q r=A t", speedReply);
        row("unsettled bytes held, then hidden", "q=Q r=A1 t r=A2 t u=U r=A t", speedReply);
        row("nothing quiet: unsettled bytes go at once", "u=Q r=013604 t", "\x01\x36\x04"_ba);
        row("noise before a quiet reply shown", "q=Q r=FFFF r=A t", "\xFF\xFF"_ba);
        row("a late reply is not the poll's", "q=Q x=600 r=A t", speedReply);
        row("the quiet query's echo hidden", "q=Q r=Q r=A t", {}, true);
        row("the user's echo shown", "u=Q r=Q r=A t", speedQuery + speedReply, true);
    }
    void quietFilter()
    {
        QFETCH(QString, steps);
        QFETCH(QByteArray, shown);
        QFETCH(bool, echo);
        ExchangeMonitor monitor;
        monitor.setEchoSuppression(echo);
        QuietFilter filter;
        const auto framed = std::bind_front(&QuietFilter::framed, &filter);
        connect(&monitor, &ExchangeMonitor::replyFramed, this, framed);
        connect(&monitor, &ExchangeMonitor::bytesDiscarded, this, framed);
        connect(&monitor, &ExchangeMonitor::exchangeSettled, this,
                std::bind_front(&QuietFilter::settled, &filter));
        const QHash<QString, QByteArray> named{{u"Q"_s, speedQuery},
                                               {u"U"_s, positionQuery},
                                               {u"A"_s, speedReply},
                                               {u"A1"_s, speedReply.left(3)},
                                               {u"A2"_s, speedReply.mid(3)}};
        qint64 now = 1'000'000;
        QByteArray arrived;
        QByteArray result;
        for (const QString &step : steps.split(u' ')) {
            const QString arg = step.mid(2);
            const QByteArray bytes = named.value(arg, QByteArray::fromHex(arg.toLatin1()));
            now += 1000;
            const char16_t kind = step[0].unicode();
            if (kind == u'q')
                filter.requestSent(bytes);
            if (kind == u'q' || kind == u'u')
                monitor.frameWritten(bytes, now);
            if (kind == u'r') {
                arrived += bytes;
                monitor.bytesArrived(bytes, now);
            }
            if (kind == u'x')
                monitor.expire(now += arg.toLongLong() * 1000);
            if (kind == u't')
                result += filter.take(std::exchange(arrived, {}));
        }
        QCOMPARE(result.toHex(' '), shown.toHex(' '));
    }

    void runDriver()
    {
        QStringList lines{u"AA"_s, u"BB"_s};
        QList<QByteArray> sent;
        bool stalled = false;
        bool refuse = false;
        qint16 windowLine = 7;
        RunDriver run(
                {[&] { return int(lines.size()); }, std::bind_front(&QStringList::at, &lines)},
                [&](const QByteArray &frame) { return sent << frame, !refuse; },
                [] { return std::optional(200); }, [&] { return stalled; });
        run.setLineVariable(&windowLine);
        QSignalSpy passes(&run, &RunDriver::passDone);
        QSignalSpy halted(&run, &RunDriver::halted);
        QSignalSpy failed(&run, &RunDriver::sendFailed);

        // The first line goes one interval after the start.
        run.start(300);
        QVERIFY(run.timer().isActive() && windowLine == 0 && sent.isEmpty());
        QCOMPARE(run.timer().interval(), 300);
        run.step();
        run.step();
        QCOMPARE(sent, (QList<QByteArray>{"\xAA"_ba, "\xBB"_ba}));
        QCOMPARE(run.timer().interval(), 200);
        QCOMPARE(passes.size(), 1);
        // A stalled line holds the run where it is.
        stalled = true;
        run.step();
        QVERIFY(sent.size() == 2 && windowLine == 0);
        stalled = false;
        // A refused frame is reported; the run goes on.
        refuse = true;
        run.step();
        QCOMPARE(failed.size(), 1);
        QVERIFY(run.timer().isActive() && windowLine == 1);
        // An interval of 0 halts it.
        lines = {u"AA"_s, u"Delay:0"_s};
        run.setLineVariable(nullptr);
        run.start(100);
        run.step();
        QVERIFY(!run.timer().isActive());
        QCOMPARE(halted.size(), 1);
    }

    void autoPoller()
    {
        PtyPair pty;
        LinkSession session;
        QVERIFY(session.open(pty.path(), 9600));
        bool stationValid = true;
        AutoPoller poller(
                session,
                [&](quint8 code) -> std::optional<QByteArray> {
                    if (!stationValid)
                        return std::nullopt;
                    return frameRtu(makePayload(1, code));
                },
                [&](const QByteArray &frame) { return session.send(frame).ok(); });
        // A request of the user's waits for its reply: the round's first query waits too.
        QVERIFY(session.send(positionQuery));
        QCOMPARE(pty.collect(positionQuery.size()), positionQuery);
        poller.setActive(true);
        QCOMPARE(pty.readAvailable(), QByteArray());
        QVERIFY(pty.write(rtu("01370400000005")));
        QCOMPARE(pty.collect(speedQuery.size()), speedQuery);
        // Speed, position, state, each once the one before is answered.
        QVERIFY(pty.write(speedReply));
        QCOMPARE(pty.collect(positionQuery.size()), positionQuery);
        poller.startRound(); // the round is still going: nothing more
        QVERIFY(pty.write(rtu("01370400000005")));
        QCOMPARE(pty.collect(5), rtu("013B00"));
        QCOMPARE(poller.roundStep(), 2);
        // Without a valid station the poll stops, once.
        QSignalSpy stopped(&poller, &AutoPoller::stoppedForStation);
        stationValid = false;
        QVERIFY(pty.write(rtu("013B040000000000")));
        QTRY_COMPARE(poller.roundStep(), -1);
        poller.startRound();
        QCOMPARE(stopped.size(), 1);
        QVERIFY(!poller.isActive());
    }

    void linkSession()
    {
        PtyPair pty;
        LinkSession session;
        session.setAutoReconnect(false);
        QSignalSpy restarted(&session, &LinkSession::restarted);
        QSignalSpy notices(&session, &LinkSession::linkNotice);
        QSignalSpy lost(&session, &LinkSession::deviceLost);
        QVERIFY(!session.send(speedQuery) && session.open(pty.path(), 19200));
        QCOMPARE(restarted.size(), 1);
        QVERIFY(session.send(speedQuery));
        QCOMPARE(pty.read(speedQuery.size()), speedQuery);
        QTRY_COMPARE(session.exchanges().pendingRequests(), 1);
        QVERIFY(pty.write("\x01\x26"));
        QTRY_COMPARE(session.exchanges().waitingBytes(), 2);
        // Closing forgets what waited for a reply; bytes still waiting in the
        // framer are reported, not lost.
        session.close();
        QCOMPARE(session.exchanges().pendingRequests(), 0);
        QCOMPARE(session.stats().noiseBytes(), 2);
        QCOMPARE(restarted.size(), 2);
        // A device that goes away with reconnect off closes the port, with a notice.
        QVERIFY(session.open(pty.path(), 19200));
        pty.closeFarEnd();
        QTRY_COMPARE(lost.size(), 1);
        QVERIFY(!lost[0][1].toBool() && !session.isOpen() && !session.isReconnecting());
        QVERIFY(notices.last()[0].toString().contains(u"已断开"));
    }

    // A device found again by its path alone may be another one: until the station
    // answers a handshake, nothing else goes to it, and a running list waits.
    void reconnectChecksTheStation()
    {
        QTemporaryDir dir;
        const QString link = dir.filePath(u"ttyBench"_s);
        auto first = std::make_unique<PtyPair>();
        QVERIFY(QFile::link(first->path(), link));
        LinkSession session;
        session.setStationCheck([] { return std::optional<quint8>(1); });
        QSignalSpy back(&session, &LinkSession::reconnected);
        QVERIFY(session.open(link, 9600));
        first.reset(); // gone; its name now leads to another program's terminal
        QVERIFY(QFile::remove(link) && QFile::link(dir.filePath(u"gone"_s), link));
        QTRY_VERIFY(!session.isOpen());
        PtyPair other;
        QVERIFY(QFile::remove(link) && QFile::link(other.path(), link));
        const QByteArray handshake = rtu("012000");
        QCOMPARE(other.collect(handshake.size()), handshake);
        QVERIFY(session.isOpen() && !session.isReady() && session.lineBusy());
        QVERIFY(!session.send(speedQuery));
        QCOMPARE(back.size(), 0);
        // It does not answer: the handshake is tried again, nothing else goes.
        QCOMPARE(other.collect(handshake.size(), 3000), handshake);
        QVERIFY(other.write(handshake));
        QTRY_COMPARE(back.size(), 1);
        QVERIFY(session.isReady() && session.send(speedQuery));
        QCOMPARE(other.read(speedQuery.size()), speedQuery);
    }
};

QTEST_GUILESS_MAIN(TestSession)
#include "tst_session.moc"
