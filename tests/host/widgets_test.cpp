// Widget trees: visibility, dispatch modes, destruction, and the clicks of a person on buttons,
// check boxes and close boxes.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "XPStandardWidgets.h"
#include "XPWidgets.h"
#include "xphost.h"

namespace {

std::vector<std::string> gSeen;
int gHandleIn = -1;  // the callback tag that handles messages, -1 none

std::string Seen(int tag, int message, intptr_t param1 = 0, intptr_t param2 = 0) {
    return std::to_string(tag) + ":" + std::to_string(message) + ":" + std::to_string(param1) +
           ":" + std::to_string(param2);
}

template <int Tag>
int Callback(XPWidgetMessage message, XPWidgetID, intptr_t param1, intptr_t param2) {
    if (message == xpMsg_PropertyChanged || message == xpMsg_DescriptorChanged) return 0;
    gSeen.push_back(Seen(Tag, message, param1, param2));
    return Tag == gHandleIn ? 1 : 0;
}

// A fresh simulator with a window of captions, a sub-window with a push button and a check box.
class XphostWidgets : public ::testing::Test {
  protected:
    void SetUp() override {
        xphost::SetDebugEcho(false);
        xphost::Reset();
        gSeen.clear();
        gHandleIn = -1;
        window_ = XPCreateWidget(100, 500, 400, 200, 1, "Main Window", 1, nullptr,
                                 xpWidgetClass_MainWindow);
        XPSetWidgetProperty(window_, xpProperty_MainWindowHasCloseBoxes, 1);
        lower_ = XPCreateWidget(110, 300, 390, 288, 1, "Lower caption", 0, window_,
                                xpWidgetClass_Caption);
        upper_ = XPCreateWidget(110, 470, 390, 458, 1, "Upper caption", 0, window_,
                                xpWidgetClass_Caption);
        sub_ = XPCreateWidget(110, 450, 390, 320, 1, "", 0, window_, xpWidgetClass_SubWindow);
        button_ = XPCreateWidget(120, 440, 200, 420, 1, "Reconnect", 0, sub_, xpWidgetClass_Button);
        XPSetWidgetProperty(button_, xpProperty_ButtonType, xpPushButton);
        XPSetWidgetProperty(button_, xpProperty_ButtonBehavior, xpButtonBehaviorPushButton);
        box_ =
            XPCreateWidget(120, 400, 130, 388, 1, "  Enable USB", 0, window_, xpWidgetClass_Button);
        XPSetWidgetProperty(box_, xpProperty_ButtonType, xpRadioButton);
        XPSetWidgetProperty(box_, xpProperty_ButtonBehavior, xpButtonBehaviorCheckBox);
        XPSetWidgetProperty(box_, xpProperty_ButtonState, 1);
        XPAddWidgetCallback(window_, Callback<1>);
        XPAddWidgetCallback(sub_, Callback<2>);
        XPAddWidgetCallback(button_, Callback<3>);
        XPAddWidgetCallback(button_, Callback<4>);  // newer: called before 3
        XPAddWidgetCallback(box_, Callback<5>);
    }
    void TearDown() override { xphost::Reset(); }
    static intptr_t Id(XPWidgetID widget) { return reinterpret_cast<intptr_t>(widget); }

