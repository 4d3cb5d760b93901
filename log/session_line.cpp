#include "log/session_line.h"

#include <time.h>

#include <array>

#include "core/trace.h"

namespace panel {
namespace {

constexpr std::array<std::string_view, 10> kKindNames{
    "open", "sent", "received", "answer", "speed", "lost", "reopened", "closed", "note", "late",
};

std::string_view kindName(SessionEventKind kind) {
    return kKindNames[static_cast<std::size_t>(kind)];
}

// A tab or a line break inside a text would split the line or its fields.
void appendText(std::string& out, std::string_view text) {
    for (char c : text) out += (c == '\t' || c == '\n' || c == '\r') ? ' ' : c;
}

void appendHex(std::string& out, std::string_view bytes) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        const auto byte = static_cast<unsigned char>(bytes[i]);
        if (i > 0) out += ' ';
        out += kDigits[byte >> 4];
        out += kDigits[byte & 0xF];
    }
}

}  // namespace

void AppendSessionLine(std::string& out, std::string_view stamp, const LoggedPort& port,
                       const SessionEvent& event) {
    out += stamp;
    out += '\t';
    appendText(out, port.com);
    out += '\t';
    appendText(out, port.device);
    out += '\t';
    out += kindName(event.kind);
    out += '\t';
    if (event.kind == SessionEventKind::Sent || event.kind == SessionEventKind::Received ||
        event.kind == SessionEventKind::Late) {
        out += ' ';
        AppendTrace(out, event.data);
        out += '\t';
        appendHex(out, event.data);
    } else {
        appendText(out, event.data);
    }
    out += '\n';
}

std::string_view LocalStamp::at(std::chrono::system_clock::time_point when) {
    using namespace std::chrono;
    const auto ms = duration_cast<milliseconds>(when.time_since_epoch()).count();
    const auto second = ms / 1000 - (ms % 1000 < 0 ? 1 : 0);
    const auto millis = ms - second * 1000;
    if (second != second_) {
        const time_t t = static_cast<time_t>(second);
        tm local{};
        localtime_r(&t, &local);
        std::array<char, 32> text{};
        const std::size_t n = strftime(text.data(), text.size(), "%Y-%m-%dT%H:%M:%S", &local);
        text_.assign(text.data(), n);
        text_ += ".000";
        second_ = second;
    }
    const std::size_t end = text_.size();
    text_[end - 3] = static_cast<char>('0' + millis / 100);
    text_[end - 2] = static_cast<char>('0' + millis / 10 % 10);
    text_[end - 1] = static_cast<char>('0' + millis % 10);
    return text_;
}

}  // namespace panel
