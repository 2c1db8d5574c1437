#include "run_loop.h"

#include "codec/hex_text.h"
#include "device/leading_number.h"
#include "sequencer/list_line.h"

std::optional<int> runInterval(double value)
{
    const std::optional<qint64> ms = roundHalfToEven(value);
    if (!ms || *ms < 0 || *ms > maxRunInterval)
        return std::nullopt;
    return int(*ms);
}

RunStep runLoopStep(qint16 line, int count, const std::function<QString(int)> &lineAt,
                    std::optional<int> defaultIntervalMs)
{
    RunStep step{QByteArray(), 1000, line};
    if (count <= 0)
        return step; // nothing to run: idle, and look again in a second
    int index = (line < 0 || line >= count) ? 0 : line;

    const QString current = lineAt(index);
    if (classifyLine(current) == LineKind::Frame)
        step.frame = ParseHexText(current);
    if (defaultIntervalMs)
        step.intervalMs = *defaultIntervalMs;

    if (index < count - 1) {
        const QString next = lineAt(index + 1);
        switch (classifyLine(next)) {
        case LineKind::Delay:
            if (const std::optional<int> delay = runInterval(lineArgument(next)))
                step.intervalMs = *delay;
            ++index;
            break;
        case LineKind::Jump: {
            // Taken when the target lies within the list; rounded after that
            // check, so 1.6 in a list of two lines leads to 2, which wraps to 0.
            const double target = lineArgument(next);
            if (target >= 0 && target < count) {
                step.nextLine = qint16(roundHalfToEven(target).value_or(0));
                return step;
            }
            break;
        }
        default:
            break;
        }
    }
    ++index;
    step.nextLine = qint16(index >= count ? 0 : index);
    return step;
}
