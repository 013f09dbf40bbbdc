#ifndef _XPLMDefs_h_
#define _XPLMDefs_h_

/*
 * Basic definitions shared by the XPLM and XPWidgets headers: the linkage and visibility macros,
 * the plug-in ID type and the five entry points that every plug-in defines.
 */

#if IBM
#define XPLM_EXPORT_ATTRIBUTE __declspec(dllexport)
/* The simulator's XPLM_64.dll is built with XPLM_BUILDING_LIBRARY: it exports these calls. */
#ifdef XPLM_BUILDING_LIBRARY
#define XPLM_IMPORT_ATTRIBUTE __declspec(dllexport)
#else
#define XPLM_IMPORT_ATTRIBUTE __declspec(dllimport)
#endif
#elif defined(__GNUC__) || defined(__clang__)
#define XPLM_EXPORT_ATTRIBUTE __attribute__((visibility("default")))
#define XPLM_IMPORT_ATTRIBUTE __attribute__((visibility("default")))
#else
#define XPLM_EXPORT_ATTRIBUTE
#define XPLM_IMPORT_ATTRIBUTE
#endif

#ifdef __cplusplus
#define PLUGIN_API extern "C" XPLM_EXPORT_ATTRIBUTE
#define XPLM_API extern "C" XPLM_IMPORT_ATTRIBUTE
#else
#define PLUGIN_API XPLM_EXPORT_ATTRIBUTE
#define XPLM_API extern XPLM_IMPORT_ATTRIBUTE
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* A plug-in's identity within the simulator. */
typedef int XPLMPluginID;

/* No plug-in at all. */
#define XPLM_NO_PLUGIN_ID (-1)

/* The simulator itself, the sender of the XPLM_MSG_* messages. */
#define XPLM_PLUGIN_XPLANE (0)

/*
 * The entry points a plug-in defines. The name, signature and description buffers of
 * XPluginStart hold 256 bytes each. XPluginEnable returns 1 to be enabled.
 */
PLUGIN_API int XPluginStart(char* outName, char* outSig, char* outDesc);
PLUGIN_API void XPluginStop(void);
PLUGIN_API int XPluginEnable(void);
PLUGIN_API void XPluginDisable(void);
PLUGIN_API void XPluginReceiveMessage(XPLMPluginID inFrom, int inMessage, void* inParam);

#ifdef __cplusplus
}
#endif

#endif
