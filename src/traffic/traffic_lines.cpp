#include "traffic_lines.h"

#include "codec/hex_text.h"
#include "device/command_set.h"
#include "device/leading_number.h"
#include "device/modbus_standard.h"

#include <algorithm>

QString hexLine(QStringView prefix, QByteArrayView bytes)
{
    return prefix.toString() + FormatHexText(bytes) + u'\n';
}

QString textLine(QStringView prefix, QByteArrayView bytes)
{
    QString line(prefix.size() + bytes.size() + 1, Qt::Uninitialized);
    QChar *out = std::copy(prefix.begin(), prefix.end(), line.data());
    for (const char c : bytes) {
        const auto b = quint8(c);
        *out++ = (b >= 0x20 && b <= 0x7E) ? QLatin1Char(char(b)) : QLatin1Char('.');
    }
    *out = u'\n';
    return line;
}

QString descriptionLine(const QString &description)
{
    return description + QStringLiteral("\n\r");
}

std::optional<QByteArray> asciiFrameBytes(QByteArrayView frame)
{
    if (frame.isEmpty() || frame.front() != ':')
        return std::nullopt;
    QByteArrayView digits = frame.sliced(1);
    if (const qsizetype cr = digits.indexOf('\r'); cr >= 0)
        digits = digits.first(cr);
    if (digits.isEmpty() || digits.size() % 2 != 0)
        return std::nullopt;
    if (!std::all_of(digits.begin(), digits.end(), isHexDigit))
        return std::nullopt;
    return QByteArray::fromHex(digits.toByteArray());
}

std::optional<QString> describeFunction(quint8 code, quint8 next)
{
    if (isStandardFunction(code, next))
        return standardFunctionName(code, next);
    return sendDescription(code);
}

std::optional<QString> describeSentFrame(QByteArrayView frame)
{
    const auto describe = [](QByteArrayView bytes) {
        return describeFunction(quint8(bytes[1]), bytes.size() > 2 ? quint8(bytes[2]) : 0);
    };
    // A whole ASCII frame (":", hex pairs, CR LF and nothing else) is described
    // by the bytes it spells, whatever the mode selector says: the manual
    // panel and the command list send such frames in RTU mode too.
    if (frame.endsWith("\r\n") && !frame.chopped(2).contains('\r')) {
        if (const std::optional<QByteArray> spelled = asciiFrameBytes(frame.chopped(2)))
            return spelled->size() >= 2 ? describe(*spelled) : std::nullopt;
    }
    if (frame.size() < 2)
        return std::nullopt;
    return describe(frame);
}

qint64 counterValue(const QString &caption)
{
    return roundHalfToEven(readLeadingNumber(caption, NumberBase::Decimal)).value_or(0);
}
