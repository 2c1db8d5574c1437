#include "sequencer/run_loop.h"

#include <QTest>

class TestRunLoop : public QObject
{
    Q_OBJECT

private slots:
    void steps_data()
    {
        QTest::addColumn<QStringList>("lines");
        QTest::addColumn<int>("defaultInterval"); // -1: the box's value is out of range
        QTest::addColumn<QString>("ticks"); // "sent:interval" per tick, "-": nothing sent
        const QString a = QStringLiteral("AA "), b = QStringLiteral("BB ");
        auto row = [](const char *name, const QStringList &lines, int interval, const char *ticks) {
            QTest::newRow(name) << lines << interval << QString::fromLatin1(ticks);
        };
        row("delay, jump back", {a, "Delay:500", b, "GoIdx:0"}, 1000, "AA:500 BB:1000 AA:500");
        row("leading delay is never used", {"Delay:5000", a}, 1000, "-:1000 AA:1000 -:1000");
        row("any sixth character", {a, "Delay=300", "GoIdx:0"}, 1000, "AA:300 -:1000 AA:300");
        row("jump without a number goes to 0", {a, b, "GoIdx:abc"}, 100, "AA:100 BB:100 AA:100");
        row("jump to the count: not taken", {a, "GoIdx:2"}, 1000, "AA:1000 -:1000 AA:1000");
        row("negative jump: not taken", {a, "GoIdx:-1", b}, 1000, "AA:1000 -:1000 BB:1000");
        row("jump rounds half to even", {a, b, "GoIdx:0.5"}, 1000, "AA:1000 BB:1000 AA:1000");
        row("jump checked before rounding, wraps", {a, "GoIdx:1.6"}, 1000, "AA:1000 AA:1000");
        row("frames: Delay, delay:100", {"Delay", "delay:100"}, 100, "DE0000:100 DE00001000:100");
        row("empty, blank lines: nothing", {a, "", "   ", b}, 100, "AA:100 -:100 -:100 BB:100");
        row("empty list idles", {}, 100, "-:1000 -:1000");
        row("delay 0 halts", {a, "Delay:0", b}, 100, "AA:0");
        row("delay up to 65535", {a, "Delay:65535", b, "Delay:65536"}, 250, "AA:65535 BB:250");
        row("delay rounds half to even", {a, "Delay:50.5"}, 100, "AA:50");
        row("bad default keeps 1000", {a}, -1, "AA:1000");
    }
    void steps()
    {
        QFETCH(QStringList, lines);
        QFETCH(int, defaultInterval);
        QFETCH(QString, ticks);
        const auto interval = defaultInterval < 0 ? std::nullopt : std::optional(defaultInterval);
        QStringList done;
        qint16 line = 0;
        for (qsizetype i = ticks.count(u' '); i >= 0; --i) {
            const RunStep step = runLoopStep(
                    line, int(lines.size()), [&](int index) { return lines.at(index); }, interval);
            done << QString::fromLatin1(step.frame.isEmpty() ? "-" : step.frame.toHex().toUpper())
                            + u':' + QString::number(step.intervalMs);
            line = step.nextLine;
        }
        QCOMPARE(done.join(u' '), ticks);
    }
};

QTEST_GUILESS_MAIN(TestRunLoop)
#include "tst_run_loop.moc"
