#include "port_names.h"

#include "network_line.h"

#include <QCollator>
#include <QCoreApplication>
#include <QSerialPortInfo>

#include <algorithm>
#include <future>

namespace {

// How long a listing of the system's ports is taken as current.
constexpr qint64 listingLifeMs = 1000;

// The system's serial devices in natural order, so that /dev/ttyS2 comes
// before /dev/ttyS10.
QStringList listSystemPorts()
{
    QStringList locations;
    const QList<QSerialPortInfo> ports = QSerialPortInfo::availablePorts();
    for (const QSerialPortInfo &info : ports)
        locations += info.systemLocation();
    QCollator collator(QLocale::c());
    collator.setNumericMode(true);
    std::sort(locations.begin(), locations.end(), collator);
    return locations;
}

// Started and taken on the program's main thread; only the listing runs elsewhere.
struct ListingAhead
{
    std::future<QStringList> listing;
    QElapsedTimer started;
};

ListingAhead &listingAhead()
{
    static ListingAhead ahead;
    return ahead;
}

// The listing started ahead, if there is a current one; \a started becomes
// the moment it began.
std::future<QStringList> takeListingAhead(QElapsedTimer &started)
{
    ListingAhead &ahead = listingAhead();
    if (!ahead.listing.valid() || ahead.started.hasExpired(listingLifeMs))
        return {};
    started = ahead.started;
    return std::move(ahead.listing);
}

} // namespace

bool PortNames::listingAheadPending()
{
    const ListingAhead &ahead = listingAhead();
    return ahead.listing.valid()
            && ahead.listing.wait_for(std::chrono::seconds(0)) != std::future_status::ready;
}

void PortNames::listSystemPortsAhead()
{
#ifndef Q_OS_WIN
    ListingAhead &ahead = listingAhead();
    ahead.listing = std::async(std::launch::async, listSystemPorts);
    ahead.started.start();
#endif
}

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
    if (LineUrl::looksLikeUrl(path)) {
        if (const QString problem = lineUrlProblem(path); !problem.isEmpty())
            return Failure{problem};
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
    if (!m_listed.isValid() || m_listed.hasExpired(listingLifeMs)) {
        if (std::future<QStringList> ahead = takeListingAhead(m_listed); ahead.valid()) {
            m_locations = ahead.get();
        } else {
            m_locations = listSystemPorts();
            m_listed.start();
        }
    }
    return port <= m_locations.size() ? m_locations.at(port - 1) : QString();
#endif
}
