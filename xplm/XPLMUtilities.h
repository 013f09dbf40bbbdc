#ifndef _XPLMUtilities_h_
#define _XPLMUtilities_h_

/* Commands and the simulator's log. */

#include "XPLMDefs.h"

#ifdef __cplusplus
extern "C" {
#endif

/* An opaque handle to a command; valid for the life of the process. */
typedef void* XPLMCommandRef;

enum { xplm_CommandBegin = 0, xplm_CommandContinue = 1, xplm_CommandEnd = 2 };
typedef int XPLMCommandPhase;

/* Returns 1 to let the command go on to the other handlers and the simulator, 0 to consume it. */
typedef int (*XPLMCommandCallback_f)(XPLMCommandRef inCommand, XPLMCommandPhase inPhase,
                                     void* inRefcon);

XPLM_API void XPLMDebugString(const char* inString);

/* The address of the simulator's function of that name, or NULL where it has none. */
XPLM_API void* XPLMFindSymbol(const char* inString);

XPLM_API XPLMCommandRef XPLMFindCommand(const char* inName);
XPLM_API void XPLMCommandBegin(XPLMCommandRef inCommand);
XPLM_API void XPLMCommandEnd(XPLMCommandRef inCommand);
XPLM_API void XPLMCommandOnce(XPLMCommandRef inCommand);
XPLM_API XPLMCommandRef XPLMCreateCommand(const char* inName, const char* inDescription);
XPLM_API void XPLMRegisterCommandHandler(XPLMCommandRef inComand, XPLMCommandCallback_f inHandler,
                                         int inBefore, void* inRefcon);
XPLM_API void XPLMUnregisterCommandHandler(XPLMCommandRef inComand, XPLMCommandCallback_f inHandler,
                                           int inBefore, void* inRefcon);

#ifdef __cplusplus
}
#endif

#endif
