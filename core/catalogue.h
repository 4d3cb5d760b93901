// The command buttons as data: the one-shot catalogue, the press-and-hold table and the captions
// the window shows on them.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

namespace panel {

// A reply window and a clearing delay, set together on the two timers before a send.
struct IntervalPair {
    std::chrono::milliseconds replyWindow;
    std::chrono::milliseconds clearingDelay;
    friend bool operator==(const IntervalPair&, const IntervalPair&) = default;
};

constexpr IntervalPair Pair(int replyWindowMs, int clearingDelayMs) {
    return {std::chrono::milliseconds{replyWindowMs}, std::chrono::milliseconds{clearingDelayMs}};
}

inline constexpr IntervalPair kLayoutPair = Pair(500, 1000);  // at start, restored by a release
inline constexpr IntervalPair kPictureModePair = Pair(2000, 2500);  // also the manual SEND
inline constexpr IntervalPair kInputSignalPair = Pair(5000, 5500);
// What an arrow's press sets, chosen by ArrowMode: the arrows step a menu after "A-IMAGE" or MENU
// "ON", and a picture after a D.Zoom release. In any other mode the arrow keeps the pair it finds.
inline constexpr IntervalPair kArrowMenuPair = Pair(150, 190);
inline constexpr IntervalPair kArrowZoomPair = Pair(5, 5);
inline constexpr std::uint8_t kArrowModeMenu = 1;  // set by "A-IMAGE" and MENU "ON"
inline constexpr std::uint8_t kArrowModeZoom = 3;  // set by a D.Zoom release
// The repeat timer in the window design, until a button changes it.
inline constexpr std::chrono::milliseconds kRepeatDesignInterval{200};
// The repeat timer after "A-IMAGE" or MENU "ON", and after a D.Zoom release.
inline constexpr std::chrono::milliseconds kArrowPacingInterval{200};
inline constexpr std::chrono::milliseconds kZoomReleaseInterval{5};

// The longest code a shell sends. The projector's codes are a few characters or a few worded
// fields (the catalogue's longest is 25); a code of many kilobytes is a slip of the shell, and
// the line would take only part of it. 64 leaves room for worded commands no button sends. The
// window's typed entry stays unbounded: its operator sees the trace of what went out.
inline constexpr std::size_t kLongestCode = 64;

// A one-shot button: runs its three steps in order on a click.
struct OneShotRow {
    std::string_view button;
    std::string_view code;
    std::optional<IntervalPair> intervals;  // step 1, before the send
    bool setsArrowPacing = false;           // step 3: repeat 200 ms, then kArrowModeMenu
};

enum class HoldKind {
    Fixed,  // "+", "-" and SELECT: set Timer1 and the pair after the send
    Arrow,  // the cursor arrows: the pair from ArrowMode before the send, Timer1 kept
};

struct HoldRow {
    std::string_view button;
    std::string_view code;
    std::uint8_t key;  // RepeatKey while held
    HoldKind kind;
    std::chrono::milliseconds repeatInterval{0};  // the repeat timer, Fixed only
    IntervalPair intervals = Pair(0, 0);          // Fixed only
    bool zoomRelease = false;  // the release also sets the repeat 5 ms and kArrowModeZoom
};

std::span<const OneShotRow> OneShotCatalogue();
std::span<const HoldRow> HoldCatalogue();

const OneShotRow* FindOneShot(std::string_view button);
const HoldRow* FindHold(std::string_view button);
// A command button as the window shows it: its caption, and the frame or column title it sits
// under (empty when it stands alone).
struct CommandCaption {
    std::string_view button;
    std::string_view caption;  // UTF-8
    std::string_view group;
};

// Every command button, one-shot or held, in the window's reading order.
std::span<const CommandCaption> CommandCaptions();
const CommandCaption* FindCaption(std::string_view button);

// The repeat table: the code a tick of the repeat timer sends for `key`, or nothing for a key no
// button has.
std::optional<std::string_view> RepeatCode(std::uint8_t key);

}  // namespace panel
