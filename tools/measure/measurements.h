// The measurements of panel-measure; each prints its part of the table and returns an exit code.
#pragma once

#include <sys/types.h>
#include <QString>
#include <QStringList>
#include <optional>

#include "tools/measure/process_usage.h"

namespace panel::measure {

// Repeat periods of the four kinds of hold, counted in the simulator's log at `logPath`.
int MeasureHolds(const QString& com1, const QString& logPath);
// From the event that sends (a click's release, a hold button's press) to the frame's last byte
// read by the simulator.
int MeasurePressToWire(const QString& com1, const QString& logPath, int samples);
// The real panel binary under a flood it never asked for: CPU share and resident memory.
int MeasureFlood(const QString& panelBinary, const QString& com1, int seconds);
// One flood run of the panel binary, with `extraArguments` after its devices.
struct FloodRun {
    ProcessUsage before, halfway, after;
    double wallSeconds = 0;
    bool portOpen = false;
    double share() const { return (after.cpuSeconds - before.cpuSeconds) / wallSeconds * 100.0; }
};
std::optional<FloodRun> RunFlood(const QString& panelBinary, const QString& com1, int seconds,
                                 const QStringList& extraArguments);
// What a session log adds to the flood: the panel without and with --log, in alternating order,
// and the log writer alone.
int MeasureFloodLog(const QString& panelBinary, const QString& com1, int seconds, int rounds);
// Process start to the window shown, and resident memory then, over `runs` fresh processes.
int MeasureStartup(const QString& panel, const QString& com1, int runs);
// From a lost line's return (a pseudo-terminal linked again; ser2net started again in front of
// it) to the window's port open again, over `returns` returns.
int MeasureLineReturns(bool network, int returns);
// How late a 10 ms timer runs while the window's start-up open waits on a host that does not
// answer, a slow name lookup and a device server that does not confirm the settings.
int MeasureSlowOpens();
// The fleet window over every projector of `projectorsFile`, `cycles` polls.
int MeasureFleet(const QString& projectorsFile, int cycles);

// projector-paneld at `url`, already running with every simulator of `manifest` behind it.
struct ServiceRun {
    QString url;
    QString token;     // an operator's
    QString manifest;  // a line a simulator: name, process id, frame log; tab-separated
    pid_t daemon = 0;
    int pollSeconds = 5;  // the daemon's poll interval
    int seconds = 50;     // of reading at 200 requests a second
};
// The goals table of the service, each with PASS or FAIL; exit status 3 when any failed.
int MeasureService(const ServiceRun& run);

}  // namespace panel::measure
