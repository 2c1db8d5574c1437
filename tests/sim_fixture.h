#pragma once

#include "sim/sim_server.h"
#include "window_fixture.h"

// The window with COM1 standing for the simulated controller.
struct SimFixture : WindowFixture
{
    explicit SimFixture(const SimConfig &config = {})
        : simulator(config)
    {
        if (simulator.openPseudoTerminal())
            window.portNames().setMapping(1, simulator.devicePath());
    }
    SimServer simulator;
};
