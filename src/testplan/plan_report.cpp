#include "plan_report.h"

#include "codec/hex_text.h"
#include "util/error_text.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonObject>
#include <QSaveFile>
#include <QSysInfo>
#include <QXmlStreamWriter>

#include <algorithm>

using namespace Qt::StringLiterals;

namespace {

struct PlanReportText
{
    Q_DECLARE_TR_FUNCTIONS(PlanReport)
};

// A verdict as reports name it: identifiers that read the same in every language.
QString verdictName(Verdict verdict)
{
    switch (verdict) {
    case Verdict::Good:
        return u"good"_s;
    case Verdict::BadCheck:
        return u"bad_check"_s;
    case Verdict::Exception:
        return u"exception"_s;
    case Verdict::Timeout:
        return u"timeout"_s;
    case Verdict::Unexpected:
        return u"unexpected"_s;
    case Verdict::NoReply:
        return u"no_reply"_s;
    }
    Q_UNREACHABLE();
    return QString();
}

// An ASCII frame (":" to CR LF) as its text without the CR LF, any other frame as
// upper-case hex pairs ("01 20 00 8F 90"). A frame that begins with ":" but holds a
// byte that is not printable ASCII is shown in hex: XML cannot carry control characters.
QString frameText(const QByteArray &frame)
{
    QByteArray text = frame;
    if (text.endsWith("\r\n"))
        text.chop(2);
    const bool printable = std::all_of(text.cbegin(), text.cend(),
                                       [](char c) { return c >= 0x20 && c < 0x7F; });
    if (text.startsWith(':') && printable)
        return QString::fromLatin1(text);
    return FormatHexText(frame).trimmed();
}

QString stationText(quint8 station)
{
    return QString::number(station, 16).rightJustified(2, u'0').toUpper();
}

QString secondsText(double seconds)
{
    return QString::number(seconds, 'f', 3);
}

// How long the controller's run took: start to end, or the steps' own times when
// the run has no start or end.
double runSeconds(const StationResult &result)
{
    if (result.start.isValid() && result.end.isValid() && result.start <= result.end)
        return result.start.msecsTo(result.end) / 1000.0;
    double seconds = 0;
    for (const StepResult &step : result.steps)
        seconds += step.seconds;
    return seconds;
}

// The counts JUnit keeps of a suite: every step is a test.
struct Counts
{
    qsizetype tests = 0;
    qsizetype failures = 0;
    qsizetype errors = 0;
    qsizetype skipped = 0;

