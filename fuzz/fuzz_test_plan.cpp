// Test-plan files: whatever a file holds, it is a plan or one message that names
// the file and a place in it; a plan's steps, laid out, stay within the limit and
// each request's data fits a frame.
#include "testplan/test_plan.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QString text = QString::fromUtf8(reinterpret_cast<const char *>(data), qsizetype(size));
    const Result<TestPlan> plan = parseTestPlan(text, QStringLiteral("f.toml"));
    if (!plan) {
        if (!plan.error().startsWith(QLatin1String("f.toml:")))
            std::abort();
        return 0;
    }
    const QList<PlanStep> steps = flattenSteps(plan->steps);
    if (steps.isEmpty() || steps.size() > maxPlanSteps)
        std::abort();
    for (const PlanStep &step : steps) {
        if (step.data.size() > 254 || step.kind == PlanStep::Kind::Repeat)
            std::abort();
    }
    return 0;
}
