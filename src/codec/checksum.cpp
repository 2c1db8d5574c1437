#include "checksum.h"

#include <array>

namespace CommSetting {

quint8 CrcLow = 0;
quint8 CrcHigh = 0;

namespace {

using CrcTable = std::array<std::array<quint16, 256>, 8>;

// Slicing-by-8 tables: table[0] is the classic byte-at-a-time table; table[k]
// advances a byte that is followed by k more bytes, so eight bytes are folded
// into the register with eight independent look-ups.
constexpr CrcTable makeCrcTable()
{
    CrcTable table{};
    for (unsigned byte = 0; byte < 256; ++byte) {
        quint16 crc = quint16(byte);
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc & 1u) ? quint16((crc >> 1) ^ 0xA001u) : quint16(crc >> 1);
        table[0][byte] = crc;
    }
    for (unsigned byte = 0; byte < 256; ++byte) {
        for (std::size_t k = 1; k < table.size(); ++k) {
            const quint16 prev = table[k - 1][byte];
            table[k][byte] = quint16((prev >> 8) ^ table[0][prev & 0xFFu]);
        }
    }
    return table;
}

constexpr CrcTable crcTable = makeCrcTable();

constexpr char hexDigits[] = "0123456789ABCDEF";

} // namespace

quint16 crc16(QByteArrayView data) noexcept
{
    quint32 crc = 0xFFFF;
    const auto *p = reinterpret_cast<const quint8 *>(data.data());
    qsizetype n = data.size();
    const auto &t = crcTable;
    while (n >= 8) {
        const quint32 lo = crc ^ (quint32(p[0]) | quint32(p[1]) << 8);
        crc = t[7][lo & 0xFFu] ^ t[6][lo >> 8] ^ t[5][p[2]] ^ t[4][p[3]] ^ t[3][p[4]] ^ t[2][p[5]]
                ^ t[1][p[6]] ^ t[0][p[7]];
        p += 8;
        n -= 8;
    }
    while (n-- > 0)
        crc = (crc >> 8) ^ t[0][(crc ^ *p++) & 0xFFu];
    return quint16(crc);
}

QString CalcCrc(QByteArrayView data)
{
    const quint16 crc = crc16(data);
    CrcLow = quint8(crc & 0xFFu);
    CrcHigh = quint8(crc >> 8);
    const char text[4] = {hexDigits[CrcLow >> 4], hexDigits[CrcLow & 0xF], hexDigits[CrcHigh >> 4],
                          hexDigits[CrcHigh & 0xF]};
    return QString::fromLatin1(text, 4);
}

quint8 CalcLrc(QByteArrayView data) noexcept
{
    quint8 sum = 0;
    for (const char c : data)
        sum = quint8(sum + quint8(c));
    return quint8(-sum);
}

} // namespace CommSetting
