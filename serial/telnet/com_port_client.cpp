#include "serial/telnet/com_port_client.h"

#include <libtelnet.h>

#include <array>
#include <initializer_list>

namespace panel {

namespace {

constexpr unsigned char kComPortOption = 44;
// Client-to-server command codes; the server answers each with the code plus 100.
constexpr unsigned char kSetBaudRate = 1;
constexpr unsigned char kSetDataSize = 2;
constexpr unsigned char kSetParity = 3;
constexpr unsigned char kSetStopSize = 4;
constexpr unsigned char kSetControl = 5;
constexpr unsigned char kServerOffset = 100;

// What we agree to when the server asks, and what we accept from it.
const telnet_telopt_t kOptions[] = {
    {TELNET_TELOPT_BINARY, TELNET_WILL, TELNET_DO},
    {kComPortOption, TELNET_WILL, TELNET_DONT},
    {-1, 0, 0},
};

std::string baudName(std::uint32_t code) {
    return std::to_string(code) + " baud";
}

std::string dataSizeName(std::uint32_t code) {
    return std::to_string(code) + " data bits";
}

// The option's codes from 1 up, in words; a code past the list is named by its number.
std::string named(std::uint32_t code, std::initializer_list<const char*> names,
                  const char* otherwise) {
    if (code >= 1 && code <= names.size()) return names.begin()[code - 1];
    return otherwise + std::to_string(code);
}

std::string parityName(std::uint32_t code) {
    return named(code, {"no parity", "odd parity", "even parity", "mark parity", "space parity"},
                 "parity ");
}

std::string stopName(std::uint32_t code) {
    return named(code, {"1 stop bit", "2 stop bits", "1.5 stop bits"}, "stop size ");
}

std::string controlName(std::uint32_t code) {
    return named(code, {"no flow control"}, "flow control ");
}

// The values in command order, each with its words.
using Namer = std::string (*)(std::uint32_t);
constexpr std::array<Namer, ComPortClient::kValues> kNames{baudName, dataSizeName, parityName,
                                                           stopName, controlName};

std::array<std::uint32_t, ComPortClient::kValues> values(const ComPortSettings& s) {
    return {s.baud, s.dataSize, s.parity, s.stopSize, s.control};
}

}  // namespace

ComPortClient::ComPortClient(Sender sender) : sender_(std::move(sender)) {
    telnet_ = telnet_init(kOptions, &ComPortClient::onEvent, 0, this);
    // Out of memory: the session never starts, and the caller hears of it as a protocol error.
    if (!telnet_) fail("the Telnet session could not be set up");
}

ComPortClient::~ComPortClient() {
    if (telnet_) telnet_free(telnet_);
}

void ComPortClient::start() {
    if (!telnet_) return;
    telnet_negotiate(telnet_, TELNET_WILL, TELNET_TELOPT_BINARY);
    telnet_negotiate(telnet_, TELNET_DO, TELNET_TELOPT_BINARY);
    telnet_negotiate(telnet_, TELNET_WILL, kComPortOption);
}

void ComPortClient::receive(std::string_view bytes, std::string& data) {
    if (!telnet_) return;
    data_ = &data;
    telnet_recv(telnet_, bytes.data(), bytes.size());
    data_ = nullptr;
}

void ComPortClient::send(std::string_view data) {
    if (!telnet_) return;
    telnet_send(telnet_, data.data(), data.size());
}

void ComPortClient::requestSettings(const ComPortSettings& settings) {
    requested_ = settings;
    requestSent_ = false;
    confirmed_ = {};
    if (comPort_ == Option::Agreed) sendRequest();
}

void ComPortClient::sendRequest() {
    const ComPortSettings& s = *requested_;
    const char baud[] = {static_cast<char>(kSetBaudRate), static_cast<char>(s.baud >> 24),
                         static_cast<char>(s.baud >> 16), static_cast<char>(s.baud >> 8),
                         static_cast<char>(s.baud)};
    telnet_subnegotiation(telnet_, kComPortOption, baud, sizeof baud);
    for (const auto& [command, value] :
         {std::pair{kSetDataSize, s.dataSize}, std::pair{kSetParity, s.parity},
          std::pair{kSetStopSize, s.stopSize}, std::pair{kSetControl, s.control}}) {
        const char message[] = {static_cast<char>(command), static_cast<char>(value)};
        telnet_subnegotiation(telnet_, kComPortOption, message, sizeof message);
    }
    for (int& due : answersDue_) ++due;
    requestSent_ = true;
}

ComPortClient::Answer ComPortClient::answer(std::string& why) const {
    if (!requested_) return Answer::Confirmed;
    if (comPort_ == Option::Refused) {
        why = "the device server does not offer control of the serial line (RFC 2217)";
        return Answer::Refused;
    }
    const auto wanted = values(*requested_);
    // A refusal outranks a missing answer; the first of each kind is the one described.
    for (std::size_t i = 0; i < kValues; ++i)
        if (confirmed_[i] && *confirmed_[i] != wanted[i]) {
            why = "the device server set " + kNames[i](*confirmed_[i]) + ", not " +
                  kNames[i](wanted[i]);
            return Answer::Refused;
        }
    for (std::size_t i = 0; i < kValues; ++i)
        if (!confirmed_[i]) {
            why = "the device server did not confirm " + kNames[i](wanted[i]);
            return Answer::Waiting;
        }
    why.clear();
    return Answer::Confirmed;
}

void ComPortClient::onEvent(telnet_t*, telnet_event_t* event, void* self) {
    static_cast<ComPortClient*>(self)->handle(*event);
}

void ComPortClient::handle(const telnet_event_t& event) {
    switch (event.type) {
        case TELNET_EV_DATA:
            // After a switch to compression every byte is the server's inflated output, which
            // no serial line sends: none of it is delivered.
            if (data_ && !compressed_) data_->append(event.data.buffer, event.data.size);
            break;
        case TELNET_EV_COMPRESS:
            // libtelnet starts inflating on the server's word alone, negotiated or not.
            if (event.compress.state) {
                compressed_ = true;
                fail("the device server switched to compressed data");
            }
            break;
        case TELNET_EV_SEND:
            sender_({event.data.buffer, event.data.size});
            break;
        case TELNET_EV_DO:
            if (event.neg.telopt == kComPortOption && comPort_ != Option::Agreed) {
                comPort_ = Option::Agreed;
                if (requested_ && !requestSent_) sendRequest();
            }
            break;
        case TELNET_EV_DONT:
            if (event.neg.telopt == kComPortOption) comPort_ = Option::Refused;
            break;
        case TELNET_EV_SUBNEGOTIATION:
            if (event.sub.telopt == kComPortOption)
                onComPortReply(reinterpret_cast<const unsigned char*>(event.sub.buffer),
                               event.sub.size);
            break;
        case TELNET_EV_ERROR:
            fail(std::string("the device server broke the Telnet protocol: ") +
                 (event.error.msg ? event.error.msg : "unknown fault"));
            break;
        default:
            break;
    }
}

void ComPortClient::fail(const std::string& why) {
    if (protocolError_.empty()) protocolError_ = why;
}

void ComPortClient::onComPortReply(const unsigned char* buffer, std::size_t size) {
    if (size < 2 || !requestSent_) return;
    const int command = buffer[0] - kServerOffset;
    if (command < kSetBaudRate || command > kSetControl) return;
    if (command == kSetBaudRate && size < 5) return;
    const auto index = static_cast<std::size_t>(command - kSetBaudRate);
    // Replies come in the order of the requests: while an earlier request's is due, this is it.
    int& due = answersDue_[index];
    if (due > 1) {
        --due;
        return;
    }
    due = 0;
    confirmed_[index] = command == kSetBaudRate
                            ? (std::uint32_t{buffer[1]} << 24) | (std::uint32_t{buffer[2]} << 16) |
                                  (std::uint32_t{buffer[3]} << 8) | std::uint32_t{buffer[4]}
                            : std::uint32_t{buffer[1]};
}

}  // namespace panel
