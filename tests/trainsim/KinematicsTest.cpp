#include "Random.h"
#include "SampleTrain.h"
#include "SimSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <iterator>

using namespace trainsim;
using simtest::kPlainSite;
using simtest::Simulated;
using simtest::SimulationError;

namespace {

int PassagesOf(const Simulation& sim, int axle, bool forward) {
    return int(std::count_if(sim.passages.begin(), sim.passages.end(),
                             [&](const Passage& p) { return p.axle == axle && p.forward == forward; }));
}

// Time the head first comes to rest after moving forward.
double RestTimeAfterStop(const Simulation& sim) {
    for (const Segment& s : sim.motion.segments)
        if (s.v0 > 0.0 && std::fabs(s.V(s.dur)) < 1e-9) return s.t0 + s.dur;
    return -1.0;
}

}  // namespace

TEST(TrainsimKinematics, EachWheelLeadingBothTrailingNone) {
    Simulation sim = Simulated(std::string(kPlainSite) + "car TTX 1 count=3\nspeed 10\n");
    ASSERT_EQ(sim.geometry.axleFt.size(), 12u);
    ASSERT_EQ(sim.io.size(), 4u * 12 + 2);
    EXPECT_EQ(sim.io.front().inputs, 0x0001);  // track circuit on, not a detector event
    EXPECT_EQ(sim.io.front().flags, 0);
    EXPECT_EQ(sim.io.back().inputs, 0);
    const uint16_t pattern[4] = {0x0201, 0x0301, 0x0101, 0x0001};
    for (size_t i = 1; i + 1 < sim.io.size(); ++i) {
        EXPECT_EQ(sim.io[i].inputs, pattern[(i - 1) % 4]) << i;
        EXPECT_EQ(sim.io[i].flags, 0x0100) << i;
        EXPECT_LE(sim.io[i - 1].raw, sim.io[i].raw);
    }
    ASSERT_EQ(sim.passages.size(), 12u);
    for (const Passage& p : sim.passages) {
        EXPECT_TRUE(p.forward);
        EXPECT_NEAR(p.mph, 10.0, 1e-9);
        // 0.5 ft at 10 mph take 34.09 ms.
        EXPECT_NEAR((p.tSecond - p.tFirst) * 1000.0, 34.0909, 1e-3);
        EXPECT_GE(p.rawSecond - p.rawFirst, 34u);
        EXPECT_LE(p.rawSecond - p.rawFirst, 35u);
    }
    ASSERT_EQ(sim.wheel.size(), 24u);
    EXPECT_EQ(sim.wheel[0].detector, 0);
    EXPECT_EQ(sim.wheel[1].detector, 1);
}

TEST(TrainsimKinematics, TravelFromBToAAndTimeScale) {
    Simulation sim = Simulated(std::string(kPlainSite) + "direction BA\ntime_scale 1 1\ncar TTX 1\nspeed 10\n");
    ASSERT_GE(sim.io.size(), 3u);
    EXPECT_EQ(sim.io[1].inputs, 0x0101);  // B leads
    EXPECT_EQ(sim.wheel[0].detector, 1);
    // Raw units of 0.1 ms: the recording starts at 1000 ms.
    EXPECT_NEAR(double(sim.io[0].raw), 10000.0, 1.0);
    EXPECT_NEAR(double(sim.passages[0].rawSecond - sim.passages[0].rawFirst), 340.9, 1.0);
}

TEST(TrainsimKinematics, StopAtAnAxleMark) {
    Simulation sim = Simulated(std::string(kPlainSite) +
                               "car TTX 1 count=2\nspeed 12\nstop at axle 5 +1.5\nwait 3 s\nramp 10 over 40 ft\n");
    const double rest = RestTimeAfterStop(sim);
    ASSERT_GT(rest, 0.0);
    EXPECT_NEAR(sim.motion.PositionAt(rest) - sim.geometry.axleFt[4], 1.5, 1e-9);
    EXPECT_NEAR(sim.motion.PositionAt(rest + 2.0), sim.motion.PositionAt(rest), 1e-12);
    EXPECT_EQ(sim.ForwardPassages(), 8);
    EXPECT_EQ(sim.BackwardPassages(), 0);
}

