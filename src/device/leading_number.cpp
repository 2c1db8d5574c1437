#include "leading_number.h"

#include "codec/hex_text.h"

#include <QLocale>
#include <QString>

#include <algorithm>
#include <cmath>

namespace {

bool isIgnored(QChar c)
{
    return c == u' ' || c == u'\t' || c == u'\n';
}

bool isDecimalDigit(QChar c)
{
    return c >= u'0' && c <= u'9';
}

// Hex digits from the start of the text up to the first other character. A
// double holds any count of digits without overflow; past 2^53 the exactness no
// longer matters, as no field reaches that far.
double readHexDigits(QStringView text)
{
    double value = 0;
    for (const QChar c : text) {
        const int d = hexDigitValue(c);
        if (d < 0)
            break;
        value = value * 16 + d;
    }
    return value;
}

// The longest leading decimal number: [sign] digits [. digits] [e|E [sign] digits].
// The matched part is rewritten in a canonical form and converted by the C
// locale, so that the user's locale never changes how a box reads.
double readDecimal(QStringView text)
{
    qsizetype i = 0;
    const qsizetype n = text.size();
    QString canonical;
    if (i < n && (text[i] == u'+' || text[i] == u'-'))
        canonical += text[i++];

    QString mantissa;
    bool anyDigit = false;
    while (i < n && isDecimalDigit(text[i])) {
        mantissa += text[i++];
        anyDigit = true;
    }
    if (i < n && text[i] == u'.') {
        ++i;
        QString fraction;
        while (i < n && isDecimalDigit(text[i])) {
            fraction += text[i++];
            anyDigit = true;
        }
        if (!fraction.isEmpty())
            mantissa += u'.' + fraction;
    }
    // No digit, or only zeros: 0 whatever exponent follows.
    if (!anyDigit || !std::any_of(mantissa.cbegin(), mantissa.cend(), [](QChar c) {
            return c >= u'1' && c <= u'9';
        }))
        return 0;
    if (mantissa.startsWith(u'.'))
        mantissa.prepend(u'0');
    canonical += mantissa;

    // An exponent counts only when digits follow it: "1e" and "1e+" read 1.
    if (i < n && (text[i] == u'e' || text[i] == u'E')) {
        qsizetype j = i + 1;
        const bool negative = j < n && text[j] == u'-';
        if (j < n && (text[j] == u'+' || text[j] == u'-'))
            ++j;
        while (j < n && text[j] == u'0') // leading zeros say nothing
            ++j;
        const qsizetype first = j;
        while (j < n && isDecimalDigit(text[j]))
            ++j;
        const QStringView digits = text.mid(first, j - first);
        if (digits.size() > 6) // far beyond any double: 0 or an infinity
            return negative ? 0.0 : (canonical.startsWith(u'-') ? -HUGE_VAL : HUGE_VAL);
        if (j > i + 1 && isDecimalDigit(text[j - 1])) {
            canonical += u'e';
            if (negative)
                canonical += u'-';
            canonical += digits.isEmpty() ? QStringView(u"0") : digits;
        }
    }

    // On failure Qt gives an infinity for an overflow and 0 for an underflow,
    // which is what the field check needs.
    bool ok = false;
    return QLocale::c().toDouble(canonical, &ok);
}

} // namespace

double readLeadingNumber(QStringView text, NumberBase base)
{
    QString compact;
    compact.reserve(text.size());
    for (const QChar c : text) {
        if (!isIgnored(c))
            compact += c;
    }
    const QStringView view(compact);
    if (base == NumberBase::Hexadecimal)
        return readHexDigits(view);
    if (view.size() >= 2 && view[0] == u'&' && (view[1] == u'H' || view[1] == u'h'))
        return readHexDigits(view.mid(2));
    return readDecimal(view);
}

std::optional<qint64> roundHalfToEven(double value)
{
    // 2^63 as a double; the range check also rejects NaN and infinities.
    constexpr double limit = 9223372036854775808.0;
    if (!(value > -limit && value < limit))
        return std::nullopt;
    double rounded = std::round(value); // halves away from zero
    if (std::fabs(value - std::trunc(value)) == 0.5)
        rounded = 2.0 * std::round(value / 2.0);
    if (!(rounded > -limit && rounded < limit))
        return std::nullopt;
    return static_cast<qint64>(rounded);
}

std::optional<qint64> readField(QStringView text, NumberBase base, FieldRange range)
{
    const std::optional<qint64> value = roundHalfToEven(readLeadingNumber(text, base));
    if (!value || !range.contains(*value))
        return std::nullopt;
    return value;
}
