#pragma once

// Benchmarks with a whole installation of simulated units talking to the
// daemon: the start-up burst and the idle cost.
struct FleetSettings
{
    int units = 2000;
    int idleSeconds = 60;
};

void startupAndIdle(const FleetSettings& settings);
