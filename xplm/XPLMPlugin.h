#ifndef _XPLMPlugin_h_
#define _XPLMPlugin_h_

/* Plug-in identity, reloading and the messages the simulator sends to plug-ins. */

#include "XPLMDefs.h"

#ifdef __cplusplus
extern "C" {
#endif

XPLM_API XPLMPluginID XPLMGetMyID(void);

/* Any out argument may be NULL; each buffer holds 256 bytes. */
XPLM_API void XPLMGetPluginInfo(XPLMPluginID inPlugin, char* outName, char* outFilePath,
                                char* outSignature, char* outDescription);

/* Reloads every plug-in once the current callback has returned. */
XPLM_API void XPLMReloadPlugins(void);

#define XPLM_MSG_PLANE_CRASHED 101
#define XPLM_MSG_PLANE_LOADED 102
#define XPLM_MSG_AIRPORT_LOADED 103
#define XPLM_MSG_SCENERY_LOADED 104
#define XPLM_MSG_AIRPLANE_COUNT_CHANGED 105
#define XPLM_MSG_PLANE_UNLOADED 106
#define XPLM_MSG_WILL_WRITE_PREFS 107
#define XPLM_MSG_LIVERY_LOADED 108

#ifdef __cplusplus
}
#endif

#endif
