#include "core/code_sequence.h"

#include <cmath>
#include <utility>

namespace panel {
namespace {

// --wait keeps the one-shot buttons' gap: their pairs clear the traces this long after the reply
// window closes. (The held buttons' pairs clear sooner: hold, brightness and arrow pairs 0 to
// 45 ms after it.)
constexpr int kClearingAfterReplyMs = 500;

}  // namespace

IntervalPair codeIntervals(std::string_view code, std::optional<int> waitMs) {
    if (waitMs) return Pair(*waitMs, *waitMs + kClearingAfterReplyMs);
    for (const OneShotRow& row : OneShotCatalogue())
        if (row.code == code) return row.intervals.value_or(kLayoutPair);
    return kPictureModePair;  // the manual SEND's pair
}

CodeSequence::CodeSequence(std::vector<std::string> codes, std::optional<int> waitMs,
                           Controller& controller)
    : codes_(std::move(codes)), waitMs_(waitMs), controller_(controller) {}

bool CodeSequence::sendNext() {
    if (next_ == codes_.size()) return false;
    const std::string& code = codes_[next_];
    controller_.setPair(codeIntervals(code, waitMs_));
    decoded_.reset();
    windowOpen_ = true;
    controller_.SendCommand(code);
    return true;
}

void CodeSequence::captionChanged(LabelId label, const std::string& caption) {
    if (label == LabelId::DecodedReply && windowOpen_) decoded_ = caption;
}

std::optional<CodeAnswer> CodeSequence::windowClosed(std::optional<Clock::duration> firstByte,
                                                     std::string bytes) {
    if (!windowOpen_) return std::nullopt;
    windowOpen_ = false;
    CodeAnswer answer{codes_[next_],
                      controller_.caption(LabelId::SentTrace),
                      controller_.caption(LabelId::ReceivedTrace),
                      decoded_,
                      false,
                      {},
                      std::move(bytes)};
    if (firstByte) {
        const double ms = std::chrono::duration<double, std::milli>(*firstByte).count();
        answer.replied = true;
        answer.firstByteMs = std::round(ms * 10) / 10;
    }
    unanswered_ = unanswered_ || !answer.replied;
    ++next_;
    return answer;
}

}  // namespace panel
