#include "core/catalogue.h"

#include <algorithm>
#include <array>

namespace panel {
namespace {

constexpr std::optional<IntervalPair> kNone = std::nullopt;

// In the window's reading order, group by group.
constexpr std::array kOneShot{
    // POWER
    OneShotRow{"Command17", "C00", kNone},
    OneShotRow{"Command18", "C01", kNone},
    // INPUT MODE SET
    OneShotRow{"Command27", "C05", kNone},
    OneShotRow{"Command28", "C06", kNone},
    OneShotRow{"Command29", "C07", kNone},
    OneShotRow{"Command56", "C04", kNone},
    OneShotRow{"Command57", "C08", kNone},
    // MENU
    OneShotRow{"Command23", "C1C", kNone, true},
    OneShotRow{"Command24", "C1D", kNone},
    // SOUND MUTE, NO SHOW, FREEZE, Screen Size
    OneShotRow{"Command19", "C0B", kNone},
    OneShotRow{"Command20", "C0C", kNone},
    OneShotRow{"Command21", "C0D", kNone},
    OneShotRow{"Command22", "C0E", kNone},
    OneShotRow{"Command25", "C43", kNone},
    OneShotRow{"Command26", "C44", kNone},
    OneShotRow{"Command31", "C0F", kNone},
    OneShotRow{"Command32", "C10", kNone},
    // right-hand column
    OneShotRow{"Command13", "C89", kNone, true},
    OneShotRow{"Command30", "C27", kNone},
    OneShotRow{"Command14", "C8A", kNone},
    OneShotRow{"Command3", "C1E", kNone},
    // FAN MODE
    OneShotRow{"Command38", "CF FANMODE L1", kNone},
    OneShotRow{"Command43", "CF FANMODE L2", kNone},
    // picture-mode grid
    OneShotRow{"Command4", "C11", kPictureModePair},
    OneShotRow{"Command10", "C12", kPictureModePair},
    OneShotRow{"Command11", "C13", kPictureModePair},
    OneShotRow{"Command39", "C14", kPictureModePair},
    OneShotRow{"Command40", "C15", kPictureModePair},
    OneShotRow{"Command41", "C16", kPictureModePair},
    OneShotRow{"Command42", "C17", kPictureModePair},
    OneShotRow{"Command12", "C18", kPictureModePair},
    OneShotRow{"Command37", "C19", kPictureModePair},
    // read buttons of the trace area
    OneShotRow{"Command44", "CR0", kNone},
    OneShotRow{"Command46", "CR3", kNone},
    OneShotRow{"Command54", "CR6", kNone},
    OneShotRow{"Command45", "CR1", kNone},
    OneShotRow{"Command47", "CR4", kNone},
    OneShotRow{"Command55", "CR7", kNone},
    // input-signal rows
    OneShotRow{"Command64", "C50", kInputSignalPair},
    OneShotRow{"Command52", "C51", kInputSignalPair},
    OneShotRow{"Command53", "C54", kInputSignalPair},
    OneShotRow{"Command58", "CF INPUT HDMI HDMI", kInputSignalPair},
    OneShotRow{"Command72", "CF INPUT COMPUTER2 ANALOG", kInputSignalPair},
    OneShotRow{"Command82", "CF INPUT VIDEO VIDEO", kInputSignalPair},
    OneShotRow{"Command69", "CF INPUT S-VIDEO S-VIDEO", kInputSignalPair},
    // service area
    OneShotRow{"Command36", "C02", kNone},
};

using namespace std::chrono_literals;

constexpr IntervalPair kHoldPair = Pair(200, 245);
constexpr IntervalPair kBrightnessPair = Pair(25, 25);

constexpr std::array kHold{
    HoldRow{"Command1", "C09", 1, HoldKind::Fixed, 250ms, kHoldPair},
    HoldRow{"Command2", "C0A", 2, HoldKind::Fixed, 250ms, kHoldPair},
    HoldRow{"Command15", "C20", 7, HoldKind::Fixed, 50ms, kBrightnessPair},
    HoldRow{"Command35", "C21", 8, HoldKind::Fixed, 50ms, kBrightnessPair},
    HoldRow{"Command48", "C30", 17, HoldKind::Fixed, 250ms, kHoldPair, true},
    HoldRow{"Command49", "C31", 18, HoldKind::Fixed, 250ms, kHoldPair, true},
    HoldRow{"Command50", "C8E", 19, HoldKind::Fixed, 250ms, kHoldPair},
    HoldRow{"Command51", "C8F", 20, HoldKind::Fixed, 250ms, kHoldPair},
    HoldRow{"Command6", "C3F", 13, HoldKind::Fixed, 500ms, kHoldPair},
    HoldRow{"Command5", "C3C", 3, HoldKind::Arrow},
    HoldRow{"Command7", "C3D", 4, HoldKind::Arrow},
    HoldRow{"Command9", "C3B", 5, HoldKind::Arrow},
    HoldRow{"Command8", "C3A", 6, HoldKind::Arrow},
};

// The repeat table is indexed by key; each entry is the code its button's press sends.
constexpr auto kRepeatCodes = [] {
    std::array<std::string_view, 256> codes{};
    for (const HoldRow& row : kHold) codes[row.key] = row.code;
    return codes;
}();

// In the window's reading order: the listing of the commands follows it.
constexpr std::array kCaptions{
    CommandCaption{"Command17", "ON", "POWER"},
    CommandCaption{"Command18", "OFF", "POWER"},
    CommandCaption{"Command27", "PC1", "INPUT MODE SET"},
    CommandCaption{"Command28", "PC2", "INPUT MODE SET"},
    CommandCaption{"Command29", "Video", "INPUT MODE SET"},
    CommandCaption{"Command56", "HDMI", "INPUT MODE SET"},
    CommandCaption{"Command57", "Network", "INPUT MODE SET"},
    CommandCaption{"Command23", "ON", "MENU"},
    CommandCaption{"Command24", "OFF", "MENU"},
    CommandCaption{"Command19", "ON", "SOUND MUTE"},
    CommandCaption{"Command20", "OFF", "SOUND MUTE"},
    CommandCaption{"Command21", "ON", "NO SHOW"},
    CommandCaption{"Command22", "OFF", "NO SHOW"},
    CommandCaption{"Command25", "ON", "FREEZE"},
    CommandCaption{"Command26", "OFF", "FREEZE"},
    CommandCaption{"Command31", "Normal", "Screen Size"},
    CommandCaption{"Command32", "Full", "Screen Size"},
    CommandCaption{"Command5", "↑", ""},
    CommandCaption{"Command9", "←", ""},
    CommandCaption{"Command6", "SELECT", ""},
    CommandCaption{"Command8", "→", ""},
    CommandCaption{"Command7", "↓", ""},
    CommandCaption{"Command1", "+", "VOL"},
    CommandCaption{"Command2", "-", "VOL"},
    CommandCaption{"Command15", "+", "Brightness"},
    CommandCaption{"Command35", "-", "Brightness"},
    CommandCaption{"Command48", "+", "D.Zoom"},
    CommandCaption{"Command49", "-", "D.Zoom"},
    CommandCaption{"Command50", "+", "Keystone"},
    CommandCaption{"Command51", "-", "Keystone"},
    CommandCaption{"Command13", "A-IMAGE", ""},
    CommandCaption{"Command30", "IMAGE", ""},
    CommandCaption{"Command14", "P-TIMER", ""},
    CommandCaption{"Command3", "DISPLAY CLEAR", ""},
    CommandCaption{"Command4", "STAND", ""},
    CommandCaption{"Command10", "REAL", ""},
    CommandCaption{"Command11", "CINEMA", ""},
    CommandCaption{"Command39", "IMAGE1", ""},
    CommandCaption{"Command40", "IMAGE2", ""},
    CommandCaption{"Command41", "IMAGE3", ""},
    CommandCaption{"Command42", "IMAGE4", ""},
    CommandCaption{"Command12", "B.Board", ""},
    CommandCaption{"Command37", "Dynamic", ""},
    CommandCaption{"Command38", "L1", "FAN MODE"},
    CommandCaption{"Command43", "L2", "FAN MODE"},
    CommandCaption{"Command44", "STATUS", ""},
    CommandCaption{"Command46", "L-TIME", ""},
    CommandCaption{"Command54", "TEMP", ""},
    CommandCaption{"Command45", "MODE", ""},
    CommandCaption{"Command47", "SETTING", ""},
    CommandCaption{"Command55", "L-MODE", ""},
    CommandCaption{"Command64", "RGB", "PC1"},
    CommandCaption{"Command52", "Scart", "PC1"},
    CommandCaption{"Command53", "Component", "PC1"},
    CommandCaption{"Command58", "HDMI", "PC1"},
    CommandCaption{"Command72", "RGB", "PC2"},
    CommandCaption{"Command82", "Video", "Video"},
    CommandCaption{"Command69", "S-Video", "Video"},
    CommandCaption{"Command36", "C02", ""},
};

template <typename Row, std::size_t N>
constexpr bool codesFit(const std::array<Row, N>& rows) {
    for (const Row& row : rows)
        if (row.code.size() > kLongestCode) return false;
    return true;
}
static_assert(codesFit(kOneShot) && codesFit(kHold), "a button's code exceeds kLongestCode");

template <typename Row, std::size_t N>
const Row* Find(const std::array<Row, N>& rows, std::string_view button) {
    auto it = std::find_if(rows.begin(), rows.end(),
                           [button](const Row& row) { return row.button == button; });
    return it == rows.end() ? nullptr : &*it;
}

}  // namespace

std::span<const OneShotRow> OneShotCatalogue() {
    return kOneShot;
}
std::span<const HoldRow> HoldCatalogue() {
    return kHold;
}

const OneShotRow* FindOneShot(std::string_view button) {
    return Find(kOneShot, button);
}
const HoldRow* FindHold(std::string_view button) {
    return Find(kHold, button);
}

std::span<const CommandCaption> CommandCaptions() {
    return kCaptions;
}

const CommandCaption* FindCaption(std::string_view button) {
    return Find(kCaptions, button);
}

std::optional<std::string_view> RepeatCode(std::uint8_t key) {
    if (kRepeatCodes[key].empty()) return std::nullopt;
    return kRepeatCodes[key];
}

}  // namespace panel
