// Opens one file through the current library's record class for its
// extension, identifies it, walks its entries (and vehicles, cars, blocks,
// tag reads) and saves it back. Input: [extension index][file bytes].
#include "FuzzSupport.h"
#include "RecordClasses.h"
#include "WideText.h"

#include <memory>

namespace {

template <typename Tag>
std::unique_ptr<CTag> Make() {
    return std::make_unique<Tag>();
}

std::unique_ptr<CTag> ClassFor(const std::string& ext) {
    if (ext == "010" || ext == "011") return Make<CTag010>();
    if (ext == "01A") return Make<CTag01A>();
    if (ext == "012") return Make<CTag012>();
    if (ext == "007") return Make<CTag007>();
    if (ext == "024") return Make<CTag024>();
    if (ext == "055") return Make<CTag055>();
    if (ext == "041") return Make<CTag041>();
    if (ext == "060" || ext == "061" || ext == "064") return Make<CTag060>();
    if (ext == "035" || ext == "037") return Make<CTag035>();
    if (ext == "034") return Make<CTag034>();
    if (ext == "036") return Make<CTag036>();
    if (ext == "018") return Make<CTag018>();
    if (ext == "01D") return Make<CTag01D>();
    return std::make_unique<CTag>();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1) return 0;
    fuzz::SilenceToolOutput();
    const std::string& ext = fuzz::kExtensions[data[0] % fuzz::kExtensions.size()];
    const std::wstring path = WideFromUtf8(fuzz::WriteScratchFile("T." + ext, {data + 1, size - 1}));

    std::unique_ptr<CTag> file = ClassFor(ext);
    if (!file->OpenAs(path.c_str(), L"")) return 0;
    file->Identify();
    // Every entry forward, then back; Next and Prev stop at the ends.
    for (int i = 0; i < file->GetCount() && file->Next(); ++i) {
    }
    while (file->Prev()) {
    }
    file->GetTime();
    if (auto* alloc = dynamic_cast<CTag041*>(file.get())) {
        alloc->CountVehicles();
        alloc->SeekVehicle(0);
        while (alloc->NextVehicle()) alloc->VehicleAxleCount();
        alloc->SeekVehicle(1);
        while (alloc->NextPart()) {
        }
    } else if (auto* consist = dynamic_cast<CTag035*>(file.get())) {
        do {
            for (int k = 0; k < consist->GetTagCount() && k < 2; ++k) consist->GetTagFlags(k);
        } while (consist->Next());
    } else if (auto* cars = dynamic_cast<CTag036*>(file.get())) {
        cars->FormatCarListing();
        while (cars->NextCar()) {
        }
    } else if (auto* summary = dynamic_cast<CTag034*>(file.get())) {
        summary->FormatSummaryLine();
    } else if (auto* blocks = dynamic_cast<CTag01D*>(file.get())) {
        while (blocks->NextBlock()) {
        }
    } else if (auto* axles = dynamic_cast<CTag010*>(file.get())) {
        axles->MsPerFoot(0, file->GetCount() - 1);
        axles->Reverse();
    }
    file->SaveAs(WideFromUtf8(fuzz::ScratchDir() + "OUT." + ext).c_str(), kLengthByType, 0);
    return 0;
}
