#include "SampleTrain.h"
#include "SimSupport.h"

#include <gtest/gtest.h>

using namespace trainsim;

namespace {

std::string ParseError(const std::string& text) {
    TrainDescription d;
    std::string error;
    EXPECT_FALSE(ParseDescription(text, d, error)) << text;
    return error;
}

}  // namespace

TEST(TrainsimDescription, SampleTrain) {
    TrainDescription d = simtest::Describe(SampleDescription());
    EXPECT_EQ(d.trainId, "MIXED FREIGHT 4711");
    EXPECT_EQ(d.seed, 4711u);
    EXPECT_EQ(d.start.year, 2025);
    EXPECT_EQ(d.start.minute, 30);
    EXPECT_EQ(d.site.abTenths, 60);
    EXPECT_EQ(d.site.HeaderAb(), 54);  // ab_error 10: the headers are 10% short
    ASSERT_EQ(d.site.alarms.size(), 1u);
    EXPECT_EQ(d.site.alarms[0].axle, 27);
    EXPECT_EQ(d.site.alarms[0].side, 2);
    ASSERT_EQ(d.vehicles.size(), 20u);
    // count= repeats a vehicle with rising numbers.
    EXPECT_EQ(d.vehicles[2].number, 912345u);
    EXPECT_EQ(d.vehicles[4].number, 912347u);
    EXPECT_EQ(d.vehicles[4].lengthFt, 89.0);
    EXPECT_TRUE(d.vehicles[1].flipped);
    EXPECT_EQ(d.vehicles[0].egc, 5);
    EXPECT_EQ(d.vehicles[13].kind, VehicleKind::Articulated);
    EXPECT_EQ(d.vehicles[13].axles, 12);
    EXPECT_TRUE(d.vehicles[17].extendedTag);
    EXPECT_EQ(d.vehicles[17].tagFlags, 0x0002);  // L
    EXPECT_EQ(d.vehicles[19].kind, VehicleKind::EndOfTrain);
    EXPECT_EQ(d.vehicles[19].axles, 0);
    EXPECT_FALSE(d.vehicles[4].sideTwoTag);  // the flatcar that stops has one tag
    EXPECT_TRUE(d.vehicles[3].sideTwoTag);
    ASSERT_EQ(d.site.hbdExtra.size(), 1u);
    EXPECT_EQ(d.site.hbdExtra[0].axle, 60);
    EXPECT_EQ(d.site.alarms.size(), 1u);
    EXPECT_EQ(d.arrivalMph, 22.0);
    ASSERT_EQ(d.profile.size(), 7u);
    EXPECT_EQ(d.profile[1].kind, StepKind::Stop);
    EXPECT_TRUE(d.profile[1].mark.isAxle);
    EXPECT_EQ(d.profile[1].mark.axle, 22);
    EXPECT_EQ(d.profile[1].mark.feet, 1.0);
    EXPECT_EQ(d.profile[3].kind, StepKind::Back);
    EXPECT_EQ(d.profile[3].backAxles, 2);
    EXPECT_EQ(d.profile[3].mph, 2.0);
    EXPECT_EQ(d.profile[5].mark.axle, 25);
    EXPECT_EQ(d.profile[6].mark.feet, 300.0);
}

TEST(TrainsimDescription, UnitsKeysAndDefaults) {
    TrainDescription d = simtest::Describe(
        "TIME_SCALE 1 1\nmask_a 0x0400\nmask_b 0x0800\ndirection ba\nheader_ab_spacing 66\n"
        "artic TTX 1 platforms=3\ncar ABCD 1048575 axles_at=5,10.6,40,45.6 length=50ft weight=30t\n"
        "cruise 300ft\nramp 0.5mph over 10 ft\nwait 2.5s\nback 4 ft\ncruise to axle 3 -2.5 ft\n");
    EXPECT_EQ(d.site.scaleExponent, 1);
    EXPECT_EQ(d.site.maskA, 0x0400);
    EXPECT_FALSE(d.site.travelAtoB);
    EXPECT_EQ(d.site.HeaderAb(), 66);
    EXPECT_EQ(d.vehicles[0].axles, 8);
    EXPECT_EQ(d.vehicles[0].lengthFt, 3 * 64.0 + 12.0);
    EXPECT_EQ(d.vehicles[1].axles, 4);
    EXPECT_EQ(d.vehicles[1].weightTons, 30.0);
    ASSERT_EQ(d.profile.size(), 5u);
    EXPECT_EQ(d.profile[0].mark.feet, 300.0);
    EXPECT_EQ(d.profile[2].seconds, 2.5);
    EXPECT_EQ(d.profile[3].backFeet, 4.0);
    EXPECT_EQ(d.profile[4].mark.axle, 3);
    EXPECT_EQ(d.profile[4].mark.feet, -2.5);
}

TEST(TrainsimDescription, ErrorsNameTheLine) {
    const struct {
        const char* text;
        const char* message;
    } cases[] = {
        {"car TTX 1\nfoo 3\n", "line 2: unknown keyword 'foo'"},
        {"car ttx 1\n", "line 1: vehicle: owner initials"},
        {"car TTX 1048576\n", "line 1: vehicle: car number"},
        {"car TTX 1 axles=1\n", "axles 2-32"},
        {"car TTX 1048575 count=2\n", "numbers beyond"},
        {"car TTX 1 tag_flags=X\n", "tag_flags"},
        {"loco UP 1 tag=extended\n", "needs a railcar tag"},
        {"car TTX 1 length\n", "key=value expected"},
        {"ab_error 10\nheader_ab_spacing 50\ncar TTX 1\n", "use one"},
        {"start 2025-02-30 10:00:00\ncar TTX 1\n", "line 1: 'start': no such date"},
        {"car TTX 1\nramp 10\n", "line 2: 'ramp'"},
        {"car TTX 1\ncruise 10 ft\nspeed 20\n", "line 3: 'speed'"},
        {"car TTX 1\nback 2 cars\n", "line 2: 'back'"},
        {"car TTX 1\nstop at axle\n", "line 2: 'stop'"},
        {"mask_a 0x0300\ncar TTX 1\n", "share bits"},
        {"ab_spacing 300\ncar TTX 1\n", "line 1: 'ab_spacing'"},
        {"readers 3\n", "line 1: 'readers'"},
        {"hbd_alarm 3 2 X\n", "code A, C or D"},
        {"# nothing but a comment\n", "no vehicles"},
    };
    for (const auto& c : cases) EXPECT_NE(ParseError(c.text).find(c.message), std::string::npos) << c.text;
}
