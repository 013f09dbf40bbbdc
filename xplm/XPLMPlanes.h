#ifndef _XPLMPlanes_h_
#define _XPLMPlanes_h_

/* The aircraft the simulator flies; index 0 is the user's aircraft. */

#include "XPLMDefs.h"

#ifdef __cplusplus
extern "C" {
#endif

/*
 * The model of aircraft inIndex: outFileName (at least 256 bytes) gets its file name, such as
 * Cessna_172SP.acf, and outPath (at least 512 bytes) its full path.
 */
XPLM_API void XPLMGetNthAircraftModel(int inIndex, char* outFileName, char* outPath);

#ifdef __cplusplus
}
#endif

#endif
