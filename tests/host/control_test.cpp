// The control language: the answer of every kind of line.
#include <string>

#include "XPLMMenus.h"
#include "XPLMUtilities.h"
#include "XPStandardWidgets.h"
#include "XPWidgets.h"
#include "host_fixture.h"

namespace {

using xphost::ExecuteLine;

int gMenuChoices = 0;
void CountChoice(void*, void*) {
    ++gMenuChoices;
}
int gPresses = 0;
int CountPress(XPWidgetMessage message, XPWidgetID, intptr_t, intptr_t) {
    if (message == xpMsg_PushButtonPressed) ++gPresses;
    return 0;
}

class XphostControl : public HostTest {
  protected:
    void SetUp() override {
        HostTest::SetUp();
        gMenuChoices = 0;
        gPresses = 0;
        Load(
            "c/int int rw 3\nc/ro float ro 0.5\nc/fa float[3] rw\nc/tail byte[8] ro N1\n"
            "command c/cmd A command\n");
    }
};

TEST_F(XphostControl, SetAndGet) {
    EXPECT_EQ(ExecuteLine("get c/int"), "c/int = 3");
    EXPECT_EQ(ExecuteLine("  set c/int 12  "), "c/int = 12");
    EXPECT_EQ(ExecuteLine("set c/ro 2.25"), "c/ro = 2.25");
    EXPECT_EQ(ExecuteLine("set c/fa[1] 4.5"), "c/fa[1] = 4.5");
    EXPECT_EQ(ExecuteLine("get c/fa"), "c/fa = 0,4.5,0");
    EXPECT_EQ(ExecuteLine("set c/fa 1,2,3"), "c/fa = 1,2,3");
    EXPECT_EQ(ExecuteLine("set c/tail D-EXYZ W"), "c/tail = D-EXYZ W");
    EXPECT_EQ(ExecuteLine("get c/none").rfind("error: ", 0), 0u);
    EXPECT_EQ(ExecuteLine("set c/int abc").rfind("error: ", 0), 0u);
    EXPECT_EQ(ExecuteLine("set c/int").rfind("error: ", 0), 0u);
    EXPECT_EQ(ExecuteLine("get c/fa[7]").rfind("error: ", 0), 0u);
    EXPECT_EQ(ExecuteLine("get c/int"), "c/int = 12");
}

TEST_F(XphostControl, RunFramesAndTime) {
    EXPECT_EQ(ExecuteLine("run 0.5"), "ok: time 0.500 s, frame 30");
    EXPECT_EQ(ExecuteLine("frames 3"), "ok: time 0.550 s, frame 33");
    EXPECT_EQ(ExecuteLine("fps 30"), "ok: 30 fps");
    EXPECT_EQ(ExecuteLine("run 1"), "ok: time 1.550 s, frame 63");
    EXPECT_EQ(ExecuteLine("time"), "time 1.550 s, frame 63");
    EXPECT_EQ(ExecuteLine("run -1").rfind("error: ", 0), 0u);
    EXPECT_EQ(ExecuteLine("frames x").rfind("error: ", 0), 0u);
    // The frame hook can end a run early.
    int hooked = 0;
    xphost::SetControlFrameHook([&] { return ++hooked < 3; });
    EXPECT_EQ(ExecuteLine("frames 10"), "ok: time 1.617 s, frame 65");
    EXPECT_EQ(hooked, 3);
}

TEST_F(XphostControl, CommandsAndTrace) {
    EXPECT_EQ(ExecuteLine("trace"), "(no command events)");
    EXPECT_EQ(ExecuteLine("command c/cmd once"), "ok");
    EXPECT_EQ(ExecuteLine("command c/cmd begin"), "ok");
    EXPECT_EQ(ExecuteLine("frames 1"), "ok: time 0.017 s, frame 1");
    EXPECT_EQ(ExecuteLine("command c/cmd end"), "ok");
    XPLMCommandOnce(XPLMFindCommand("c/cmd"));
    EXPECT_EQ(ExecuteLine("trace"),
              "c/cmd begin host\nc/cmd end host\nc/cmd begin host\nc/cmd continue host\n"
              "c/cmd end host\nc/cmd begin plugin\nc/cmd end plugin");
    EXPECT_EQ(ExecuteLine("trace"), "(no command events)");
    EXPECT_EQ(ExecuteLine("command c/none once"), "error: unknown command c/none");
    EXPECT_EQ(ExecuteLine("command c/cmd hold"), "error: command NAME once|begin|end");
}

TEST_F(XphostControl, MenusWindowsAndButtons) {
    XPLMMenuID plugins = XPLMFindPluginsMenu();
    int item = XPLMAppendMenuItem(plugins, "Corvane", nullptr, 1);
    XPLMMenuID menu = XPLMCreateMenu("Corvane", plugins, item, CountChoice, nullptr);
    XPLMAppendMenuItem(menu, "Reload Plugins", nullptr, 1);
    EXPECT_EQ(ExecuteLine("menu Corvane/Reload Plugins"), "ok");
    EXPECT_EQ(gMenuChoices, 1);
    EXPECT_EQ(ExecuteLine("menu Corvane/Nothing"), "error: no menu item Corvane/Nothing");
    EXPECT_EQ(ExecuteLine("items Corvane"), "Reload Plugins");
    EXPECT_EQ(ExecuteLine("items"), "Corvane");
    XPLMCheckMenuItem(menu, 0, xplm_Menu_Checked);
    EXPECT_EQ(ExecuteLine("items Corvane"), "Reload Plugins [x]");

    EXPECT_EQ(ExecuteLine("window"), "(no visible window)");
    XPWidgetID window =
        XPCreateWidget(0, 100, 200, 0, 1, "Status v1", 1, nullptr, xpWidgetClass_MainWindow);
    XPSetWidgetProperty(window, xpProperty_MainWindowHasCloseBoxes, 1);
    XPCreateWidget(10, 90, 190, 78, 1, "   Line one", 0, window, xpWidgetClass_Caption);
    XPWidgetID button =
        XPCreateWidget(10, 70, 90, 50, 1, "Reconnect", 0, window, xpWidgetClass_Button);
    XPWidgetID box =
        XPCreateWidget(10, 40, 20, 28, 1, "Enable USB", 0, window, xpWidgetClass_Button);
    XPSetWidgetProperty(box, xpProperty_ButtonBehavior, xpButtonBehaviorCheckBox);
    XPAddWidgetCallback(button, CountPress);
    EXPECT_EQ(ExecuteLine("window"), "Status v1\n   Line one\nReconnect\nEnable USB");
    EXPECT_EQ(ExecuteLine("widgets"),
              "window \"Status v1\" (0,100,200,0)\ncaption \"   Line one\" (10,90,190,78)\n"
              "button \"Reconnect\" (10,70,90,50)\nbutton \"Enable USB\" (10,40,20,28) state 0");
    EXPECT_EQ(ExecuteLine("click Reconn"), "ok");
    EXPECT_EQ(gPresses, 1);
    EXPECT_EQ(ExecuteLine("click Nothing"), "error: no button Nothing");
    EXPECT_EQ(ExecuteLine("check 1 Enable USB"), "ok");
    EXPECT_EQ(xphost::CheckBoxState("Enable"), 1);
    EXPECT_EQ(ExecuteLine("check 2 Enable USB"), "error: check 0|1 CAPTION");
    EXPECT_EQ(ExecuteLine("check 1 Reconnect"), "error: no check box Reconnect");
    EXPECT_EQ(ExecuteLine("close"), "ok");
}

TEST_F(XphostControl, QuitCommentsAndMistakes) {
    EXPECT_EQ(ExecuteLine(""), "");
    EXPECT_EQ(ExecuteLine("   "), "");
    EXPECT_EQ(ExecuteLine("# set c/int 99"), "");
    EXPECT_EQ(ExecuteLine("get c/int"), "c/int = 3");
    EXPECT_EQ(ExecuteLine("launch rockets"),
              "error: unknown control line 'launch rockets' (try help)");
    EXPECT_EQ(ExecuteLine("message 102"), "error: no enabled plug-in");
    EXPECT_EQ(ExecuteLine("reload"), "error: no plug-in");
    EXPECT_NE(ExecuteLine("help").find("check 0|1 CAPTION"), std::string::npos);
    XPLMDebugString("from the plug-in\n");
    EXPECT_EQ(ExecuteLine("log"), "from the plug-in");
    EXPECT_EQ(ExecuteLine("log"), "(no log output)");
    EXPECT_FALSE(xphost::QuitRequested());
    EXPECT_EQ(ExecuteLine("quit"), "bye");
    EXPECT_TRUE(xphost::QuitRequested());
    xphost::Reset();
    EXPECT_FALSE(xphost::QuitRequested());
}

}  // namespace
