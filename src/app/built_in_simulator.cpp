#include "built_in_simulator.h"

#include "sim/sim_server.h"

Result<std::unique_ptr<SimServer>> startBuiltInSimulator()
{
    auto simulator = std::make_unique<SimServer>(SimConfig{});
    if (const Status opened = simulator->openPseudoTerminal(); !opened)
        return Failure{opened.error()};
    simulator->setWireTime(true);
    return simulator;
}
