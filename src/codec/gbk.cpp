#include "gbk.h"

#include <QCoreApplication>

GbkBytes toGbk(QStringView text)
{
    QStringEncoder encoder = gbkEncoder();
    if (!encoder.isValid())
        return GbkBytes{{}, false, false};
    GbkBytes result;
    result.bytes = encoder.encode(text);
    result.complete = !encoder.hasError();
    return result;
}

QStringEncoder gbkEncoder(QStringConverter::Flags flags)
{
    return QStringEncoder("GBK", flags);
}

QStringDecoder gbkDecoder(QStringConverter::Flags flags)
{
    return QStringDecoder("GBK", flags);
}

bool gbkAvailable()
{
    static const bool available = gbkEncoder().isValid() && gbkDecoder().isValid();
    return available;
}

QString gbkMissingMessage()
{
    return QCoreApplication::translate("Gbk", "这个 Qt 没有 GBK 编码（缺少 ICU），无法转换文本");
}
