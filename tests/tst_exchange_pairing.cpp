#include "exchange/exchange_monitor.h"
#include "exchange/exchange_pairing.h"
#include "exchange/exchange_stats.h"
#include "test_util.h"

#include <QTest>

// Requests and replies with invented times in microseconds, the reply time-out
// the default 500 ms; then the statistics the exchanges make.

namespace {

constexpr qint64 timeout = ExchangePairing::defaultReplyTimeoutUs;
using Steps = QList<std::tuple<char, QByteArray, qint64>>;

RxEvent reply(const QByteArray &bytes, qint64 atUs, bool checkOk = true)
{
    return {RxEvent::Frame, bytes, checkOk, atUs, atUs};
}

// "verdict station code request-time reply-time response" of each exchange.
QStringList described(const QList<Exchange> &exchanges)
{
    QStringList out;
    for (const Exchange &e : exchanges) {
        out += QStringLiteral("%1 %2 %3 %4 %5 %6")
                       .arg(verdictText(e.verdict, e.exceptionCode))
                       .arg(e.station ? QString::number(*e.station, 16) : QStringLiteral("-"))
                       .arg(e.code ? QString::number(*e.code, 16) : QStringLiteral("-"))
                       .arg(e.sentUs)
                       .arg(e.repliedUs)
                       .arg(e.responseUs());
    }
    return out;
}

Exchange timed(Verdict verdict, qint64 responseUs)
{
    return {.request = "\x01", .verdict = verdict, .sentUs = 1000, .repliedUs = 1000 + responseUs};
}

} // namespace

class TestExchangePairing : public QObject
{
    Q_OBJECT

private slots:
    // A script of requests ("> frame at t"), replies ("< frame at t") and clock ticks ("@ t",
    // with the time bytes began that the framer still holds, if any), and the exchanges it
    // settles, in order. Nothing settled waits on.
    void script_data()
    {
        QTest::addColumn<Steps>("steps");
        QTest::addColumn<QStringList>("exchanges");
        const QByteArray speed = rtu("012600"), speedReply = rtu("012604000003E8");
        QByteArray garbled = speedReply;
        garbled[1] = '\x7E';

        QTest::newRow("reply timed to 0.1 ms")
                << Steps{{'>', speed, 1000}, {'<', speedReply, 4500}, {'@', "", 2'000'000}}
                << QStringList{"校验正确 1 26 1000 4500 3500"};
        QTest::newRow("another station answers: unexpected, and a time-out")
                << Steps{{'>', speed, 0}, {'<', rtu("022604000003E8"), 10}, {'@', "", timeout + 1}}
                << QStringList{"意外应答 2 26 -1 10 -1", "超时 1 26 0 -1 -1"};
        QTest::newRow("another code: unexpected, and a time-out")
                << Steps{{'>', speed, 0}, {'<', rtu("013704FFFFFFFE"), 10}, {'@', "", timeout + 1}}
                << QStringList{"意外应答 1 37 -1 10 -1", "超时 1 26 0 -1 -1"};
        QTest::newRow("address query to station 0: any station answers")
                << Steps{{'>', rtu("002100"), 0}, {'<', rtu("052100"), 20}}
                << QStringList{"校验正确 5 21 0 20 20"};
        QTest::newRow("other requests to station 0 ask for no reply")
                << Steps{{'>', rtu("002000"), 7}, {'@', "", timeout * 2}}
                << QStringList{"无需应答 0 20 7 -1 -1"};
        QTest::newRow("exception with its code") << Steps{{'>', speed, 0}, {'<', rtu("01A602"), 30}}
                                                 << QStringList{"异常 02 1 26 0 30 30"};
        QTest::newRow("garbled code: a bad check for the waiting request")
                << Steps{{'>', speed, 0}, {'!', garbled, 40}}
                << QStringList{"校验错误 1 26 0 40 40"};
        QTest::newRow("the latest of two alike requests is answered")
                << Steps{{'>', speed, 0},
                         {'>', speed, 100},
                         {'<', speedReply, 300},
                         {'@', "", timeout + 1}}
                << QStringList{"校验正确 1 26 100 300 200", "超时 1 26 0 -1 -1"};
        QTest::newRow("a reply at the deadline is in time")
                << Steps{{'>', speed, 0}, {'@', "", timeout}, {'<', speedReply, timeout}}
                << QStringList{QStringLiteral("校验正确 1 26 0 %1 %1").arg(timeout)};
        QTest::newRow("a reply after it: time-out, then unexpected")
                << Steps{{'>', speed, 0}, {'<', speedReply, timeout + 1}}
                << QStringList{"超时 1 26 0 -1 -1",
                               QStringLiteral("意外应答 1 26 -1 %1 -1").arg(timeout + 1)};
        QTest::newRow("ASCII") << Steps{{'>', frameAscii(QByteArray::fromHex("013700")), 0},
                                        {'<', frameAscii(QByteArray::fromHex("013704FFFFFFFE")),
                                         90}}
                               << QStringList{"校验正确 1 37 0 90 90"};
        // Bytes that started to arrive before the deadline may be the reply: the request waits
        // for the framer to settle them.
        QTest::newRow("held while the framer waits")
                << Steps{{'>', speed, 0},
                         {'@', QByteArray::number(timeout - 10), timeout + 50},
                         {'@', QByteArray::number(timeout + 1), timeout + 50}}
                << QStringList{"超时 1 26 0 -1 -1"};
        QTest::newRow("a frame without a code")
                << Steps{{'>', "\x01", 5}} << QStringList{"无需应答 - - 5 -1 -1"};
    }
    void script()
    {
        QFETCH(Steps, steps);
        QFETCH(QStringList, exchanges);
        ExchangePairing pairing;
        QList<Exchange> seen;
        for (const auto &[kind, bytes, at] : steps) {
            if (kind == '>')
                seen += pairing.requestSent(bytes, at);
            else if (kind == '@')
                seen += pairing.expire(at, bytes.isEmpty() ? -1 : bytes.toLongLong());
            else
                seen += pairing.replyReceived(reply(bytes, at, kind == '<'));
        }
        QCOMPARE(described(seen), exchanges);
        QCOMPARE(pairing.pendingCount(), 0);
    }

