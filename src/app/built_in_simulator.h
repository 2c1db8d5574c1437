#pragma once

#include "util/result.h"

#include <memory>

class SimServer;

/// The simulated controller of `--simulator`: station 01 at 9600 baud on a pseudo-terminal of
/// its own, with wire time on, so that it hears only requests sent at its own rate and its
/// replies take their time on the line, as a controller on a real line does (a bus scan over
/// every rate finds it once). The failure says why the terminal could not be opened.
Result<std::unique_ptr<SimServer>> startBuiltInSimulator();
