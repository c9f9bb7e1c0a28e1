#include "check/cdn_check.h"

#include "acquisition/download_rules.h"

namespace tavrin::check {

std::string CheckCdnOverride(std::string_view fileText, bool gameDev, const std::string& fileName,
                             cReport& report)
{
    const std::string url = launcher::FindCdnOverride(fileText);
    if (url.empty()) {
        report.Note(fileName, 0, "no \"cdn=\" line: the launcher ignores this file");
        return launcher::CdnUrlTemplate(gameDev);
    }
    const std::string prefix = launcher::AllowedCdnPrefix(gameDev);
    if (!launcher::HasAllowedPrefix(url, prefix)) {
        report.Fail(fileName, 0,
                    "the override '" + Printable(url) + "' does not start with '" + prefix +
                        "': the launcher refuses it and the launch fails (504)");
        return {};
    }
    report.Warn(fileName, 0,
                "the launcher downloads from '" + Printable(url) + "' (build id " +
                    launcher::BuildIdFromOverride(url) +
                    "), shows a notice first and never caches the module: do not ship this file");
    return url;
}

std::vector<std::string> SystemsForGame(launcher::GameBitness bitness)
{
    if (bitness == launcher::GameBitness::Unknown) {
        return {};
    }
    return {launcher::SystemNameFor(bitness, false, false), launcher::SystemNameFor(bitness, false, true),
            launcher::SystemNameFor(bitness, true, false)};
}

launcher::GameBitness BitnessOfSystem(const std::string& systemName)
{
    for (auto bitness : {launcher::GameBitness::Bits32, launcher::GameBitness::Bits64}) {
        for (const std::string& name : SystemsForGame(bitness)) {
            if (name == systemName) {
                return bitness;
            }
        }
    }
    return launcher::GameBitness::Unknown;
}

}  // namespace tavrin::check
