// The Windows plug-in's Studio under Wine: the same server, answering its state over loopback
// with the token from Log.txt, and refusing a foreign Host.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <regex>

#include "server/studio_client.h"
#include "wine_host.h"

namespace {

using ::testing::HasSubstr;

TEST(WineStudio, ServesTheStateWithItsTokenAndRefusesAForeignHost) {
    const int port = corvane_test::FreeTcpPort();
    corvane_wine::WineHost host(
        {"*1\n[I]\nD5+ sim/test/int 1\n",
         "USB_DEVICE_COUNT = 0\nSTUDIO_PORT = " + std::to_string(port) + "\n", ""});
    ASSERT_TRUE(host.running());
    host.Ask("run 1.05");
    const std::string log = corvane_test::ReadFile(host.folder() + "/../../../stderr.txt");
    std::smatch found;
    ASSERT_TRUE(std::regex_search(log, found,
                                  std::regex("Corvane: Studio at http://127\\.0\\.0\\.1:" +
                                             std::to_string(port) + "/\\?token=([0-9a-f]{32})")))
        << log;
    const std::string token = found[1];
    const auto call = [&] { host.Call(); };
    const corvane_test::HttpAnswer state = corvane_test::ExchangeWhile(
        port, corvane_test::Request("GET", "/api/state", port, token), call);
    EXPECT_EQ(state.status, 200) << state.head;
    EXPECT_THAT(state.body, HasSubstr(R"("config_file":"data.cfg")"));
    const corvane_test::HttpAnswer foreign = corvane_test::ExchangeWhile(
        port,
        "GET /api/state HTTP/1.1\r\nHost: attacker.example\r\nX-Corvane-Token: " + token +
            "\r\n\r\n",
        call);
    EXPECT_EQ(foreign.status, 403);
    EXPECT_EQ(corvane_test::ExchangeWhile(
                  port, corvane_test::Request("GET", "/api/state", port, ""), call)
                  .status,
              401);
    std::string ignored;
    EXPECT_EQ(host.Quit(&ignored), 0);
}

}  // namespace
