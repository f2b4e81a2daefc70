// strip_controls and slice_text: the engine's two line helpers. Both build
// their result in the engine's slice buffer, and both accept a text that
// already lies there (strip_controls(slice_text(...)) is the common use):
// the result never gets ahead of the character being read.
#include "module/script/text_slices.h"

#include "module/script/script_buffers.h"

namespace zmb {
namespace {
constexpr size_t kMaxResult = kSliceSize - 1;  // 1047 characters
}  // namespace

char* strip_controls(const char* text) {
    char* out = script_buffers.slice.data();
    size_t kept = 0;
    for (size_t i = 0; text != nullptr && text[i] != '\0' && kept < kMaxResult; ++i) {
        if (static_cast<unsigned char>(text[i]) >= 32) out[kept++] = text[i];
    }
    out[kept] = '\0';
    return out;
}

char* slice_text(const char* text, int16_t first, int16_t last) {
    char* out = script_buffers.slice.data();
    size_t kept = 0;
    if (text != nullptr && last >= 0 && first <= last) {
        // Positions below 0 hold nothing, so a negative first starts at 0.
        const size_t from = first < 0 ? 0 : static_cast<size_t>(first);
        const size_t to = static_cast<size_t>(last);
        size_t i = 0;
        while (i < from && text[i] != '\0')
            ++i;
        for (; i <= to && text[i] != '\0' && kept < kMaxResult; ++i)
            out[kept++] = text[i];
    }
    out[kept] = '\0';
    return out;
}

}  // namespace zmb
