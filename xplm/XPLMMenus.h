#ifndef _XPLMMenus_h_
#define _XPLMMenus_h_

/* Menus under the simulator's plug-ins menu. */

#include "XPLMDefs.h"

#ifdef __cplusplus
extern "C" {
#endif

/* An opaque handle to a menu. */
typedef void* XPLMMenuID;

enum { xplm_Menu_NoCheck = 0, xplm_Menu_Unchecked = 1, xplm_Menu_Checked = 2 };
typedef int XPLMMenuCheck;

typedef void (*XPLMMenuHandler_f)(void* inMenuRef, void* inItemRef);

XPLM_API XPLMMenuID XPLMFindPluginsMenu(void);
XPLM_API XPLMMenuID XPLMCreateMenu(const char* inName, XPLMMenuID inParentMenu, int inParentItem,
                                   XPLMMenuHandler_f inHandler, void* inMenuRef);
/* Returns the new item's index. */
XPLM_API int XPLMAppendMenuItem(XPLMMenuID inMenu, const char* inItemName, void* inItemRef,
                                int inDeprecatedAndIgnored);
XPLM_API void XPLMCheckMenuItem(XPLMMenuID inMenu, int index, XPLMMenuCheck inCheck);

#ifdef __cplusplus
}
#endif

#endif
