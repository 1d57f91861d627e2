#include "SampleTrain.h"

namespace trainsim {

const char* SampleDescription() {
    return R"(# Mixed freight train: it slows, stops with its third flatcar just past
# the detectors, backs that car's leading truck (2 axles) out over them,
# creeps forward until the car has crossed and leaves. The site's headers
# carry an AB spacing 10% short. The flatcar that stops has lost its side-2
# tag, so only its side-1 tag confirms it.
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
hbd_extra   60          # the detector reads a wheel that is not there after axle 60,
                        # when the train runs at 15 mph again
scale       yes

# Consist, head first
loco  UP   4455   axles=6
loco  UP   4472   axles=6 flip
car   TTX  912345 length=89 centers=64 count=2    # flatcars
car   TTX  912347 length=89 centers=64 tags=1     # the third has one tag left
car   GATX 20117  length=59 centers=45 count=4    # tank cars
car   BNSF 455102 length=53 centers=40 count=4    # covered hoppers
artic TTX  654321 platforms=5                     # five-platform well car
car   CSXT 240017 length=65 centers=50 count=3    # boxcars
car   NS   170450 length=52 centers=38 tag=extended tag_flags=L
car   NS   170451 length=52 centers=38 tag=extended
eot   EOT  4711

# Speed profile
speed  22                  # arrives at 22 mph
ramp   8 to axle 12        # slows to 8 mph by axle 12
stop   at axle 22 +1.0     # stops with axle 22 a foot past the leading detector
wait   40 s
back   2 axles at 2        # backs axles 21 and 22 out over the detectors
wait   10 s
ramp   2 to axle 25        # creeps forward until the flatcar has crossed
ramp   15 over 300 ft      # and leaves at 15 mph
)";
}

const char* PassengerSampleDescription() {
    return R"(# Articulated passenger trainset: a power car at each end and six units
# that share their trucks, the units at the ends recorded with 3 axles and
# the four between them with 2. The tag of unit 6004 carries 4 in its field
# at offset 44. It runs through at speed.
train   PXR TRAINSET 2001
seed    2001
start   2025-03-14 09:15:00

ab_spacing  60
readers     2
hbd         yes
scale       no

# Consist, head first. Shared trucks straddle the unit ends: each unit holds
# the axle of a shared truck nearest to it.
loco  PXR  2001  axles=4 length=70 centers=44 spacing=9
car   PXR  6001  length=65 axles_at=6,14.5,60.75
car   PXR  6002  length=60 axles_at=4.25,55.75
car   PXR  6003  length=60 axles_at=4.25,55.75
car   PXR  6004  length=60 axles_at=4.25,55.75 tag44=4
car   PXR  6005  length=60 axles_at=4.25,55.75
car   PXR  6006  length=65 axles_at=4.25,50.5,59
loco  PXR  2002  axles=4 length=70 centers=44 spacing=9 flip

# Speed profile
speed  45
ramp   40 over 300 ft
)";
}

}  // namespace trainsim
