#include "device/command_set.h"
#include "exchange/exchange_log_model.h"
#include "test_util.h"

#include <QDateTime>
#include <QTest>

using namespace Qt::StringLiterals;

Q_DECLARE_METATYPE(Exchange)

class TestExchangeLogModel : public QObject
{
    Q_OBJECT

private slots:
    // Each row as the log shows it: standard MODBUS exchanges are named and their
    // values decoded (registers as numbers, coils as bits, as many as were asked).
    void row_data()
    {
        QTest::addColumn<Exchange>("exchange");
        QTest::addColumn<QString>("cells"); // after the time, "|" between them
        // Station and code from the request; replied 5 ms and, if given, a gap after it.
        const auto row = [](const char *name, const QByteArray &request, const QByteArray &reply,
                            Verdict verdict, qint64 gapUs, const char *cells) {
            const std::optional<FramePayload> asked = framePayload(request);
            Exchange exchange{request, reply, verdict, quint8(asked->bytes[0]),
                              quint8(asked->bytes[1])};
            exchange.exceptionCode = verdict == Verdict::Exception ? quint8(reply[2]) : 0;
            exchange.sentUs = reply.isEmpty() ? -1 : 0;
            exchange.repliedUs = reply.isEmpty() ? -1 : 5000;
            exchange.gapUs = gapUs;
            QTest::newRow(name) << exchange << QString::fromUtf8(cells);
        };
        const auto ascii = [](const char *hex) {
            return frameAscii(QByteArray::fromHex(hex));
        };
        row("controller exception", rtu("012600"), rtu("01A602"), Verdict::Exception, -1,
            "01|26|查询运动初速度:||01 26 00 3A 60|01 A6 02 DA 61|异常 02|5.0|");
        row("holding registers, heard with a gap", rtu("110300000002"), rtu("110304FFFF0001"),
            Verdict::Good, 20500,
            "11|03|读保持寄存器:|65535 1|11 03 00 00 00 02 C6 9B|11 03 04 FF FF 00 01 2A 16|"
            "校验正确|5.0|20.5");
        row("coils, as many as asked, in ASCII", ascii("010100000005"), ascii("01010115"),
            Verdict::Good, -1,
            "01|01|读线圈:|1 0 1 0 1|3A 30 31 30 31 30 30 30 30 30 30 30 35 46 39 0D 0A|"
            "3A 30 31 30 31 30 31 31 35 45 38 0D 0A|校验正确|5.0|");
        row("a write that timed out", rtu("0110000A000204000700FF"), {}, Verdict::Timeout, -1,
            "01|10|写多个寄存器:|7 255|01 10 00 0A 00 02 04 00 07 00 FF 82 51||超时||");
    }
    void row()
    {
        QFETCH(Exchange, exchange);
        QFETCH(QString, cells);
        ExchangeLogModel log;
        const qint64 wall
                = QDateTime(QDate(2026, 12, 6), QTime(21, 54, 10, 123)).toMSecsSinceEpoch();
        log.append(exchange, wall);
        QStringList shown;
        for (int column = 0; column < log.columnCount(); ++column)
            shown << log.index(0, column).data().toString();
        QCOMPARE(shown.join(u'|'), u"21:54:10.123|"_s + cells);
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
