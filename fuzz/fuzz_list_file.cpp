// Command-list files: whatever a file holds (binary, invalid GBK, odd line
// ends), it loads within the line limit and each line saves and loads back.
#include "sequencer/list_file.h"
#include "sequencer/run_loop.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray content(reinterpret_cast<const char *>(data), qsizetype(size));
    const Result<ListFileContent> read = parseListFile(content, 64);
    if (!read)
        return 0;
    const ListFileContent &parsed = *read;
    if (parsed.lines.size() > 64)
        std::abort();
    for (const QString &line : parsed.lines) {
        if (line.contains(u'\r') || line.contains(u'\n'))
            std::abort();
    }
    // Every line the run loop may meet: one step at each index.
    const int count = int(parsed.lines.size());
    for (int i = 0; i < count; ++i) {
        const RunStep step = runLoopStep(
                qint16(i), count, [&](int index) { return parsed.lines.at(index); }, 1000);
        // A jump target is checked before it is rounded, so it may round up to
        // the line count; the next step then wraps to line 0. Never beyond.
        if (step.nextLine < 0 || step.nextLine > count)
            std::abort();
        if (step.intervalMs < 0 || step.intervalMs > maxRunInterval)
            std::abort();
    }
    return 0;
}
