#pragma once

#include "plan_result.h"
#include "util/result.h"

#include <QByteArray>
#include <QJsonDocument>
#include <QList>
#include <QString>

// What a plan found, as files other tools and people read: JUnit XML for CI
// servers, JSON for scripts, a printable HTML page for people. One controller
// (port and station) is one suite of the JUnit file, one entry of the JSON
// file and one section of the page; each step is one test case.

/// \a results as JUnit XML: one <testsuite> per controller, one <testcase> per step;
/// a failed step has a <failure>, an error an <error>, a step not run <skipped/>.
QByteArray junitReport(const QList<StationResult> &results);

/// \a results as a JSON document: {"controllers": [{..., "steps": [...]}]}.
QJsonDocument jsonReport(const QList<StationResult> &results);

/// \a results as a self-contained HTML page: a section with the verdict and a table
/// of steps for each controller.
QString htmlReport(const QList<StationResult> &results);

/// Writes junitReport() of \a results to \a path, whole or not at all.
Status writeJUnitReport(const QString &path, const QList<StationResult> &results);

/// Writes jsonReport() of \a results, indented, to \a path, whole or not at all.
Status writeJsonReport(const QString &path, const QList<StationResult> &results);

/// Writes htmlReport() of \a results in UTF-8 to \a path, whole or not at all.
Status writeHtmlReport(const QString &path, const QList<StationResult> &results);

/// Writes the report the suffix of \a path asks for: .xml JUnit, .json JSON,
/// .html or .htm HTML. Another suffix gives a message naming the file.
Status writeReport(const QString &path, const QList<StationResult> &results);