TEST(TrainsimKinematics, BackingOutTwoAxlesAndReturning) {
    Simulation sim = Simulated(std::string(kPlainSite) +
                               "car TTX 1 count=4\nspeed 10\nstop at axle 6 +1.0\nwait 5 s\nback 2 axles\n"
                               "wait 5 s\nramp 10 over 50 ft\n");
    // Axles 5 and 6 (the second car's leading truck) cross backwards, the
    // nearest first, and then forward again; no other axle moves back.
    ASSERT_EQ(sim.BackwardPassages(), 2);
    std::vector<int> back;
    for (const Passage& p : sim.passages)
        if (!p.forward) back.push_back(p.axle);
    EXPECT_EQ(back, (std::vector<int>{5, 4}));
    EXPECT_EQ(PassagesOf(sim, 4, true), 2);
    EXPECT_EQ(PassagesOf(sim, 5, true), 2);
    EXPECT_EQ(PassagesOf(sim, 3, true), 1);
    EXPECT_EQ(PassagesOf(sim, 6, true), 1);
    EXPECT_EQ(sim.ForwardPassages(), 18);
    // The net axle list keeps each axle once, in order, with its first passage.
    ASSERT_EQ(sim.net.size(), 16u);
    for (size_t i = 0; i < sim.net.size(); ++i) EXPECT_EQ(sim.net[i].axle, int(i));
    EXPECT_LT(sim.passages[size_t(sim.net[5].passage)].tEnd, sim.passages[size_t(sim.net[6].passage)].tFirst);
}

TEST(TrainsimKinematics, StopOverTheDetectors) {
    // Axle 3 stands 0.25 ft past the leading detector: on both zones.
    Simulation sim = Simulated(std::string(kPlainSite) +
                               "car TTX 1 count=2\nspeed 8\nstop at axle 3 +0.25\nwait 30 s\nramp 10 over 40 ft\n");
    bool longBoth = false;
    for (size_t i = 0; i + 1 < sim.io.size(); ++i)
        if (sim.io[i].inputs == 0x0301 && sim.io[i + 1].raw - sim.io[i].raw > 30000) longBoth = true;
    EXPECT_TRUE(longBoth);
    EXPECT_EQ(sim.ForwardPassages(), 8);
    EXPECT_EQ(sim.BackwardPassages(), 0);
    ASSERT_EQ(sim.net.size(), 8u);
}

TEST(TrainsimKinematics, StepOntoTheLeadingDetectorAndBackOff) {
    // Axle 3 rolls onto the leading detector only, backs off it and passes
    // later: the wheel makes no passage until then.
    Simulation sim = Simulated(std::string(kPlainSite) +
                               "car TTX 1 count=2\nspeed 8\nstop at axle 3 +0.0\nwait 2 s\nback 3 ft\nwait 2 s\n"
                               "ramp 10 over 40 ft\n");
    EXPECT_EQ(sim.ForwardPassages(), 8);
    EXPECT_EQ(sim.BackwardPassages(), 0);
    EXPECT_EQ(PassagesOf(sim, 2, true), 1);
    int aEvents = 0;
    for (const WheelEvent& w : sim.wheel) aEvents += w.detector == 0;
    EXPECT_EQ(aEvents, 9);  // one more activation of A than wheels
}

TEST(TrainsimKinematics, MissedDetectorEvents) {
    Simulation one = Simulated(std::string(kPlainSite) + "miss 3 B\ncar TTX 1 count=2\nspeed 10\n");
    EXPECT_EQ(PassagesOf(one, 2, true), 0);
    EXPECT_EQ(one.ForwardPassages(), 7);
    EXPECT_EQ(one.wheel.size(), 15u);
    EXPECT_EQ(one.net.size(), 7u);

    Simulation all = Simulated(std::string(kPlainSite) + "missed_events 1\ncar TTX 1 count=2\nspeed 10\n");
    EXPECT_TRUE(all.passages.empty());
    EXPECT_EQ(all.io.size(), 2u);  // the track circuit only

    Simulation some = Simulated(std::string(kPlainSite) + "missed_events 0.1\nseed 7\ncar TTX 1 count=20\nspeed 10\n");
    EXPECT_GT(some.ForwardPassages(), 40);
    EXPECT_LT(some.ForwardPassages(), 80);
    Simulation again = Simulated(std::string(kPlainSite) + "missed_events 0.1\nseed 7\ncar TTX 1 count=20\nspeed 10\n");
    EXPECT_EQ(again.ForwardPassages(), some.ForwardPassages());
}

TEST(TrainsimKinematics, DeterministicForASeed) {
    Simulation a = Simulated(SampleDescription());
    Simulation b = Simulated(SampleDescription());
    ASSERT_EQ(a.io.size(), b.io.size());
    for (size_t i = 0; i < a.io.size(); ++i) {
        EXPECT_EQ(a.io[i].raw, b.io[i].raw);
        EXPECT_EQ(a.io[i].inputs, b.io[i].inputs);
    }
    const std::string jittery = std::string(kPlainSite) + "edge_jitter 0.2\ncar TTX 1 count=3\nspeed 20\n";
    Simulation c = Simulated("seed 1\n" + jittery), d = Simulated("seed 2\n" + jittery);
    bool differs = false;
    for (size_t i = 0; i < c.io.size() && i < d.io.size(); ++i) differs = differs || c.io[i].raw != d.io[i].raw;
    EXPECT_TRUE(differs);
}

