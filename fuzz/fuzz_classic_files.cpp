// Loads one file through the classic library's class for its extension and
// walks every record, vehicle and block the class offers, then saves it back.
// Input: [extension index][file bytes].
#include "AllocFile.h"
#include "AxleFile.h"
#include "CarListFile.h"
#include "ConsistFile.h"
#include "DigitizerFile.h"
#include "FuzzSupport.h"
#include "IoFile.h"
#include "TagFile.h"
#include "TrainSummaryFile.h"
#include "WheelFile.h"

#include <memory>

namespace {

// Walks the records one by one; the count is bounded by the file's size.
void WalkRecords(CTrainFile& f) {
    for (int i = 0; i < f.GetCount(); ++i)
        if (!f.Seek(i)) break;
    while (f.Prev()) {
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1) return 0;
    const std::string& ext = fuzz::kExtensions[data[0] % fuzz::kExtensions.size()];
    const std::string path = fuzz::WriteScratchFile("T." + ext, {data + 1, size - 1});

    std::unique_ptr<CTrainFile> file;
    if (ext == "010" || ext == "011") {
        auto f = std::make_unique<CAxleFile>();
        f->Load(path.c_str());
        file = std::move(f);
    } else if (ext == "012") {
        file = std::make_unique<CWheelFile>();
        file->Load(path.c_str());
    } else if (ext == "007") {
        file = std::make_unique<CIoFile>();
        file->Load(path.c_str());
    } else if (ext == "041") {
        auto f = std::make_unique<CAllocFile>();
        if (f->Load(path.c_str())) {
            f->CountVehicles();
            while (f->NextVehicle()) {
            }
            f->SeekVehicle(2);
            while (f->NextPart()) {
            }
        }
        file = std::move(f);
    } else if (ext == "036") {
        file = std::make_unique<CCarListFile>();
        file->Load(path.c_str());
    } else if (ext == "035" || ext == "037") {
        auto f = std::make_unique<CConsistFile>();
        if (f->Load(path.c_str()))
            while (f->NextVehicle()) {
            }
        file = std::move(f);
    } else if (ext == "01D") {
        auto f = std::make_unique<CDigitizerFile>();
        if (f->Load(path.c_str())) {
            for (int b = 0; b < 4 && f->SeekBlock(b); ++b)
                for (int s = 0; s < 64 && f->NextSample(); ++s) {
                }
            while (f->NextBlock()) {
            }
        }
        file = std::move(f);
    } else if (ext == "060" || ext == "061" || ext == "064") {
        file = std::make_unique<CTagFile>();
        file->Load(path.c_str());
    } else if (ext == "034") {
        file = std::make_unique<CTrainSummaryFile>();
        file->Load(path.c_str());
    } else {
        file = std::make_unique<CTrainFile>();
        file->Load(path.c_str());
    }
    if (file->IsLoaded()) {
        WalkRecords(*file);
        file->SaveAs((fuzz::ScratchDir() + "OUT." + ext).c_str());
    }
    return 0;
}
