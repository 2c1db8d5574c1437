#include "sim/sim_server.h"
#include "session/link_session.h"
#include "test_util.h"
#include "testplan/plan_runner.h"
#include "testplan/test_plan.h"

#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

// Test plans: the file refused whole with the place of its fault, the requests a
// plan lays out, and the runner's verdicts against the simulated controller.

using namespace Qt::StringLiterals;

Q_DECLARE_METATYPE(SimConfig)

class TestTestPlan : public QObject
{
    Q_OBJECT

private slots:
    void faultyPlan_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("message");
        const auto row = [](const char *name, const char *text, const char *message) {
            QTest::newRow(name) << QString::fromUtf8(text) << QString::fromUtf8(message);
        };
        row("not TOML", "[plan\nname = 1\n", "p.toml:1:6: Error while parsing table header: expected ']', saw '\\n'");
        // Characters toml++'s whitespace test once took for unreachable, in a key.
        row("full stop in a key", "[[step]]\ncode = \"20\"\nx。 = 1\n", "p.toml:3:2: Error while parsing key-value pair: expected '=', saw '。'");
        row("Cyrillic in a key", "[[step]]\ncode = \"20\"\n[aш]\n", "p.toml:3:3: Error while parsing table header: expected ']', saw 'ш'");
        row("no step", "[plan]\nname = \"x\"\n", "p.toml:1:1: the plan has no [[step]]");
        row("unknown top key", "[[step]]\ncode = \"20\"\n[plans]\n", "p.toml:3:2: “plans” does not belong in a plan: it holds [plan] and [[step]] tables");
        row("unknown plan key", "[plan]\nbaudrate = 9600\n[[step]]\ncode = \"20\"\n", "p.toml:2:1: “baudrate” does not belong in [plan]");
        row("bad mode", "[plan]\nmode = \"tcp\"\n[[step]]\ncode = \"20\"\n", "p.toml:2:8: “tcp” is none of rtu, ascii");
        row("bad address", "[plan]\naddress = \"1FF\"\n[[step]]\ncode = \"20\"\n", "p.toml:2:11: expected one byte in hex, \"00\" to \"FF\", not “1FF”");
        row("misspelt key", "[[step]]\ncode = \"20\"\nexpct = \"ok\"\n", "p.toml:3:1: “expct” does not belong in a step that sends a request");
        row("step does nothing", "[[step]]\nname = \"a\"\n", "p.toml:1:1: a step needs one of code, send, wait_until, measure, delay_ms, apply_config, verify_config, repeat");
        row("two things", "[[step]]\ncode = \"20\"\ndelay_ms = 5\n", "p.toml:2:8: a step does one thing, not both “delay_ms” and “code”");
        row("bad code", "[[step]]\ncode = \"2G\"\n", "p.toml:2:8: expected one byte in hex, \"00\" to \"FF\", not “2G”");
        row("code as number", "[[step]]\ncode = 20\n", "p.toml:2:8: expected a text in quotes");
        row("odd data", "[[step]]\ncode = \"27\"\ndata = \"00 2E E\"\n", "p.toml:3:8: expected bytes in hex, pairs of digits such as \"00 00 2E E0\"");
        row("unknown command", "[[step]]\nsend = \"set_speed\"\n", "p.toml:2:8: no command is named “set_speed” (stepperbench-cli commands lists them)");
        row("value too large", "[[step]]\nsend = \"set_max_speed\"\nvalue = 4294967296\n", "p.toml:3:9: set_max_speed takes a signed 32-bit number, not 4294967296");
        row("rate unknown", "[[step]]\nsend = \"change_baud_rate\"\nvalue = 1200\n", "p.toml:3:9: change_baud_rate takes a baud rate of 2400 to 38400, not 1200");
        row("no value to check", "[[step]]\ncode = \"20\"\nvalue = { equals = 1 }\n", "p.toml:3:9: the reply to code 20 carries no value to check");
        row("bad expect", "[[step]]\ncode = \"20\"\nexpect = \"fine\"\n", "p.toml:3:10: “fine” is none of ok, no_reply, exception, “exception 01”");
        row("limits crossed", "[[step]]\ncode = \"28\"\nvalue = { min = 5, max = 1 }\n", "p.toml:3:9: the limits must keep min ≤ marginal_min ≤ marginal_max ≤ max");
        row("equals and min", "[[step]]\ncode = \"28\"\nvalue = { equals = 5, min = 1 }\n", "p.toml:3:9: “equals” stands alone: no other limit beside it");
        row("limit not a number", "[[step]]\ncode = \"28\"\nvalue = { min = \"5\" }\n", "p.toml:3:17: expected a number");
        row("wait for a state", "[[step]]\nwait_until = \"halted\"\n", "p.toml:2:14: “halted” is none of stopped, moving, position, inputs, value");
        row("position without limits", "[[step]]\nwait_until = \"position\"\n", "p.toml:2:14: a wait for a position needs “value = { min = …, max = … }”");
        row("inputs pattern", "[[step]]\nwait_until = \"inputs\"\ninputs = \"12x\"\n", "p.toml:3:10: expected five of 1, 0 or x for IN5 … IN1, such as “x1x0x”");
        row("stopped takes no value", "[[step]]\nwait_until = \"stopped\"\nvalue = { min = 1 }\n", "p.toml:3:1: “value” does not belong in a wait for the motor's state");
        row("timeout zero", "[[step]]\nwait_until = \"stopped\"\ntimeout_ms = 0\n", "p.toml:3:14: expected a whole number from 1 to 86400000");
        row("measure unknown", "[[step]]\nmeasure = \"jitter\"\nlimits = { max = 1 }\n", "p.toml:2:11: “jitter” is none of response_ms, move_duration_s, move_duration_ratio, position_error");
        row("measure without limits", "[[step]]\nmeasure = \"response_ms\"\n", "p.toml:2:11: a measure step needs “limits”");
        row("missing config", "[[step]]\napply_config = \"none.conf\"\n", "p.toml:2:16: ");
        row("repeat without steps", "[[step]]\nrepeat = 3\n", "p.toml:2:10: a repeat needs its steps, as [[step.steps]] tables");
        row("repeat too long", "[[step]]\nrepeat = 60000\n[[step.steps]]\ncode = \"20\"\n[[step.steps]]\ncode = \"20\"\n", "p.toml:1:1: with its repeats the plan has more than 100000 steps");
        row("on_fail", "[[step]]\ncode = \"20\"\non_fail = \"retry\"\n", "p.toml:3:11: “retry” is none of stop, continue");
    }
    void faultyPlan()
    {
        QFETCH(QString, text);
        QFETCH(QString, message);
        const Result<TestPlan> plan = parseTestPlan(text, u"p.toml"_s);
        QVERIFY(!plan);
        // A configuration file's own message follows its place.
        if (message.endsWith(u": "))
            QVERIFY2(plan.error().startsWith(message), qPrintable(plan.error()));
        else
            QCOMPARE(plan.error(), message);
    }

    // A plan against the simulated controller: the outcome of every step, and what one step
    // measured or said. Moves are short, so that a row takes a fraction of a second.
    void run_data()
    {
        QTest::addColumn<QString>("steps");
        QTest::addColumn<SimConfig>("config");
        QTest::addColumn<QString>("outcomes");
        QTest::addColumn<QString>("detail"); // "step index: measured value, or words of the message"
        const auto row = [](const char *name, const char *steps, const char *outcomes,
                            const char *detail, SimConfig config = {}) {
            QTest::newRow(name) << QString::fromUtf8(steps) << config << QString::fromLatin1(outcomes)
                                << QString::fromUtf8(detail);
        };
        const char *move = "[[step]]\nsend = \"set_max_speed\"\nvalue = 20000\n"
                           "[[step]]\nsend = \"move\"\nvalue = 2000\n"
                           "[[step]]\nwait_until = \"stopped\"\npoll_ms = 10\n"
                           "[[step]]\nsend = \"query_absolute_position\"\n"
                           "value = { min = 1999, max = 2001 }\non_fail = \"continue\"\n";
        const QByteArray passing = QByteArray(move)
                + "[[step]]\nmeasure = \"position_error\"\nlimits = { min = -1, max = 1 }\n"
                  "[[step]]\nmeasure = \"move_duration_ratio\"\nlimits = { min = 0.9, max = 1.1 }\n"
                  "[[step]]\nmeasure = \"response_ms\"\nlimits = { max = 100 }\n"
                  "[[step]]\napply_config = \"set.conf\"\n";
        row("passes", passing.constData(), "pass pass pass pass pass pass pass pass", "3: 2000");
        row("marginal", "[[step]]\nsend = \"query_max_speed\"\nvalue = { max = 20000, marginal_max = 5000 }\n",
            "marginal", "0: 10000");
        row("stop on a fail", "[[step]]\ncode = \"28\"\nvalue = { equals = 1 }\n[[step]]\ncode = \"20\"\n",
            "fail skipped", "0: 10000");
        row("continue after a fail", "[[step]]\ncode = \"28\"\nvalue = { equals = 1 }\non_fail = \"continue\"\n"
            "[[step]]\ncode = \"20\"\n", "fail pass", "0: 10000");
        row("exception expected", "[[step]]\ncode = \"27\"\ndata = \"00\"\nexpect = \"exception 03\"\n"
            "[[step]]\ncode = \"27\"\ndata = \"00\"\nexpect = \"exception 02\"\non_fail = \"continue\"\n"
            "[[step]]\ncode = \"20\"\nexpect = \"exception\"\n", "pass fail fail", "1: exception 03");
        row("silent station", "[[step]]\ncode = \"20\"\n[[step]]\ncode = \"20\"\nexpect = \"no_reply\"\n",
            "fail skipped", "0: no reply within 100 ms", SimConfig{.address = 0x05});
        row("wait times out", "[[step]]\nwait_until = \"moving\"\ntimeout_ms = 60\npoll_ms = 10\n",
            "fail", "0: not reached within 60 ms: still stopped");
        // The simulated controller playing a faulty unit: the step that catches each fault.
        const auto faulty = [](SimFaults faults) { return SimConfig{.faults = faults}; };
        row("moves end short", passing.constData(), "pass pass pass fail fail skipped skipped skipped",
            "4: -5", faulty({.lostSteps = 5}));
        row("moves too slow", passing.constData(), "pass pass pass pass pass fail skipped skipped",
            "5: ~2", faulty({.slowFactor = 0.5}));
        row("replies dropped", "[[step]]\ncode = \"20\"\n", "fail", "0: no reply within 100 ms",
            faulty({.dropPercent = 100}));
        row("replies spoilt", "[[step]]\ncode = \"20\"\n", "fail", "0: the reply's check is wrong",
            faulty({.corruptPercent = 100}));
        row("replies late", "[[step]]\ncode = \"20\"\n[[step]]\nmeasure = \"response_ms\"\n"
            "limits = { max = 20 }\n", "pass fail", "1: ~40", faulty({.delayMs = 40}));
        row("nothing to measure", "[[step]]\nmeasure = \"position_error\"\nlimits = { max = 1 }\n",
            "fail", "0: no position was read after the move ended");
    }
    void run()
    {
        QFETCH(QString, steps);
        QFETCH(SimConfig, config);
        QFETCH(QString, outcomes);
        QFETCH(QString, detail);
        QTemporaryDir dir;
        QVERIFY(writeFile(dir.filePath(u"set.conf"_s), "start_speed = 150\nio 00001 = 31 04 00 00 00 10\n"));
        const Result<TestPlan> plan = parseTestPlan(u"[plan]\nreply_timeout_ms = 100\n"_s + steps,
                                                    dir.filePath(u"p.toml"_s));
        QVERIFY2(plan, qPrintable(plan ? QString() : plan.error()));
        SimServer simulator(config);
        QVERIFY(simulator.openPseudoTerminal());
        LinkSession session;
        session.exchanges().setReplyTimeoutUs(100'000);
        QVERIFY(session.open(simulator.devicePath(), 9600));
        PlanRunner runner([&session](const QByteArray &frame) { return session.send(frame).ok(); });
        connect(&session.exchanges(), &ExchangeMonitor::exchangeSettled, &runner,
                &PlanRunner::exchangeSettled);
        QSignalSpy finished(&runner, &PlanRunner::finished);
        runner.start(*plan, 0x01, u"COM1"_s);
        QVERIFY(finished.wait(10000));

        const StationResult &result = runner.result();
        QStringList seen;
        for (const StepResult &step : result.steps)
            seen << outcomeName(step.outcome);
        QCOMPARE(seen.join(u' '), outcomes);
        const int index = detail.section(u':', 0, 0).toInt();
        const QString expected = detail.section(u": "_s, 1);
        const StepResult &step = result.steps[index];
        // "~N": within a quarter of N, for what a clock measures on a busy machine.
        if (expected.startsWith(u'~')) {
            QVERIFY(step.measured);
            QVERIFY2(qAbs(*step.measured / expected.mid(1).toDouble() - 1) < 0.25,
                     qPrintable(numberText(*step.measured)));
        } else {
            QCOMPARE(step.measured ? numberText(*step.measured) : step.message, expected);
        }
        QCOMPARE(result.outcome, seen.contains(u"fail"_s) ? Outcome::Fail
                         : seen.contains(u"marginal"_s) ? Outcome::Marginal : Outcome::Pass);
    }

    // The requests a plan lays out, repeats unrolled.
    void requests()
    {
        const Result<TestPlan> plan = parseTestPlan(uR"(
[plan]
mode = "ascii"
address = "0a"
[[step]]
send = "set_max_speed"
value = 12000
[[step]]
send = "move_24"
value = -5
[[step]]
send = "change_baud_rate"
value = 19200
[[step]]
name = "twice"
repeat = 2
[[step.steps]]
name = "hello"
code = "20"
data = "01 02"
expect = "exception 03"
)"_s, u"p.toml"_s);
        QVERIFY2(plan, qPrintable(plan ? QString() : plan.error()));
        QCOMPARE(plan->mode, CommMode::Ascii);
        QCOMPARE(plan->address, 0x0A);
        const QList<PlanStep> steps = flattenSteps(plan->steps);
        QStringList laidOut;
        for (const PlanStep &step : steps)
            laidOut << u"%1 %2 %3"_s.arg(step.name).arg(int(step.code), 2, 16, QChar(u'0')).arg(QString::fromLatin1(step.data.toHex()));
        QCOMPARE(laidOut, QStringList({u"step 1 27 00002ee0"_s, u"step 2 32 01000005"_s,
                                       u"step 3 24 08"_s, u"hello #1 20 0102"_s,
                                       u"hello #2 20 0102"_s}));
        QCOMPARE(steps[4].exceptionCode, std::optional<quint8>(0x03));
    }
};

QTEST_GUILESS_MAIN(TestTestPlan)
#include "tst_test_plan.moc"
