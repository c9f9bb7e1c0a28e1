#include "loader/maps_parser.h"

#include <cctype>

#include "base/text_pieces.h"

namespace tavrin::launcher {

namespace {

bool ParseHex(std::string_view text, uint64_t& value)
{
    if (text.empty() || text.size() > 16) {
        return false;
    }
    value = 0;
    for (char c : text) {
        const int digit = std::isdigit(static_cast<unsigned char>(c)) ? c - '0'
                          : (c >= 'a' && c <= 'f')                    ? c - 'a' + 10
                          : (c >= 'A' && c <= 'F')                    ? c - 'A' + 10
                                                                      : -1;
        if (digit < 0) {
            return false;
        }
        value = (value << 4) | static_cast<uint64_t>(digit);
    }
    return true;
}

bool ParseLine(std::string_view line, MapsRegion& region)
{
    const std::vector<TextPiece> pieces = SplitText(line, {.Separators = " ", .KeepEmpty = false});
    if (pieces.size() < 6) {
        return false;
    }
    const size_t dash = pieces[0].Text.find('-');
    if (dash == std::string_view::npos || pieces[0].Text.find('-', dash + 1) != std::string_view::npos) {
        return false;
    }
    if (!ParseHex(pieces[0].Text.substr(0, dash), region.Start) ||
        !ParseHex(pieces[0].Text.substr(dash + 1), region.End) || !ParseHex(pieces[2].Text, region.Offset) ||
        region.End <= region.Start) {
        return false;
    }
    region.Readable = !pieces[1].Text.empty() && pieces[1].Text[0] == 'r';
    region.Path.clear();
    for (size_t i = 5; i < pieces.size(); ++i) {
        region.Path.append(pieces[i].Text);
    }
    return true;
}

bool ContainsNoCase(std::string_view haystack, std::string_view needle)
{
    if (needle.size() > haystack.size()) {
        return false;
    }
    for (size_t i = 0; i + needle.size() <= haystack.size(); ++i) {
        size_t k = 0;
        while (k < needle.size() && std::tolower(static_cast<unsigned char>(haystack[i + k])) ==
                                        static_cast<unsigned char>(needle[k])) {
            ++k;
        }
        if (k == needle.size()) {
            return true;
        }
    }
    return false;
}

bool NamesLibc(const std::string& path)
{
    return ContainsNoCase(path, "/libc-") || ContainsNoCase(path, "libc.so");
}

}  // namespace

std::vector<MapsRegion> ParseMaps(std::string_view text)
{
    std::vector<MapsRegion> regions;
    for (const TextPiece& line : SplitText(text, {.Separators = "\n", .KeepEmpty = false})) {
        MapsRegion region;
        if (ParseLine(line.Text, region)) {
            regions.push_back(std::move(region));
        }
    }
    return regions;
}

namespace {

// The image of the first region whose path names it (its base is that
// region's start less its file offset), with every readable region of that
// same file.
template <typename Names>
bool FindImageInMaps(std::string_view text, const Names& names, ElfImage& image)
{
    image = ElfImage{};
    const std::vector<MapsRegion> regions = ParseMaps(text);
    const MapsRegion* first = nullptr;
    for (const MapsRegion& region : regions) {
        if (names(region.Path)) {
            first = &region;
            break;
        }
    }
    // A file offset beyond the start cannot belong to a real mapping.
    if (!first || first->Offset > first->Start) {
        return false;
    }
    image.Base = first->Start - first->Offset;
    // Regions of the same file below the base are another mapping of it.
    for (const MapsRegion& region : regions) {
        if (region.Readable && region.Path == first->Path && region.Start >= image.Base) {
            image.Readable.push_back(MemoryRange{region.Start, region.End});
        }
    }
    return true;
}

}  // namespace

bool FindLibcInMaps(std::string_view text, ElfImage& image) { return FindImageInMaps(text, NamesLibc, image); }

bool FindMemfdImageInMaps(std::string_view text, std::string_view name, ElfImage& image)
{
    if (name.empty()) {
        return false;
    }
    const std::string prefix = "/memfd:" + std::string(name);
    // The kernel adds " (deleted)", which the joined path keeps without its space.
    return FindImageInMaps(
        text,
        [&](const std::string& path) {
            return path == prefix || (path.rfind(prefix, 0) == 0 && path.substr(prefix.size()) == "(deleted)");
        },
        image);
}

}  // namespace tavrin::launcher
