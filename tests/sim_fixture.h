#pragma once

#include "sim/sim_server.h"
#include "window_fixture.h"

// The window with COM1 standing for the simulated controller.
struct SimFixture : WindowFixture
{
    explicit SimFixture(const QList<SimConfig> &stations = {SimConfig{}})
        : simulator(stations)
    {
        if (simulator.openPseudoTerminal())
            window.portNames().setMapping(1, simulator.devicePath());
    }
    SimServer simulator;
};
