#ifndef _XPWidgetDefs_h_
#define _XPWidgetDefs_h_

/* Types, dispatch modes and messages of the widget library. */

#include <stdint.h>

#include "XPLMDefs.h"

#ifdef __cplusplus
extern "C" {
#endif

/* An opaque handle to a widget. */
typedef void* XPWidgetID;

typedef int XPWidgetPropertyID;
typedef int XPWidgetMessage;
typedef int XPWidgetClass;
typedef int XPDispatchMode;

/* A widget without a standard class. */
#define xpWidgetClass_None 0

enum {
    /* The message goes to the target widget only. */
    xpMode_Direct = 0,
    /* To the target, then up its chain of parents until one handles it or the top is reached. */
    xpMode_UpChain = 1,
    /* To the target and then to all of its children, depth first. */
    xpMode_Recursive = 2,
    /* To the target only, but to every one of its callbacks even once handled. */
    xpMode_DirectAllCallbacks = 3,
    /* To the target's first callback only, handled or not. */
    xpMode_Once = 4
};

enum {
    xpMsg_None = 0,
    xpMsg_Create = 1,
    xpMsg_Destroy = 2,
    xpMsg_Paint = 3,
    xpMsg_Draw = 4,
    xpMsg_KeyPress = 5,
    xpMsg_KeyTakeFocus = 6,
    xpMsg_KeyLoseFocus = 7,
    xpMsg_MouseDown = 8,
    xpMsg_MouseDrag = 9,
    xpMsg_MouseUp = 10,
    xpMsg_Reshape = 11,
    xpMsg_ExposedChanged = 12,
    xpMsg_AcceptChild = 13,
    xpMsg_LoseChild = 14,
    xpMsg_AcceptParent = 15,
    xpMsg_Shown = 16,
    xpMsg_Hidden = 17,
    xpMsg_DescriptorChanged = 18,
    xpMsg_PropertyChanged = 19,
    xpMsg_UserStart = 10000
};

/* Returns 1 when the message was handled. */
typedef int (*XPWidgetFunc_t)(XPWidgetMessage inMessage, XPWidgetID inWidget, intptr_t inParam1,
                              intptr_t inParam2);

#ifdef __cplusplus
}
#endif

#endif