TEST(TrainsimKinematics, UnrecordableTrainsAreRefused) {
    const std::string site = kPlainSite;
    EXPECT_NE(SimulationError(site + "car TTX 1 spacing=1.0\n").find("ft apart"), std::string::npos);
    EXPECT_NE(SimulationError(site + "car TTX 1 length=10\n").find("outside the vehicle"), std::string::npos);
    EXPECT_NE(SimulationError(site + "car TTX 1 axles=5\n").find("do not share out"), std::string::npos);
    EXPECT_NE(SimulationError(site + "car TTX 1\nstop over 100 ft\n").find("leaves the train standing"),
              std::string::npos);
    EXPECT_NE(SimulationError(site + "car TTX 1\nstop at axle 2 +1\nback 3 axles\nramp 5 over 10 ft\n")
                  .find("only 2 axles have crossed"),
              std::string::npos);
    EXPECT_NE(SimulationError(site + "car TTX 1\nstop over 50 ft\ncruise 10 ft\n").find("cruise needs"),
              std::string::npos);
    EXPECT_NE(SimulationError(site + "car TTX 1\nstop at axle 9\n").find("only 4 axles"), std::string::npos);
    EXPECT_NE(SimulationError(site + "car TTX 1\ncruise to axle 2\nstop at axle 1 -5\n").find("already passed"),
              std::string::npos);
    EXPECT_NE(SimulationError(site + "car TTX 1\nspeed 10\nwait 5 s\n").find("standing train"), std::string::npos);
    EXPECT_NE(SimulationError(site + "hbd_alarm 9 1\ncar TTX 1\n").find("only 4 axles"), std::string::npos);
}

TEST(TrainsimKinematics, ScrambledDescriptionsAreRefusedOrRun) {
    // Statements of the format filled with awkward values, and now and then
    // a line of loose words: each description is refused with a message or
    // simulated, never more.
    static const char* const kTemplates[] = {
        "speed %s", "cruise %s ft", "cruise to axle %s %s", "ramp %s over %s ft", "ramp %s to axle %s %s",
        "stop over %s ft", "stop at axle %s %s", "wait %s", "back %s axles at %s", "back %s ft",
        "detector_zone %s", "edge_jitter %s", "miss %s B", "missed_events %s", "hbd_alarm %s 2 C %s",
        "direction BA", "time_scale 1 %s", "ab_spacing %s", "car TTX 5 axles=%s length=%s",
        "artic TTX 9 platforms=%s centers=%s", "eot EOT %s", "readers %s", "antennas %s"};
    static const char* const kValues[] = {"0", "1", "2", "3", "5", "8", "-1", "-0.5", "0.25", "+1.0", "0.001",
                                          "12", "40", "127", "300", "65535", "1e9", "99999999999", "nan", "x"};
    static const char* const kWords[] = {"car", "stop", "back", "axle", "over", "to", "ft", "=", "TTX", "7"};
    Random rng(2024);
    auto value = [&] { return kValues[rng.Integer(0, int(std::size(kValues)) - 1)]; };
    int simulated = 0, refused = 0;
    for (int round = 0; round < 1500; ++round) {
        std::string text = "hbd yes\nscale yes\ncar TTX 1 count=3\nloco UP 2 flip\n";
        const int lines = rng.Integer(1, 6);
        for (int l = 0; l < lines; ++l) {
            char line[256];
            if (rng.Chance(0.2)) {
                line[0] = '\0';
                for (int w = rng.Integer(1, 5); w > 0; --w) {
                    std::strcat(line, kWords[rng.Integer(0, int(std::size(kWords)) - 1)]);
                    std::strcat(line, " ");
                }
            } else {
                const char* t = kTemplates[rng.Integer(0, int(std::size(kTemplates)) - 1)];
                std::snprintf(line, sizeof line, t, value(), value(), value());
            }
            text += std::string(line) + "\n";
        }
        TrainDescription d;
        std::string error;
        Simulation sim;
        if (ParseDescription(text, d, error) && Simulate(d, sim, error)) {
            ++simulated;
            EXPECT_LE(sim.net.size(), sim.geometry.axleFt.size()) << text;
            EXPECT_LE(sim.io.size(), 65535u) << text;
        } else {
            ++refused;
            EXPECT_FALSE(error.empty()) << text;
        }
    }
    EXPECT_GT(simulated, 30);
    EXPECT_GT(refused, 20);
}
