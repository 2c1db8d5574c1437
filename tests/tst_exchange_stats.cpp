#include "exchange/exchange_stats.h"

#include <QTest>

namespace {

Exchange timed(Verdict verdict, qint64 responseUs)
{
    return {.verdict = verdict, .sentUs = 1000, .repliedUs = 1000 + responseUs};
}

} // namespace

class TestExchangeStats : public QObject
{
    Q_OBJECT

private slots:
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
        stats.addExchange({.verdict = Verdict::Timeout, .sentUs = 5});
        stats.addExchange(timed(Verdict::Good, 12345));
        stats.addNoise(7);
        QCOMPARE(stats.summary(),
                 QStringLiteral("请求 6 · 应答 4 · 校验错误 1 · 超时 1 · 意外应答 1 · 噪声 7 字节"
                                " · 响应 最小 2.0 / 平均 6.1 / 95% 12.3 / 最大 12.3 ms"
                                " · 最近：校验正确 12.3 ms"));
        stats.reset();
        QCOMPARE(stats.requests(), 0);
        QVERIFY(!stats.minimumUs() && !stats.latest());
    }
};

QTEST_GUILESS_MAIN(TestExchangeStats)
#include "tst_exchange_stats.moc"
