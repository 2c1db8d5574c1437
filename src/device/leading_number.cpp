#include "leading_number.h"

#include "codec/hex_text.h"

#include <QString>

#include <charconv>
#include <cctype>
#include <cmath>
#include <string_view>

namespace {

bool isIgnored(QChar c)
{
    return c == u' ' || c == u'\t' || c == u'\n';
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
// std::from_chars reads that form, in no locale, so that the user's locale never
// changes how a box reads; a leading "+" and the words inf and nan are ours to
// refuse. A number too large for a double reads as an infinity of its sign, one
// too small as 0, so that the field check refuses the one and takes the other.
double readDecimal(QStringView text)
{
    // A character beyond Latin-1 becomes "?", which ends a number like any letter.
    const QByteArray latin = text.toLatin1();
    const char *first = latin.constData();
    const char *const last = first + latin.size();
    const char *mantissa = first;
    if (mantissa != last && (*mantissa == '+' || *mantissa == '-'))
        ++mantissa;
    if (mantissa == last || !(std::isdigit(quint8(*mantissa)) || *mantissa == '.'))
        return 0;
    if (*first == '+')
        first = mantissa;
    double value = 0;
    const auto [end, error] = std::from_chars(first, last, value, std::chars_format::general);
    if (error == std::errc::invalid_argument)
        return 0;
    if (error == std::errc::result_out_of_range) {
        const std::string_view matched(first, size_t(end - first));
        const size_t e = matched.find_first_of("eE");
        if (e != std::string_view::npos && e + 1 < matched.size() && matched[e + 1] == '-')
            return 0;
        return *first == '-' ? -HUGE_VAL : HUGE_VAL;
    }
    return value;
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
