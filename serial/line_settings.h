// Serial line settings written as "speed,parity,data bits,stop bits", e.g. "19200,N,8,1".
#pragma once

#include <QSerialPort>
#include <string_view>

#include "core/serial_port.h"

namespace panel {

struct LineSettings {
    qint32 baudRate = 9600;
    QSerialPort::Parity parity = QSerialPort::NoParity;
    QSerialPort::DataBits dataBits = QSerialPort::Data8;
    QSerialPort::StopBits stopBits = QSerialPort::OneStop;

    bool operator==(const LineSettings&) const = default;
};

// Accepts a positive speed, a parity letter (N, E, O, M, S; either case), 5 to 8 data bits and
// 1, 1.5 or 2 stop bits, with nothing else around them. On success fills `settings`; otherwise
// leaves it alone and says what is wrong.
PortResult parseLineSettings(std::string_view text, LineSettings& settings);

}  // namespace panel
