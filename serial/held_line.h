// What the operator is told when a device server refuses a line because it still holds a
// connection to it, perhaps this panel's own from before the network was cut: the window and the
// fleet say it in the same words.
#pragma once

#include <string>
#include <string_view>

namespace panel {

inline constexpr std::string_view kServerHoldsLine =
    "the device server refuses the line because it still holds a connection to it";
// Linux probes an idle connection only after 7200 s, and ser2net has no setting of its own.
inline constexpr std::string_view kMaybeOurOwn =
    "That connection may be this panel's own, left from before the line was lost; the device "
    "server drops it only when its TCP keep-alive gives up, after two hours unless shortened "
    "there.";
inline constexpr std::string_view kHeldLineRemedy =
    "The panel goes on trying. To have the line back now, restart ser2net on the device server. "
    "So that a dead connection goes within about 30 s next time, shorten the keep-alive of the "
    "device server's machine (net.ipv4.tcp_keepalive_time, see the README); or, where a newer "
    "client may always take the line from an older one, set kickolduser on that connection.";

// The whole of it, as one text.
inline std::string heldLineAdvice() {
    std::string text(kServerHoldsLine);
    text.append(". ").append(kMaybeOurOwn).append(" ").append(kHeldLineRemedy);
    return text;
}

}  // namespace panel
