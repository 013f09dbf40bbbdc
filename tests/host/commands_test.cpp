// Commands: lookup and creation, the phases of once, begin and end, continue once per frame,
// handler order and consumption, and the trace.
#include <string>
#include <vector>

#include "XPLMUtilities.h"
#include "host_fixture.h"

namespace {

using xphost::CommandEvent;

// What the handlers saw, as "who:phase".
std::vector<std::string> gCalls;
int gConsumeIn = -1;  // the handler tag that consumes, -1 none

int Handler(XPLMCommandRef, XPLMCommandPhase phase, void* refcon) {
    int tag = static_cast<int>(reinterpret_cast<intptr_t>(refcon));
    gCalls.push_back(std::to_string(tag) + ":" + std::to_string(phase));
    return tag == gConsumeIn ? 0 : 1;
}

void* Tag(int tag) {
    return reinterpret_cast<void*>(static_cast<intptr_t>(tag));
}

std::vector<std::string> Events(const std::vector<CommandEvent>& events) {
    std::vector<std::string> texts;
    for (const auto& event : events) {
        texts.push_back(event.name + " " + xphost::PhaseName(event.phase) + " " + event.cause);
    }
    return texts;
}

class XphostCommands : public HostTest {
  protected:
    void SetUp() override {
        HostTest::SetUp();
        gCalls.clear();
        gConsumeIn = -1;
        Load("command sim/test/a First\ncommand sim/test/b Second\n");
        a_ = XPLMFindCommand("sim/test/a");
        ASSERT_NE(a_, nullptr);
    }
    XPLMCommandRef a_ = nullptr;
};

TEST_F(XphostCommands, FindAndCreate) {
    EXPECT_EQ(XPLMFindCommand("sim/test/none"), nullptr);
    EXPECT_EQ(XPLMFindCommand(nullptr), nullptr);
    EXPECT_EQ(XPLMCreateCommand("sim/test/a", "other"), a_);
    XPLMCommandRef made = XPLMCreateCommand("plugin/made", "Made by a plug-in");
    ASSERT_NE(made, nullptr);
    EXPECT_NE(made, a_);
    EXPECT_EQ(XPLMFindCommand("plugin/made"), made);
    EXPECT_EQ(XPLMCreateCommand("plugin/made", nullptr), made);
    EXPECT_EQ(XPLMCreateCommand("", "empty"), nullptr);
    xphost::Reset();
    EXPECT_EQ(XPLMFindCommand("plugin/made"), nullptr);
    XPLMCommandOnce(made);  // a dead handle does nothing
    EXPECT_TRUE(xphost::TakeCommandTrace().empty());
}

TEST_F(XphostCommands, OnceIsABeginAndAnEnd) {
    XPLMRegisterCommandHandler(a_, Handler, 1, Tag(1));
    XPLMCommandOnce(a_);
    EXPECT_EQ(gCalls, (std::vector<std::string>{"1:0", "1:2"}));
    EXPECT_EQ(Events(xphost::TakeCommandTrace()),
              (std::vector<std::string>{"sim/test/a begin plugin", "sim/test/a end plugin"}));
    EXPECT_TRUE(xphost::TakeCommandTrace().empty());  // taken
    xphost::RunFrames(3);
    EXPECT_EQ(gCalls.size(), 2u);  // once has no continue phase
    EXPECT_TRUE(xphost::RunCommand("sim/test/a", "once"));
    EXPECT_EQ(Events(xphost::TakeCommandTrace()),
              (std::vector<std::string>{"sim/test/a begin host", "sim/test/a end host"}));
}

TEST_F(XphostCommands, BegunCommandsContinueEveryFrameUntilEnded) {
    XPLMRegisterCommandHandler(a_, Handler, 1, Tag(1));
    XPLMCommandBegin(a_);
    EXPECT_TRUE(xphost::IsCommandActive("sim/test/a"));
    xphost::RunFrames(3);
    XPLMCommandEnd(a_);
    EXPECT_FALSE(xphost::IsCommandActive("sim/test/a"));
    xphost::RunFrames(2);
    EXPECT_EQ(gCalls, (std::vector<std::string>{"1:0", "1:1", "1:1", "1:1", "1:2"}));
    EXPECT_EQ(Events(xphost::TakeCommandTrace()),
              (std::vector<std::string>{"sim/test/a begin plugin", "sim/test/a continue plugin",
                                        "sim/test/a continue plugin", "sim/test/a continue plugin",
                                        "sim/test/a end plugin"}));
    // The host's begin and end; the continues carry the cause of the begin.
    EXPECT_TRUE(xphost::RunCommand("sim/test/b", "begin"));
    xphost::RunFrame();
    EXPECT_TRUE(xphost::RunCommand("sim/test/b", "end"));
    EXPECT_EQ(Events(xphost::TakeCommandTrace()),
              (std::vector<std::string>{"sim/test/b begin host", "sim/test/b continue host",
                                        "sim/test/b end host"}));
    EXPECT_FALSE(xphost::RunCommand("sim/test/none", "once"));
    EXPECT_FALSE(xphost::RunCommand("sim/test/a", "twice"));
}

TEST_F(XphostCommands, BeforeHandlersRunFirstAndZeroConsumes) {
    XPLMRegisterCommandHandler(a_, Handler, 0, Tag(1));  // after
    XPLMRegisterCommandHandler(a_, Handler, 1, Tag(2));  // before
    XPLMRegisterCommandHandler(a_, Handler, 0, Tag(3));  // after
    XPLMRegisterCommandHandler(a_, Handler, 1, Tag(4));  // before
    XPLMCommandBegin(a_);
    EXPECT_EQ(gCalls, (std::vector<std::string>{"2:0", "4:0", "1:0", "3:0"}));
    gCalls.clear();
    gConsumeIn = 4;  // the second before-handler consumes: no after-handler sees it
    XPLMCommandEnd(a_);
    EXPECT_EQ(gCalls, (std::vector<std::string>{"2:2", "4:2"}));
    gCalls.clear();
    gConsumeIn = 1;  // an after-handler consuming stops the rest of the after-handlers
    XPLMCommandOnce(a_);
    EXPECT_EQ(gCalls, (std::vector<std::string>{"2:0", "4:0", "1:0", "2:2", "4:2", "1:2"}));
    // Consumed or not, every phase is in the trace.
    EXPECT_EQ(xphost::TakeCommandTrace().size(), 4u);
}

TEST_F(XphostCommands, UnregisterMatchesCallbackBeforeAndRefcon) {
    XPLMRegisterCommandHandler(a_, Handler, 1, Tag(1));
    XPLMRegisterCommandHandler(a_, Handler, 0, Tag(2));
    XPLMUnregisterCommandHandler(a_, Handler, 0, Tag(1));  // no such registration
    XPLMUnregisterCommandHandler(a_, Handler, 1, Tag(2));  // no such registration
    XPLMCommandOnce(a_);
    EXPECT_EQ(gCalls.size(), 4u);
    gCalls.clear();
    XPLMUnregisterCommandHandler(a_, Handler, 1, Tag(1));
    XPLMCommandOnce(a_);
    EXPECT_EQ(gCalls, (std::vector<std::string>{"2:0", "2:2"}));
}

// A handler that removes the next one and runs another command while it runs.
XPLMCommandRef gOther = nullptr;
int Meddler(XPLMCommandRef command, XPLMCommandPhase phase, void*) {
    gCalls.push_back("meddler:" + std::to_string(phase));
    XPLMUnregisterCommandHandler(command, Handler, 1, Tag(1));
    XPLMUnregisterCommandHandler(command, Meddler, 1, nullptr);
    if (phase == xplm_CommandBegin) XPLMCommandOnce(gOther);
    return 1;
}

TEST_F(XphostCommands, HandlersMayUnregisterAndRunCommandsWhileDispatching) {
    gOther = XPLMFindCommand("sim/test/b");
    XPLMRegisterCommandHandler(gOther, Handler, 1, Tag(9));
    XPLMRegisterCommandHandler(a_, Meddler, 1, nullptr);
    XPLMRegisterCommandHandler(a_, Handler, 1, Tag(1));
    XPLMCommandOnce(a_);
    EXPECT_EQ(gCalls, (std::vector<std::string>{"meddler:0", "9:0", "9:2"}));
    EXPECT_EQ(Events(xphost::TakeCommandTrace()),
              (std::vector<std::string>{"sim/test/a begin plugin", "sim/test/b begin plugin",
                                        "sim/test/b end plugin", "sim/test/a end plugin"}));
}

}  // namespace
