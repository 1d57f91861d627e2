// Decodes tag text: the 20-character decoder, the decoded-tag object with its
// lead character, the extended railcar data, and the encoder on what decoded.
// A text that decodes must encode to a text that decodes to the same tag.
#include "TagDecode.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 20) return 0;
    const std::span<const uint8_t> text(data, 20);
    CDecodedTag object;
    object.Assign(std::span<const uint8_t>(data, size < 21 ? size : 21));
    const auto tag = DecodeTag(text);
    if (!tag) return 0;
    DecodeExtendedRailcar(*tag);
    tag->Owner();
    tag->NumberText();
    if (const auto encoded = EncodeTag(*tag)) {
        const auto again = DecodeTag(std::string_view(*encoded));
        if (!again || EncodeTag(*again) != encoded) std::abort();
    }
    return 0;
}
