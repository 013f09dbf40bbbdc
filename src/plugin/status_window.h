// The plug-in's menu and its status window.
#pragma once

#include <cstdint>

#include "XPWidgetDefs.h"

extern XPWidgetID InstructionsWidget;  // the status window
extern XPWidgetID ToggleUSB;           // the USB check box
extern XPWidgetID ReconnectButton;     // the Reconnect push button
extern int gMenuItem;                  // 1 once the status window exists

// Builds "Corvane" with "Status", "Reconnect", "Reload Plugins", "Monitor" and "Write dataref
// list" under the plug-ins menu.
void CreatePluginMenu();
// The menu's handler; the item reference is the item's number as text.
void InstructionsMenuHandler(void* inMenuRef, void* inItemRef);
// Builds the status window with its top left corner at (x, y), w wide and h high.
void CreateInstructionsWidget(int x, int y, int w, int h);
// Destroys the status window and its children, when it exists.
void DestroyStatusWindow();

int InstructionsHandler(XPWidgetMessage inMessage, XPWidgetID inWidget, intptr_t inParam1,
                        intptr_t inParam2);
int ReconnectButtonHandler(XPWidgetMessage inMessage, XPWidgetID inWidget, intptr_t inParam1,
                           intptr_t inParam2);
int ToggleUSBHandler(XPWidgetMessage inMessage, XPWidgetID inWidget, intptr_t inParam1,
                     intptr_t inParam2);
