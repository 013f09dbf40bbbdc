#ifndef _XPWidgets_h_
#define _XPWidgets_h_

/* Widget trees: creation, messages, visibility, descriptors, properties and callbacks. */

#include "XPWidgetDefs.h"

#ifdef __cplusplus
extern "C" {
#endif

/* Screen coordinates; y grows upwards. */
XPLM_API XPWidgetID XPCreateWidget(int inLeft, int inTop, int inRight, int inBottom, int inVisible,
                                   const char* inDescriptor, int inIsRoot, XPWidgetID inContainer,
                                   XPWidgetClass inClass);
XPLM_API void XPDestroyWidget(XPWidgetID inWidget, int inDestroyChildren);
XPLM_API int XPSendMessageToWidget(XPWidgetID inWidget, XPWidgetMessage inMessage,
                                   XPDispatchMode inMode, intptr_t inParam1, intptr_t inParam2);

XPLM_API void XPShowWidget(XPWidgetID inWidget);
XPLM_API void XPHideWidget(XPWidgetID inWidget);
XPLM_API int XPIsWidgetVisible(XPWidgetID inWidget);

XPLM_API void XPSetWidgetDescriptor(XPWidgetID inWidget, const char* inDescriptor);
XPLM_API int XPGetWidgetDescriptor(XPWidgetID inWidget, char* outDescriptor, int inMaxDescLength);

XPLM_API void XPSetWidgetProperty(XPWidgetID inWidget, XPWidgetPropertyID inProperty,
                                  intptr_t inValue);
XPLM_API intptr_t XPGetWidgetProperty(XPWidgetID inWidget, XPWidgetPropertyID inProperty,
                                      int* inExists);

/* The newest callback is called first. */
XPLM_API void XPAddWidgetCallback(XPWidgetID inWidget, XPWidgetFunc_t inNewCallback);

#ifdef __cplusplus
}
#endif

#endif