    // The statistics of the exchanges.
    void responseTimes_data()
    {
        QTest::addColumn<QList<qint64>>("times"); // microseconds
        QTest::addColumn<QList<qint64>>("figures"); // minimum, mean, 95th percentile, maximum
        QTest::newRow("one") << QList<qint64>{3456} << QList<qint64>{3456, 3456, 3456, 3456};
        QList<qint64> hundred;
        for (qint64 i = 1; i <= 100; ++i)
            hundred << i * 1000;
        // Nearest rank: the 95th of 100 sorted times.
        QTest::newRow("1 to 100 ms") << hundred << QList<qint64>{1000, 50500, 95000, 100000};
        QTest::newRow("an outlier past the histogram")
                << QList<qint64>{2000, 2000, 90'000'000}
                << QList<qint64>{2000, 30'001'333, 90'000'000, 90'000'000};
    }
    void responseTimes()
    {
        QFETCH(QList<qint64>, times);
        QFETCH(QList<qint64>, figures);
        ExchangeStats stats;
        for (qint64 us : times)
            stats.addExchange(timed(Verdict::Good, us));
        QCOMPARE((QList<qint64>{*stats.minimumUs(), *stats.meanUs(), *stats.percentileUs(0.95),
                                *stats.maximumUs()}),
                 figures);
    }

    // Counts by verdict; only intact replies are timed.
    void summary()
    {
        ExchangeStats stats;
        QCOMPARE(
                stats.summary(),
                QStringLiteral("请求 0 · 应答 0 · 校验错误 0 · 超时 0 · 意外应答 0 · 噪声 0 字节"));
        for (int i = 0; i < 6; ++i)
            stats.addRequest();
        stats.addExchange(timed(Verdict::Good, 4000));
        stats.addExchange(timed(Verdict::Exception, 2000));
        stats.addExchange(timed(Verdict::BadCheck, 9000));
        stats.addExchange({.verdict = Verdict::Unexpected, .repliedUs = 5});
        stats.addExchange({.verdict = Verdict::BadCheck, .repliedUs = 6}); // nothing asked
        stats.addExchange({.verdict = Verdict::Timeout, .sentUs = 5});
        stats.addExchange(timed(Verdict::Good, 12345));
        stats.addNoise(7);
        QCOMPARE(stats.summary(),
                 QStringLiteral("请求 6 · 应答 4 · 校验错误 2 · 超时 1 · 意外应答 2 · 噪声 7 字节"
                                " · 响应 最小 2.0 / 平均 6.1 / 95% 12.3 / 最大 12.3 ms"
                                " · 最近：校验正确 12.3 ms"));
        stats.reset();
        QCOMPARE(stats.requests(), 0);
        QVERIFY(!stats.minimumUs() && !stats.latest());
    }

    // "统计清零" with a request waiting: its time-out is not counted afresh.
    void resetWithARequestWaiting()
    {
        ExchangeMonitor monitor;
        monitor.frameWritten(rtu("012600"), 1000);
        monitor.resetStats();
        monitor.expire(1000 + timeout + 1);
        QCOMPARE(monitor.stats().timeouts(), 0);
        monitor.frameWritten(rtu("012600"), 2'000'000);
        monitor.expire(2'000'000 + timeout + 1);
        QCOMPARE(monitor.stats().timeouts(), 1);
    }
};

QTEST_GUILESS_MAIN(TestExchangePairing)
#include "tst_exchange_pairing.moc"
