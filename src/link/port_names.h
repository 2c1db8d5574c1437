#pragma once

#include "util/result.h"

#include <QElapsedTimer>
#include <QMap>
#include <QString>
#include <QStringList>
#include <QStringView>

#include <optional>

// Maps the window's port names COM1 to COM9 to devices. On Windows COMn is the
// port COMn. Elsewhere COMn is the n-th serial port the system reports, sorted
// by device path; a mapping given on the command line (--port COMn=PATH) takes
// precedence, so that any device can be reached: a USB adapter under
// /dev/serial/by-id, a pseudo-terminal of the simulated controller.
class PortNames
{
public:
    /// The port number 1 to 9 of an exact name "COM1" to "COM9", else nothing
    /// ("COM10", "com1" and the empty text give nothing).
    static std::optional<int> portNumber(QStringView name);

    /// Reads one "COMn=PATH" mapping. Gives false and a reason for anything else.
    Status addMapping(QStringView option);
    /// Lets \a port stand for \a devicePath; \a label says what is behind it
    /// ("模拟控制器") where the path alone would not.
    void setMapping(int port, const QString &devicePath, const QString &label = QString());
    /// What is behind \a port, as set with its mapping; empty for a plain device.
    QString label(int port) const { return m_labels.value(port); }
    QMap<int, QString> mappings() const { return m_mappings; }
    /// Whether \a port stands for a device set with a mapping, rather than
    /// for one of the system's ports.
    bool hasMapping(int port) const { return m_mappings.contains(port); }

    /// The device that port \a port (1 to 9) stands for, or an empty text when
    /// there is none.
    QString devicePath(int port) const;

    /// Starts listing the system's serial devices on a thread of its own, so
    /// that the first devicePath() soon after need not wait for the walk over
    /// every terminal device of the system. Call it early, at program start.
    static void listSystemPortsAhead();
    /// Whether the listing started ahead is still going: devicePath() for a
    /// port without a mapping would wait for it.
    static bool listingAheadPending();

private:
    QMap<int, QString> m_mappings;
    QMap<int, QString> m_labels;
    // The system's ports in natural order, listed at most once a second: the
    // listing walks every terminal device the system has, and the window asks
    // for several ports at a time.
    mutable QStringList m_locations;
    mutable QElapsedTimer m_listed;
};
