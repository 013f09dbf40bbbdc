// The xphost program as one call, so that on Windows it runs inside XPLM_64.dll, beside the
// simulator state that the plug-in reaches through its imports.
#pragma once

#ifndef XPHOST_CLI_API
#define XPHOST_CLI_API
#endif

// Runs xphost with its command line; the program's exit status.
extern "C" XPHOST_CLI_API int RunXphost(int argc, char** argv);
