// The demo train: a mixed freight train that slows, stops, backs two axles
// out over the detectors and leaves again, recorded by a site whose headers
// carry an AB spacing 10% short of the true one.
#pragma once

namespace trainsim {

// The description text (the format of TrainDescription.h).
const char* SampleDescription();

}  // namespace trainsim
