#include "tools/projector-sim/projector_model.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <numbers>

#include "core/catalogue.h"

namespace sim {
namespace {

enum class Effect {
    None,
    PowerOn,
    PowerOff,
    Input1,
    Input2,
    Input3,
    Input4,
    VideoMuteOn,
    VideoMuteOff,
    AudioMuteOn,
    AudioMuteOff
};

struct EffectRow {
    std::string_view code;
    Effect effect;
};

// The control commands that change the projector's state. Every other control command of the
// panel's catalogue (core/catalogue.cpp) is acknowledged and changes nothing.
constexpr EffectRow kEffects[] = {
    {"C00", Effect::PowerOn},     {"C01", Effect::PowerOff},     {"C05", Effect::Input1},
    {"C06", Effect::Input2},      {"C07", Effect::Input3},       {"C04", Effect::Input4},
    {"C08", Effect::Input4},      {"C0B", Effect::AudioMuteOn},  {"C0C", Effect::AudioMuteOff},
    {"C0D", Effect::VideoMuteOn}, {"C0E", Effect::VideoMuteOff},
};

constexpr std::string_view kQueries[] = {"CR0", "CR1", "CR3", "CR4",        "CR6",
                                         "CR7", "CR9", "CRA", "CR PRESSURE"};

Effect effectOf(std::string_view frame) {
    for (const auto& row : kEffects) {
        if (row.code == frame) return row.effect;
    }
    return Effect::None;
}

// Lamp-house heating follows a first-order lag: slow enough to watch, quick enough to see move
// within a demo.
constexpr double kHeatTimeConstantSeconds = 90.0;

constexpr double kAmbient = 24.0;
constexpr std::array<double, 3> kRise{14.0, 31.0, 9.0};
constexpr std::array<double, 3> kWobblePeriodSeconds{41.0, 29.0, 53.0};
constexpr double kWobble = 0.3;

constexpr int kPressureCentre = 512;
constexpr double kPressureSwing = 3.0;
constexpr double kPressurePeriodSeconds = 61.0;

constexpr int kMaxLampHours = 99999;

double seconds(Micros t) {
    return std::chrono::duration<double>(t).count();
}

std::string withCr(std::string_view text) {
    std::string reply(text);
    reply += kCr;
    return reply;
}

}  // namespace

ProjectorModel::ProjectorModel(const ModelSettings& settings, Micros start)
    : settings_(settings), start_(start), latest_(start), heatAt_(start) {}

bool ProjectorModel::isControlCode(std::string_view frame) {
    static const std::vector<std::string_view> codes = controlCodes();
    return std::find(codes.begin(), codes.end(), frame) != codes.end();
}

std::vector<std::string_view> ProjectorModel::controlCodes() {
    std::vector<std::string_view> codes;
    for (const auto& row : panel::OneShotCatalogue())
        if (!isQueryCode(row.code)) codes.push_back(row.code);
    for (const auto& row : panel::HoldCatalogue()) codes.push_back(row.code);
    return codes;
}

bool ProjectorModel::isQueryCode(std::string_view frame) {
    return std::find(std::begin(kQueries), std::end(kQueries), frame) != std::end(kQueries);
}

void ProjectorModel::warm(Micros to) {
    if (to <= heatAt_) return;
    const bool lit = power_ == Power::Warming || power_ == Power::On;
    const double target = lit ? 1.0 : 0.0;
    heat_ = target + (heat_ - target) * std::exp(-seconds(to - heatAt_) / kHeatTimeConstantSeconds);
    heatAt_ = to;
}

void ProjectorModel::enter(Power next, Micros at) {
    warm(at);
    if (power_ == Power::On) lampOnTotal_ += at - onSince_;
    if (next == Power::On) onSince_ = at;
    if (next == Power::Cooling) {
        // A power cycle clears the mutes, as the picture and sound paths restart from scratch.
        videoMute_ = false;
        audioMute_ = false;
    }
    if (next == Power::Warming) phaseEnd_ = at + settings_.warmup;
    if (next == Power::Cooling) phaseEnd_ = at + settings_.cooldown;
    power_ = next;
}

void ProjectorModel::settle(Micros now) {
    latest_ = std::max(latest_, now);
    if (power_ == Power::Warming && phaseEnd_ <= latest_) enter(Power::On, phaseEnd_);
    if (power_ == Power::Cooling && phaseEnd_ <= latest_) enter(Power::Standby, phaseEnd_);
    warm(latest_);
}

Power ProjectorModel::power(Micros now) {
    settle(now);
    return power_;
}

int ProjectorModel::lampHours(Micros now) {
    settle(now);
    Micros lit = lampOnTotal_;
    if (power_ == Power::On) lit += latest_ - onSince_;
    const auto hours = std::chrono::duration_cast<std::chrono::hours>(lit).count();
    return static_cast<int>(std::min<long long>(settings_.lampHoursAtStart + hours, kMaxLampHours));
}

std::array<double, 3> ProjectorModel::temperatures(Micros now) {
    settle(now);
    const double t = seconds(latest_ - start_);
    std::array<double, 3> readings{};
    for (std::size_t i = 0; i < readings.size(); ++i) {
        const double wobble =
            kWobble * std::sin(2.0 * std::numbers::pi * t / kWobblePeriodSeconds[i] + double(i));
        // Kept under 100 so that every reading has a leading zero: the panel drops the first digit
        // of the second reading.
        readings[i] = std::clamp(kAmbient + kRise[i] * heat_ + wobble, 0.0, 99.9);
    }
    return readings;
}

int ProjectorModel::pressure(Micros now) {
    settle(now);
    const double t = seconds(latest_ - start_);
    return kPressureCentre +
           static_cast<int>(std::lround(
               kPressureSwing * std::sin(2.0 * std::numbers::pi * t / kPressurePeriodSeconds)));
}

void ProjectorModel::control(std::string_view frame, Micros now) {
    settle(now);
    switch (effectOf(frame)) {
        case Effect::PowerOn:
            // Ignored while cooling down: the lamp must cool before it may strike again.
            if (power_ == Power::Standby && !settings_.lampFault) enter(Power::Warming, latest_);
            break;
        case Effect::PowerOff:
            if (power_ == Power::Warming || power_ == Power::On) enter(Power::Cooling, latest_);
            break;
        case Effect::Input1:
            input_ = 1;
            break;
        case Effect::Input2:
            input_ = 2;
            break;
        case Effect::Input3:
            input_ = 3;
            break;
        case Effect::Input4:
            input_ = 4;
            break;
        case Effect::VideoMuteOn:
            videoMute_ = true;
            break;
        case Effect::VideoMuteOff:
            videoMute_ = false;
            break;
        case Effect::AudioMuteOn:
            audioMute_ = true;
            break;
        case Effect::AudioMuteOff:
            audioMute_ = false;
            break;
        case Effect::None:
            break;
    }
    // Settle again: a zero warm-up or cool-down ends at once.
    settle(latest_);
}

std::string ProjectorModel::query(std::string_view frame, Micros now) {
    settle(now);
    char text[48];
    if (frame == "CR0") {
        if (settings_.lampFault && power_ == Power::Standby) return withCr("81");
        if (settings_.lampFault && power_ == Power::Cooling) return withCr("21");
        switch (power_) {
            case Power::Standby:
                return withCr("80");
            case Power::Warming:
                return withCr("40");
            case Power::On:
                return withCr("00");
            case Power::Cooling:
                return withCr("20");
        }
    }
    if (frame == "CR1") return withCr(std::to_string(input_));
    if (frame == "CR3") {
        std::snprintf(text, sizeof text, "%05d", lampHours(now));
        return withCr(text);
    }
    if (frame == "CR4") return withCr("11");
    if (frame == "CR6") {
        const auto t = temperatures(now);
        std::snprintf(text, sizeof text, "%05.1f %05.1f %05.1f", t[0], t[1], t[2]);
        return withCr(text);
    }
    if (frame == "CR7") return withCr(power_ == Power::On ? "01" : "00");
    if (frame == "CR9") return withCr(kIdentification);
    if (frame == "CRA") {
        if (power_ != Power::On) return withCr("FF");
        if (settings_.noSignal) return withCr("80");
        const int bits = (videoMute_ ? 1 : 0) | (audioMute_ ? 2 : 0);
        return withCr("0" + std::to_string(bits));
    }
    // "CR PRESSURE", the one query left
    return withCr(std::to_string(pressure(now)));
}

std::string ProjectorModel::answer(std::string_view frame, Micros now) {
    if (isQueryCode(frame)) return query(frame, now);
    settle(now);
    if (isControlCode(frame)) {
        control(frame, now);
        return std::string(1, kAck);
    }
    return withCr("?");
}

}  // namespace sim
