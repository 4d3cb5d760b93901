// The client side of a Telnet session (RFC 854) that carries a serial line: BINARY both ways, and
// the line settings set through the COM-PORT-OPTION of RFC 2217. Bytes in and out only; the caller
// owns the connection, so the same code runs over a socket and under the fuzzer.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

struct telnet_t;
union telnet_event_t;

namespace panel {

// Line settings in the option's own codes.
struct ComPortSettings {
    std::uint32_t baud = 9600;
    std::uint8_t dataSize = 8;
    std::uint8_t parity = 1;    // 1 none, 2 odd, 3 even, 4 mark, 5 space
    std::uint8_t stopSize = 1;  // 1 one, 2 two, 3 one and a half
    std::uint8_t control = 1;   // 1 no flow control

    bool operator==(const ComPortSettings&) const = default;
};

class ComPortClient {
public:
    // Receives bytes to be written to the server, already escaped.
    using Sender = std::function<void(std::string_view bytes)>;

    enum class Answer { Waiting, Confirmed, Refused };
    // The values one request sets.
    static constexpr std::size_t kValues = 5;

    explicit ComPortClient(Sender sender);
    ~ComPortClient();
    ComPortClient(const ComPortClient&) = delete;
    ComPortClient& operator=(const ComPortClient&) = delete;

    // Offers and asks for BINARY both ways and offers COM-PORT-OPTION.
    void start();
    // Decodes bytes from the server; the data bytes among them are appended to `data`.
    void receive(std::string_view bytes, std::string& data);
    // Sends data bytes (0xFF doubled, nothing added after a CR).
    void send(std::string_view data);

    // Asks the server for these settings, after it has agreed to COM-PORT-OPTION; earlier
    // answers no longer count.
    void requestSettings(const ComPortSettings& settings);
    // Whether the server has confirmed every value of the last request. On Refused or Waiting,
    // `why` says which value is missing or was answered differently.
    Answer answer(std::string& why) const;

    // Set once the server sent something libtelnet cannot parse (an overlong subnegotiation) or
    // switched to compression; the connection is not to be trusted after it.
    const std::string& protocolError() const { return protocolError_; }

private:
    static void onEvent(telnet_t* telnet, telnet_event_t* event, void* self);
    void handle(const telnet_event_t& event);
    void onComPortReply(const unsigned char* buffer, std::size_t size);
    void sendRequest();
    void fail(const std::string& why);

    Sender sender_;
    telnet_t* telnet_ = nullptr;
    std::string* data_ = nullptr;  // the caller's buffer during receive()
    enum class Option { Asked, Agreed, Refused } comPort_ = Option::Asked;
    std::optional<ComPortSettings> requested_;
    bool requestSent_ = false;
    // What the server confirmed of the last request, value by value in command order (speed,
    // data size, parity, stop size, flow control), and the replies still due to each command
    // from the requests sent.
    std::array<std::optional<std::uint32_t>, kValues> confirmed_{};
    std::array<int, kValues> answersDue_{};
    std::string protocolError_;
    bool compressed_ = false;
};

}  // namespace panel
