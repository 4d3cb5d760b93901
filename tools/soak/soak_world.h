// What the soak's parts share: the options, the two simulated lines, the operator's model of the
// panel, the line watcher's wait as seen from outside, and the report every part writes to.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <optional>

#include "tools/soak/sim_line.h"
#include "tools/soak/soak_options.h"
#include "tools/soak/soak_report.h"
#include "tools/soak/wait_schedule.h"

namespace panel::soak {

// What the operator believes the panel is doing.
struct PanelModel {
    int port = 1;  // the option last clicked
    bool open = false;
    int baud = 19200;
    int timer1Interval = 200;
    int boundLine = 0;  // the incarnation the open port reaches
    int boundId = 0;
    bool told = false;  // the outage of the open line has been told
    std::int64_t openedAt = 0;
    bool lostUntold = false;  // the open port closed by itself; the tell is due
    bool waiting = false;     // for the panel to reopen the lost line by itself
    bool reopened = false;    // by the panel itself, since the last selection
};

struct SoakWorld {
    explicit SoakWorld(SoakOptions soakOptions);

    SimLine& line(int number) const;
    // The simulator behind the line is up and has printed its device.
    bool serving(int number) const;
    // The incarnation the open port reaches, if it is still known.
    Incarnation* bound() const;
    // The device server of the open line has gone since the port opened (--network).
    bool serverWentSinceOpen() const;
    // Since when the line serves again (its simulator, and its device server with --network).
    std::optional<std::int64_t> lineBackSince(int number) const;

    const SoakOptions options;
    std::array<std::unique_ptr<SimLine>, 2> lines;
    PanelModel model;
    WaitSchedule schedule;
    SoakReport report;
    bool windingDown = false;  // no more faults, and no more tells to judge
};

}  // namespace panel::soak
