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

/* Features: named changes of the simulator's behaviour that a plug-in asks for. */
XPLM_API int XPLMHasFeature(const char* inFeature);
XPLM_API void XPLMEnableFeature(const char* inFeature, int inEnable);

#if defined(XPLM400)
/*
 * Sent at most once per frame when datarefs were added, only to plug-ins that enabled the feature
 * "XPLM_WANTS_DATAREF_NOTIFICATIONS". Its parameter carries the new dataref count.
 */
#define XPLM_MSG_DATAREFS_ADDED 114
#endif

#ifdef __cplusplus
}
#endif

#endif
