// The world the web page's browser test needs, started and stopped by that test: three
// simulators on pseudo-terminals, the first two behind one ser2net. Prints where they are as one
// JSON line, then takes one command a line on standard input and answers each with one line:
//   stop I           the simulator I is killed ("ok")
//   count I FRAME    how often simulator I received FRAME (a number)
// The end of standard input stops everything.
#include <QCoreApplication>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <iostream>
#include <sstream>
#include <string>

#include "testkit/ser2net_process.h"
#include "tests/fleet/sim_bank.h"

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    panel::test::SimBank sims{3, {"--warmup", "60", "--cooldown", "60"}};
    if (!sims.ok()) {
        std::cerr << "web-world: the simulators did not start\n";
        return 1;
    }
    panel::test::Ser2NetProcess server(std::vector<QString>{sims.link(0), sims.link(1)});
    if (!server.ok()) {
        std::cerr << "web-world: ser2net did not start\n" << server.log() << '\n';
        return 1;
    }
    const QJsonObject where{
        {"rfc2217", server.rfc2217Url(0)},
        {"socket", server.socketUrl(1)},
        {"pty", sims.link(2)},
    };
    std::cout << QJsonDocument(where).toJson(QJsonDocument::Compact).toStdString() << std::endl;
    std::string line;
    while (std::getline(std::cin, line)) {
        std::istringstream words(line);
        std::string command;
        int sim = -1;
        words >> command >> sim;
        if (sim < 0 || sim >= sims.size()) {
            std::cout << "error: no simulator " << sim << std::endl;
        } else if (command == "stop") {
            sims.stop(sim);
            std::cout << "ok" << std::endl;
        } else if (command == "count") {
            std::string frame;
            std::getline(words >> std::ws, frame);
            std::cout << sims.log(sim).count(frame) << std::endl;
        } else {
            std::cout << "error: no command " << command << std::endl;
        }
    }
    return 0;
}
