// The soak's random numbers: a seed gives the same draws on every machine and standard library.
#pragma once

#include <cstdint>

namespace panel::soak {

// SplitMix64, drawn by hand: <random>'s distributions differ between standard libraries.
class SoakRandom {
public:
    explicit SoakRandom(std::uint64_t seed) : state_(seed) {}

    std::uint64_t next() {
        std::uint64_t z = (state_ += 0x9e3779b97f4a7c15ull);
        z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ull;
        z = (z ^ (z >> 27)) * 0x94d049bb133111ebull;
        return z ^ (z >> 31);
    }
    // 0 to n - 1; n > 0.
    int below(int n) { return static_cast<int>(next() % static_cast<std::uint64_t>(n)); }
    // lo to hi, both included.
    int between(int lo, int hi) { return lo + below(hi - lo + 1); }
    // [0, 1)
    double unit() { return static_cast<double>(next() >> 11) * 0x1.0p-53; }
    bool chance(double p) { return unit() < p; }

private:
    std::uint64_t state_;
};

}  // namespace panel::soak
