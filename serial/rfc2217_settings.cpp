#include "serial/rfc2217_settings.h"

#include <chrono>
#include <cstdint>
#include <utility>

namespace panel {
namespace {

using namespace std::chrono_literals;

// How long the device server has to confirm each change of the line settings.
constexpr auto kConfirmTimeout = 1s;

}  // namespace

Rfc2217Settings::Rfc2217Settings(std::function<void()> timedOut) {
    confirmTimer_.setSingleShot(true);
    confirmTimer_.setTimerType(Qt::PreciseTimer);  // a coarse one may fire 5% early
    confirmTimer_.setInterval(kConfirmTimeout);
    QObject::connect(&confirmTimer_, &QTimer::timeout, &confirmTimer_, std::move(timedOut));
}

ComPortSettings Rfc2217Settings::toComPort(const LineSettings& line) {
    ComPortSettings s;
    s.baud = static_cast<std::uint32_t>(line.baudRate);
    s.dataSize = static_cast<std::uint8_t>(line.dataBits);
    switch (line.parity) {
        case QSerialPort::OddParity:
            s.parity = 2;
            break;
        case QSerialPort::EvenParity:
            s.parity = 3;
            break;
        case QSerialPort::MarkParity:
            s.parity = 4;
            break;
        case QSerialPort::SpaceParity:
            s.parity = 5;
            break;
        default:
            s.parity = 1;
            break;
    }
    switch (line.stopBits) {
        case QSerialPort::TwoStop:
            s.stopSize = 2;
            break;
        case QSerialPort::OneAndHalfStop:
            s.stopSize = 3;
            break;
        default:
            s.stopSize = 1;
            break;
    }
    s.control = 1;
    return s;
}

void Rfc2217Settings::request(ComPortClient& client, const LineSettings& line) {
    client.requestSettings(toComPort(line));
    confirmTimer_.start();  // each request has the full second
}

Rfc2217Settings::Next Rfc2217Settings::take(ComPortClient& client, std::string& why) {
    const ComPortClient::Answer answer = client.answer(why);
    if (answer == ComPortClient::Answer::Waiting) return Next::Wait;
    if (std::exchange(newerSettings_, false)) return Next::Resend;
    confirming_ = false;
    confirmTimer_.stop();
    return answer == ComPortClient::Answer::Confirmed ? Next::Confirmed : Next::Refused;
}

void Rfc2217Settings::reset() {
    confirmTimer_.stop();
    confirming_ = false;
    newerSettings_ = false;
}

}  // namespace panel
