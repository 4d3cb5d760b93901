#include "serial/line_settings.h"

#include <array>
#include <charconv>
#include <string>
#include <utility>

namespace panel {

namespace {

PortError malformed(std::string_view text, std::string_view why) {
    return {"Invalid serial settings \"" + std::string(text) + "\": " + std::string(why)};
}

bool parseSpeed(std::string_view field, qint32& speed) {
    if (field.empty() || field.front() < '0' || field.front() > '9') return false;
    qint32 value = 0;
    const auto [end, error] = std::from_chars(field.data(), field.data() + field.size(), value);
    if (error != std::errc() || end != field.data() + field.size() || value <= 0) return false;
    speed = value;
    return true;
}

bool parseParity(std::string_view field, QSerialPort::Parity& parity) {
    static constexpr std::pair<char, QSerialPort::Parity> kLetters[] = {
        {'N', QSerialPort::NoParity},    {'E', QSerialPort::EvenParity},
        {'O', QSerialPort::OddParity},   {'M', QSerialPort::MarkParity},
        {'S', QSerialPort::SpaceParity},
    };
    if (field.size() != 1) return false;
    const char letter = field.front() >= 'a' && field.front() <= 'z'
                            ? static_cast<char>(field.front() - 'a' + 'A')
                            : field.front();
    for (const auto& [known, value] : kLetters) {
        if (letter != known) continue;
        parity = value;
        return true;
    }
    return false;
}

bool parseDataBits(std::string_view field, QSerialPort::DataBits& bits) {
    if (field.size() != 1 || field.front() < '5' || field.front() > '8') return false;
    bits = static_cast<QSerialPort::DataBits>(field.front() - '0');
    return true;
}

bool parseStopBits(std::string_view field, QSerialPort::StopBits& bits) {
    if (field == "1")
        bits = QSerialPort::OneStop;
    else if (field == "1.5")
        bits = QSerialPort::OneAndHalfStop;
    else if (field == "2")
        bits = QSerialPort::TwoStop;
    else
        return false;
    return true;
}

}  // namespace

PortResult parseLineSettings(std::string_view text, LineSettings& settings) {
    std::array<std::string_view, 4> fields;
    std::size_t count = 0;
    std::size_t begin = 0;
    for (;;) {
        const std::size_t comma = text.find(',', begin);
        if (count == fields.size()) return malformed(text, "expected 4 fields, as in 19200,N,8,1");
        fields[count++] =
            text.substr(begin, comma == std::string_view::npos ? comma : comma - begin);
        if (comma == std::string_view::npos) break;
        begin = comma + 1;
    }
    if (count != fields.size()) return malformed(text, "expected 4 fields, as in 19200,N,8,1");

    LineSettings parsed;
    if (!parseSpeed(fields[0], parsed.baudRate))
        return malformed(text, "the speed must be a positive whole number");
    if (!parseParity(fields[1], parsed.parity))
        return malformed(text, "the parity must be one of N, E, O, M, S");
    if (!parseDataBits(fields[2], parsed.dataBits))
        return malformed(text, "the data bits must be 5, 6, 7 or 8");
    if (!parseStopBits(fields[3], parsed.stopBits))
        return malformed(text, "the stop bits must be 1, 1.5 or 2");
    settings = parsed;
    return std::nullopt;
}

}  // namespace panel
