// The value boxes: any text reads to a number or to nothing, never to a value
// outside the field.
#include "device/leading_number.h"

#include <QString>

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QString text = QString::fromUtf8(reinterpret_cast<const char *>(data), qsizetype(size));
    for (const NumberBase base : {NumberBase::Decimal, NumberBase::Hexadecimal}) {
        if (const auto v = readField(text, base, Int32Field); v && !Int32Field.contains(*v))
            std::abort();
        if (const auto v = readField(text, base, ByteField); v && !ByteField.contains(*v))
            std::abort();
    }
    return 0;
}
