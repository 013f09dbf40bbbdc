#include "plugin/monitor_window.h"

#include <string>

#include "XPStandardWidgets.h"
#include "XPWidgets.h"
#include "config/board_monitor.h"
#include "exchange/monitor_text.h"

XPWidgetID MonitorWidget = nullptr;

namespace {

// Where the window opens, in the simulator's screen coordinates (y grows upwards).
constexpr int kLeft = 120;
constexpr int kTop = 700;
constexpr int kWidth = 760;
constexpr int kLineSpacing = 18;
constexpr int kHeight = 30 + kLineSpacing * kMonitorLineCount + 10;

void CreateMonitorWindow() {
    MonitorWidget = XPCreateWidget(kLeft, kTop, kLeft + kWidth, kTop - kHeight, 1,
                                   "Corvane monitor   -   what the boards send and receive", 1,
                                   nullptr, xpWidgetClass_MainWindow);
    XPSetWidgetProperty(MonitorWidget, xpProperty_MainWindowHasCloseBoxes, 1);
    for (int i = 0; i < kMonitorLineCount; ++i) {
        const int t = kTop - 30 - kLineSpacing * i;
        const std::string& text = i < static_cast<int>(MonitorText.size()) ? MonitorText[i] : "";
        MonitorTextWidget[i] =
            XPCreateWidget(kLeft + 10, t, kLeft + kWidth - 10, t - 12, 1, text.c_str(), 0,
                           MonitorWidget, xpWidgetClass_Caption);
    }
    XPAddWidgetCallback(MonitorWidget, MonitorHandler);
}

}  // namespace

void ShowMonitorWindow() {
    // The window opens with the current counts, not those of up to a second ago.
    RefreshMonitorNow();
    MonitorShown = true;
    if (!MonitorWidget)
        CreateMonitorWindow();
    else if (XPIsWidgetVisible(MonitorWidget) == 0)
        XPShowWidget(MonitorWidget);
}

void DestroyMonitorWindow() {
    MonitorShown = false;
    if (!MonitorWidget) return;
    XPDestroyWidget(MonitorWidget, 1);
    MonitorWidget = nullptr;
    for (XPWidgetID& caption : MonitorTextWidget) caption = nullptr;
}

int MonitorHandler(XPWidgetMessage inMessage, XPWidgetID, intptr_t, intptr_t) {
    if (inMessage != xpMessage_CloseButtonPushed) return 0;
    if (MonitorWidget) XPHideWidget(MonitorWidget);
    MonitorShown = false;
    return 1;
}
