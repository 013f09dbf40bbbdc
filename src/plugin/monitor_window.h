// The monitor window: what each board sends and receives, refreshed once a second.
#pragma once

#include <cstdint>

#include "XPWidgetDefs.h"

extern XPWidgetID MonitorWidget;  // the monitor window; null until it is first opened

// Builds the monitor window the first time, shows it again after its close box hid it.
void ShowMonitorWindow();
// Destroys the monitor window and its captions, when it exists.
void DestroyMonitorWindow();

int MonitorHandler(XPWidgetMessage inMessage, XPWidgetID inWidget, intptr_t inParam1,
                   intptr_t inParam2);
