// The loader's load step on the real test modules, signed by the test PKI:
// verified, mapped, told the language, initialized and released, with every
// failure ending in exactly one report.
#include <windows.h>

#include <gtest/gtest.h>

#include <mutex>
#include <string>
#include <vector>

#include "loader/module_interface.h"
#include "loader/module_loader_win.h"
#include "test_support/captured_log.h"
#include "test_support/loader_bodies_win.h"
#include "test_support/loader_reports.h"
#include "test_support/module_marker_win.h"
#include "test_support/process_win.h"
#include "test_support/scratch_folder_win.h"
#include "test_support/trusted_test_root_win.h"

using namespace tavrin::launcher;
using tavrin::test::cCapturedLog;
using tavrin::test::cModuleMarker;
using tavrin::test::cScratchFolder;
using Lines = std::vector<std::string>;

namespace {

using tavrin::test::Report;

class ModuleLoadTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(tavrin::test::TrustTestRoot());
        const std::string game = Scratch.Utf8() + "game.exe";
        std::filesystem::copy_file(tavrin::test::DemoGamePath(), tavrin::Utf8ToUtf16(game));
        // The loader keeps a language only when it has a localization folder.
        Loader.LoadLocalization(Scratch.Utf8(), "en", "us");
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

    cModuleMarker Marker;
    cScratchFolder Scratch{L"tavrin-load-"};
    cWindowsModuleLoader Loader{{"-x"}, cHostFacts{}, tavrin::test::IdleLoader()};
    std::mutex Lock;
    std::vector<Report> Reports;
};

const std::string kLoadFailed = "Failed to load the anti-cheat module.";
const std::string kCertificate = "Error validating Tavrin code signing certificate";

TEST_F(ModuleLoadTest, SignedModuleIsToldTheLanguageInitializedAndReleasedOnce)
{
    Load("signed/module_normal.dll");
    EXPECT_EQ(TakeReports(),
              (std::vector<Report>{{kLoaderCreateGameProcess, "<null>"}, {kLoaderLaunchConfirmed, "<null>"}}));
    EXPECT_EQ(Marker.Read(), (Lines{"attach", "locale en us", "init"}));

    Loader.Shutdown();
    Loader.Shutdown();
    EXPECT_EQ(Marker.Read(), (Lines{"attach", "locale en us", "init", "second 1"}));
}

TEST_F(ModuleLoadTest, EachModuleEndsInItsReports)
{
    struct Case {
        std::string File;
        std::vector<Report> Expected;
        Lines Marker;
    };
    const Case cases[] = {
        {"signed/module_1003.dll", {{kLoaderLaunchSucceeded, "<null>"}}, {"attach", "locale en us", "init"}},
        {"signed/module_init0.dll",
         {{kLoaderModuleRejected, "Module initialization failed with 0"}},
         {"attach", "locale en us", "init"}},
        {"signed/module_init255.dll",
         {{kLoaderModuleRejected, "Module initialization failed with 255"}},
         {"attach", "locale en us", "init"}},
        // No position 4: the locale call is skipped, the module still loads.
        {"signed/module_no_locale.dll",
         {{kLoaderCreateGameProcess, "<null>"}, {kLoaderLaunchConfirmed, "<null>"}},
         {"attach", "init"}},
        // A missing required entry point: released again, nothing else ran.
        {"signed/module_no_third.dll", {{kLoaderModuleRejected, kLoadFailed}}, {"attach", "detach"}},
        {"signed/module_entry_refuses.dll", {{kLoaderModuleRejected, kLoadFailed}}, {"attach", "detach"}},
        {"signed/module_bad_import.dll", {{kLoaderModuleRejected, kLoadFailed}}, {}},
        {"signed/module_throws.dll", {{kLoaderLaunchSucceeded, "<null>"}}, {"attach", "locale en us", "init"}},
        // Signature failures: no byte of the module runs.
        {"testmodules/module_normal.dll", {{kLoaderModuleRejected, kCertificate}}, {}},
        {"signed/module_normal_other.dll", {{kLoaderModuleRejected, kCertificate}}, {}},
        {"missing.dll", {{kLoaderModuleRejected, "Internal error!"}}, {}},
    };
    for (const Case& c : cases) {
        cModuleMarker marker;
        Load(c.File);
        EXPECT_EQ(TakeReports(), c.Expected) << c.File;
        EXPECT_EQ(marker.Read(), c.Marker) << c.File;
    }
}

TEST_F(ModuleLoadTest, ASignedModuleChangedAfterSigningIsRefusedBeforeItRuns)
{
    std::vector<uint8_t> bytes = tavrin::test::ReadBuildFile("signed/module_normal.dll");
    ASSERT_GT(bytes.size(), 0x400u);
    bytes[0x3FF] ^= 0x20;
    Loader.LoadModule(bytes);
    EXPECT_EQ(TakeReports(), (std::vector<Report>{{kLoaderModuleRejected, kCertificate}}));
    EXPECT_TRUE(Marker.Read().empty());
}

// A late report from a module thread after the module was released reaches
// nobody; it neither crashes nor is delivered, and the log says so.
TEST_F(ModuleLoadTest, ReportsAfterShutdownAreDropped)
{
    Load("signed/module_1003.dll");
    EXPECT_EQ(TakeReports().size(), 1u);
    void* released = Loader.CallbackContext();
    ASSERT_NE(released, nullptr);
    Loader.Shutdown();
    cCapturedLog log;
    KZV_CallbackRecord late{released, kLoaderOtherFailure, "late", 0};
    cModuleLoader::ModuleCallback(&late);
    EXPECT_TRUE(TakeReports().empty());
    EXPECT_TRUE(log.HasLineEndingWith("Module callback with code 509 dropped: the module has been released."));
}

// Modules the mapper has to lay out with care: sections sharing pages, and a
// C runtime that reads the image's headers.
TEST_F(ModuleLoadTest, ModulesWithSharedPagesOrACRuntimeLoadAndRun)
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

// A refusal says why in the log; the player sees the usual message.
TEST_F(ModuleLoadTest, ARefusedMappingLogsWhyAndThePlayerSeesTheUsualMessage)
{
    cCapturedLog log(tavrin::Error);
    cModuleMarker marker;
    Load("signed/module_bad_import.dll");
    EXPECT_EQ(TakeReports(),
              (std::vector<Report>{{kLoaderModuleRejected, "Failed to load the anti-cheat module."}}));
    EXPECT_EQ(log.Count("tavrin_missing_library.dll!TavrinMissingFunction"), 1u);
    EXPECT_TRUE(marker.Read().empty());
}

}  // namespace
