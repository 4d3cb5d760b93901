// The command buttons as data: the one-shot catalogue and the press-and-hold table.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

namespace panel {

// A reply window (Timer2) and clearing delay (Timer4), in milliseconds.
struct IntervalPair {
    int replyWindow;
    int clearingDelay;
    friend bool operator==(const IntervalPair&, const IntervalPair&) = default;
};

inline constexpr IntervalPair kLayoutPair{500, 1000};  // at start, and restored by every release
inline constexpr IntervalPair kPictureModePair{2000, 2500};  // also the manual SEND
inline constexpr IntervalPair kInputSignalPair{5000, 5500};
inline constexpr int kRepeatDesignInterval = 200;  // the repeat timer in the window design
inline constexpr int kArrowPacingInterval = 200;   // Timer1 after "A-IMAGE" or MENU "ON"
inline constexpr int kZoomReleaseInterval = 5;     // Timer1 after a D.Zoom release

// A one-shot button: runs its three steps in order on a click.
struct OneShotRow {
    std::string_view button;
    std::string_view code;
    std::optional<IntervalPair> intervals;  // step 1, before the send
    bool setsArrowPacing = false;           // step 3: Timer1 200 ms, then ArrowMode 1
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
    int repeatInterval = 0;        // Timer1, Fixed only
    IntervalPair intervals{0, 0};  // Fixed only
    bool zoomRelease = false;      // the release also sets Timer1 5 ms and ArrowMode 3
};

std::span<const OneShotRow> OneShotCatalogue();
std::span<const HoldRow> HoldCatalogue();

const OneShotRow* FindOneShot(std::string_view button);
const HoldRow* FindHold(std::string_view button);
// The repeat table: the code a tick of Timer1 sends for `key`, or nothing for a key no button has.
std::optional<std::string_view> RepeatCode(std::uint8_t key);

}  // namespace panel
