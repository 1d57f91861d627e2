// Identifies a file header against the type table under the extension the
// first byte selects, then saves it in the type's length mode.
// Input: [extension index][file bytes].
#include "FuzzSupport.h"
#include "Tag.h"
#include "WideText.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1) return 0;
    fuzz::SilenceToolOutput();
    const std::string& ext = fuzz::kExtensions[data[0] % fuzz::kExtensions.size()];
    const std::wstring path = WideFromUtf8(fuzz::WriteScratchFile("T." + ext, {data + 1, size - 1}));
    CTag file;
    file.SetFileName(path.c_str(), L"");
    file.OpenAndIdentify();
    file.GetTypeCode();
    file.SaveAs(WideFromUtf8(fuzz::ScratchDir() + "OUT." + ext).c_str(), kLengthByType, 1);
    return 0;
}
