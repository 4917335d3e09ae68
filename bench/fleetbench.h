#pragma once

// Benchmarks with a whole installation of simulated units talking to the
// daemon: the start-up burst, the idle cost and the call latency.
struct FleetSettings
{
    int units = 2000;
    int idleSeconds = 60;
};

struct LatencySettings
{
    int units = 1000;
    int calls = 1000;
};

void startupAndIdle(const FleetSettings& settings);
// From a unit's "CallChange" to the first datagram at every unit the call
// reaches; the figure of a call is the time until the last of them.
void callLatency(const LatencySettings& settings);