    void add(const StationResult &result)
    {
        tests += result.steps.size();
        for (const StepResult &step : result.steps) {
            failures += step.outcome == Outcome::Fail;
            errors += step.outcome == Outcome::Error;
            skipped += step.outcome == Outcome::Skipped;
        }
    }
    void write(QXmlStreamWriter &xml) const
    {
        xml.writeAttribute(u"tests"_s, QString::number(tests));
        xml.writeAttribute(u"failures"_s, QString::number(failures));
        xml.writeAttribute(u"errors"_s, QString::number(errors));
        xml.writeAttribute(u"skipped"_s, QString::number(skipped));
    }
};

// The plans the results come from, each once, in the order they first appear.
QString planNames(const QList<StationResult> &results)
{
    QStringList names;
    for (const StationResult &result : results) {
        if (!names.contains(result.plan))
            names.append(result.plan);
    }
    return names.join(u", "_s);
}

void writeProperty(QXmlStreamWriter &xml, const QString &name, const QString &value)
{
    xml.writeEmptyElement(u"property"_s);
    xml.writeAttribute(u"name"_s, name);
    xml.writeAttribute(u"value"_s, value);
}

// The body of a <failure> or <error>: what a person looking at the CI server needs
// without opening the properties.
QString resultBody(const StepResult &step)
{
    QStringList lines{u"outcome: "_s + outcomeName(step.outcome)};
    if (step.measured)
        lines.append((u"measured: "_s + numberText(*step.measured) + u' ' + step.unit).trimmed());
    if (!step.limits.isEmpty())
        lines.append((u"limits: "_s + limitsText(step.limits) + u' ' + step.unit).trimmed());
    if (step.exchange)
        lines.append(u"verdict: "_s + verdictName(step.exchange->verdict));
    return lines.join(u'\n');
}

void writeTestCase(QXmlStreamWriter &xml, const StepResult &step, const QString &className)
{
    xml.writeStartElement(u"testcase"_s);
    xml.writeAttribute(u"name"_s, step.name);
    xml.writeAttribute(u"classname"_s, className);
    xml.writeAttribute(u"time"_s, secondsText(step.seconds));

    xml.writeStartElement(u"properties"_s);
    writeProperty(xml, u"outcome"_s, outcomeName(step.outcome));
    if (step.measured)
        writeProperty(xml, u"measured"_s, numberText(*step.measured));
    if (!step.unit.isEmpty())
        writeProperty(xml, u"unit"_s, step.unit);
    if (!step.limits.isEmpty())
        writeProperty(xml, u"limits"_s, limitsText(step.limits));
    if (!step.message.isEmpty())
        writeProperty(xml, u"message"_s, step.message);
    if (const std::optional<StepExchange> &exchange = step.exchange) {
        writeProperty(xml, u"request"_s, frameText(exchange->request));
        writeProperty(xml, u"reply"_s, frameText(exchange->reply));
        writeProperty(xml, u"verdict"_s, verdictName(exchange->verdict));
        if (exchange->responseMs >= 0)
            writeProperty(xml, u"response_ms"_s, numberText(exchange->responseMs));
    }
    xml.writeEndElement();

    const QString message = step.message.isEmpty() ? outcomeName(step.outcome) : step.message;
    if (step.outcome == Outcome::Fail || step.outcome == Outcome::Error) {
        const bool failed = step.outcome == Outcome::Fail;
        xml.writeStartElement(failed ? u"failure"_s : u"error"_s);
        xml.writeAttribute(u"message"_s, message);
        xml.writeAttribute(u"type"_s, failed ? u"fail"_s : u"error"_s);
        xml.writeCharacters(resultBody(step));
        xml.writeEndElement();
    } else if (step.outcome == Outcome::Skipped) {
        xml.writeEmptyElement(u"skipped"_s);
        if (!step.message.isEmpty())
            xml.writeAttribute(u"message"_s, step.message);
    }
    xml.writeEndElement();
}

void writeTestSuite(QXmlStreamWriter &xml, const StationResult &result, const QString &host)
{
    const QString label = result.label();
    Counts counts;
    counts.add(result);
    xml.writeStartElement(u"testsuite"_s);
    xml.writeAttribute(u"name"_s, label);
    counts.write(xml);
    xml.writeAttribute(u"time"_s, secondsText(runSeconds(result)));
    if (result.start.isValid())
        xml.writeAttribute(u"timestamp"_s, result.start.toString(Qt::ISODate));
    if (!host.isEmpty())
        xml.writeAttribute(u"hostname"_s, host);

    xml.writeStartElement(u"properties"_s);
    writeProperty(xml, u"plan"_s, result.plan);
    writeProperty(xml, u"plan_file"_s, result.planFile);
    writeProperty(xml, u"port"_s, result.port);
    writeProperty(xml, u"station"_s, stationText(result.station));
    writeProperty(xml, u"outcome"_s, outcomeName(result.outcome));
    xml.writeEndElement();

    // CI servers read the dots of a class name as packages: the plan is the package,
    // the controller the class.
    QString plan = result.plan;
    plan.replace(u'.', u'_');
    QString controller = label;
    controller.replace(u' ', u'_').replace(u'.', u'_');
    const QString className = plan + u'.' + controller;
    for (const StepResult &step : result.steps)
        writeTestCase(xml, step, className);
    xml.writeEndElement();
}

QJsonObject limitsObject(const Limits &limits)
{
    QJsonObject object;
    const auto put = [&object](const QString &key, const std::optional<double> &value) {
        if (value)
            object.insert(key, *value);
    };
    put(u"equals"_s, limits.equals);
    put(u"min"_s, limits.min);
    put(u"max"_s, limits.max);
    put(u"marginal_min"_s, limits.marginalMin);
    put(u"marginal_max"_s, limits.marginalMax);
    return object;
}

QJsonObject stepObject(const StepResult &step)
{
    QJsonObject object{
            {u"name"_s, step.name},       {u"outcome"_s, outcomeName(step.outcome)},
            {u"unit"_s, step.unit},       {u"limits"_s, limitsObject(step.limits)},
            {u"message"_s, step.message}, {u"seconds"_s, step.seconds},
    };
    if (step.measured)
        object.insert(u"measured"_s, *step.measured);
    if (const std::optional<StepExchange> &exchange = step.exchange) {
        QJsonObject pair{
                {u"request"_s, frameText(exchange->request)},
                {u"reply"_s, frameText(exchange->reply)},
                {u"verdict"_s, verdictName(exchange->verdict)},
        };
        if (exchange->responseMs >= 0)
            pair.insert(u"response_ms"_s, exchange->responseMs);
        object.insert(u"exchange"_s, pair);
    }
    return object;
}

QString htmlTime(const QDateTime &time)
{
    return time.isValid() ? time.toLocalTime().toString(u"yyyy-MM-dd HH:mm:ss"_s) : u"–"_s;
}

QString badge(Outcome outcome)
{
    const QString name = outcomeName(outcome);
    return u"<span class=\"badge %1\">%1</span>"_s.arg(name);
}

// Colours that print: the badges keep their background on paper.
constexpr QStringView htmlStyle = uR"(
body { font-family: sans-serif; margin: 2em; color: #222; }
h1 { font-size: 1.5em; }
h2 { font-size: 1.2em; margin-bottom: .3em; }
section { margin-top: 2em; }
table { border-collapse: collapse; width: 100%; }
th, td { border: 1px solid #bbb; padding: .3em .5em; text-align: left; vertical-align: top; }
th { background: #eee; }
td.number { text-align: right; font-variant-numeric: tabular-nums; }
thead { display: table-header-group; }
tr { break-inside: avoid; }
.badge { display: inline-block; padding: .1em .6em; border-radius: .8em; color: #fff;
         font-weight: bold; print-color-adjust: exact; -webkit-print-color-adjust: exact; }
.pass { background: #2e7d32; }
.marginal { background: #b26a00; }
.fail { background: #c62828; }
.error { background: #6a1b9a; }
.skipped { background: #757575; }
@media print { body { margin: 0; } section { break-before: auto; } }
)";

QString htmlSection(const StationResult &result)
{
    QString html = u"<section>\n<h2>%1 %2</h2>\n"_s.arg(result.label().toHtmlEscaped(),
                                                        badge(result.outcome));
    html += u"<p>"_s
            + PlanReportText::tr("plan file %1, started %2, ended %3, %4 s")
                      .arg(result.planFile.toHtmlEscaped(), htmlTime(result.start),
                           htmlTime(result.end), secondsText(runSeconds(result)))
            + u"</p>\n<table>\n<thead><tr>"_s;
    const QStringList headings{PlanReportText::tr("Step"),   PlanReportText::tr("Outcome"),
                               PlanReportText::tr("Measured"), PlanReportText::tr("Unit"),
                               PlanReportText::tr("Limits"),   PlanReportText::tr("Message"),
                               PlanReportText::tr("Response ms")};
    for (const QString &heading : headings)
        html += u"<th>"_s + heading.toHtmlEscaped() + u"</th>"_s;
    html += u"</tr></thead>\n<tbody>\n"_s;
    for (const StepResult &step : result.steps) {
        const QString measured = step.measured ? numberText(*step.measured) : QString();
        const QString response = step.exchange && step.exchange->responseMs >= 0
                ? numberText(step.exchange->responseMs)
                : QString();
        html += u"<tr><td>%1</td><td>%2</td><td class=\"number\">%3</td><td>%4</td><td>%5</td>"
                "<td>%6</td><td class=\"number\">%7</td></tr>\n"_s.arg(
                        step.name.toHtmlEscaped(), badge(step.outcome), measured,
                        step.unit.toHtmlEscaped(), limitsText(step.limits).toHtmlEscaped(),
                        step.message.toHtmlEscaped(), response);
    }
    return html + u"</tbody>\n</table>\n</section>\n"_s;
}

Status writeWhole(const QString &path, const QByteArray &content)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(content) != content.size() || !file.commit())
        return Failure{
                PlanReportText::tr("cannot write the report %1: %2").arg(path, fileErrorText(file, true))};
    return Done{};
}

} // namespace

QByteArray junitReport(const QList<StationResult> &results)
{
    QByteArray text;
    QXmlStreamWriter xml(&text);
    xml.setAutoFormatting(true);
    xml.writeStartDocument();
    xml.writeStartElement(u"testsuites"_s);
    xml.writeAttribute(u"name"_s, planNames(results));
    Counts counts;
    double seconds = 0;
    for (const StationResult &result : results) {
        counts.add(result);
        seconds += runSeconds(result);
    }
    counts.write(xml);
    xml.writeAttribute(u"time"_s, secondsText(seconds));
    const QString host = QSysInfo::machineHostName();
    for (const StationResult &result : results)
        writeTestSuite(xml, result, host);
    xml.writeEndElement();
    xml.writeEndDocument();
    return text;
}

QJsonDocument jsonReport(const QList<StationResult> &results)
{
    QJsonArray controllers;
    for (const StationResult &result : results) {
        QJsonArray steps;
        for (const StepResult &step : result.steps)
            steps.append(stepObject(step));
        controllers.append(QJsonObject{
                {u"plan"_s, result.plan},
                {u"plan_file"_s, result.planFile},
                {u"port"_s, result.port},
                {u"station"_s, stationText(result.station)},
                {u"start"_s, result.start.toString(Qt::ISODateWithMs)},
                {u"end"_s, result.end.toString(Qt::ISODateWithMs)},
                {u"outcome"_s, outcomeName(result.outcome)},
                {u"steps"_s, steps},
        });
    }
    return QJsonDocument(QJsonObject{{u"controllers"_s, controllers}});
}

QString htmlReport(const QList<StationResult> &results)
{
    const QString title
            = PlanReportText::tr("Test report: %1").arg(planNames(results)).toHtmlEscaped();
    // The language of the page's own texts, which the translation changes with them.
    const QString language = PlanReportText::tr("en");
    QString html = u"<!DOCTYPE html>\n<html lang=\"%1\">\n<head>\n<meta charset=\"utf-8\">\n"
                   "<title>%2</title>\n<style>%3</style>\n</head>\n<body>\n<h1>%2</h1>\n"_s.arg(
                           language, title, htmlStyle);
    for (const StationResult &result : results)
        html += htmlSection(result);
    return html + u"</body>\n</html>\n"_s;
}

Status writeJUnitReport(const QString &path, const QList<StationResult> &results)
{
    return writeWhole(path, junitReport(results));
}

Status writeJsonReport(const QString &path, const QList<StationResult> &results)
{
    return writeWhole(path, jsonReport(results).toJson(QJsonDocument::Indented));
}

Status writeHtmlReport(const QString &path, const QList<StationResult> &results)
{
    return writeWhole(path, htmlReport(results).toUtf8());
}

Status writeReport(const QString &path, const QList<StationResult> &results)
{
    const QString suffix = QFileInfo(path).suffix().toLower();
    if (suffix == u"xml")
        return writeJUnitReport(path, results);
    if (suffix == u"json")
        return writeJsonReport(path, results);
    if (suffix == u"html" || suffix == u"htm")
        return writeHtmlReport(path, results);
    return Failure{
            PlanReportText::tr("cannot write the report %1: it must end in .xml (JUnit), .json or .html (.htm)")
                    .arg(path)};
}
