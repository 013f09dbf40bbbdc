// The plug-in slot: entry points in the simulator's order, identity, messages, what unloading
// takes away, reloading and the debug log.
#include <cstring>
#include <string>
#include <vector>

#include "XPLMDataAccess.h"
#include "XPLMMenus.h"
#include "XPLMPlugin.h"
#include "XPLMProcessing.h"
#include "XPLMUtilities.h"
#include "XPStandardWidgets.h"
#include "XPWidgets.h"
#include "host_fixture.h"

namespace {

std::vector<std::string> gEvents;
int gStartResult = 1;
int gEnableResult = 1;
bool gRegisterThings = false;
int gFrames = 0;

float CountFrames(float, float, int, void*) {
    ++gFrames;
    return -1.0f;
}
int ReadSeven(void*) {
    return 7;
}
int Handle(XPLMCommandRef, XPLMCommandPhase phase, void*) {
    gEvents.push_back("command " + std::to_string(phase));
    return 1;
}
void MenuHandler(void*, void*) {
    gEvents.push_back("menu");
}

int Start(char* name, char* signature, char* description) {
    gEvents.push_back("start");
    std::strcpy(name, "Test Plugin");
    std::strcpy(signature, "corvane.test.plugin");
    std::strcpy(description, "A plug-in inside the test");
    if (gRegisterThings) {
        XPLMRegisterFlightLoopCallback(CountFrames, -1.0f, nullptr);
        XPLMRegisterDataAccessor("testplugin/seven", xplmType_Int, 0, ReadSeven, nullptr, nullptr,
                                 nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                                 nullptr, nullptr, nullptr, nullptr);
        XPLMCommandRef command = XPLMCreateCommand("testplugin/go", "Go");
        XPLMRegisterCommandHandler(command, Handle, 1, nullptr);
        int item = XPLMAppendMenuItem(XPLMFindPluginsMenu(), "TestPlugin", nullptr, 1);
        XPLMMenuID menu =
            XPLMCreateMenu("TestPlugin", XPLMFindPluginsMenu(), item, MenuHandler, nullptr);
        XPLMAppendMenuItem(menu, "Do", nullptr, 1);
        XPCreateWidget(0, 100, 100, 0, 1, "Window", 1, nullptr, xpWidgetClass_MainWindow);
    }
    return gStartResult;
}
void Stop() {
    gEvents.push_back("stop");
}
int Enable() {
    gEvents.push_back("enable");
    return gEnableResult;
}
void Disable() {
    gEvents.push_back("disable");
}
void Receive(int from, int message, void* param) {
    gEvents.push_back("message " + std::to_string(message) + " from " + std::to_string(from) +
                      (param != nullptr ? " with param" : ""));
}

const xphost::PluginEntryPoints kEntry{Start, Stop, Enable, Disable, Receive};
const char* const kPath = "/plugins/Test/64/lin.xpl";

class XphostPlugin : public HostTest {
  protected:
    void SetUp() override {
        HostTest::SetUp();
        gEvents.clear();
        gStartResult = 1;
        gEnableResult = 1;
        gRegisterThings = false;
        gFrames = 0;
    }
};

TEST_F(XphostPlugin, EntryPointsRunInTheSimulatorsOrder) {
    xphost::AttachPlugin(kEntry, kPath);
    EXPECT_TRUE(xphost::PluginLoaded());
    EXPECT_TRUE(gEvents.empty());          // attaching does not start
    EXPECT_FALSE(xphost::EnablePlugin());  // not started yet
    EXPECT_TRUE(xphost::StartPlugin());
    EXPECT_TRUE(xphost::StartPlugin());  // already started: not called again
    EXPECT_TRUE(xphost::EnablePlugin());
    EXPECT_TRUE(xphost::PluginEnabled());
    xphost::UnloadPlugin();
    EXPECT_FALSE(xphost::PluginLoaded());
    EXPECT_EQ(gEvents, (std::vector<std::string>{"start", "enable", "disable", "stop"}));
    xphost::UnloadPlugin();  // nothing left to unload
    EXPECT_EQ(gEvents.size(), 4u);
}

TEST_F(XphostPlugin, StopDisablesFirstAndRefusalsAreKept) {
    xphost::AttachPlugin(kEntry, kPath);
    xphost::StartPlugin();
    xphost::EnablePlugin();
    xphost::StopPlugin();
    EXPECT_EQ(gEvents, (std::vector<std::string>{"start", "enable", "disable", "stop"}));
    gEvents.clear();
    gEnableResult = 0;
    EXPECT_TRUE(xphost::StartPlugin());
    EXPECT_FALSE(xphost::EnablePlugin());
    EXPECT_FALSE(xphost::PluginEnabled());
    xphost::UnloadPlugin();  // not enabled: no disable
    EXPECT_EQ(gEvents, (std::vector<std::string>{"start", "enable", "stop"}));
    gEvents.clear();
    gStartResult = 0;
    xphost::AttachPlugin(kEntry, kPath);
    EXPECT_FALSE(xphost::StartPlugin());
    EXPECT_FALSE(xphost::PluginStarted());
    EXPECT_FALSE(xphost::EnablePlugin());
    xphost::UnloadPlugin();  // never started: no stop
    EXPECT_EQ(gEvents, (std::vector<std::string>{"start"}));
}

TEST_F(XphostPlugin, IdentityComesFromStartAndTheFilePath) {
    xphost::AttachPlugin(kEntry, kPath);
    xphost::StartPlugin();
    EXPECT_EQ(XPLMGetMyID(), 1);
    char name[256], path[256], signature[256], description[256];
    XPLMGetPluginInfo(XPLMGetMyID(), name, path, signature, description);
    EXPECT_STREQ(name, "Test Plugin");
    EXPECT_STREQ(path, kPath);
    EXPECT_STREQ(signature, "corvane.test.plugin");
    EXPECT_STREQ(description, "A plug-in inside the test");
    XPLMGetPluginInfo(1, nullptr, path, nullptr, nullptr);  // any argument may be NULL
    EXPECT_STREQ(path, kPath);
    XPLMGetPluginInfo(XPLM_PLUGIN_XPLANE, name, nullptr, nullptr, nullptr);
    EXPECT_STREQ(name, "X-Plane");
    XPLMGetPluginInfo(7, name, nullptr, nullptr, nullptr);
    EXPECT_STREQ(name, "");
}

TEST_F(XphostPlugin, MessagesReachOnlyAnEnabledPlugin) {
    xphost::AttachPlugin(kEntry, kPath);
    xphost::SendPluginMessage(XPLM_MSG_PLANE_LOADED);
    xphost::StartPlugin();
    xphost::SendPluginMessage(XPLM_MSG_PLANE_LOADED);
    xphost::EnablePlugin();
    int param = 0;
    xphost::SendPluginMessage(XPLM_MSG_PLANE_LOADED, &param);
    xphost::SendPluginMessage(XPLM_MSG_AIRPORT_LOADED);
    EXPECT_EQ(gEvents, (std::vector<std::string>{"start", "enable", "message 102 from 0 with param",
                                                 "message 103 from 0"}));
}

TEST_F(XphostPlugin, UnloadingDropsWhatThePluginRegistered) {
    Load("command sim/other Other");
    gRegisterThings = true;
    xphost::AttachPlugin(kEntry, kPath);
    xphost::StartPlugin();
    xphost::EnablePlugin();
    xphost::RunFrames(2);
    EXPECT_EQ(gFrames, 2);
    EXPECT_TRUE(xphost::HasDataref("testplugin/seven"));
    EXPECT_TRUE(xphost::ChooseMenu("TestPlugin/Do"));
    EXPECT_EQ(xphost::RootWidgetCount(), 1);
    xphost::UnloadPlugin();
    xphost::RunFrames(2);
    EXPECT_EQ(gFrames, 2);
    EXPECT_FALSE(xphost::HasDataref("testplugin/seven"));
    EXPECT_TRUE(xphost::MenuItems("").empty());
    EXPECT_FALSE(xphost::ChooseMenu("TestPlugin/Do"));
    EXPECT_EQ(xphost::RootWidgetCount(), 0);
    // Its command stays, without its handler; the simulator's commands stay too.
    EXPECT_TRUE(xphost::RunCommand("testplugin/go", "once"));
    EXPECT_TRUE(xphost::HasCommand("sim/other"));
    EXPECT_EQ(gEvents, (std::vector<std::string>{"start", "enable", "menu", "disable", "stop"}));
}

TEST_F(XphostPlugin, ReloadHappensAtTheEndOfTheFrame) {
    gRegisterThings = true;
    xphost::AttachPlugin(kEntry, kPath);
    xphost::StartPlugin();
    xphost::EnablePlugin();
    int hookCalls = 0;
    xphost::SetReloadHook([&] {
        ++hookCalls;
        gEvents.push_back("hook");
        gFrames = 0;
    });
    XPLMReloadPlugins();
    EXPECT_TRUE(xphost::ReloadPending());
    EXPECT_EQ(gEvents.size(), 2u);  // nothing yet
    xphost::RunFrame();
    EXPECT_FALSE(xphost::ReloadPending());
    EXPECT_EQ(hookCalls, 1);
    EXPECT_EQ(gEvents, (std::vector<std::string>{"start", "enable", "disable", "stop", "hook",
                                                 "start", "enable"}));
    // The flight loop of the frame ran before the reload; the new registration runs next frame.
    EXPECT_EQ(gFrames, 0);
    xphost::RunFrame();
    EXPECT_EQ(gFrames, 1);
    // One menu and one window again, not two.
    EXPECT_EQ(xphost::MenuItems(""), (std::vector<std::string>{"TestPlugin"}));
    EXPECT_EQ(xphost::RootWidgetCount(), 1);
    EXPECT_TRUE(xphost::ReloadPlugin());
    EXPECT_EQ(hookCalls, 2);
}

TEST_F(XphostPlugin, ResetDetachesWithoutStopping) {
    xphost::AttachPlugin(kEntry, kPath);
    xphost::StartPlugin();
    xphost::EnablePlugin();
    xphost::Reset();
    EXPECT_FALSE(xphost::PluginLoaded());
    EXPECT_EQ(gEvents, (std::vector<std::string>{"start", "enable"}));
    EXPECT_FALSE(xphost::ReloadPlugin());
    XPLMReloadPlugins();
    EXPECT_FALSE(xphost::ReloadPending());
}

TEST_F(XphostPlugin, LoadingAFileThatIsNoPluginFails) {
    std::string error;
    EXPECT_FALSE(xphost::LoadPlugin("/nonexistent/lin.xpl", &error));
    EXPECT_FALSE(error.empty());
    EXPECT_FALSE(xphost::PluginLoaded());
    EXPECT_FALSE(xphost::LoadPlugin("libm.so.6", &error));  // loads, but has no entry points
    EXPECT_NE(error.find("XPluginStart"), std::string::npos) << error;
    EXPECT_FALSE(xphost::PluginLoaded());
    xphost::AttachPlugin(kEntry, kPath);
    EXPECT_FALSE(xphost::LoadPlugin("libm.so.6", &error));
    EXPECT_NE(error.find("already"), std::string::npos) << error;
}

using XphostLog = HostTest;

TEST_F(XphostLog, DebugStringsAreKeptInTheLog) {
    XPLMDebugString("first line\n");
    XPLMDebugString("second ");
    XPLMDebugString(nullptr);
    XPLMDebugString("line\n");
    EXPECT_EQ(xphost::DebugLog(), "first line\nsecond line\n");
    xphost::Reset();
    EXPECT_EQ(xphost::DebugLog(), "");
}

}  // namespace
