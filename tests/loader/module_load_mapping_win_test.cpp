// The loader's load step on signed modules the mapper has to lay out with
// care: sections sharing pages, a C runtime that reads the image's headers,
// and a refusal that has to say why in the log while the player sees the
// usual message.
#include <windows.h>

#include <gtest/gtest.h>

#include <mutex>
#include <string>
#include <vector>

#include "loader/module_interface.h"
#include "loader/module_loader_win.h"
#include "test_support/captured_log.h"
#include "test_support/loader_reports.h"
#include "test_support/module_marker_win.h"
#include "test_support/process_win.h"
#include "test_support/scratch_folder_win.h"
#include "test_support/trusted_test_root_win.h"

using namespace tavrin::launcher;
using tavrin::test::cModuleMarker;
using tavrin::test::cScratchFolder;
using tavrin::test::Report;
using Lines = std::vector<std::string>;

namespace {

class ModuleLoadMappingTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(tavrin::test::TrustTestRoot());
        const std::string game = Scratch.Utf8() + "game.exe";
        std::filesystem::copy_file(tavrin::test::DemoGamePath(), tavrin::Utf8ToUtf16(game));
        Loader.LoadLocalization(Scratch.Utf8(), "en", "us");
        Loader.RunBodyForTesting = [](cModuleLoader&) {};
        ASSERT_TRUE(Loader.Initialize([](uint32_t, uint32_t) { return KZV_ProgressContinue; },
                                      [this](int32_t code, const char* message) {
                                          std::lock_guard<std::mutex> guard(Lock);
                                          Reports.push_back({code, message ? message : "<null>"});
                                      },
                                      game, Scratch.Utf8(), "win64", "p1", "s1", "d1", false));
    }

    std::vector<Report> TakeReports()
    {
        std::lock_guard<std::mutex> guard(Lock);
        return std::move(Reports);
    }

    void Load(const std::string& buildFile) { Loader.LoadModule(tavrin::test::ReadBuildFile(buildFile)); }

    cScratchFolder Scratch{L"tavrin-mapping-"};
    cWindowsModuleLoader Loader{{"-x"}, cHostFacts{}};
    std::mutex Lock;
    std::vector<Report> Reports;
};

TEST_F(ModuleLoadMappingTest, ModulesWithSharedPagesOrACRuntimeLoadAndRun)
{
    struct Case {
        std::string File;
        Lines Marker;
    };
    const Case cases[] = {
        {"signed/module_align512.dll", {"attach", "locale en us", "init"}},
        {"signed/module_crt.dll", {"constructor", "attach", "locale en us", "init"}},
    };
    for (const Case& c : cases) {
        cModuleMarker marker;
        Load(c.File);
        EXPECT_EQ(TakeReports(),
                  (std::vector<Report>{{kLoaderCreateGameProcess, "<null>"}, {kLoaderLaunchConfirmed, "<null>"}}))
            << c.File;
        EXPECT_EQ(marker.Read(), c.Marker) << c.File;
    }
}

TEST_F(ModuleLoadMappingTest, ARefusedMappingLogsWhyAndThePlayerSeesTheUsualMessage)
{
    tavrin::test::cCapturedLog log(tavrin::Error);
    cModuleMarker marker;
    Load("signed/module_bad_import.dll");
    EXPECT_EQ(TakeReports(),
              (std::vector<Report>{{kLoaderModuleRejected, "Failed to load the anti-cheat module."}}));
    EXPECT_EQ(log.Count("tavrin_missing_library.dll!TavrinMissingFunction"), 1u);
    EXPECT_TRUE(marker.Read().empty());
}

}  // namespace
