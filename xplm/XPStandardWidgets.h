#ifndef _XPStandardWidgets_h_
#define _XPStandardWidgets_h_

/* The standard widget classes with their properties and messages. */

#include "XPWidgetDefs.h"

#ifdef __cplusplus
extern "C" {
#endif

#define xpWidgetClass_MainWindow 1
#define xpWidgetClass_SubWindow 2
#define xpWidgetClass_Button 3
#define xpWidgetClass_TextField 4
#define xpWidgetClass_ScrollBar 5
#define xpWidgetClass_Caption 6
#define xpWidgetClass_GeneralGraphics 7
#define xpWidgetClass_Progress 8

/* Main window. */
enum { xpProperty_MainWindowType = 1100, xpProperty_MainWindowHasCloseBoxes = 1200 };
enum { xpMessage_CloseButtonPushed = 1200 };

/* Button. */
enum {
    xpPushButton = 0,
    xpRadioButton = 1,
    xpWindowCloseBox = 3,
    xpLittleDownArrow = 5,
    xpLittleUpArrow = 6
};
enum {
    xpButtonBehaviorPushButton = 0,
    xpButtonBehaviorCheckBox = 1,
    xpButtonBehaviorRadioButton = 2
};
enum {
    xpProperty_ButtonType = 1300,
    xpProperty_ButtonBehavior = 1301,
    xpProperty_ButtonState = 1302
};
/* param1: the button. */
enum { xpMsg_PushButtonPressed = 1300 };
/* param1: the button, param2: its new state. */
enum { xpMsg_ButtonStateChanged = 1301 };

/* Caption. */
enum { xpProperty_CaptionLit = 1400 };

#ifdef __cplusplus
}
#endif

#endif
