// The simulated projector: power sequencing, input, mutes, lamp and sensors, answering one frame at
// a time on a time that the caller passes in.
#pragma once

#include <array>
#include <string>
#include <string_view>
#include <vector>

#include "tools/projector-sim/sim_time.h"

namespace sim {

inline constexpr char kAck = 6;
inline constexpr char kCr = 13;
inline constexpr std::string_view kIdentification = "PROJECTOR-SIM V1.00";

enum class Power { Standby, Warming, On, Cooling };

struct ModelSettings {
    Micros warmup = std::chrono::seconds(3);
    Micros cooldown = std::chrono::seconds(3);
    bool noSignal = false;
    bool lampFault = false;  // no lamp strikes, and the status says so
    int lampHoursAtStart = 1234;
};

class ProjectorModel {
public:
    // `start` is the time of switching the simulator on: sensors and lamp count from it.
    ProjectorModel(const ModelSettings& settings, Micros start);

    // Applies the frame's command (the bytes before its CR) at `now` and returns the answer bytes:
    // ACK alone for a control command, the reading and CR for a query, "?" and CR otherwise.
    // Times passed in must not go backwards; an earlier time is taken as the latest one seen.
    std::string answer(std::string_view frame, Micros now);

    Power power(Micros now);
    int input() const { return input_; }
    bool videoMuted() const { return videoMute_; }
    bool audioMuted() const { return audioMute_; }
    int lampHours(Micros now);
    std::array<double, 3> temperatures(Micros now);
    int pressure(Micros now);

    static bool isControlCode(std::string_view frame);
    static std::vector<std::string_view> controlCodes();
    static bool isQueryCode(std::string_view frame);

private:
    void settle(Micros now);
    void enter(Power next, Micros at);
    void warm(Micros to);
    std::string query(std::string_view frame, Micros now);
    void control(std::string_view frame, Micros now);

    ModelSettings settings_;
    Micros start_;
    Micros latest_;

    Power power_ = Power::Standby;
    Micros phaseEnd_{0};  // end of the warm-up or cool-down under way

    int input_ = 1;
    bool videoMute_ = false;
    bool audioMute_ = false;

    Micros lampOnTotal_{0};  // powered-on time before the current On phase
    Micros onSince_{0};

    // How hot the lamp house is, 0 (ambient) to 1 (settled while lit), at heatAt_.
    double heat_ = 0.0;
    Micros heatAt_;
};

}  // namespace sim
