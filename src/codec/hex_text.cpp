#include "hex_text.h"

#include "gbk.h"

namespace {

constexpr char hexDigits[] = "0123456789ABCDEF";
constexpr QChar replacementChar(QChar::ReplacementCharacter);

// The pair rule: tabs and line feeds inside the group are ignored, the hex digits
// from its start up to the first other character give the value, and a group that
// does not start with a hex digit reads 0. Reports how many digits were read.
quint32 readHexGroup(QStringView group, int *digitsRead = nullptr)
{
    quint32 value = 0;
    int digits = 0;
    for (const QChar c : group) {
        if (c == u'\t' || c == u'\n')
            continue;
        const int d = hexDigitValue(c);
        if (d < 0)
            break;
        value = value << 4 | quint32(d);
        ++digits;
    }
    if (digitsRead)
        *digitsRead = digits;
    return value;
}

// A lone last digit stands for a byte of its own: "ABC" becomes "AB0C".
void padOddLength(QString &text)
{
    if (text.size() % 2 != 0)
        text.insert(text.size() - 1, u'0');
}

// The character of one GBK two-byte code, or U+FFFD when the two bytes are not
// one GBK character. The decoder is the caller's, so that one conversion opens
// the code page once.
QChar gbkCharacter(QStringDecoder &decoder, quint32 code)
{
    if (code <= 0xFF)
        return replacementChar;
    const char bytes[2] = {char(code >> 8), char(code & 0xFF)};
    decoder.resetState();
    const QString decoded = decoder.decode(QByteArrayView(bytes, 2));
    if (decoder.hasError() || decoded.size() != 1 || decoded.at(0) == replacementChar)
        return replacementChar;
    return decoded.at(0);
}

void appendHex(QString &out, quint32 value)
{
    out += QString::number(value, 16).toUpper();
}

} // namespace

int hexDigitValue(QChar c)
{
    const char16_t u = c.unicode();
    if (u >= u'0' && u <= u'9')
        return u - u'0';
    if (u >= u'A' && u <= u'F')
        return u - u'A' + 10;
    if (u >= u'a' && u <= u'f')
        return u - u'a' + 10;
    return -1;
}

void appendHexByte(QByteArray &out, quint8 byte)
{
    out += hexDigits[byte >> 4];
    out += hexDigits[byte & 0xF];
}

QString FormatHexText(QByteArrayView bytes)
{
    QString text(bytes.size() * 3, Qt::Uninitialized);
    QChar *out = text.data();
    for (const char c : bytes) {
        const auto b = quint8(c);
        *out++ = QLatin1Char(hexDigits[b >> 4]);
        *out++ = QLatin1Char(hexDigits[b & 0xF]);
        *out++ = u' ';
    }
    return text;
}

QByteArray ParseHexText(QStringView text)
{
    QString digits;
    digits.reserve(text.size() + 1);
    for (const QChar c : text) {
        if (c != u' ')
            digits += c;
    }
    padOddLength(digits);

    QByteArray bytes(digits.size() / 2, Qt::Uninitialized);
    for (qsizetype i = 0; i < bytes.size(); ++i)
        bytes[i] = char(readHexGroup(QStringView(digits).mid(2 * i, 2)));
    return bytes;
}

QString StringToHexText(const QString &text)
{
    QString result;
    QStringEncoder encoder = gbkEncoder(QStringEncoder::Flag::Stateless);
    qsizetype i = 0;
    while (i < text.size()) {
        if (text.at(i).unicode() < 0x80) { // ASCII is its own code
            appendHex(result, text.at(i++).unicode());
            result += u' ';
            continue;
        }
        // One code point at a time, so that a surrogate pair stays whole.
        const qsizetype len = (text.at(i).isHighSurrogate() && i + 1 < text.size()
                               && text.at(i + 1).isLowSurrogate())
                ? 2
                : 1;
        const QByteArray code = encoder.encode(QStringView(text).mid(i, len));
        i += len;
        quint32 value = '?';
        if (!encoder.hasError() && (code.size() == 1 || code.size() == 2)) {
            value = quint8(code.at(0));
            if (code.size() == 2)
                value = value << 8 | quint8(code.at(1));
        }
        encoder.resetState();
        appendHex(result, value);
        result += u' ';
    }
    return result;
}

QString HexTextToString(QString text)
{
    padOddLength(text);
    QString result;
    QStringDecoder decoder = gbkDecoder(QStringDecoder::Flag::Stateless);
    const QStringView all(text);
    for (qsizetype pos = 0; pos < all.size(); pos += 2) {
        const quint32 code = readHexGroup(all.mid(pos, 2));
        if (code <= 0x7F) {
            result += QChar(char16_t(code));
            continue;
        }
        const QStringView group = all.mid(pos, 4);
        int digits = 0;
        const quint32 wide = readHexGroup(group, &digits);
        result += (group.size() == 4 && digits == 4) ? gbkCharacter(decoder, wide)
                                                     : replacementChar;
        pos += 2;
    }
    return result;
}
