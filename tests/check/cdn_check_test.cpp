#include <gtest/gtest.h>

#include <string>

#include "acquisition/download_rules.h"
#include "check/cdn_check.h"

namespace tavrin::check {
namespace {

TEST(CdnCheck, OverrideFileTellsWhereTheLauncherWillDownload)
{
    const std::string devPrefix = launcher::AllowedCdnPrefix(true);
    struct Case {
        std::string Text;
        Severity Level;
        const char* Fragment;
        std::string Url;
    } cases[] = {
        {"# nothing\n", Severity::Note, "no \"cdn=\" line", launcher::CdnUrlTemplate(true)},
        {"CDN=" + devPrefix + "builds/77/m\n", Severity::Warning, "build id 77", devPrefix + "builds/77/m"},
        {"cdn=https://evil.example/" + devPrefix + "\n", Severity::Error, "the launcher refuses it", ""},
    };
    for (const Case& c : cases) {
        cReport report;
        EXPECT_EQ(CheckCdnOverride(c.Text, true, "Game.exe.kzv", report), c.Url);
        EXPECT_EQ(report.Count(c.Level, c.Fragment), 1u) << report.Format();
    }
}

TEST(CdnCheck, SystemsCoverEveryHostAGameRunsOn)
{
    EXPECT_EQ(SystemsForGame(launcher::GameBitness::Bits64),
              (std::vector<std::string>{"win64", "winarm_x64_x64", "linux64"}));
    EXPECT_EQ(SystemsForGame(launcher::GameBitness::Bits32),
              (std::vector<std::string>{"win64_wow64", "winarm_x64_wow64", "linux64_32"}));
    EXPECT_EQ(BitnessOfSystem("linux64_32"), launcher::GameBitness::Bits32);
    EXPECT_EQ(BitnessOfSystem("N/A"), launcher::GameBitness::Unknown);
}

}  // namespace
}  // namespace tavrin::check
