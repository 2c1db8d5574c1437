#include "sim_logging.h"

Q_LOGGING_CATEGORY(lcSim, "stepperbench.sim", QtInfoMsg)
