// The address sanitizer's defaults for the fuzz targets, which time the plug-in's calls. Freed
// memory waits in a quarantine (256 MB by default) so that a use after free is caught; when the
// quarantine is full, the free() that overflows it hands a tenth of it back to the allocator, some
// hundred thousand chunks in one go, which takes 50 to 80 ms of CPU in whatever call happens to
// free memory at that moment. A quarantine of 16 MB still holds the frees of many executions and
// keeps that hand-back near 5 ms, far below the calls' limit.
extern "C" const char* __asan_default_options() {
    return "quarantine_size_mb=16";
}
