// Fuzz entry for the PNG head decoder. The first byte is the number of rows
// asked for; the rest is the picture.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "ui/png_head.h"

using namespace tavrin::launcher;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 1)
        return 0;
    const uint32_t rows = data[0];
    cPngHead head;
    if (!DecodePngHead(data + 1, size - 1, rows, head)) {
        if (head.Width != 0 || head.Rows != 0 || !head.Pixels.empty())
            std::abort();
        return 0;
    }
    if (head.Rows > rows || head.Rows > head.Height || head.Width == 0 || head.Width > kMaxPngSide ||
        head.Pixels.size() != size_t{head.Width} * 4 * head.Rows)
        std::abort();
    return 0;
}
