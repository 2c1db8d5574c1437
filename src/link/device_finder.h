#pragma once

#include <QString>
#include <QtGlobal>

// Finds a serial device again after it went away. A USB adapter that is
// plugged back may come back under another name (ttyUSB1 instead of ttyUSB0);
// what stays is its link in /dev/serial/by-id, or its serial number and USB
// ids. The identity is taken while the device is there, and searched for when
// it is gone.

struct DeviceIdentity
{
    QString path; // as the port was opened (a device, or a link to one)
    QString byIdLink; // the link in the by-id folder that pointed at it, if any
    QString serialNumber; // with the USB ids, when the system knows them
    quint16 vendorId = 0;
    quint16 productId = 0;
    bool hasUsbIds = false;
};

/// What identifies the device at \a path now. \a byIdFolder is where the stable
/// links live.
DeviceIdentity identifyDevice(const QString &path,
                              const QString &byIdFolder = QStringLiteral("/dev/serial/by-id"));

/// The path to open for the device of \a identity, or nothing while it is not
/// there: its by-id link, else the port with its serial number and USB ids
/// (only that one), else the path it was opened by.
QString findDevice(const DeviceIdentity &identity);
