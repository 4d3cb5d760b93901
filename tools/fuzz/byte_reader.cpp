#include "tools/fuzz/byte_reader.h"

#include <algorithm>

namespace panel::fuzz {

std::uint8_t ByteReader::byte() {
    return empty() ? 0 : data_[pos_++];
}

std::uint16_t ByteReader::word() {
    const std::uint16_t low = byte();
    return static_cast<std::uint16_t>(low | (byte() << 8));
}

std::string ByteReader::bytes(std::size_t count) {
    const std::size_t n = std::min(count, data_.size() - std::min(pos_, data_.size()));
    if (n == 0) return {};
    std::string out(reinterpret_cast<const char*>(data_.data() + pos_), n);
    pos_ += n;
    return out;
}

std::string ByteReader::rest() {
    return bytes(data_.size());
}

}  // namespace panel::fuzz
