#pragma once

#include <QString>
#include <QtGlobal>

class MSComm;
class PortNames;

namespace CommSetting {

/// Opens \a comm on port number \a port (COM1 to COM9; any other number is
/// corrected to 1) with the line settings \a settings (an empty text is
/// corrected to "9600,n,8,1"). Applies the settings, the device, the read size of
/// 512 bytes, discards whatever waits in both directions and opens. Gives false
/// with the reason when a step fails; the port then stays closed.
bool OpenPort(MSComm &comm, const PortNames &names, qint16 &port, QString &settings,
              QString *error = nullptr);

} // namespace CommSetting
