#include "SampleTrain.h"

namespace trainsim {

const char* SampleDescription() {
    return R"(# Mixed freight train: it slows, stops with its first tank car just past
# the detectors, backs that car's leading truck (2 axles) out over them and
# leaves again. The site's headers carry an AB spacing 10% short.
train   MIXED FREIGHT 4711
seed    4711
start   2025-03-14 08:30:00

# Site facts
ab_spacing  60          # detectors A and B are 6.0 inches apart
ab_error    10          # the headers say 54 tenths
readers     2           # .060 (side 1) and .064 (side 2)
antennas    1
hbd         yes
hbd_alarm   27 2 A 210  # a hot bearing on axle 27, right side
scale       yes

# Consist, head first
loco  UP   4455   axles=6
loco  UP   4472   axles=6 flip
car   TTX  912345 length=89 centers=64 count=3    # flatcars
car   GATX 20117  length=59 centers=45 count=4    # tank cars
car   BNSF 455102 length=53 centers=40 count=4    # covered hoppers
artic TTX  654321 platforms=5                     # five-platform well car
car   CSXT 240017 length=65 centers=50 count=3    # boxcars
car   NS   170450 length=52 centers=38 tag=extended tag_flags=L
car   NS   170451 length=52 centers=38 tag=extended
eot   EOT  4711

# Speed profile
speed  22                  # arrives at 22 mph
ramp   8 to axle 14        # slows to 8 mph by axle 14
stop   at axle 26 +1.0     # stops with axle 26 a foot past the leading detector
wait   40 s
back   2 axles at 2        # backs axles 25 and 26 out over the detectors
wait   10 s
ramp   15 over 300 ft      # and leaves at 15 mph
)";
}

}  // namespace trainsim
