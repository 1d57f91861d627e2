// Small deterministic random source for the simulator: the same seed gives
// the same train on every machine and compiler (the standard library's
// distributions are not fixed across implementations, so none is used).
#pragma once

#include <cstdint>

namespace trainsim {

class Random {
public:
    explicit Random(uint64_t seed) : m_state(seed) {}

    // splitmix64
    uint64_t Next() {
        uint64_t z = (m_state += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }
    // Uniform in [0, 1).
    double Uniform() { return double(Next() >> 11) * (1.0 / 9007199254740992.0); }
    // Uniform in [lo, hi).
    double Uniform(double lo, double hi) { return lo + (hi - lo) * Uniform(); }
    // Uniform integer in [lo, hi].
    int Integer(int lo, int hi) {
        if (hi <= lo) return lo;
        return lo + int(Next() % uint64_t(hi - lo + 1));
    }
    // True with probability p.
    bool Chance(double p) { return p > 0.0 && Uniform() < p; }

private:
    uint64_t m_state;
};

}  // namespace trainsim
