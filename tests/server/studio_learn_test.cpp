// Learning controls through the Studio: POST /api/learn switches it on and off, /api/state tells
// it, and an emulated board gets the learning upload and then its own again.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "plugin/lifecycle.h"
#include "server/studio_client.h"
#include "studio/studio.h"

namespace corvane_test {
namespace {

using ::testing::HasSubstr;

constexpr char kLearnCfg[] = "*1\n[I]\nD5+ sim/cockpit2/switches/landing_lights_on 1\n";

PluginOptions LearnOptions(int port) {
    return {kLearnCfg, "STUDIO_PORT = " + std::to_string(port) + "\n"};
}

struct LearnCall {
    const char* name;
    const char* body;
    int status;
    const char* answer;  // the whole answer, or a part of a refusal's
    bool learning;       // what /api/state tells after it
};

// In order, on one plug-in: each call starts from what the one before left.
const LearnCall kLearnCalls[] = {
    {"On", R"({"on":true})", 200, R"({"learning":true,"seconds_left":120})", true},
    {"OnAgain", R"({"on":true})", 200, R"({"learning":true,"seconds_left":120})", true},
    {"NotABoolean", R"({"on":1})", 400, R"("error":"bad request")", true},
    {"Missing", R"({})", 400, R"("error":"bad request")", true},
    {"NotAnObject", R"([true])", 400, R"("error":"bad request")", true},
    {"Off", R"({"on":false})", 200, R"({"learning":false,"seconds_left":0})", false},
    {"OffAgain", R"({"on":false})", 200, R"({"learning":false,"seconds_left":0})", false},
};

TEST(StudioLearn, OnAndOffAnswerWhatIsInForceAndStateTellsIt) {
    const int port = FreeTcpPort();
    PluginRun run(LearnOptions(port));
    ResetPlugin();
    run.Call();
    auto ask = [&](const std::string& method, const std::string& target, const std::string& body) {
        return Exchange(run, port, Request(method, target, port, StudioToken, body));
    };
    EXPECT_THAT(ask("GET", "/api/state", "").body, HasSubstr(R"("learning":false)"));
    EXPECT_EQ(ask("GET", "/api/learn", "").status, 405);
    for (const LearnCall& call : kLearnCalls) {
        SCOPED_TRACE(call.name);
        const HttpAnswer answer = ask("POST", "/api/learn", call.body);
        EXPECT_EQ(answer.status, call.status);
        EXPECT_THAT(answer.body, HasSubstr(call.answer));
        EXPECT_THAT(ask("GET", "/api/state", "").body,
                    HasSubstr(call.learning ? R"("learning":true)" : R"("learning":false)"));
    }
}

TEST(StudioLearn, ABoardReportsItsFreePinsWhileLearningAndNotAfter) {
    const int port = FreeTcpPort();
    PluginRun run(LearnOptions(port));
    ResetPlugin();
    boardsim::Board& board = run.AddBoard(run.LanBoardOptions(2, 1));
    ASSERT_TRUE(run.ConnectAll());
    auto learn = [&](bool on) {
        const int uploads = board.uploadCount();
        const std::string body = on ? R"({"on":true})" : R"({"on":false})";
        EXPECT_EQ(
            Exchange(run, port, Request("POST", "/api/learn", port, StudioToken, body)).status,
            200);
        return run.CallUntil([&] { return board.uploadCount() > uploads; }, 400);
    };
    ASSERT_EQ(board.pinModes().at(7), 0);
    ASSERT_TRUE(learn(true));
    EXPECT_EQ(board.pinModes().at(5), 1);
    EXPECT_EQ(board.pinModes().at(7), 1);  // a pin no entry names reports
    ASSERT_TRUE(learn(false));
    EXPECT_EQ(board.pinModes().at(5), 1);
    EXPECT_EQ(board.pinModes().at(7), 0);
}

}  // namespace
}  // namespace corvane_test
