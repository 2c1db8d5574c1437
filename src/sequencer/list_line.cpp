#include "list_line.h"

#include "device/leading_number.h"

LineKind classifyLine(QStringView line)
{
    if (line.isEmpty())
        return LineKind::Empty;
    if (line.size() > 5) {
        if (line.startsWith(u"Delay"))
            return LineKind::Delay;
        if (line.startsWith(u"GoIdx"))
            return LineKind::Jump;
    }
    return LineKind::Frame;
}

double lineArgument(QStringView line)
{
    return readLeadingNumber(line.mid(6), NumberBase::Decimal);
}