    XPWidgetID window_ = nullptr, lower_ = nullptr, upper_ = nullptr, sub_ = nullptr,
               button_ = nullptr, box_ = nullptr;
};

TEST_F(XphostWidgets, DispatchModes) {
    // Up the chain: the button's callbacks newest first, then the sub-window, then the window.
    EXPECT_EQ(XPSendMessageToWidget(button_, xpMsg_UserStart, xpMode_UpChain, 5, 6), 0);
    EXPECT_EQ(gSeen, (std::vector<std::string>{Seen(4, 10000, 5, 6), Seen(3, 10000, 5, 6),
                                               Seen(2, 10000, 5, 6), Seen(1, 10000, 5, 6)}));
    gSeen.clear();
    gHandleIn = 3;  // handled at the button: goes no further
    EXPECT_EQ(XPSendMessageToWidget(button_, xpMsg_UserStart, xpMode_UpChain, 0, 0), 1);
    EXPECT_EQ(gSeen, (std::vector<std::string>{Seen(4, 10000), Seen(3, 10000)}));
    gSeen.clear();
    gHandleIn = 4;  // handled by the first callback: the second is not asked
    EXPECT_EQ(XPSendMessageToWidget(button_, xpMsg_UserStart, xpMode_Direct, 0, 0), 1);
    EXPECT_EQ(gSeen, (std::vector<std::string>{Seen(4, 10000)}));
    gSeen.clear();
    EXPECT_EQ(XPSendMessageToWidget(button_, xpMsg_UserStart, xpMode_DirectAllCallbacks, 0, 0), 1);
    EXPECT_EQ(gSeen, (std::vector<std::string>{Seen(4, 10000), Seen(3, 10000)}));
    gSeen.clear();
    gHandleIn = -1;
    EXPECT_EQ(XPSendMessageToWidget(button_, xpMsg_UserStart, xpMode_Once, 0, 0), 0);
    EXPECT_EQ(gSeen, (std::vector<std::string>{Seen(4, 10000)}));
    gSeen.clear();
    // Recursive: the window, then its children depth first in creation order.
    EXPECT_EQ(XPSendMessageToWidget(window_, xpMsg_UserStart, xpMode_Recursive, 0, 0), 0);
    EXPECT_EQ(gSeen, (std::vector<std::string>{Seen(1, 10000), Seen(2, 10000), Seen(4, 10000),
                                               Seen(3, 10000), Seen(5, 10000)}));
    EXPECT_EQ(XPSendMessageToWidget(nullptr, xpMsg_UserStart, xpMode_Direct, 0, 0), 0);
}

// A person's clicks: a push button tells its chain; a check box sets its state, then tells its
// chain (nothing when it does not change); the close box tells the window.
TEST_F(XphostWidgets, ClicksOnButtonsCheckBoxesAndCloseBoxes) {
    EXPECT_TRUE(xphost::ClickButton("Recon"));
    const intptr_t button = Id(button_), box = Id(box_);
    EXPECT_EQ(gSeen, (std::vector<std::string>{Seen(4, xpMsg_PushButtonPressed, button),
                                               Seen(3, xpMsg_PushButtonPressed, button),
                                               Seen(2, xpMsg_PushButtonPressed, button),
                                               Seen(1, xpMsg_PushButtonPressed, button)}));
    EXPECT_FALSE(xphost::ClickButton("Nothing like it"));
    EXPECT_FALSE(xphost::ClickButton("Upper"));  // a caption is no button
    gSeen.clear();

    EXPECT_EQ(xphost::CheckBoxState("Enable USB"), 1);
    EXPECT_TRUE(xphost::SetCheckBox("Enable USB", 1));
    EXPECT_TRUE(gSeen.empty());
    EXPECT_TRUE(xphost::SetCheckBox("Enable USB", 0));
    EXPECT_EQ(XPGetWidgetProperty(box_, xpProperty_ButtonState, nullptr), 0);
    EXPECT_EQ(gSeen, (std::vector<std::string>{Seen(5, xpMsg_ButtonStateChanged, box, 0),
                                               Seen(1, xpMsg_ButtonStateChanged, box, 0)}));
    gSeen.clear();
    EXPECT_TRUE(xphost::ClickButton("Enable USB"));  // a click toggles
    EXPECT_EQ(xphost::CheckBoxState("Enable USB"), 1);
    EXPECT_EQ(gSeen.front(), Seen(5, xpMsg_ButtonStateChanged, box, 1));
    EXPECT_FALSE(xphost::SetCheckBox("Reconnect", 1));  // a push button is no check box
    EXPECT_EQ(xphost::CheckBoxState("Nothing"), -1);
    gSeen.clear();

    EXPECT_TRUE(xphost::PressCloseBox());
    EXPECT_EQ(gSeen, (std::vector<std::string>{Seen(1, xpMessage_CloseButtonPushed, Id(window_))}));
    XPSetWidgetProperty(window_, xpProperty_MainWindowHasCloseBoxes, 0);
    EXPECT_FALSE(xphost::PressCloseBox());
}

// A window callback that hides its window on the close box, as plug-ins do.
XPWidgetID gHideMe = nullptr;
int HideOnClose(XPWidgetMessage message, XPWidgetID, intptr_t, intptr_t) {
    if (message != xpMessage_CloseButtonPushed) return 0;
    XPHideWidget(gHideMe);
    return 1;
}

TEST_F(XphostWidgets, ClosingAWindowThatHidesItself) {
    gHideMe = window_;
    XPAddWidgetCallback(window_, HideOnClose);
    EXPECT_TRUE(xphost::PressCloseBox());
    EXPECT_EQ(XPIsWidgetVisible(window_), 0);
    // The close box was handled by the newer callback; hiding tells the window.
    EXPECT_EQ(gSeen, (std::vector<std::string>{Seen(1, xpMsg_Hidden, Id(window_))}));
    EXPECT_EQ(xphost::WindowText(), "");
    EXPECT_EQ(xphost::RootWidgetCount(), 1);
}

}  // namespace
