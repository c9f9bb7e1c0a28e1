// Fuzz entry for the folder checker's readers of hostile studio files: the
// settings analysis, the language file walk and the picture headers. The
// first byte picks the reader.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "check/cdn_check.h"
#include "check/localization_check.h"
#include "check/picture_check.h"
#include "check/settings_check.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size == 0) {
        return 0;
    }
    const uint8_t selector = data[0];
    ++data;
    --size;
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    tavrin::check::cReport report;
    switch (selector % 4) {
    case 0: {
        tavrin::cSettings seen;
        tavrin::check::CheckSettingsText(text, "Settings.json", report, seen);
        if ((seen.Status == tavrin::SettingsLoaded) == report.HasErrors()) {
            __builtin_trap();  // the verdict must follow the launcher's own reading
        }
        break;
    }
    case 1: {
        const auto entries = tavrin::check::CheckLocalizationText(text, "xx.cfg", report);
        tavrin::check::CompareWithEnglish(entries, nullptr, "xx.cfg", report);
        break;
    }
    case 2: {
        // Natively there is no picture decoder; the header stands in for it.
        const auto decode = [](const uint8_t* bytes, size_t length, uint32_t& width, uint32_t& height) {
            tavrin::check::PngHeader header;
            const bool read = tavrin::check::ReadPngHeader(bytes, length, header);
            width = header.Width;
            height = header.Height;
            return read;
        };
        tavrin::check::CheckSplashPicture("splash.png", size, data, size, decode, "splash.png", report);
        tavrin::check::CheckIconFile(data, size, "BootstrapperIcon.ico", report);
        break;
    }
    default:
        tavrin::check::CheckCdnOverride(text, true, "Game.exe.kzv", report);
        break;
    }
    report.Format();
    return 0;
}
