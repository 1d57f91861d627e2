#include "HeatSupport.h"

#include "CorrelationLayout.h"
#include "DetectorLayout.h"

namespace heattest {

std::vector<ReadingView> ReadingViews(const std::vector<uint8_t>& file) {
    namespace dt = layout::detector;
    std::vector<ReadingView> out;
    for (size_t base = layout::header::kSize; base + dt::kRecordSize <= file.size(); base += dt::kRecordSize)
        out.push_back({layout::Get(file, base, dt::kNumber), layout::Get(file, base, dt::kMsSincePrevious),
                       layout::Get(file, base, dt::kSide1Code), layout::Get(file, base, dt::kSide2Code),
                       layout::Get(file, base, dt::kSide1Value), layout::Get(file, base, dt::kSide2Value)});
    return out;
}

std::vector<CarView> CarViews(const std::vector<uint8_t>& file) {
    namespace co = layout::correlation;
    std::vector<CarView> cars;
    for (size_t at = layout::header::kSize; at + co::kCarHeaderSize <= file.size();) {
        CarView c{layout::Get(file, at, co::kRecordLength), layout::Get(file, at, co::kCarNumber),
                  layout::Get(file, at, co::kAlarmCount), layout::Get(file, at, co::kFirstAlarmAxle),
                  char(layout::Get(file, at, co::kAlarmSide)), char(layout::Get(file, at, co::kAlarmCode))};
        cars.push_back(c);
        if (c.length == 0) break;
        at += c.length;
    }
    return cars;
}

}  // namespace heattest
