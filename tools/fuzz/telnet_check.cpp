// The Telnet/RFC 2217 client fed what a hostile or broken device server might send.
#include <algorithm>
#include <string>

#include "serial/telnet/com_port_client.h"
#include "tools/fuzz/byte_reader.h"
#include "tools/fuzz/checks.h"

namespace panel::fuzz {

namespace {

constexpr unsigned char kIac = 255;
constexpr unsigned char kSb = 250;
constexpr unsigned char kSe = 240;
constexpr unsigned char kCompress2 = 86;  // starts inflating the stream: no data survives it

std::string escaped(const std::string& bytes) {
    std::string out;
    for (char c : bytes) {
        out += c;
        if (static_cast<unsigned char>(c) == kIac) out += c;
    }
    return out;
}

// A well-formed server stream built from `in`: data runs between option negotiations,
// subnegotiations (RFC 2217 answers among them) and bare commands. Returns the data alone.
std::string wellFormedStream(ByteReader& in, std::string& stream) {
    std::string data;
    while (!in.empty()) {
        const std::uint8_t op = in.byte();
        switch (op % 4) {
            case 0: {
                const std::string run = in.bytes(in.byte() % 32 + 1);
                data += run;
                stream += escaped(run);
                break;
            }
            case 1:
                stream += {static_cast<char>(kIac), static_cast<char>(251 + op / 4 % 4),
                           static_cast<char>(in.byte())};
                break;
            case 2: {
                std::uint8_t option = in.byte();
                if (option == kCompress2 || option == kIac) option = 44;
                stream +=
                    {static_cast<char>(kIac), static_cast<char>(kSb), static_cast<char>(option)};
                stream += escaped(in.bytes(in.byte() % 8));
                stream += {static_cast<char>(kIac), static_cast<char>(kSe)};
                break;
            }
            default:
                // NOP, data mark, break, interrupt, abort output, are you there, erase
                // character, erase line, go ahead: commands that carry no data.
                stream += {static_cast<char>(kIac), static_cast<char>(241 + op / 4 % 9)};
                break;
        }
    }
    return data;
}

}  // namespace

std::string CheckTelnet(std::span<const std::uint8_t> input) {
    ByteReader in(input);
    const bool wellFormed = in.byte() & 1;
    const std::size_t piece = in.byte() % 64 + 1;  // how the stream is cut into reads

    std::size_t sent = 0;
    ComPortClient client([&](std::string_view bytes) { sent += bytes.size(); });
    client.start();
    client.requestSettings(ComPortSettings{});

    std::string stream;
    std::string expected;
    if (wellFormed)
        expected = wellFormedStream(in, stream);
    else
        stream = in.rest();

    std::string delivered;
    for (std::size_t at = 0; at < stream.size(); at += piece) {
        std::string block;
        client.receive(std::string_view(stream).substr(at, piece), block);
        delivered += block;
        std::string why;
        (void)client.answer(why);
    }
    client.send(std::string("\xFF\r\0", 3));

    if (delivered.size() > stream.size())
        return "more data delivered (" + std::to_string(delivered.size()) + ") than received (" +
               std::to_string(stream.size()) + ")";
    // Answers to negotiation are three bytes each, the start and the requests a bounded few.
    if (sent > 128 + 3 * stream.size()) return "sent " + std::to_string(sent) + " bytes";
    if (wellFormed && delivered != expected)
        return "data bytes changed: " + std::to_string(delivered.size()) + " delivered, " +
               std::to_string(expected.size()) + " sent";
    return {};
}

}  // namespace panel::fuzz
