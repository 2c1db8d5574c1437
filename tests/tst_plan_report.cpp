// Reports of a plan's results as the files hold them: JSON read back, JUnit counts and
// messages, HTML escaping, and the messages of files that cannot be written.

#include "test_util.h"
#include "testplan/plan_report.h"

#include <QJsonObject>
#include <QTemporaryDir>
#include <QTest>
#include <QXmlStreamReader>

using namespace Qt::StringLiterals;

namespace {

StepResult step(const QString &name, Outcome outcome, std::optional<double> measured = {},
                const Limits &limits = {}, const QString &message = {})
{
    const QString unit = measured ? u"pulses/s"_s : QString();
    return {name, outcome, measured, unit, limits, message, {}, 0.5};
}

// Two controllers: one with a pass, a marginal and a failed step, one whose port went away.
QList<StationResult> results()
{
    const QDateTime start(QDate(2024, 5, 1), QTime(10, 0), Qt::UTC);
    StationResult a{u"acceptance"_s, u"a.toml"_s,      u"COM3"_s,     5,
                    start,           start.addSecs(9), Outcome::Fail, {}};
    a.steps = {step(u"handshake"_s, Outcome::Pass),
               step(u"move"_s, Outcome::Marginal, 1.04, {{}, 0.95, 1.05, 0.97, 1.03}),
               step(u"speed"_s, Outcome::Fail, 10500, {{}, 9999, 10001, {}, {}}, u"too fast"_s)};
    a.steps[0].exchange = {QByteArray::fromHex("0120008F90"), "\x01\x20", Verdict::Good, 0, 12.5};
    StationResult b = a;
    b.port = u"/dev/ttyUSB0"_s;
    b.station = 0x1A;
    b.outcome = Outcome::Error;
    b.steps = {step(u"status"_s, Outcome::Error, {}, {}, u"port gone"_s),
               step(u"<&> step"_s, Outcome::Skipped)};
    b.steps[0].exchange = {":01200000DF\r\n", {}, Verdict::Timeout, 0, -1};
    return {a, b};
}

} // namespace

class TestPlanReport : public QObject
{
    Q_OBJECT

private slots:
    void json_data()
    {
        QTest::addColumn<QString>("value"); // at the row's path; an object: its keys
        QTest::newRow("1/station") << u"1A"_s;
        QTest::newRow("0/start") << u"2024-05-01T10:00:00.000Z"_s;
        QTest::newRow("1/outcome") << u"error"_s;
        QTest::newRow("0/steps/0/exchange/request") << u"01 20 00 8F 90"_s;
        QTest::newRow("0/steps/0/exchange/response_ms") << u"12.5"_s;
        QTest::newRow("0/steps/1/outcome") << u"marginal"_s;
        QTest::newRow("0/steps/1/limits") << u"marginal_max marginal_min max min"_s;
        QTest::newRow("0/steps/2/measured") << u"10500"_s;
        QTest::newRow("0/steps/2/limits") << u"max min"_s;
        QTest::newRow("1/steps/0/exchange/request") << u":01200000DF"_s;
        QTest::newRow("1/steps/0/exchange/response_ms") << u"<absent>"_s;
        QTest::newRow("1/steps/1/measured") << u"<absent>"_s;
        QTest::newRow("1/steps/1/exchange") << u"<absent>"_s;
    }
    void json()
    {
        QFETCH(QString, value);
        QTemporaryDir dir;
        const QString file = dir.filePath(u"report.json"_s);
        QVERIFY(writeReport(file, results()).ok());
        QJsonValue at = QJsonDocument::fromJson(fileContent(file))[u"controllers"];
        for (const QString &key : QString::fromUtf8(QTest::currentDataTag()).split(u'/'))
            at = at.isArray() ? at[key.toInt()] : at[key];
        const QString got = at.isUndefined() ? u"<absent>"_s
                : at.isObject()              ? at.toObject().keys().join(u' ')
                                             : at.toVariant().toString();
        QCOMPARE(got, value);
    }
    void junit()
    {
        // Left in the build folder for junit_counts.py, which reads it with junitparser.
        const QString file = QString::fromUtf8(STEPPERBENCH_JUNIT_FILE);
        QVERIFY(writeReport(file, results()).ok());
        QXmlStreamReader xml(fileContent(file));
        QStringList seen;
        while (!xml.atEnd()) {
            if (xml.readNext() != QXmlStreamReader::StartElement)
                continue;
            const QXmlStreamAttributes at = xml.attributes();
            if (xml.name() == u"testsuites" || xml.name() == u"testsuite") {
                seen.append(u"%1 %2 %3 %4 %5"_s.arg(at.value("name"_L1), at.value("tests"_L1),
                                                    at.value("failures"_L1), at.value("errors"_L1),
                                                    at.value("skipped"_L1)));
            } else if (xml.name() == u"failure" || xml.name() == u"error") {
                seen.append(at.value("message"_L1).toString() + u'|' + xml.readElementText());
            }
        }
        QVERIFY2(!xml.hasError(), qPrintable(xml.errorString()));
        const QStringList expected{u"acceptance 5 1 1 1"_s, u"COM3 station 05 3 1 0 0"_s,
                                   u"too fast|outcome: fail\nmeasured: 10500 pulses/s\n"
                                   "limits: 9999 … 10001 pulses/s"_s,
                                   u"/dev/ttyUSB0 station 1A 2 0 1 1"_s,
                                   u"port gone|outcome: error\nverdict: timeout"_s};
        QCOMPARE(seen, expected);
    }
    void unwritable()
    {
        QTemporaryDir dir;
        for (const QString &name : {u"report.txt"_s, u"missing/report.xml"_s}) {
            const QString path = dir.filePath(name);
            const Status written = writeReport(path, results());
            QVERIFY2(!written.ok()
                             && written.error().startsWith(u"cannot write the report "_s + path + u": "_s),
                     qPrintable(name));
            QVERIFY(!QFile::exists(path));
        }
    }
    void html_escapes()
    {
        const QString html = htmlReport(results());
        QVERIFY(html.contains(u"<td>&lt;&amp;&gt; step</td>"_s));
        QVERIFY(!html.contains(u"<&>"_s));
    }
};

QTEST_GUILESS_MAIN(TestPlanReport)
#include "tst_plan_report.moc"
