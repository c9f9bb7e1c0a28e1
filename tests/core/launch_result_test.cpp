#include <gtest/gtest.h>

#include <cstring>

#include "core/launch_result.h"

using namespace tavrin::launcher;

TEST(LaunchResult, TitleAndExitCodeTable)
{
    struct Case {
        KZV_ProtectedGameLaunchResult Result;
        const char* TitleKey;
        const char* Title;
        int32_t ExitCode;
    };
    const Case cases[] = {
        {0, "launcher.error_launch", "Launch Error", 0},
        {101, "launcher.error_cancel", "Launch Canceled", 101},
        {201, "launcher.error_launch", "Launch Error", 201},
        {202, "launcher.network_error", "Network error", 202},
        {204, "launcher.network_error", "Network error", 204},
        {205, "launcher.error_launch", "Launch Error", 205},
        {206, "launcher.error_launch", "Launch Error", 206},
        {207, "launcher.error_launch", "Launch Error", 207},
        {208, "launcher.error_launch", "Launch Error", 208},
        {209, "launcher.error_install", "Install Error", 209},
        {210, "launcher.error_launch", "Launch Error", 210},
        {301, "launcher.success_waiting_for_game", "WAITING FOR GAME", 0},
        {550, "launcher.error_launch", "Launch Error", 550},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Result);
        const MessageText& title = LaunchResultTitleText(c.Result);
        EXPECT_STREQ(title.Key, c.TitleKey);
        EXPECT_STREQ(title.Text, c.Title);
        EXPECT_EQ(ExitCodeForResult(c.Result), c.ExitCode);
    }
}

TEST(LaunchResult, OnlySuccessOrNoResultWaitsForTheGame)
{
    EXPECT_TRUE(NeedsGameExitCode(301, true));
    EXPECT_TRUE(NeedsGameExitCode(0, true));
    EXPECT_FALSE(NeedsGameExitCode(301, false));
    EXPECT_FALSE(NeedsGameExitCode(207, true));
    EXPECT_FALSE(NeedsGameExitCode(204, true));
}

TEST(LaunchResult, ProgressPercentRoundsDownWithoutOverflow)
{
    EXPECT_EQ(ProgressPercent(0, 0), 0u);
    EXPECT_EQ(ProgressPercent(5, 10), 50u);
    EXPECT_EQ(ProgressPercent(1, 3), 33u);
    EXPECT_EQ(ProgressPercent(10, 10), 100u);
    // completed * 100 exceeds 32 bits here.
    EXPECT_EQ(ProgressPercent(4'000'000'000u, 4'000'000'000u), 100u);
    EXPECT_EQ(ProgressPercent(2'000'000'000u, 4'000'000'000u), 50u);
}
