#include <gtest/gtest.h>

#include "base/version.h"
#include "loopback_servers_win.h"
#include "base/files_win.h"
#include "telemetry/analytics.h"

namespace tavrin::launcher {
namespace {

using namespace tavrin::launcher::testing;
using Event = Analytics::EventDescriptor;

// Uploads to the loopback collector, which records each POST as a JSON line.
class AnalyticsUploadTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        Servers = ServersFolder();
        if (Servers.empty() || std::string(Analytics::EndpointHost(0)).rfind("localhost:", 0) != 0) {
            GTEST_SKIP() << "needs the loopback test servers";
        }
        Answer(204);
        Analytics::SetIdentity("prod-up", "sand-up", "dep-up");
        Analytics::EnsureRunId();
        Seen = Posts().size();
    }
    void TearDown() override
    {
        if (!Servers.empty()) {
            DeleteFileW(Utf8ToUtf16(Servers + "\\collector\\status").c_str());
        }
    }

    void Answer(int status)
    {
        ASSERT_TRUE(WriteBytes(Servers + "\\collector\\status", std::to_string(status)));
    }

    std::vector<std::string> Posts() const
    {
        std::vector<std::string> lines;
        std::stringstream log(ReadText(Servers + "\\collector\\posts.jsonl"));
        std::string line;
        while (std::getline(log, line)) {
            lines.push_back(line);
        }
        return lines;
    }

    // Lines recorded since SetUp.
    std::vector<std::string> NewPosts() const
    {
        std::vector<std::string> all = Posts();
        return std::vector<std::string>(all.begin() + static_cast<std::ptrdiff_t>(Seen), all.end());
    }

    static std::string AsJsonString(const std::string& text)
    {
        std::string out;
        for (char c : text) {
            if (c == '"' || c == '\\') {
                out += '\\';
            }
            out += c;
        }
        return out;
    }

    std::string Servers;
    size_t Seen = 0;
};

const std::vector<Event> kEvents = {
    {"AntiCheat.Info.BootstrapperResult", {EventAttribute("LaunchResult", 301)}}};

TEST_F(AnalyticsUploadTest, PostCarriesPathQueryHeadersAndDocument)
{
    const std::string document = Analytics::BuildEventDocument(kEvents);
    ASSERT_FALSE(document.empty());
    EXPECT_TRUE(Analytics::PostEventDocument(0, document));
    const std::vector<std::string> posts = NewPosts();
    ASSERT_EQ(posts.size(), 1u);
    const std::string& post = posts[0];
    EXPECT_NE(post.find("\"path\": \"/telemetry/data/moxtrel/api/v1/public/data\""), std::string::npos);
    EXPECT_NE(post.find("\"query\": \"AppVersion=1.0.0&AppEnvironment=Production&UploadType="
                        "sdkevents&AppID=QRVSDK.AntiCheatExt.Launcher&SessionId=" +
                        Analytics::GetIdentity().RunId + "\""),
              std::string::npos)
        << post;
    const size_t type = post.find("[\"Content-Type\", \"application/json\"]");
    const size_t agent = post.find("[\"User-Agent\", \"Tavrin QRV Bootstrapper/1.9.4\"]");
    ASSERT_NE(type, std::string::npos) << post;
    ASSERT_NE(agent, std::string::npos) << post;
    EXPECT_LT(type, agent);
    EXPECT_NE(post.find("\"body\": \"" + AsJsonString(document) + "\""), std::string::npos) << post;
    EXPECT_NE(document.find("\"ProductId\":\"prod-up\",\"SandboxId\":\"sand-up\","
                            "\"DeploymentId\":\"dep-up\",\"OSName\":\"Wine\",\"OSVer\":\"" +
                            GetWineVersion() + "\",\"LaunchResult\":301}]}"),
              std::string::npos)
        << document;
    EXPECT_NE(
        document.find(std::string("\"Source\":\"Bootstrapper/1.9.4\",\"BuildTime\":\"") + kBuildTime + "\""),
        std::string::npos);
}

TEST_F(AnalyticsUploadTest, OnlyTwoHundredsAreAccepted)
{
    const std::pair<int, bool> cases[] = {{200, true},  {204, true},  {299, true},
                                          {301, false}, {400, false}, {503, false}};
    for (const auto& [status, accepted] : cases) {
        Answer(status);
        EXPECT_EQ(Analytics::PostEventDocument(1, "{}"), accepted) << status;
    }
    EXPECT_EQ(NewPosts().size(), 6u);
}

TEST_F(AnalyticsUploadTest, BothDestinationsSdkFirstEvenAfterARejection)
{
    Answer(400);
    EXPECT_FALSE(Analytics::SendEvents(Analytics::DestinationBoth, kEvents));
    const std::vector<std::string> posts = NewPosts();
    ASSERT_EQ(posts.size(), 2u);
    EXPECT_NE(posts[0].find("UploadType=sdkevents"), std::string::npos);
    EXPECT_NE(posts[1].find("UploadType=eteventstream&AppID=tavrin"), std::string::npos);
    Answer(204);
    EXPECT_TRUE(Analytics::SendEvents(Analytics::DestinationBoth, kEvents));
}

TEST_F(AnalyticsUploadTest, InvalidEventListSendsNothing)
{
    EXPECT_FALSE(Analytics::SendEvents(Analytics::DestinationSdk, {}));
    EXPECT_FALSE(Analytics::SendEvents(Analytics::DestinationBoth, {kEvents[0], {"Empty", {}}}));
    EXPECT_TRUE(NewPosts().empty());
}

TEST_F(AnalyticsUploadTest, AsyncUploadRunsOnTheWorker)
{
    tavrin::cBackgroundWorker worker;
    ASSERT_TRUE(worker.Start());
    Analytics::LogEventsAsync(worker, kEvents);
    worker.Drain();
    const std::vector<std::string> posts = NewPosts();
    ASSERT_EQ(posts.size(), 1u);
    EXPECT_NE(posts[0].find("UploadType=sdkevents"), std::string::npos);
}

TEST(AnalyticsOs, WineNameAndVersion)
{
    ASSERT_TRUE(IsWine());
    const cHostFacts host = DetectHostFacts();
    EXPECT_EQ(Analytics::OsName(host), "Wine");
    EXPECT_FALSE(Analytics::OsVersion(host).empty());
    EXPECT_EQ(Analytics::OsVersion(host), GetWineVersion());
    // Another host's facts name that host's system.
    EXPECT_EQ(Analytics::OsName(cHostFacts{}), "Windows");
}

}  // namespace
}  // namespace tavrin::launcher
