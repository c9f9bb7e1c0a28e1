// Where the loopback dev CDN and telemetry collector started by the test
// fixture (tools/devcdn/test_servers.sh) keep their files.
#pragma once

#include <string>

#include "acquisition/download_rules.h"
#include "base/files_win.h"

namespace tavrin::test {

// The servers' folder as a DOS path, or empty when the fixture is absent.
inline std::string ServersFolder()
{
    std::wstring value;
    if (!tavrin::GetEnvironmentValue(L"TAVRIN_TEST_SERVERS", value) || value.empty()) {
        return {};
    }
    std::string path = tavrin::Utf16ToUtf8(value);
    if (path.rfind('/', 0) == 0) {
        path = "Z:" + path;
    }
    for (char& c : path) {
        if (c == '/') {
            c = '\\';
        }
    }
    return path;
}

// The dev CDN is the configured development host only in loopback builds.
inline bool LoopbackCdnConfigured()
{
    return std::string(tavrin::launcher::CdnHost(true)).rfind("localhost:", 0) == 0;
}

}  // namespace tavrin::test
