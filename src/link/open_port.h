#pragma once

#include <QString>
#include <QtGlobal>

#include "util/result.h"

class MSComm;
class PortNames;

namespace CommSetting {

/// Opens \a comm on port number \a port (COM1 to COM9; any other number is
/// corrected to 1) with the line settings the text \a settings gives (an empty
/// text is corrected to "9600,n,8,1"). Applies the settings, the device, the read
/// size of 512 bytes, discards whatever waits in both directions and opens.
/// Gives the reason when a step fails; the port then stays closed.
Status OpenPort(MSComm &comm, const PortNames &names, qint16 &port, QString &settings);

} // namespace CommSetting
