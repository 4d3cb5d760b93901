// Codes sent one at a time through a controller, each as a click of its button would send it, and
// each answer read from the traces when its reply window closes: the steps the shell mode and a
// projector's exchange share.
#pragma once

#include <chrono>
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/catalogue.h"
#include "core/controller.h"

namespace panel {

// What one code brought back, read when its reply window closed.
struct CodeAnswer {
    std::string command;                 // the code, one byte per character
    std::string sent;                    // Label11
    std::string received;                // Label12
    std::optional<std::string> decoded;  // Label22, when a decoder wrote it during the window
    bool replied = false;                // at least one character came
    std::optional<double> firstByteMs;   // from the write to the first character received
    std::string bytes;                   // what came, as it came (kept by a projector's exchange)
};

// The reply window and clearing delay for `code`: those a click of the one-shot button with that
// code uses from start-up, the manual entry's for a code no one-shot button sends, or `waitMs`.
IntervalPair codeIntervals(std::string_view code, std::optional<int> waitMs);

class CodeSequence {
public:
    using Clock = std::chrono::steady_clock;

    CodeSequence(std::vector<std::string> codes, std::optional<int> waitMs, Controller& controller);

    // Sends the next code; false when every code has had its turn.
    bool sendNext();
    // The view's caption changes, passed on: the decoder's text written while a reply window is
    // open is that code's.
    void captionChanged(LabelId label, const std::string& caption);
    // The reply window of the code sent last closed: its answer, or none when no window was open.
    // `firstByte` is the time from its write to the first character received, when one came.
    std::optional<CodeAnswer> windowClosed(std::optional<Clock::duration> firstByte,
                                           std::string bytes = {});
    bool anyUnanswered() const { return unanswered_; }
    // The code whose window is open, or was sent last, is the last one.
    bool atLast() const { return next_ + 1 >= codes_.size(); }

private:
    std::vector<std::string> codes_;
    std::optional<int> waitMs_;
    Controller& controller_;
    std::size_t next_ = 0;
    bool windowOpen_ = false;
    std::optional<std::string> decoded_;
    bool unanswered_ = false;
};

}  // namespace panel
