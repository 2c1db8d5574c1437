#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringView>

// Bytes as hexadecimal text, the form the command list, the IO box, the traffic
// views and the manual panel show them in, and the conversions between plain
// text (in the GBK code page) and hex text behind the manual panel's buttons.

/// The value of a hex digit (0-9, A-F, a-f), or -1 for any other character.
int hexDigitValue(QChar c);
inline bool isHexDigit(char c)
{
    return hexDigitValue(QLatin1Char(c)) >= 0;
}

/// Appends \a byte as two upper-case hex digit characters.
void appendHexByte(QByteArray &out, quint8 byte);

/// Each byte as two upper-case hex digits followed by one blank, the last byte
/// included: {0x01, 0x20} gives "01 20 ". No bytes give the empty text.
QString FormatHexText(QByteArrayView bytes);

/// Reads bytes from typed hex text: blanks are dropped, an odd last digit stands
/// for a byte of its own ("abc" gives AB 0C), and each pair of characters is read
/// by the pair rule (tabs and line feeds ignored, leading hex digits, else 0).
QByteArray ParseHexText(QStringView text);

/// The GBK code of every character of \a text in upper-case hex without leading
/// zeros, each followed by one blank ("A中" gives "41 D6D0 "). A character with no
/// GBK code counts as "?" (3F), as the code-page conversion would send it.
QString StringToHexText(const QString &text);

/// Reads \a text as a run of GBK codes: two digits each, four digits for a code
/// above 7F (the two bytes of a Chinese character). A four-digit group that is not
/// a GBK character, or a code above 7F cut short by the end of the text, gives one
/// U+FFFD and the walk goes on.
QString HexTextToString(QString text);
