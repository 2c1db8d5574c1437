#include "device/frame.h"
#include "exchange/exchange_log_model.h"

#include <QDateTime>
#include <QTest>

using namespace Qt::StringLiterals;

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

    // Bounded: past the capacity the oldest rows go, a hundredth at a time; a
    // frame longer than the log keeps is cut, with a mark (the window's test
    // checks the filter by verdict).
    void bounded()
    {
        ExchangeLogModel log(200);
        for (int i = 0; i < 450; ++i)
            log.append({.request = QByteArray(600, char(i)), .station = quint8(i)}, 0);
        QVERIFY(log.rowCount() <= 200 && log.rowCount() >= 198);
        const int last = log.rowCount() - 1;
        QCOMPARE(log.index(last, ExchangeLogModel::Station).data().toString(), u"C1"_s); // 449
        QVERIFY(log.index(last, ExchangeLogModel::Request).data().toString().endsWith(u"C1 C1 …"));
        QCOMPARE(log.index(last, ExchangeLogModel::Request).data().toString().size(), 512 * 3 + 1);
    }
};

QTEST_GUILESS_MAIN(TestExchangeLogModel)
#include "tst_exchange_log_model.moc"
