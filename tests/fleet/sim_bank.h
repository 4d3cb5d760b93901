// A row of projector-sim processes, each at its own --link path and logging its frames, to stand
// for the projectors of a fleet.
#pragma once

#include <QTemporaryDir>
#include <memory>
#include <string>
#include <vector>

#include "testkit/frame_log_reader.h"
#include "tests/e2e/sim_process.h"

namespace panel::test {

class SimBank {
public:
    // `extra` goes to every simulator.
    explicit SimBank(int count, std::vector<std::string> extra = {});

    bool ok() const;
    int size() const { return static_cast<int>(sims_.size()); }
    QString link(int i) const;
    test::FrameLogReader log(int i) const;

    // Killed and started again at the same link (with `extra`, or the bank's own options).
    void stop(int i) { sims_[static_cast<std::size_t>(i)].reset(); }
    void start(int i, std::vector<std::string> extra);
    void start(int i) { start(i, extra_); }

private:
    QTemporaryDir dir_;
    std::vector<std::string> extra_;
    std::vector<std::unique_ptr<e2e::SimProcess>> sims_;
};

}  // namespace panel::test
