#include "plan_steps_model.h"

#include "colour_contrast.h"

PlanStepsModel::PlanStepsModel(QObject *parent)
    : QAbstractTableModel(parent)
{ }

int PlanStepsModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_steps.size());
}

int PlanStepsModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant PlanStepsModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= m_steps.size())
        return {};
    const StepResult &step = m_steps.at(index.row());
    const bool waiting = m_running && step.outcome == Outcome::Skipped;
    if (index.column() == ResultColumn && !waiting) {
        // Fixed strong colours with black or white on them read on any palette.
        const QColor colour = outcomeColour(step.outcome);
        if (role == Qt::BackgroundRole && colour.isValid())
            return colour;
        if (role == Qt::ForegroundRole && colour.isValid())
            return textColourOn(colour);
    }
    if (role == Qt::TextAlignmentRole && index.column() == MeasuredColumn)
        return int(Qt::AlignRight | Qt::AlignVCenter);
    if (role == Qt::ToolTipRole && index.column() == MessageColumn && !step.message.isEmpty())
        return step.message;
    if (role != Qt::DisplayRole)
        return {};
    switch (Column(index.column())) {
    case NameColumn:
        return step.name;
    case ResultColumn:
        return waiting ? QStringLiteral("—") : outcomeName(step.outcome);
    case MeasuredColumn:
        return step.measured ? numberText(*step.measured) : QString();
    case UnitColumn:
        return step.unit;
    case LimitsColumn:
        return limitsText(step.limits.isEmpty() ? m_planned.at(index.row()) : step.limits);
    case MessageColumn:
        return step.message;
    case ColumnCount:
        break;
    }
    return {};
}

QVariant PlanStepsModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return QAbstractTableModel::headerData(section, orientation, role);
    switch (Column(section)) {
    case NameColumn:
        return tr("步骤");
    case ResultColumn:
        return tr("结果");
    case MeasuredColumn:
        return tr("测量值");
    case UnitColumn:
        return tr("单位");
    case LimitsColumn:
        return tr("限值");
    case MessageColumn:
        return tr("说明");
    case ColumnCount:
        break;
    }
    return {};
}

void PlanStepsModel::start(const QList<PlanStep> &steps)
{
    beginResetModel();
    m_steps.clear();
    m_planned.clear();
    for (const PlanStep &step : steps) {
        m_steps.append(StepResult{.name = step.name, .unit = stepUnit(step)});
        m_planned.append(step.kind == PlanStep::Kind::Measure ? step.limits : step.value);
    }
    m_running = true;
    endResetModel();
}

void PlanStepsModel::setStep(int row, const StepResult &result)
{
    if (row < 0 || row >= m_steps.size())
        return;
    m_steps[row] = result;
    emit dataChanged(index(row, 0), index(row, ColumnCount - 1));
}

void PlanStepsModel::finish(const StationResult &result)
{
    m_running = false;
    for (int row = 0; row < m_steps.size() && row < result.steps.size(); ++row)
        m_steps[row] = result.steps.at(row);
    if (!m_steps.isEmpty())
        emit dataChanged(index(0, 0), index(int(m_steps.size()) - 1, ColumnCount - 1));
}

QColor outcomeColour(Outcome outcome)
{
    switch (outcome) {
    case Outcome::Pass:
        return QColor(0x2e, 0x7d, 0x32);
    case Outcome::Marginal:
        return QColor(0xf9, 0xa8, 0x25);
    case Outcome::Fail:
    case Outcome::Error:
        return QColor(0xc6, 0x28, 0x28);
    case Outcome::Skipped:
        break;
    }
    return {};
}

QColor textColourOn(const QColor &background)
{
    return contrastRatio(Qt::black, background) >= contrastRatio(Qt::white, background)
            ? QColor(Qt::black)
            : QColor(Qt::white);
}
