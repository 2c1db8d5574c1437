// Hex text typed by hand, and the text <-> hex conversions of the manual panel:
// any input, no crash, and what FormatHexText writes always reads back.
#include "codec/hex_text.h"

#include <QString>

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QString text = QString::fromUtf8(reinterpret_cast<const char *>(data), qsizetype(size));
    const QByteArray bytes = ParseHexText(text);
    if (ParseHexText(FormatHexText(bytes)) != bytes)
        std::abort();
    HexTextToString(text);
    HexTextToString(QString(text).remove(u' '));
    StringToHexText(text);
    const QByteArray raw(reinterpret_cast<const char *>(data), qsizetype(size));
    if (ParseHexText(FormatHexText(raw)) != raw)
        std::abort();
    return 0;
}
