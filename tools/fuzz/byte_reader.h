// Reads a fuzzer's input as a stream of small decisions; an exhausted input reads as zeros.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

namespace panel::fuzz {

class ByteReader {
public:
    explicit ByteReader(std::span<const std::uint8_t> data) : data_(data) {}

    bool empty() const { return pos_ >= data_.size(); }
    std::uint8_t byte();
    // Two bytes, low first.
    std::uint16_t word();
    // Up to `count` bytes, fewer when the input ends.
    std::string bytes(std::size_t count);
    // Everything not read yet.
    std::string rest();

private:
    std::span<const std::uint8_t> data_;
    std::size_t pos_ = 0;
};

}  // namespace panel::fuzz
