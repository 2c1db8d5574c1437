#pragma once

#include "device/frame.h"
#include "motion/motion_profile.h"

#include <QByteArray>

#include <functional>
#include <optional>

class Dialogs;
class LinkSession;

// What every tab of the window is given: the session (the link, what watches its
// exchanges, the capture and the reconnect), the dialogs, the one send path, and
// what the tool tab's boxes say at the moment of use. Tabs reach the link and
// each other through nothing else.
struct TabContext
{
    LinkSession *session = nullptr;
    Dialogs *dialogs = nullptr; // replaced by FrmMain::setDialogs
    /// The one send path: true when the frame was handed to the port. A quiet
    /// frame stays out of the traffic views.
    std::function<bool(const QByteArray &frame, bool quiet)> send;
    /// The framing chosen under "选择通讯模式".
    std::function<CommMode()> mode;
    /// The station address box; tells the user and gives nothing when it holds
    /// no address.
    std::function<std::optional<quint8>()> station;
    /// The motion parameters in the tool tab's boxes, 0 for a box without a number.
    std::function<MotionParameters()> parameters;
};
