#include "exchange/exchange_monitor.h"
#include "exchange/exchange_pairing.h"
#include "exchange/exchange_stats.h"
#include "test_util.h"

#include <QTest>

// Requests and replies with invented times in microseconds, the reply time-out
// the default 500 ms; then the statistics the exchanges make.

namespace {

constexpr qint64 timeout = ExchangePairing::defaultReplyTimeoutUs;

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
    // A script of requests ("> FRAME T"), replies ("< FRAME T"; "!": with a bad check) and clock
    // ticks ("@ T", or "@ T S" while the framer holds bytes that began at S), and the exchanges
    // it settles, in order; nothing settled waits on. A frame is an RTU payload in hex, ":" and
    // the payload for ASCII, or Q, A and G: the speed query, its reply, and the reply with its
    // code garbled, or X, the byte 01 alone. A time "tN" is N after the time-out.
    void script_data()
    {
        QTest::addColumn<QByteArray>("steps");
        QTest::addColumn<QStringList>("exchanges");
        const auto row = [](const char *name, const char *steps, const QStringList &exchanges) {
            QTest::newRow(name) << QByteArray(steps) << exchanges;
        };
        const QString unexpectedLate = QStringLiteral("意外应答 1 26 -1 %1 -1").arg(timeout + 1);
        row("reply timed to 0.1 ms", "> Q 1000, < A 4500, @ 2000000",
            {"校验正确 1 26 1000 4500 3500"});
        row("another station answers: unexpected, and a time-out",
            "> Q 0, < 022604000003E8 10, @ t1", {"意外应答 2 26 -1 10 -1", "超时 1 26 0 -1 -1"});
        row("another code: unexpected, and a time-out", "> Q 0, < 013704FFFFFFFE 10, @ t1",
            {"意外应答 1 37 -1 10 -1", "超时 1 26 0 -1 -1"});
        row("address query to station 0: any station answers", "> 002100 0, < 052100 20",
            {"校验正确 5 21 0 20 20"});
        row("other requests to station 0 ask for no reply", "> 002000 7, @ t1000",
            {"无需应答 0 20 7 -1 -1"});
        row("exception with its code", "> Q 0, < 01A602 30", {"异常 02 1 26 0 30 30"});
        row("garbled code: a bad check for the waiting request", "> Q 0, ! G 40",
            {"校验错误 1 26 0 40 40"});
        row("the latest of two alike requests is answered", "> Q 0, > Q 100, < A 300, @ t1",
            {"校验正确 1 26 100 300 200", "超时 1 26 0 -1 -1"});
        row("a reply at the deadline is in time", "> Q 0, @ t0, < A t0",
            {QStringLiteral("校验正确 1 26 0 %1 %1").arg(timeout)});
        row("a reply after it: time-out, then unexpected", "> Q 0, < A t1",
            {"超时 1 26 0 -1 -1", unexpectedLate});
        row("ASCII", "> :013700 0, < :013704FFFFFFFE 90", {"校验正确 1 37 0 90 90"});
        // Bytes that started to arrive before the deadline may be the reply: the request waits
        // for the framer to settle them.
        row("held while the framer waits", "> Q 0, @ t50 t-10, @ t50 t1", {"超时 1 26 0 -1 -1"});
        row("a frame without a code", "> X 5", {"无需应答 - - 5 -1 -1"});
    }
    void script()
    {
        QFETCH(QByteArray, steps);
        QFETCH(QStringList, exchanges);
        QByteArray garbled = rtu("012604000003E8");
        garbled[1] = '\x7E';
        const QHash<QByteArray, QByteArray> named{
                {"Q", rtu("012600")}, {"A", rtu("012604000003E8")}, {"G", garbled}, {"X", "\x01"}};
        const auto time = [](const QByteArray &t) {
            return t.startsWith('t') ? timeout + t.mid(1).toLongLong() : t.toLongLong();
        };
        ExchangePairing pairing;
        QList<Exchange> seen;
        for (const QByteArray &step : steps.split(',')) {
            const QByteArrayList w = step.trimmed().split(' ');
            const QByteArray hex = QByteArray::fromHex(w[1]); // skips the ":"
            const QByteArray bytes = named.value(
                    w[1], w[1].startsWith(':') ? frameAscii(hex) : frameRtu(hex));
            if (w[0] == ">")
                seen += pairing.requestSent(bytes, time(w[2]));
            else if (w[0] == "@")
                seen += pairing.expire(time(w[1]), w.size() > 2 ? time(w[2]) : -1);
            else
                seen += pairing.replyReceived(
                        {RxEvent::Frame, bytes, w[0] == "<", time(w[2]), time(w[2])});
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
