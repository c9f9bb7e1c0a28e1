#include "check/picture_check.h"

#include <cstring>

#include "base/strings.h"

namespace tavrin::check {

namespace {

constexpr uint8_t kPngSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
constexpr size_t kIhdrEnd = 8 + 8 + 13 + 4;
constexpr size_t kIconDirectoryBytes = 6;
constexpr size_t kIconEntryBytes = 16;
constexpr uint32_t kBitmapHeaderBytes = 40;

uint32_t BigEndian32(const uint8_t* p)
{
    return (uint32_t{p[0]} << 24) | (uint32_t{p[1]} << 16) | (uint32_t{p[2]} << 8) | uint32_t{p[3]};
}

uint16_t LittleEndian16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }

uint32_t LittleEndian32(const uint8_t* p)
{
    return uint32_t{p[0]} | (uint32_t{p[1]} << 8) | (uint32_t{p[2]} << 16) | (uint32_t{p[3]} << 24);
}

uint32_t Crc32(const uint8_t* data, size_t size)
{
    uint32_t crc = 0xFFFFFFFFu;
    for (size_t i = 0; i < size; ++i) {
        crc ^= data[i];
        for (int bit = 0; bit < 8; ++bit) {
            crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
        }
    }
    return ~crc;
}

std::string Size(uint32_t width, uint32_t height)
{
    return std::to_string(width) + "x" + std::to_string(height);
}

}  // namespace

bool ReadPngHeader(const uint8_t* data, size_t size, PngHeader& header)
{
    if (data == nullptr || size < kIhdrEnd || std::memcmp(data, kPngSignature, sizeof kPngSignature) != 0) {
        return false;
    }
    const uint8_t* chunk = data + 8;
    if (BigEndian32(chunk) != 13 || std::memcmp(chunk + 4, "IHDR", 4) != 0) {
        return false;
    }
    if (Crc32(chunk + 4, 4 + 13) != BigEndian32(chunk + 8 + 13)) {
        return false;
    }
    header.Width = BigEndian32(chunk + 8);
    header.Height = BigEndian32(chunk + 12);
    header.BitDepth = chunk[16];
    header.ColorType = chunk[17];
    return header.Width != 0 && header.Height != 0;
}

bool ReadIconDirectory(const uint8_t* data, size_t size, std::vector<IconImage>& images, std::string& problem)
{
    images.clear();
    if (data == nullptr || size < kIconDirectoryBytes || LittleEndian16(data) != 0 ||
        LittleEndian16(data + 2) != 1) {
        problem = "not an icon file";
        return false;
    }
    const size_t count = LittleEndian16(data + 4);
    if (count == 0) {
        problem = "the icon file holds no image";
        return false;
    }
    if (kIconDirectoryBytes + count * kIconEntryBytes > size) {
        problem = "the icon directory runs past the end of the file";
        return false;
    }
    for (size_t i = 0; i < count; ++i) {
        const uint8_t* entry = data + kIconDirectoryBytes + i * kIconEntryBytes;
        IconImage image;
        image.Width = entry[0] == 0 ? 256 : entry[0];
        image.Height = entry[1] == 0 ? 256 : entry[1];
        image.Bytes = LittleEndian32(entry + 8);
        image.Offset = LittleEndian32(entry + 12);
        if (image.Bytes == 0 || uint64_t{image.Offset} + image.Bytes > size) {
            problem = "image " + std::to_string(i + 1) + " lies outside the file";
            return false;
        }
        const uint8_t* bytes = data + image.Offset;
        image.Png = image.Bytes >= sizeof kPngSignature &&
                    std::memcmp(bytes, kPngSignature, sizeof kPngSignature) == 0;
        if (!image.Png && (image.Bytes < kBitmapHeaderBytes || LittleEndian32(bytes) != kBitmapHeaderBytes)) {
            problem = "image " + std::to_string(i + 1) + " is neither a PNG nor a bitmap";
            return false;
        }
        images.push_back(image);
    }
    return true;
}

void CheckSplashPicture(const std::string& setting, uint64_t fileSize, const uint8_t* data, size_t size,
                        const PictureDecoder& decode, const std::string& fileName, cReport& report)
{
    const std::string fallback = ": the launcher shows its built-in splash instead";
    std::string path, extension;
    GetExtension(setting, path, extension);
    if (extension != ".png") {
        report.Warn(fileName, 0,
                    "the extension is '" + Printable(extension) + "', not \".png\" (in lower case)" +
                        fallback);
        return;
    }
    if (fileSize > kMaxSplashBytes) {
        report.Warn(fileName, 0,
                    std::to_string(fileSize) + " bytes, more than the " + std::to_string(kMaxSplashBytes) +
                        " allowed" + fallback);
        return;
    }
    PngHeader header;
    if (!ReadPngHeader(data, size, header)) {
        report.Warn(fileName, 0, "not a PNG picture" + fallback);
        return;
    }
    if (header.Width != kSplashWidth || header.Height != kSplashHeight) {
        report.Warn(fileName, 0,
                    "the picture is " + Size(header.Width, header.Height) + ", not " +
                        Size(kSplashWidth, kSplashHeight) + fallback);
        return;
    }
    // The header alone proves nothing about the image data: the launcher
    // decodes the whole file and falls back when that fails.
    uint32_t width = 0;
    uint32_t height = 0;
    if (!decode || !decode(data, size, width, height)) {
        report.Warn(fileName, 0, "the picture data does not decode" + fallback);
        return;
    }
    if (width != kSplashWidth || height != kSplashHeight) {
        report.Warn(fileName, 0,
                    "the picture decodes to " + Size(width, height) + ", not " +
                        Size(kSplashWidth, kSplashHeight) + fallback);
        return;
    }
    report.Note(fileName, 0, "custom splash: PNG, " + Size(header.Width, header.Height));
}

void CheckIconFile(const uint8_t* data, size_t size, const std::string& fileName, cReport& report)
{
    std::vector<IconImage> images;
    std::string problem;
    if (!ReadIconDirectory(data, size, images, problem)) {
        report.Warn(fileName, 0, problem + ": the launcher falls back to the game's own icon");
        return;
    }
    std::string sizes;
    for (const IconImage& image : images) {
        sizes += (sizes.empty() ? "" : ", ") + Size(image.Width, image.Height) + (image.Png ? " PNG" : "");
    }
    report.Note(fileName, 0, "custom icon with " + std::to_string(images.size()) + " image(s): " + sizes);
}

}  // namespace tavrin::check
