#include "serial/qt_serial_port.h"

#include <QFutureWatcher>
#include <QMetaObject>
#include <QtConcurrent/QtConcurrentRun>
#include <cerrno>

#include "serial/port_checks.h"
#include "serial/port_help.h"

namespace panel {

namespace {

bool isFatal(QSerialPort::SerialPortError error) {
    return error == QSerialPort::ResourceError || error == QSerialPort::ReadError ||
           error == QSerialPort::WriteError;
}

bool isReadSide(QSerialPort::SerialPortError error) {
    return error == QSerialPort::ResourceError || error == QSerialPort::ReadError;
}

bool isMeaningless(const QString& text) {
    const QString trimmed = text.trimmed();
    return trimmed.isEmpty() || trimmed == QLatin1String("Unknown error") ||
           trimmed == QLatin1String("Success") || trimmed == QLatin1String("No error");
}

// After a hang-up the read returns nothing and Qt describes whatever errno an earlier call left
// behind ("Inappropriate ioctl for device"); keep Qt's text only when it says the device is gone.
bool saysDeviceGone(const QString& text) {
    for (int code : {EIO, ENXIO, ENODEV})
        if (text == qt_error_string(code)) return true;
    return false;
}

std::string fallbackText(QSerialPort::SerialPortError error) {
    switch (error) {
        case QSerialPort::ResourceError:
        case QSerialPort::ReadError:
            return "The device was disconnected";
        case QSerialPort::WriteError:
            return "Writing to the device failed";
        default:
            return "The serial port failed";
    }
}

}  // namespace

QtSerialPort::QtSerialPort(PortDevices devices, QObject* parent)
    : QObject(parent), devices_(std::move(devices)) {
    connect(&device_, &QSerialPort::readyRead, this, &QtSerialPort::onReadyRead);
    connect(&device_, &QSerialPort::errorOccurred, this, &QtSerialPort::onErrorOccurred);
}

QtSerialPort::~QtSerialPort() {
    // The device is destroyed after this body; its last signals must not reach a half-gone object.
    device_.disconnect(this);
    if (device_.isOpen()) device_.close();
}

QString QtSerialPort::devicePath() const {
    return commPort_ == 2 ? devices_.com2 : devices_.com1;
}

std::string QtSerialPort::deviceName() const {
    return devicePath().toStdString();
}

PortResult QtSerialPort::setCommPort(int port) {
    if (PortResult refused = CheckCommPort(port, device_.isOpen() || opening_)) return refused;
    commPort_ = port;
    return std::nullopt;
}

PortResult QtSerialPort::setSettings(std::string_view settings) {
    LineSettings parsed = settings_;
    if (auto error = parseLineSettings(settings, parsed)) return error;
    settings_ = parsed;
    // Closed: QSerialPort keeps the values and applies them when it opens. Open: applied at once,
    // without closing, so a speed change does not drop the line.
    return applySettings();
}

PortResult QtSerialPort::applySettings() {
    Busy busy(spans_);
    const bool applied =
        device_.setBaudRate(settings_.baudRate) && device_.setParity(settings_.parity) &&
        device_.setDataBits(settings_.dataBits) && device_.setStopBits(settings_.stopBits) &&
        device_.setFlowControl(QSerialPort::NoFlowControl);
    if (!applied) return lastError("The serial settings could not be applied");
    return std::nullopt;
}

PortResult QtSerialPort::setOpen(bool open) {
    if (!open) {
        ++attempt_;  // an explanation still being found is dropped
        opening_ = false;
    }
    if (open == device_.isOpen() || (open && opening_)) return std::nullopt;
    Busy busy(spans_);
    if (!open) {
        device_.close();
        return std::nullopt;
    }
    device_.setPortName(devicePath());
    if (auto error = applySettings()) return error;
    if (!device_.open(QIODevice::ReadWrite)) {
        PortError error = lastError("The port could not be opened");
        const QString qtText = QString::fromStdString(error.description);
        if (helpLooksForHolders(qtText)) {
            explainLater(qtText, device_.error());
            return std::nullopt;
        }
        // Qt's text alone rarely tells the operator what to do about it.
        error.description =
            describeOpenFailure(devicePath(), device_.error(), qtText).toStdString();
        return error;
    }
    device_.clearError();
    ++openCount_;
    return std::nullopt;
}

void QtSerialPort::explainLater(const QString& description, QSerialPort::SerialPortError code) {
    opening_ = true;
    auto* watcher = new QFutureWatcher<QString>(this);
    connect(watcher, &QFutureWatcherBase::finished, this, [this, watcher, attempt = ++attempt_] {
        watcher->deleteLater();
        if (attempt != attempt_ || !opening_) return;  // closed meanwhile
        opening_ = false;
        if (listener_) listener_->onOpenFailed({watcher->result().toStdString()});
    });
    watcher->setFuture(QtConcurrent::run(describeOpenFailure, devicePath(), code, description));
}

PortResult QtSerialPort::output(std::string_view bytes) {
    // A closed QSerialPort refuses the write silently, so the state is checked here.
    if (!device_.isOpen()) return PortNotOpen();
    if (bytes.empty()) return std::nullopt;
    Busy busy(spans_);
    device_.clearError();  // so that a failure below is not confused with an older one
    // QSerialPort keeps what the line does not take at once (a long typed command can be
    // megabytes, a slow line fills) and writes it in pieces from the event loop whenever the line
    // can take more, so the window keeps answering and later frames follow in order.
    const bool queued = device_.bytesToWrite() > 0;
    const qint64 size = static_cast<qint64>(bytes.size());
    bool written = device_.write(bytes.data(), size) == size;
    // flush() hands the frame to the driver now instead of on the next event-loop pass. Behind a
    // queue it would try the full line again, and a full line is no failure.
    if (written && !queued && !device_.flush()) written = lineIsFull();
    if (!written) {
        PortError error = lastError("Writing to the device failed");
        if (isFatal(device_.error())) closeAfterFailure();
        return error;
    }
    device_.clearError();
    return std::nullopt;
}

bool QtSerialPort::lineIsFull() const {
    // Qt reports the driver's EAGAIN as a resource error, the same kind as a vanished device.
    const QSerialPort::SerialPortError error = device_.error();
    return (error == QSerialPort::ResourceError || error == QSerialPort::WriteError) &&
           device_.errorString() == qt_error_string(EAGAIN);
}

PortResult QtSerialPort::input(std::string& bytes) {
    bytes.clear();
    if (!device_.isOpen()) return PortNotOpen();
    // Only the buffer QSerialPort already filled is taken: no system call, nothing to fail.
    const QByteArray waiting = device_.readAll();
    bytes.assign(waiting.constData(), static_cast<std::size_t>(waiting.size()));
    return std::nullopt;
}

PortError QtSerialPort::lastError(std::string_view fallback) const {
    const QSerialPort::SerialPortError code = device_.error();
    const QString text = device_.errorString();
    if (code == QSerialPort::NoError) return {std::string(fallback)};
    if (isMeaningless(text) || (isReadSide(code) && !saysDeviceGone(text)))
        return {fallbackText(code)};
    return {text.toStdString()};
}

void QtSerialPort::closeAfterFailure() {
    // Left open, the notifier keeps firing on the dead descriptor and spins a core.
    device_.close();
}

void QtSerialPort::onReadyRead() {
    raiseComm(kCommEventReceived);
}

void QtSerialPort::onErrorOccurred(QSerialPort::SerialPortError error) {
    if (error == QSerialPort::NoError || spans_.busy())
        return;  // an operation returns its own errors
    if (!isFatal(error)) {
        raiseComm(kCommEventOther);
        return;
    }
    if (!device_.isOpen()) return;  // already handled: report the first error only
    PortError failure = lastError("The serial port failed");
    closeAfterFailure();
    const std::uint64_t failedOpen = openCount_;
    // Delivered from the event loop, so the listener never runs inside QSerialPort's own handler.
    QMetaObject::invokeMethod(
        this,
        [this, failure = std::move(failure), failedOpen] {
            if (listener_ && openCount_ == failedOpen && !device_.isOpen())
                listener_->onPortFailure(failure);
        },
        Qt::QueuedConnection);
}

void QtSerialPort::raiseComm(int kind) {
    const auto deliver = [this, kind] {
        if (!listener_ || !device_.isOpen()) return;
        if (kind == kCommEventReceived && device_.bytesAvailable() == 0) return;
        listener_->onComm(kind);
    };
    spans_.tell(this, deliver);
}

}  // namespace panel
