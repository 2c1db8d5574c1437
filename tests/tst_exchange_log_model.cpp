#include "device/frame.h"
#include "exchange/exchange_log_model.h"

#include <QDateTime>
#include <QSortFilterProxyModel>
#include <QTest>

class TestExchangeLogModel : public QObject
{
    Q_OBJECT

private slots:
    void row()
    {
        ExchangeLogModel log;
        const qint64 wall
                = QDateTime(QDate(2026, 12, 6), QTime(21, 54, 10, 123)).toMSecsSinceEpoch();
        log.append({.request = frameRtu(QByteArray::fromHex("012600")),
                    .reply = frameRtu(QByteArray::fromHex("01A602")),
                    .verdict = Verdict::Exception,
                    .station = 1,
                    .code = 0x26,
                    .exceptionCode = 2,
                    .sentUs = 0,
                    .repliedUs = 12345},
                   wall);
        QStringList cells;
        for (int column = 0; column < log.columnCount(); ++column)
            cells << log.index(0, column).data().toString();
        QCOMPARE(cells,
                 (QStringList{"21:54:10.123", "01", "26", "查询运动初速度:", "01 26 00 3A 60",
                              "01 A6 02 DA 61", "异常 02", "12.3"}));
    }

    // Bounded: past the capacity the oldest rows go, a hundredth at a time; the
    // filter shows one verdict.
    void boundedAndFiltered()
    {
        ExchangeLogModel log(200);
        for (int i = 0; i < 450; ++i)
            log.append({.verdict = i % 3 ? Verdict::Good : Verdict::Timeout, .station = quint8(i)},
                       0);
        QVERIFY(log.rowCount() <= 200 && log.rowCount() >= 198);
        QCOMPARE(log.index(log.rowCount() - 1, ExchangeLogModel::Station).data().toString(),
                 QStringLiteral("C1")); // 449
        QSortFilterProxyModel filter;
        filter.setSourceModel(&log);
        filter.setFilterRole(ExchangeLogModel::VerdictRole);
        filter.setFilterKeyColumn(ExchangeLogModel::Result);
        filter.setFilterRegularExpression(QStringLiteral("^%1$").arg(int(Verdict::Timeout)));
        for (int row = 0; row < filter.rowCount(); ++row)
            QCOMPARE(filter.index(row, ExchangeLogModel::Result).data().toString(),
                     QStringLiteral("超时"));
        QVERIFY(filter.rowCount() > 60);
    }
};

QTEST_GUILESS_MAIN(TestExchangeLogModel)
#include "tst_exchange_log_model.moc"
