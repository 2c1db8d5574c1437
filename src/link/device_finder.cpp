#include "device_finder.h"

#include <QDir>
#include <QFileInfo>
#include <QSerialPortInfo>

DeviceIdentity identifyDevice(const QString &path, const QString &byIdFolder)
{
    DeviceIdentity identity;
    identity.path = path;
    const QString device = QFileInfo(path).canonicalFilePath();
    if (device.isEmpty())
        return identity;
    const QFileInfoList links = QDir(byIdFolder).entryInfoList(QDir::System | QDir::Files);
    for (const QFileInfo &link : links) {
        if (link.isSymLink() && link.canonicalFilePath() == device) {
            identity.byIdLink = link.absoluteFilePath();
            break;
        }
    }
    const QList<QSerialPortInfo> ports = QSerialPortInfo::availablePorts();
    for (const QSerialPortInfo &port : ports) {
        if (QFileInfo(port.systemLocation()).canonicalFilePath() != device)
            continue;
        if (port.hasVendorIdentifier() && port.hasProductIdentifier()
            && !port.serialNumber().isEmpty()) {
            identity.serialNumber = port.serialNumber();
            identity.vendorId = port.vendorIdentifier();
            identity.productId = port.productIdentifier();
            identity.hasUsbIds = true;
        }
        break;
    }
    return identity;
}

QString findDevice(const DeviceIdentity &identity)
{
    if (!identity.byIdLink.isEmpty() && QFileInfo::exists(identity.byIdLink))
        return identity.byIdLink;
    if (identity.hasUsbIds) {
        // Only this adapter will do: another one at the old name is not it.
        const QList<QSerialPortInfo> ports = QSerialPortInfo::availablePorts();
        for (const QSerialPortInfo &port : ports) {
            if (port.serialNumber() == identity.serialNumber
                && port.vendorIdentifier() == identity.vendorId
                && port.productIdentifier() == identity.productId) {
                return port.systemLocation();
            }
        }
        return {};
    }
    // QFileInfo::exists follows links: a link whose target is gone is not there.
    return QFileInfo::exists(identity.path) ? identity.path : QString();
}
