// The measurements of panel-measure; each prints its part of the table and returns an exit code.
#pragma once

#include <QString>

namespace panel::measure {

// Repeat periods of the four kinds of hold, counted in the simulator's log at `logPath`.
int MeasureHolds(const QString& com1, const QString& logPath);
// From the event that sends (a click's release, a hold button's press) to the frame's last byte
// read by the simulator.
int MeasurePressToWire(const QString& com1, const QString& logPath, int samples);
// The real panel binary under a flood it never asked for: CPU share and resident memory.
int MeasureFlood(const QString& panelBinary, const QString& com1, int seconds);
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

}  // namespace panel::measure
