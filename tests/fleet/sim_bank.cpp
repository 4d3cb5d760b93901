#include "tests/fleet/sim_bank.h"

namespace panel::test {

SimBank::SimBank(int count, std::vector<std::string> extra) : extra_(std::move(extra)) {
    sims_.resize(static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i) start(i);
}

bool SimBank::ok() const {
    for (const auto& sim : sims_)
        if (!sim || sim->device().empty()) return false;
    return true;
}

QString SimBank::link(int i) const {
    return dir_.filePath(QStringLiteral("projector%1").arg(i));
}

test::FrameLogReader SimBank::log(int i) const {
    return test::FrameLogReader(dir_.filePath(QStringLiteral("frames%1.log").arg(i)).toStdString());
}

void SimBank::start(int i, std::vector<std::string> extra) {
    std::vector<std::string> args{"--link", link(i).toStdString(), "--log", log(i).path()};
    args.insert(args.end(), extra.begin(), extra.end());
    sims_[static_cast<std::size_t>(i)] = std::make_unique<e2e::SimProcess>(std::move(args));
}

}  // namespace panel::test
