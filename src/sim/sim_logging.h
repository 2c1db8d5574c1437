#pragma once

#include <QLoggingCategory>

// Diagnostics of the simulated controller: dropped bytes, ignored frames, IO
// table commands, the server's port events. Debug messages are off unless
// QT_LOGGING_RULES turns them on ("stepperbench.sim.debug=true").
Q_DECLARE_LOGGING_CATEGORY(lcSim)
