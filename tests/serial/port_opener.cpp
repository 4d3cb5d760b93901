// A second program for the port-help tests: opens DEVICE through the panel's serial adapter, as
// the user nobody when asked, and prints "opened", or "failed" and the failure's description, then
// "--" and what the port list would say of DEVICE. With --hold it keeps the device open until its
// standard input closes. Usage: port_opener [--as-nobody] [--hold] DEVICE
#include <grp.h>
#include <pwd.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QStringList>
#include <cstdio>

#include "serial/port_help.h"
#include "serial/qt_serial_port.h"

namespace {

bool becomeNobody() {
    const passwd* nobody = getpwnam("nobody");
    return nobody && setgroups(0, nullptr) == 0 && setgid(nobody->pw_gid) == 0 &&
           setuid(nobody->pw_uid) == 0;
}

// An open to its end: the failure given at once, or the one that follows from the event loop
// (a busy device's help is found on another thread).
panel::PortResult openToTheEnd(panel::QtSerialPort& port) {
    struct Heard final : panel::PortListener {
        panel::PortResult failure;
        void onComm(int) override {}
        void onPortFailure(const panel::PortError&) override {}
        void onOpenFailed(const panel::PortError& error) override { failure = error; }
    } heard;
    port.setListener(&heard);
    panel::PortResult result = port.setOpen(true);
    while (port.isOpening()) QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    port.setListener(nullptr);
    return result ? result : heard.failure;
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QStringList args = QCoreApplication::arguments().mid(1);
    const bool asNobody = args.removeAll(QStringLiteral("--as-nobody")) > 0;
    const bool hold = args.removeAll(QStringLiteral("--hold")) > 0;
    if (args.size() != 1) return 2;
    const QString device = args.first();
    if (asNobody && !becomeNobody()) {
        std::puts("cannot become nobody");
        return 2;
    }

    panel::QtSerialPort port(panel::PortDevices{device, device});
    const panel::PortResult failure = openToTheEnd(port);
    if (failure)
        std::printf("failed\n%s\n", failure->description.c_str());
    else
        std::puts("opened");
    std::printf("--\n%s", qPrintable(panel::portProblem(device)));
    std::fflush(stdout);
    if (hold && !failure) {
        char byte = 0;
        while (read(STDIN_FILENO, &byte, 1) > 0) {
        }
    }
    return failure ? 1 : 0;
}
