#include "io_table.h"

#include "device/frame.h"
#include "device/command_set.h"

quint8 ioCode(QStringView text)
{
    quint8 code = 0;
    for (int i = 0; i < 5; ++i) {
        if (i < text.size() && text[i] == u'1')
            code |= quint8(16 >> i);
    }
    return code;
}

QByteArray ioDownloadPayload(quint8 address, quint8 code, const QByteArray &command)
{
    Q_ASSERT(command.size() <= maxIoCommandBytes);
    return makePayload(address, FunctionCode::IoTableDownload, char(code) + command);
}

QByteArray ioQueryPayload(quint8 address, quint8 code)
{
    return makePayload(address, FunctionCode::IoTableQuery, QByteArray(1, char(code)));
}
