// How a step's value is judged against its limits, how outcomes combine into a
// controller's verdict, and how outcomes, limits, numbers and controllers are
// named in lines and reports.

#include "plan_result.h"
#include "test_plan.h"

#include <cmath>

using namespace Qt::StringLiterals;

namespace {

// Pass and Skipped weigh the same: a step that did not run says nothing against the unit.
int weight(Outcome outcome)
{
    switch (outcome) {
    case Outcome::Pass:
    case Outcome::Skipped:
        return 0;
    case Outcome::Marginal:
        return 1;
    case Outcome::Fail:
        return 2;
    case Outcome::Error:
        return 3;
    }
    Q_UNREACHABLE();
    return 3;
}

// "lo … hi", "≥ lo", "≤ hi" or nothing, as much as is set.
QString rangeText(const std::optional<double> &low, const std::optional<double> &high)
{
    if (low && high)
        return numberText(*low) + u" … "_s + numberText(*high);
    if (low)
        return u"≥ "_s + numberText(*low);
    if (high)
        return u"≤ "_s + numberText(*high);
    return {};
}

} // namespace

Outcome judge(double value, const Limits &limits)
{
    if (limits.equals)
        return value == *limits.equals ? Outcome::Pass : Outcome::Fail;
    // Written as "not inside" so that a NaN, which compares false with everything, fails.
    if ((limits.min && !(value >= *limits.min)) || (limits.max && !(value <= *limits.max)))
        return Outcome::Fail;
    if ((limits.marginalMin && value < *limits.marginalMin)
        || (limits.marginalMax && value > *limits.marginalMax))
        return Outcome::Marginal;
    return Outcome::Pass;
}

Outcome worse(Outcome a, Outcome b)
{
    // On a tie between Pass and Skipped the Pass wins: a verdict that starts as Skipped
    // becomes Pass with the first passed step and stays Skipped only if nothing ran.
    if (weight(a) != weight(b))
        return weight(a) > weight(b) ? a : b;
    return a == Outcome::Skipped ? b : a;
}

QString outcomeName(Outcome outcome)
{
    switch (outcome) {
    case Outcome::Pass:
        return u"pass"_s;
    case Outcome::Marginal:
        return u"marginal"_s;
    case Outcome::Fail:
        return u"fail"_s;
    case Outcome::Error:
        return u"error"_s;
    case Outcome::Skipped:
        return u"skipped"_s;
    }
    Q_UNREACHABLE();
    return QString();
}

QString limitsText(const Limits &limits)
{
    QString text = limits.equals ? u"= "_s + numberText(*limits.equals)
                                 : rangeText(limits.min, limits.max);
    const QString marginal = rangeText(limits.marginalMin, limits.marginalMax);
    if (!marginal.isEmpty())
        text += (text.isEmpty() ? u"(marginal "_s : u" (marginal "_s) + marginal + u')';
    return text;
}

QString numberText(double value)
{
    // Below 2^53 every integer is exact in a double and fits a qint64.
    if (std::trunc(value) == value && std::abs(value) < 9007199254740992.0)
        return QString::number(static_cast<qint64>(value));
    return QString::number(value, 'g', 6);
}

QString StationResult::label() const
{
    const QString hex = QString::number(station, 16).rightJustified(2, u'0').toUpper();
    return u"%1 station %2"_s.arg(port, hex);
}
