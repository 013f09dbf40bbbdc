// A small plug-in for the host tests: built as its own lin.xpl and loaded by xphost with dlopen.
// It logs every entry point, publishes two datarefs, adds a menu, a command and a window, so a
// script can check what the loader and the host do.
#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "XPLMDataAccess.h"
#include "XPLMMenus.h"
#include "XPLMPlugin.h"
#include "XPLMProcessing.h"
#include "XPLMUtilities.h"
#include "XPStandardWidgets.h"
#include "XPWidgets.h"

namespace {

int gStarts = 0;  // statics start again from 0 with every load of the library
int gFrames = 0;
XPLMDataRef gFramesRef = nullptr;
XPLMDataRef gStartsRef = nullptr;
XPLMCommandRef gHello = nullptr;
XPWidgetID gWindow = nullptr;

void Log(const char* format, ...) __attribute__((format(printf, 1, 2)));
void Log(const char* format, ...) {
    char line[512];
    std::strcpy(line, "host_test_plugin: ");
    va_list args;
    va_start(args, format);
    std::vsnprintf(line + std::strlen(line), sizeof line - std::strlen(line) - 1, format, args);
    va_end(args);
    std::strcat(line, "\n");
    XPLMDebugString(line);
}

int ReadFrames(void*) {
    return gFrames;
}
int ReadStarts(void*) {
    return gStarts;
}

float CountFrames(float, float, int, void*) {
    ++gFrames;
    return -1.0f;
}

int OnHello(XPLMCommandRef, XPLMCommandPhase phase, void*) {
    Log("hello command phase %d", phase);
    return 1;
}

int OnWindow(XPWidgetMessage message, XPWidgetID widget, intptr_t param1, intptr_t param2) {
    if (message == xpMessage_CloseButtonPushed) {
        Log("close box");
        XPHideWidget(gWindow);
        return 1;
    }
    if (message == xpMsg_PushButtonPressed) {
        char caption[64];
        XPGetWidgetDescriptor(reinterpret_cast<XPWidgetID>(param1), caption, sizeof caption);
        Log("pressed '%s'", caption);
        return 1;
    }
    if (message == xpMsg_ButtonStateChanged) {
        Log("check box now %d", static_cast<int>(param2));
        return 1;
    }
    (void)widget;
    return 0;
}

void MakeWindow() {
    gWindow = XPCreateWidget(100, 500, 400, 300, 1, "Host Test Window", 1, nullptr,
                             xpWidgetClass_MainWindow);
    XPSetWidgetProperty(gWindow, xpProperty_MainWindowHasCloseBoxes, 1);
    XPCreateWidget(110, 470, 390, 458, 1, "Frames seen", 0, gWindow, xpWidgetClass_Caption);
    XPWidgetID button =
        XPCreateWidget(110, 440, 200, 420, 1, "Press me", 0, gWindow, xpWidgetClass_Button);
    XPSetWidgetProperty(button, xpProperty_ButtonType, xpPushButton);
    XPSetWidgetProperty(button, xpProperty_ButtonBehavior, xpButtonBehaviorPushButton);
    XPWidgetID box =
        XPCreateWidget(110, 400, 120, 388, 1, "Toggle me", 0, gWindow, xpWidgetClass_Button);
    XPSetWidgetProperty(box, xpProperty_ButtonType, xpRadioButton);
    XPSetWidgetProperty(box, xpProperty_ButtonBehavior, xpButtonBehaviorCheckBox);
    XPSetWidgetProperty(box, xpProperty_ButtonState, 0);
    XPAddWidgetCallback(gWindow, OnWindow);
}

void OnMenu(void*, void* item) {
    const char* which = static_cast<const char*>(item);
    Log("menu %s", which);
    if (std::strcmp(which, "hello") == 0) {
        XPLMCommandOnce(XPLMFindCommand("sim/lights/landing_lights_on"));
    } else if (std::strcmp(which, "window") == 0) {
        if (gWindow == nullptr) {
            MakeWindow();
        } else {
            XPShowWidget(gWindow);
        }
    } else if (std::strcmp(which, "reload") == 0) {
        XPLMReloadPlugins();
    }
}

}  // namespace

PLUGIN_API int XPluginStart(char* outName, char* outSig, char* outDesc) {
    ++gStarts;
    std::strcpy(outName, "Host Test Plugin");
    std::strcpy(outSig, "corvane.xphost.testplugin");
    std::strcpy(outDesc, "Exercises the xphost loader");
    char path[256];
    XPLMGetPluginInfo(XPLMGetMyID(), nullptr, path, nullptr, nullptr);
    Log("start %d id %d path %s", gStarts, XPLMGetMyID(), path);

    XPLMMenuID plugins = XPLMFindPluginsMenu();
    int item = XPLMAppendMenuItem(plugins, "HostTest", nullptr, 1);
    XPLMMenuID menu = XPLMCreateMenu("HostTest", plugins, item, OnMenu, nullptr);
    XPLMAppendMenuItem(menu, "Hello", const_cast<char*>("hello"), 1);
    XPLMAppendMenuItem(menu, "Window", const_cast<char*>("window"), 1);
    XPLMAppendMenuItem(menu, "Reload", const_cast<char*>("reload"), 1);

    gFramesRef = XPLMRegisterDataAccessor("hosttest/frames", xplmType_Int, 0, ReadFrames, nullptr,
                                          nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                                          nullptr, nullptr, nullptr, nullptr, nullptr, nullptr);
    gStartsRef = XPLMRegisterDataAccessor("hosttest/starts", xplmType_Int, 0, ReadStarts, nullptr,
                                          nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                                          nullptr, nullptr, nullptr, nullptr, nullptr, nullptr);
    gHello = XPLMCreateCommand("hosttest/hello", "Says hello");
    XPLMRegisterCommandHandler(gHello, OnHello, 1, nullptr);
    XPLMRegisterFlightLoopCallback(CountFrames, -1.0f, nullptr);
    return 1;
}

PLUGIN_API int XPluginEnable(void) {
    Log("enable");
    return 1;
}

PLUGIN_API void XPluginDisable(void) {
    Log("disable");
}

PLUGIN_API void XPluginStop(void) {
    Log("stop after %d frames", gFrames);
    XPLMUnregisterFlightLoopCallback(CountFrames, nullptr);
    XPLMUnregisterCommandHandler(gHello, OnHello, 1, nullptr);
    XPLMUnregisterDataAccessor(gFramesRef);
    XPLMUnregisterDataAccessor(gStartsRef);
    if (gWindow != nullptr) XPDestroyWidget(gWindow, 1);
    gWindow = nullptr;
}

PLUGIN_API void XPluginReceiveMessage(XPLMPluginID inFrom, int inMessage, void*) {
    Log("message %d from %d", inMessage, inFrom);
}
