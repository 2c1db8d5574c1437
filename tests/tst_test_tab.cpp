// The test tab against the simulated controller: a plan runs through the window's send
// path, each step's outcome shows in the table, the verdict beside it, the report is
// saved; a run ends by the user or the port; a faulty plan is refused with its place.

#include "codec/hex_text.h"
#include "sim_fixture.h"
#include "test_util.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTableView>
#include <QTemporaryDir>

class TestTestTab : public QObject
{
    Q_OBJECT

private slots:
    void runPlan()
    {
        SimFixture f;
        QVERIFY(f.open());
        QTemporaryDir dir;
        const QString plan = dir.filePath(u"bench.toml"_s);
        QVERIFY(writeFile(plan, R"(
step = [{ send = "handshake" }, { send = "set_max_speed", value = 12000 },
        { code = "28", value = { equals = 12000 } },
        { code = "28", value = { equals = 1 }, on_fail = "continue" }, { send = "handshake" }]
[plan]
name = "bench"
reply_timeout_ms = 250
)"));
        f.dialogs->fileNames << plan;
        f.click(u"testOpen"_s);
        QCOMPARE(f.text("testPlanName"), u"计划：bench（%1）"_s.arg(plan));
        // The window in the other mode: refused, saying what to choose.
        f.mode(1);
        f.click(u"testRun"_s);
        QVERIFY2(f.messages.value(0).endsWith(u"请把它改为 Modbus RTU"),
                 qPrintable(f.messages.value(0)));
        f.mode(0);

        f.click(u"testRun"_s);
        QCOMPARE(f.text("testVerdict"), u"运行中…"_s);
        QVERIFY(!f.enabled(u"testRun"_s) && f.enabled(u"testStop"_s) && !f.enabled(u"testSave"_s));
        QTRY_COMPARE(f.text("testVerdict"), u"不通过"_s);
        QVERIFY(f.enabled(u"testRun"_s) && !f.enabled(u"testStop"_s));
        const QAbstractItemModel *steps = f.control<QTableView>(u"testSteps"_s)->model();
        const auto outcomes = [steps] {
            QStringList cells;
            for (int row = 0; row < steps->rowCount(); ++row)
                cells << steps->index(row, 1).data().toString();
            return cells.join(u' ');
        };
        QCOMPARE(outcomes(), u"pass pass pass fail pass"_s);
        QCOMPARE(steps->index(2, 2).data().toString(), u"12000"_s);
        // The plan's reply time-out held for its run only.
        QCOMPARE(f.window.exchanges().replyTimeoutUs(), 500'000);
        // Every request went through the send path and shows in the send view.
        const QString sent = f.text("RichTextBox2");
        QCOMPARE(sent.count(u"SndHex:"), 5);
        QVERIFY(sent.contains(u"SndHex:"_s + FormatHexText(rtu("012800"))));

        const QString report = dir.filePath(u"bench.json"_s);
        f.dialogs->fileNames << report;
        f.click(u"testSave"_s);
        const QJsonObject run
                = QJsonDocument::fromJson(fileContent(report))[u"controllers"][0].toObject();
        QCOMPARE(run[u"steps"].toArray().size(), 5);
        QCOMPARE(run[u"steps"][3][u"outcome"].toString(), u"fail"_s);

        // Stopped by the user, or by the port closing: the step running is an error.
        for (const char *button : {"testStop", "Command33"}) {
            f.click(u"testRun"_s);
            f.click(QLatin1String(button));
            QCOMPARE(f.text("testVerdict"), u"出错"_s);
            QCOMPARE(outcomes(), u"error skipped skipped skipped skipped"_s);
        }

        // A faulty plan is refused with its place; the one open stays.
        const QString bad = dir.filePath(u"bad.toml"_s);
        QVERIFY(writeFile(bad, "[[step]]\ncode = \"2G\"\n"));
        f.dialogs->fileNames << bad;
        f.click(u"testOpen"_s);
        QVERIFY2(f.messages.last().startsWith(bad + u":2:8: "_s), qPrintable(f.messages.last()));
        QVERIFY(f.text("testPlanName").contains(plan));
        QCOMPARE(f.messages.size(), 2);
        // Listening only: no run starts.
        f.control<QCheckBox>(u"monitorMode"_s)->setChecked(true);
        QVERIFY(!f.enabled(u"testRun"_s));
    }
};

QTEST_MAIN(TestTestTab)
#include "tst_test_tab.moc"
