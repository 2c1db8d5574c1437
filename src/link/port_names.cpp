#include "port_names.h"

#include <QCollator>
#include <QCoreApplication>
#include <QSerialPortInfo>

#include <algorithm>

std::optional<int> PortNames::portNumber(QStringView name)
{
    if (name.size() == 4 && name.startsWith(u"COM") && name[3] >= u'1' && name[3] <= u'9')
        return name[3].unicode() - u'0';
    return std::nullopt;
}

Status PortNames::addMapping(QStringView option)
{
    const qsizetype eq = option.indexOf(u'=');
    const std::optional<int> port = eq < 0 ? std::nullopt : portNumber(option.left(eq));
    const QStringView path = eq < 0 ? QStringView() : option.mid(eq + 1);
    if (!port || path.isEmpty()) {
        return Failure{QCoreApplication::translate("PortNames",
                                                   "\"%1\" is not COMn=PATH with n from 1 to 9")
                               .arg(option)};
    }
    setMapping(*port, path.toString());
    return Done{};
}

void PortNames::setMapping(int port, const QString &devicePath, const QString &label)
{
    m_mappings.insert(port, devicePath);
    if (label.isEmpty())
        m_labels.remove(port);
    else
        m_labels.insert(port, label);
}

QString PortNames::devicePath(int port) const
{
    if (const auto it = m_mappings.constFind(port); it != m_mappings.cend())
        return *it;
    if (port < 1 || port > 9)
        return {};
#ifdef Q_OS_WIN
    return QStringLiteral("COM%1").arg(port);
#else
    QStringList locations;
    const QList<QSerialPortInfo> ports = QSerialPortInfo::availablePorts();
    for (const QSerialPortInfo &info : ports)
        locations += info.systemLocation();
    // Natural order, so that /dev/ttyS2 comes before /dev/ttyS10.
    QCollator collator(QLocale::c());
    collator.setNumericMode(true);
    std::sort(locations.begin(), locations.end(), collator);
    return port <= locations.size() ? locations.at(port - 1) : QString();
#endif
}
