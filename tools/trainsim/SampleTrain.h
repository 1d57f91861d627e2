// The demo trains: a mixed freight train that slows, stops, backs two axles
// out over the detectors and leaves again, recorded by a site whose headers
// carry an AB spacing 10% short of the true one; and an articulated
// passenger trainset that runs through at speed.
#pragma once

namespace trainsim {

// The freight demo train's description text (the format of TrainDescription.h).
const char* SampleDescription();

// The articulated passenger train's description text.
const char* PassengerSampleDescription();

}  // namespace trainsim
