#pragma once

#include <QStringView>
#include <QtGlobal>

#include <optional>

// How the window's value boxes are read as numbers: blanks, tabs and line feeds
// are ignored anywhere, the longest leading number is taken and anything after
// it is ignored ("12abc" reads 12), a text without a leading number reads 0.

enum class NumberBase {
    Decimal, // sign, digits, fraction, exponent; "&H" switches to hexadecimal
    Hexadecimal, // hex digits only, no sign (the station address box)
};

/// The inclusive range of values a frame field can carry.
struct FieldRange
{
    qint64 min = 0;
    qint64 max = 0;

    constexpr bool contains(qint64 value) const { return value >= min && value <= max; }
};

inline constexpr FieldRange ByteField{0, 255};
inline constexpr FieldRange Int32Field{-2147483648LL, 2147483647LL};

/// The number at the start of \a text, before rounding. Too large a number gives
/// an infinity, which no field range contains.
double readLeadingNumber(QStringView text, NumberBase base);

/// Rounds to the nearest integer, ties to the even neighbour (2.5 gives 2, 3.5
/// gives 4). Gives nothing for a value outside the 64-bit range (infinities too).
std::optional<qint64> roundHalfToEven(double value);

/// The box text read by the leading-number rule, rounded, and checked against
/// \a range: nothing when the value lies outside it, so that no frame can be
/// built from it.
std::optional<qint64> readField(QStringView text, NumberBase base, FieldRange range);
