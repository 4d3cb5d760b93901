#include "serial/line_stack.h"

namespace panel {

namespace {

std::unique_ptr<LineWatcher> ownWatcher(const LineConfig& config) {
    if (!config.reopenLostLines || config.watcher) return nullptr;
    return std::make_unique<LineWatcher>(config.linkFolders);
}

}  // namespace

LineStack::LineStack(const LineConfig& config)
    : ownWatcher_(ownWatcher(config)),
      watcher_(ownWatcher_ ? ownWatcher_.get() : config.watcher),
      local_(config.devices),
      network_(config.devices),
      routed_(config.devices, local_, network_) {
    network_.setRefusalWindow(config.refusalWindow);
    if (watcher_) routed_.reopenLostLines(*watcher_);
}

// The router lets go of the adapters first, and the watcher goes last.
LineStack::~LineStack() = default;

}  // namespace panel
