#ifndef _XPLMProcessing_h_
#define _XPLMProcessing_h_

/*
 * Flight-loop callbacks: plug-in code run by the simulator between frames.
 *
 * Intervals, at registration and as a callback's return value: positive = seconds until the next
 * call; negative = that many flight loops (-1.0 = the next one); 0 = not called again (the
 * callback stays registered, inactive).
 */

#include "XPLMDefs.h"

#ifdef __cplusplus
extern "C" {
#endif

typedef float (*XPLMFlightLoop_f)(float inElapsedSinceLastCall,
                                  float inElapsedTimeSinceLastFlightLoop, int inCounter,
                                  void* inRefcon);

XPLM_API float XPLMGetElapsedTime(void);
XPLM_API int XPLMGetCycleNumber(void);

XPLM_API void XPLMRegisterFlightLoopCallback(XPLMFlightLoop_f inFlightLoop, float inInterval,
                                             void* inRefcon);
XPLM_API void XPLMUnregisterFlightLoopCallback(XPLMFlightLoop_f inFlightLoop, void* inRefcon);
XPLM_API void XPLMSetFlightLoopCallbackInterval(XPLMFlightLoop_f inFlightLoop, float inInterval,
                                                int inRelativeToNow, void* inRefcon);

#ifdef __cplusplus
}
#endif

#endif
