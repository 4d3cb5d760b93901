// The window's tables hold their captions and names as UTF-8 string views.
#pragma once

#include <QString>
#include <string_view>

namespace panel {

inline QString FromUtf8(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

}  // namespace panel
