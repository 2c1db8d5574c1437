#pragma once

#include "testplan/plan_result.h"
#include "testplan/test_plan.h"

#include <QAbstractTableModel>
#include <QColor>
#include <QList>

// The steps of a plan run as the test tab lists them: a row per step with its repeats
// laid out, its outcome, what was measured, the unit, the limits and what was seen.
// Rows not judged yet show "—" while the run goes on; once it is over they are skipped.
class PlanStepsModel : public QAbstractTableModel
{
    Q_OBJECT

public:
    enum Column {
        NameColumn,
        ResultColumn,
        MeasuredColumn,
        UnitColumn,
        LimitsColumn,
        MessageColumn,
        ColumnCount
    };

    explicit PlanStepsModel(QObject *parent = nullptr);

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;

    /// A run starts with \a steps (laid out): every row waits for its outcome.
    void start(const QList<PlanStep> &steps);
    /// Step \a row has its outcome.
    void setStep(int row, const StepResult &result);
    /// The run is over: every row as \a result has it.
    void finish(const StationResult &result);
    /// The headers' texts follow the window's language.
    void retranslate() { emit headerDataChanged(Qt::Horizontal, 0, ColumnCount - 1); }

private:
    QList<StepResult> m_steps;
    QList<Limits> m_planned; // the limits the plan gives, shown until a step is judged
    bool m_running = false;
};

/// The colour a step or a verdict of \a outcome is marked with: green, amber, red;
/// invalid for a step not run.
QColor outcomeColour(Outcome outcome);
/// Black or white, whichever reads better on \a background.
QColor textColourOn(const QColor &background);
