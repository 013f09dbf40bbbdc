#include "plugin/status_window.h"

#include <cstring>
#include <string>

#include "XPLMMenus.h"
#include "XPLMPlugin.h"
#include "XPStandardWidgets.h"
#include "XPWidgets.h"
#include "config/settings.h"
#include "config/status_text.h"
#include "plugin/lifecycle.h"
#include "plugin/live_dataref_list.h"
#include "plugin/monitor_window.h"
#include "studio/studio.h"

XPWidgetID InstructionsWidget = nullptr;
XPWidgetID ToggleUSB = nullptr;
XPWidgetID ReconnectButton = nullptr;
int gMenuItem = 0;

namespace {

// The item references are these texts themselves.
char kStatusItem[] = "1";
char kReconnectItem[] = "2";
char kReloadItem[] = "3";
char kMonitorItem[] = "4";
char kDatarefListItem[] = "5";
char kOpenStudioItem[] = "6";

}  // namespace

void CreatePluginMenu() {
    // The last argument of XPLMAppendMenuItem is one the simulator ignores.
    const auto append = [](XPLMMenuID menu, const char* name, char* ref) {
        return XPLMAppendMenuItem(menu, name, ref, 0);
    };
    const int item = append(XPLMFindPluginsMenu(), "Corvane", nullptr);
    XPLMMenuID menu =
        XPLMCreateMenu("Corvane", XPLMFindPluginsMenu(), item, InstructionsMenuHandler, nullptr);
    append(menu, "Status", kStatusItem);
    append(menu, "Reconnect", kReconnectItem);
    append(menu, "Reload Plugins", kReloadItem);
    append(menu, "Monitor", kMonitorItem);
    append(menu, "Write dataref list", kDatarefListItem);
    append(menu, "Open Studio", kOpenStudioItem);
}

void InstructionsMenuHandler(void*, void* inItemRef) {
    if (!inItemRef) return;
    const char* item = static_cast<const char*>(inItemRef);
    if (std::strcmp(item, "1") == 0) {
        if (gMenuItem == 0) {
            CreateInstructionsWidget(400, 612, 410, 510);
            gMenuItem = 1;
        } else if (XPIsWidgetVisible(InstructionsWidget) == 0) {
            XPShowWidget(InstructionsWidget);
        }
    }
    if (std::strcmp(item, "2") == 0) ResetPlugin();
    if (std::strcmp(item, "3") == 0) XPLMReloadPlugins();
    if (std::strcmp(item, "4") == 0) ShowMonitorWindow();
    if (std::strcmp(item, "5") == 0) WriteLiveDatarefList();
    if (std::strcmp(item, "6") == 0) OpenStudio();
}

void CreateInstructionsWidget(int x, int y, int w, int h) {
    const std::string title = "Corvane v" + plugin_ver + "   -   cockpit boards for X-Plane";
    InstructionsWidget =
        XPCreateWidget(x, y, x + w, y - h, 1, title.c_str(), 1, nullptr, xpWidgetClass_MainWindow);
    XPSetWidgetProperty(InstructionsWidget, xpProperty_MainWindowHasCloseBoxes, 1);
    // Every caption exists even before the start-up has written the lines, so that the start-up
    // can fill them.
    for (int i = 0; i < kStatusLineCount; ++i) {
        const int t = y - 30 - 20 * i;
        InstructionsTextWidget[i] =
            XPCreateWidget(x + 10, t, x + w - 10, t - 12, 1, StatusLine(i).c_str(), 0,
                           InstructionsWidget, xpWidgetClass_Caption);
    }
    ToggleUSB = XPCreateWidget(x + 20, y - 334, x + 30, y - 346, 1,
                               "   Enable USB   (disable before uploading code to Arduino)", 0,
                               InstructionsWidget, xpWidgetClass_Button);
    XPSetWidgetProperty(ToggleUSB, xpProperty_ButtonType, xpRadioButton);
    XPSetWidgetProperty(ToggleUSB, xpProperty_ButtonBehavior, xpButtonBehaviorCheckBox);
    XPSetWidgetProperty(ToggleUSB, xpProperty_ButtonState, USBcountVar > 0 ? 1 : 0);
    XPAddWidgetCallback(ToggleUSB, ToggleUSBHandler);
    ReconnectButton = XPCreateWidget(x + 300, y - 28, x + 390, y - 48, 1, "Reconnect", 0,
                                     InstructionsWidget, xpWidgetClass_Button);
    XPSetWidgetProperty(ReconnectButton, xpProperty_ButtonType, xpPushButton);
    XPSetWidgetProperty(ReconnectButton, xpProperty_ButtonBehavior, xpButtonBehaviorPushButton);
    XPAddWidgetCallback(ReconnectButton, ReconnectButtonHandler);
    XPAddWidgetCallback(InstructionsWidget, InstructionsHandler);
}

void DestroyStatusWindow() {
    if (gMenuItem != 1) return;
    XPDestroyWidget(InstructionsWidget, 1);
    gMenuItem = 0;
    InstructionsWidget = nullptr;
    ToggleUSB = nullptr;
    ReconnectButton = nullptr;
    for (XPWidgetID& caption : InstructionsTextWidget) caption = nullptr;
}

int InstructionsHandler(XPWidgetMessage inMessage, XPWidgetID, intptr_t, intptr_t) {
    if (inMessage != xpMessage_CloseButtonPushed) return 0;
    if (gMenuItem == 1) XPHideWidget(InstructionsWidget);
    return 1;
}

int ReconnectButtonHandler(XPWidgetMessage inMessage, XPWidgetID, intptr_t, intptr_t) {
    if (inMessage != xpMsg_PushButtonPressed) return 0;
    ResetPlugin();
    return 1;
}

namespace {

// A settings file that could not be changed changes nothing: no reset, the box goes back to the
// state in force, and the window's last-message line says why.
void ShowUsbSettingUnchanged() {
    const bool usbOn = USBcountVar > 0;
    if (ToggleUSB) XPSetWidgetProperty(ToggleUSB, xpProperty_ButtonState, usbOn ? 1 : 0);
    ShowOnMessageLine(std::string("Corvane: config.ini could not be written, USB stays ") +
                      (usbOn ? "on" : "off"));
}

}  // namespace

int ToggleUSBHandler(XPWidgetMessage inMessage, XPWidgetID, intptr_t, intptr_t inParam2) {
    if (inMessage != xpMsg_ButtonStateChanged) return 0;
    if (!RewriteUsbSetting(static_cast<long>(inParam2))) {
        ShowUsbSettingUnchanged();
        return 1;
    }
    ResetPlugin();
    return 1;
}
