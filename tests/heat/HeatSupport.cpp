#include "HeatSupport.h"

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

}  // namespace heattest
