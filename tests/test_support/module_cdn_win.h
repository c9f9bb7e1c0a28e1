// A product's module on the loopback dev CDN and the launcher's cache of it,
// for whole-launcher tests: every product uses the deployment "deploy-1".
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "acquisition/module_decode.h"
#include "base/cache_folder_win.h"
#include "test_support/loopback_servers_win.h"
#include "test_support/scratch_folder_win.h"
#include "test_support/trusted_test_root_win.h"

namespace tavrin::test {

inline constexpr const char* kTestDeployment = "deploy-1";

// Settings.json of a game folder for the product; title names the window.
inline std::string LaunchSettings(const std::string& product, const std::string& title)
{
    return "{\n  \"title\": \"" + title + "\",\n  \"productid\": \"" + product +
           "\",\n  \"sandboxid\": \"sandbox-1\",\n  \"deploymentid\": \"" + kTestDeployment +
           "\",\n  \"executable\": \"DemoGame.exe\",\n  \"environment\": \"gamedev\"\n}\n";
}

inline std::string CacheFolder(const std::string& product)
{
    std::string directory;
    EXPECT_TRUE(tavrin::GetCacheDirectory(product, kTestDeployment, directory));
    return directory;
}

inline void ClearCacheFolder(const std::string& product)
{
    std::error_code ignored;
    for (const auto& entry :
         std::filesystem::directory_iterator(tavrin::Utf8ToUtf16(CacheFolder(product)), ignored)) {
        std::filesystem::remove(entry.path(), ignored);
    }
}

// The CDN's module of one system for the product: a file of the build,
// encoded as the CDN serves it.
inline void ServeModule(const std::string& product, const std::string& system, const std::string& buildFile)
{
    std::vector<uint8_t> bytes = ReadBuildFile(buildFile);
    ASSERT_FALSE(bytes.empty()) << buildFile;
    tavrin::launcher::EncodeModule(bytes.data(), bytes.size());
    const std::string dir = ServersFolder() + "\\cdn\\" + product + "\\" + kTestDeployment;
    std::filesystem::create_directories(tavrin::Utf8ToUtf16(dir));
    WriteBytes(dir + "\\" + system, std::string_view(reinterpret_cast<char*>(bytes.data()), bytes.size()));
}

}  // namespace tavrin::test
