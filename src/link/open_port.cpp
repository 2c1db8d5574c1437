#include "open_port.h"

#include "mscomm.h"
#include "port_names.h"

namespace CommSetting {

Status OpenPort(MSComm &comm, const PortNames &names, qint16 &port, QString &settings)
{
    if (comm.portOpen())
        comm.close();
    if (port > 9 || port < 1)
        port = 1;
    if (settings.isEmpty())
        settings = QStringLiteral("9600,n,8,1");
    const Result<MSComm::Settings> lineSettings = MSComm::parseSettings(settings);
    if (!lineSettings)
        return Failure{lineSettings.error()};
    comm.setSettings(*lineSettings);
    comm.setDevicePath(names.devicePath(port));
    comm.setInputLen(512);
    comm.clearInBuffer();
    comm.clearOutBuffer();
    return comm.open();
}

} // namespace CommSetting
