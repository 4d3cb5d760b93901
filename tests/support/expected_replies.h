// What the decoder tables make of each reply, as the panel's description gives it: written out
// here apart from core/replies.cpp, so that a wrong code or a mistyped caption shows. The one
// expected copy of the captions: every test that expects a decoded reply reads it here.
#pragma once

#include <ostream>
#include <string>
#include <string_view>

namespace panel::expected {

struct Reply {
    const char* name;
    const char* query;    // without its CR
    const char* code;     // the reply, without its CR
    const char* caption;  // what the decoded-reply label (Label22) shows
    friend void PrintTo(const Reply& r, std::ostream* os) { *os << r.name; }
};

inline constexpr Reply kReplies[] = {
    {"Status00", "CR0", "00", " Power ON"},
    {"Status80", "CR0", "80", " Stand by"},
    {"Status40", "CR0", "40", " Count down"},
    {"Status20", "CR0", "20", " Cooling down"},
    {"Status10", "CR0", "10", " Power Fail"},
    {"Status08", "CR0", "08", " Temperature Warning"},
    {"Status02", "CR0", "02", " NO Key input "},
    {"Status04", "CR0", "04", " Lamp OFF by PWR Management"},
    {"Status28", "CR0", "28", " Temperature Warning & cooling down"},
    {"Status24", "CR0", "24", "Cooling down  PWR Management"},
    {"Status88", "CR0", "88", " Temperature Warning and recoverd"},
    {"Status21", "CR0", "21", " Cooling down (All Lamp FAIL)"},
    {"Status81", "CR0", "81", " Cooling down & sutandby (All Lamp FAIL)"},
    {"Input1", "CR1", "1", " Computer 1"},
    {"Input2", "CR1", "2", " Computer 2"},
    {"Input3", "CR1", "3", " Video"},
    {"Input4", "CR1", "4", " Input mode 4"},
    {"Reversal11", "CR4", "11", " Normally"},
    {"Reversal10", "CR4", "10", " Top/Bottom reversal"},
    {"Reversal01", "CR4", "01", " Left/Right reversal"},
    {"Reversal00", "CR4", "00", " Top/Bottom , Left/Right reversal"},
    {"Mute00", "CRA", "00", " Video & Audio mute OFF"},
    {"Mute01", "CRA", "01", " Video mute ON"},
    {"Mute02", "CRA", "02", " Audio mute ON"},
    {"Mute03", "CRA", "03", " Video & Audio mute ON"},
    {"Mute80", "CRA", "80", " No signal"},
    {"MuteFF", "CRA", "FF", " Stand by"},
    {"Lamp00", "CR7", "00", " LAMP OFF"},
    {"Lamp01", "CR7", "01", " LAMP ON"},
    {"Lamp02", "CR7", "02", " No2 ON  : 2 Lamp mode"},
    {"Lamp03", "CR7", "03", " No1,2 ON  : 2 Lamp mode"},
    {"Lamp10", "CR7", "10", " All OFF : 1 Lamp mode(No1 USE)"},
    {"Lamp11", "CR7", "11", " No1 ON  : 1 Lamp mode(No1 USE)"},
    {"Lamp20", "CR7", "20", " All OFF : 1 Lamp mode(No2 USE)"},
    {"Lamp22", "CR7", "22", " No2 ON  : 1 Lamp mode(No2 USE)"},
};

// The caption for the reply `code` to `query`; a text no decoder gives when the table has no such
// row, so that a test expecting it fails and says why.
inline std::string Caption(std::string_view query, std::string_view code) {
    for (const Reply& r : kReplies)
        if (r.query == query && r.code == code) return r.caption;
    return "<no expected caption for " + std::string(code) + " to " + std::string(query) + ">";
}

}  // namespace panel::expected
