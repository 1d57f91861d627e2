#include "Speed.h"

#include "TrainFile.h"

namespace {

constexpr uint32_t kMsPerFootAtOneEighth = 5455;

}  // namespace

SpeedBytes EncodeSpeed(float mph, uint32_t directionBit) {
    const auto whole = static_cast<uint32_t>(TruncToInt64(mph));
    const auto eighths = static_cast<uint32_t>(TruncToInt64(mph * 8.0f));
    return {((whole << 1) | directionBit) & 0xFF, eighths & 0x07};
}

unsigned MsPerFootAtAverage(uint32_t speedSum, uint32_t count) {
    uint32_t avg = count > 0 ? speedSum / count : 0;  // no records: as an average of 0
    if (avg == 0) avg = 1;
    const uint32_t q = kMsPerFootAtOneEighth / avg;
    return (q >> 8) < (avg >> 1) ? q + 1 : q;
}
