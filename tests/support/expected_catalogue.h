// The command buttons as the panel's description lists them, written out here apart from
// core/catalogue.cpp so that a wrong code or interval in either shows. The one expected copy:
// every test that needs a button's code reads it here, and every count is taken from it.
#pragma once

#include <iterator>
#include <ostream>
#include <string>
#include <utility>

namespace panel::expected {

struct OneShot {
    const char* button;
    const char* code;          // without its CR
    std::pair<int, int> pair;  // in force after the click, starting from 500 / 1000
    bool arrowPacing;          // the click paces the arrows for a menu
    std::string frame() const { return std::string(code) + '\r'; }
    friend void PrintTo(const OneShot& c, std::ostream* os) { *os << c.button; }
};

inline constexpr OneShot kOneShots[] = {
    {"Command17", "C00", {500, 1000}, false},
    {"Command18", "C01", {500, 1000}, false},
    {"Command27", "C05", {500, 1000}, false},
    {"Command28", "C06", {500, 1000}, false},
    {"Command29", "C07", {500, 1000}, false},
    {"Command56", "C04", {500, 1000}, false},
    {"Command57", "C08", {500, 1000}, false},
    {"Command23", "C1C", {500, 1000}, true},
    {"Command24", "C1D", {500, 1000}, false},
    {"Command19", "C0B", {500, 1000}, false},
    {"Command20", "C0C", {500, 1000}, false},
    {"Command21", "C0D", {500, 1000}, false},
    {"Command22", "C0E", {500, 1000}, false},
    {"Command25", "C43", {500, 1000}, false},
    {"Command26", "C44", {500, 1000}, false},
    {"Command31", "C0F", {500, 1000}, false},
    {"Command32", "C10", {500, 1000}, false},
    {"Command13", "C89", {500, 1000}, true},
    {"Command30", "C27", {500, 1000}, false},
    {"Command14", "C8A", {500, 1000}, false},
    {"Command3", "C1E", {500, 1000}, false},
    {"Command38", "CF FANMODE L1", {500, 1000}, false},
    {"Command43", "CF FANMODE L2", {500, 1000}, false},
    {"Command4", "C11", {2000, 2500}, false},
    {"Command10", "C12", {2000, 2500}, false},
    {"Command11", "C13", {2000, 2500}, false},
    {"Command39", "C14", {2000, 2500}, false},
    {"Command40", "C15", {2000, 2500}, false},
    {"Command41", "C16", {2000, 2500}, false},
    {"Command42", "C17", {2000, 2500}, false},
    {"Command12", "C18", {2000, 2500}, false},
    {"Command37", "C19", {2000, 2500}, false},
    {"Command44", "CR0", {500, 1000}, false},
    {"Command46", "CR3", {500, 1000}, false},
    {"Command54", "CR6", {500, 1000}, false},
    {"Command45", "CR1", {500, 1000}, false},
    {"Command47", "CR4", {500, 1000}, false},
    {"Command55", "CR7", {500, 1000}, false},
    {"Command64", "C50", {5000, 5500}, false},
    {"Command52", "C51", {5000, 5500}, false},
    {"Command53", "C54", {5000, 5500}, false},
    {"Command58", "CF INPUT HDMI HDMI", {5000, 5500}, false},
    {"Command72", "CF INPUT COMPUTER2 ANALOG", {5000, 5500}, false},
    {"Command82", "CF INPUT VIDEO VIDEO", {5000, 5500}, false},
    {"Command69", "CF INPUT S-VIDEO S-VIDEO", {5000, 5500}, false},
    {"Command36", "C02", {500, 1000}, false},
};

struct Hold {
    const char* button;
    const char* code;          // without its CR
    int key;                   // RepeatKey while held
    int repeat;                // Timer1 after the press; 0 for the arrows (kept)
    std::pair<int, int> pair;  // after the press; {0, 0} for the arrows (kept)
    bool zoom;                 // its release paces the arrows for a zoomed picture
    std::string frame() const { return std::string(code) + '\r'; }
    friend void PrintTo(const Hold& c, std::ostream* os) { *os << c.button; }
};

inline constexpr Hold kHolds[] = {
    {"Command1", "C09", 1, 250, {200, 245}, false},
    {"Command2", "C0A", 2, 250, {200, 245}, false},
    {"Command15", "C20", 7, 50, {25, 25}, false},
    {"Command35", "C21", 8, 50, {25, 25}, false},
    {"Command48", "C30", 17, 250, {200, 245}, true},
    {"Command49", "C31", 18, 250, {200, 245}, true},
    {"Command50", "C8E", 19, 250, {200, 245}, false},
    {"Command51", "C8F", 20, 250, {200, 245}, false},
    {"Command6", "C3F", 13, 500, {200, 245}, false},
    {"Command5", "C3C", 3, 0, {0, 0}, false},
    {"Command7", "C3D", 4, 0, {0, 0}, false},
    {"Command9", "C3B", 5, 0, {0, 0}, false},
    {"Command8", "C3A", 6, 0, {0, 0}, false},
};

inline constexpr int kOneShotCount = static_cast<int>(std::size(kOneShots));
inline constexpr int kHoldCount = static_cast<int>(std::size(kHolds));
// One line a button in the command list.
inline constexpr int kButtonCount = kOneShotCount + kHoldCount;

}  // namespace panel::expected
