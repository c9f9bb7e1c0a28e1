#include "ui/png_head.h"

#include <png.h>

#include <algorithm>
#include <csetjmp>
#include <cstring>

namespace tavrin::launcher {

namespace {

struct cMemoryStream {
    const uint8_t* Data = nullptr;
    size_t Size = 0;
    size_t Offset = 0;
};

void ReadFromMemory(png_structp png, png_bytep out, png_size_t length)
{
    auto* stream = static_cast<cMemoryStream*>(png_get_io_ptr(png));
    if (length > stream->Size - stream->Offset)
        png_error(png, "truncated");
    std::memcpy(out, stream->Data + stream->Offset, length);
    stream->Offset += length;
}

// The caller reports failures; libpng would print them to stderr. An error
// handler must not return: this one jumps back to ReadHead.
void QuietError(png_structp png, png_const_charp) { png_longjmp(png, 1); }
void QuietWarning(png_structp, png_const_charp) {}

// libpng reports errors by longjmp to here: no C++ object is constructed
// between the setjmp and any call that may jump, so none is skipped.
bool ReadHead(png_structp png, png_infop info, uint32_t rows, cPngHead& head)
{
    if (setjmp(png_jmpbuf(png)))
        return false;
    png_set_user_limits(png, kMaxPngSide, kMaxPngSide);
    png_read_info(png, info);
    const png_uint_32 width = png_get_image_width(png, info);
    const png_uint_32 height = png_get_image_height(png, info);
    if (png_get_interlace_type(png, info) != PNG_INTERLACE_NONE || width == 0 || height == 0 ||
        width > kMaxPngSide || height > kMaxPngSide)
        return false;
    png_set_expand(png);
    png_set_strip_16(png);
    png_set_gray_to_rgb(png);
    png_set_add_alpha(png, 0xFF, PNG_FILLER_AFTER);
    png_read_update_info(png, info);
    const size_t stride = size_t{width} * 4;
    if (png_get_rowbytes(png, info) != stride)
        return false;
    const uint32_t count = std::min<uint32_t>(rows, height);
    head.Pixels.resize(stride * count);
    for (uint32_t row = 0; row < count; ++row)
        png_read_row(png, head.Pixels.data() + stride * row, nullptr);
    head.Width = width;
    head.Height = height;
    head.Rows = count;
    return true;
}

}  // namespace

bool DecodePngHead(const uint8_t* data, size_t size, uint32_t rows, cPngHead& head)
{
    head = cPngHead{};
    if (data == nullptr || size < 8 || png_sig_cmp(data, 0, 8) != 0)
        return false;
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, QuietError, QuietWarning);
    if (png == nullptr)
        return false;
    png_infop info = png_create_info_struct(png);
    cMemoryStream stream{data, size, 0};
    bool decoded = false;
    if (info != nullptr) {
        png_set_read_fn(png, &stream, ReadFromMemory);
        decoded = ReadHead(png, info, rows, head);
    }
    png_destroy_read_struct(&png, info != nullptr ? &info : nullptr, nullptr);
    if (!decoded)
        head = cPngHead{};
    return decoded;
}

}  // namespace tavrin::launcher
