#include "device/frame.h"
#include "exchange/capture_writer.h"
#include "util/monotonic_clock.h"

#include <QDateTime>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

// The capture files as a spreadsheet or a reader sees them, times masked.

namespace {

QStringList linesOf(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    static const QRegularExpression time(
            QStringLiteral("\\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d\\.\\d{3}"));
    QString text = QString::fromUtf8(file.readAll());
    text.replace(time, QStringLiteral("T"));
    return text.split(u'\n', Qt::SkipEmptyParts);
}

} // namespace

class TestCaptureWriter : public QObject
{
    Q_OBJECT

private slots:
    void formats_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QStringList>("lines");
        QTest::newRow("text log")
                << "bench.log"
                << QStringList{"T TX 01 26 00 3A 60  查询运动初速度:",
                               "T RX 01 26 04 00 00 03 E8 FD B8  查询运动初速度:  校验正确  3.5 ms",
                               "T TO 01 37 00 36 30  查询运动绝对位置:  超时",
                               "T NOISE FF 00  噪声", "T LINK  串口恢复写入"};
        QTest::newRow("CSV, any letter case")
                << "bench.CSV"
                << QStringList{"\uFEFFtime,direction,bytes,description,verdict,response_ms\r",
                               "T,TX,01 26 00 3A 60,查询运动初速度:,,\r",
                               "T,RX,01 26 04 00 00 03 E8 FD B8,查询运动初速度:,校验正确,3.5\r",
                               "T,TO,01 37 00 36 30,查询运动绝对位置:,超时,\r",
                               "T,NOISE,FF 00,噪声,,\r",
                               "T,LINK,,串口恢复写入,,\r"};
    }
    void formats()
    {
        QFETCH(QString, name);
        QFETCH(QStringList, lines);
        QTemporaryDir dir;
        const QString path = dir.filePath(name);
        CaptureWriter capture;
        QVERIFY(capture.start(path));
        const QByteArray request = frameRtu(QByteArray::fromHex("012600"));
        const QByteArray reply = frameRtu(QByteArray::fromHex("012604000003E8"));
        const qint64 now = monotonicUs();
        capture.frameSent(request, now);
        capture.exchangeSettled({.request = request,
                                 .reply = reply,
                                 .verdict = Verdict::Good,
                                 .sentUs = now,
                                 .repliedUs = now + 3500});
        capture.exchangeSettled({.request = frameRtu(QByteArray::fromHex("013700")),
                                 .verdict = Verdict::Timeout,
                                 .sentUs = now});
        capture.exchangeSettled({.request = request, .verdict = Verdict::NoReply, .sentUs = now});
        capture.bytesDiscarded({RxEvent::Noise, QByteArray::fromHex("FF00"), false, now, now});
        capture.linkEvent(QStringLiteral("串口恢复写入"), now);
        capture.stop();
        QCOMPARE(linesOf(path), lines);
    }

    // Gathered lines reach the file within a second, without a stop; their times are the
    // wall-clock times of the events, to the millisecond.
    void timeStamps()
    {
        QTemporaryDir dir;
        CaptureWriter capture;
        QVERIFY(capture.start(dir.filePath(QStringLiteral("a.log"))));
        const QDateTime wall = QDateTime::currentDateTime();
        const qint64 now = monotonicUs();
        capture.linkEvent(QStringLiteral("a"), now);
        capture.linkEvent(QStringLiteral("b"), now + 1'234'000);
        QTRY_COMPARE_WITH_TIMEOUT(linesOf(capture.path()).size(), 2, 1500);
        QFile file(capture.path());
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QList<QByteArray> lines = file.readAll().split('\n');
        const auto timeOf = [](const QByteArray &line) {
            return QDateTime::fromString(QString::fromLatin1(line.left(23)),
                                         QStringLiteral("yyyy-MM-dd HH:mm:ss.zzz"));
        };
        QVERIFY(qAbs(timeOf(lines[0]).msecsTo(wall)) < 1000);
        QCOMPARE(timeOf(lines[0]).msecsTo(timeOf(lines[1])), 1234);
    }

    // A disk that fills up: one message naming the file, the capture stops, and
    // what was written stays.
    void failedWriteStops()
    {
        if (!QFile::exists(QStringLiteral("/dev/full")))
            QSKIP("needs /dev/full");
        CaptureWriter capture;
        QVERIFY(capture.start(QStringLiteral("/dev/full")));
        QStringList messages;
        connect(&capture, &CaptureWriter::failed, this, [&](const QString &m) { messages << m; });
        capture.linkEvent(QStringLiteral("x"), monotonicUs());
        capture.flush();
        capture.linkEvent(QStringLiteral("y"), monotonicUs());
        capture.flush();
        QCOMPARE(messages.size(), 1);
        QVERIFY(messages[0].contains(u"/dev/full"));
        QVERIFY(!capture.isActive());
        QVERIFY(!capture.start(QStringLiteral("/nonexistent/dir/a.log")));
    }
};

QTEST_GUILESS_MAIN(TestCaptureWriter)
#include "tst_capture_writer.moc"
