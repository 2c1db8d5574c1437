#include "codec/hex_text.h"
#include "sequencer/list_line.h"
#include "sequencer/run_loop.h"

#include <QTest>

Q_DECLARE_METATYPE(LineKind)

namespace {

// Ticks the run loop \a ticks times from line \a start and writes what each tick
// did as "sent:interval" ("-" when nothing was sent), the bytes as hex digits.
QString run(const QStringList &lines, std::optional<int> defaultInterval, int ticks,
            qint16 start = 0)
{
    QStringList steps;
    qint16 line = start;
    for (int i = 0; i < ticks; ++i) {
        const RunStep step = runLoopStep(
                line, int(lines.size()), [&](int index) { return lines.at(index); },
                defaultInterval);
        const QString sent = step.frame.isEmpty() ? QStringLiteral("-")
                                                  : QString::fromLatin1(step.frame.toHex().toUpper());
        steps << QStringLiteral("%1:%2").arg(sent).arg(step.intervalMs);
        line = step.nextLine;
    }
    return steps.join(u' ');
}

} // namespace

class TestRunLoop : public QObject
{
    Q_OBJECT

private slots:
    void classify_data();
    void classify();
    void steps_data();
    void steps();
};

void TestRunLoop::classify_data()
{
    QTest::addColumn<QString>("line");
    QTest::addColumn<LineKind>("kind");
    QTest::addColumn<double>("argument");

    QTest::newRow("delay") << "Delay:500" << LineKind::Delay << 500.0;
    QTest::newRow("delay, any sixth character") << "Delay=250" << LineKind::Delay << 250.0;
    QTest::newRow("jump") << "GoIdx:3" << LineKind::Jump << 3.0;
    QTest::newRow("jump without number") << "GoIdx:abc" << LineKind::Jump << 0.0;
    QTest::newRow("Delay alone is a frame") << "Delay" << LineKind::Frame << 0.0;
    QTest::newRow("lower case is a frame") << "delay:100" << LineKind::Frame << 0.0;
    QTest::newRow("frame") << "01 20 00 39 C0 " << LineKind::Frame << 0.0;
    QTest::newRow("empty") << "" << LineKind::Empty << 0.0;
}

void TestRunLoop::classify()
{
    QFETCH(QString, line);
    QFETCH(LineKind, kind);
    QFETCH(double, argument);
    QCOMPARE(classifyLine(line), kind);
    if (kind == LineKind::Delay || kind == LineKind::Jump)
        QCOMPARE(lineArgument(line), argument);
}

void TestRunLoop::steps_data()
{
    QTest::addColumn<QStringList>("lines");
    QTest::addColumn<int>("defaultInterval"); // -1: the box's value is out of range
    QTest::addColumn<int>("start");
    QTest::addColumn<QString>("ticks");

    const QString a = QStringLiteral("AA ");
    const QString b = QStringLiteral("BB ");
    QTest::newRow("delay, jump back") << QStringList{a, "Delay:500", b, "GoIdx:0"} << 1000 << 0
                                      << "AA:500 BB:1000 AA:500 BB:1000";
    QTest::newRow("two frames") << QStringList{a, b} << 200 << 0 << "AA:200 BB:200 AA:200";
    QTest::newRow("leading delay is never used")
            << QStringList{"Delay:5000", a} << 1000 << 0 << "-:1000 AA:1000 -:1000 AA:1000";
    QTest::newRow("delay then jump line passed over")
            << QStringList{a, "Delay:300", "GoIdx:0"} << 1000 << 0 << "AA:300 -:1000 AA:300";
    QTest::newRow("jump to the jump line") << QStringList{a, "GoIdx:1"} << 1000 << 0
                                           << "AA:1000 -:1000 AA:1000 -:1000";
    QTest::newRow("jump to the count: not taken") << QStringList{a, "GoIdx:2"} << 1000 << 0
                                                  << "AA:1000 -:1000 AA:1000";
    QTest::newRow("jump past the end: not taken") << QStringList{a, "GoIdx:5"} << 1000 << 0
                                                  << "AA:1000 -:1000 AA:1000";
    QTest::newRow("negative jump: not taken") << QStringList{a, "GoIdx:-1", b} << 1000 << 0
                                              << "AA:1000 -:1000 BB:1000 AA:1000";
    QTest::newRow("jump rounds half to even") << QStringList{a, b, "GoIdx:0.5"} << 1000 << 1
                                              << "BB:1000 AA:1000 BB:1000";
    QTest::newRow("jump checked before rounding") << QStringList{a, "GoIdx:1.6"} << 1000 << 0
                                                  << "AA:1000 AA:1000";
    QTest::newRow("hex of a frame line") << QStringList{"0A 0b 1", "12 3"} << 100 << 0
                                         << "0A0B01:100 1203:100";
    QTest::newRow("Delay alone and lower case delay are frames")
            << QStringList{"Delay", "delay:100"} << 100 << 0 << "DE0000:100 DE00001000:100";
    QTest::newRow("blank frame line sends nothing") << QStringList{"   ", a} << 100 << 0
                                                    << "-:100 AA:100";
    QTest::newRow("empty line is passed over") << QStringList{a, "", b} << 100 << 0
                                               << "AA:100 -:100 BB:100 AA:100";
    QTest::newRow("index past the end wraps") << QStringList{a, b} << 100 << 7
                                              << "AA:100 BB:100";
    QTest::newRow("empty list idles") << QStringList{} << 100 << 0 << "-:1000 -:1000";
    QTest::newRow("delay 0 halts") << QStringList{a, "Delay:0", b} << 100 << 0 << "AA:0";
    QTest::newRow("default 0 halts") << QStringList{a, b} << 0 << 0 << "AA:0";
    QTest::newRow("delay out of range keeps the default")
            << QStringList{a, "Delay:70000", b} << 250 << 0 << "AA:250 BB:250";
    QTest::newRow("delay rounds half to even") << QStringList{a, "Delay:50.5"} << 100 << 0
                                               << "AA:50";
    QTest::newRow("bad default keeps 1000") << QStringList{a} << -1 << 0 << "AA:1000";
}

void TestRunLoop::steps()
{
    QFETCH(QStringList, lines);
    QFETCH(int, defaultInterval);
    QFETCH(int, start);
    QFETCH(QString, ticks);
    const int count = int(ticks.count(u' ')) + 1;
    const std::optional<int> interval =
            defaultInterval < 0 ? std::nullopt : std::optional<int>(defaultInterval);
    QCOMPARE(run(lines, interval, count, qint16(start)), ticks);
}

QTEST_GUILESS_MAIN(TestRunLoop)
#include "tst_run_loop.moc"
