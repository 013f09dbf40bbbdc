// The xphost console on Windows: console control events, and standard input read by a thread of
// its own (pipes, files and consoles cannot all be waited on the same way), handed over under a
// lock.
#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <algorithm>
#include <cstdio>

#include "console.h"

namespace xphost::console {

namespace {

volatile LONG gStop = 0;
CRITICAL_SECTION gLock;
HANDLE gArrived = nullptr;  // set while the reader has handed over something not yet taken
std::string gReceived;
bool gEnded = false;
bool gReaderStarted = false;

BOOL WINAPI OnControl(DWORD) {
    InterlockedExchange(&gStop, 1);
    if (gArrived) SetEvent(gArrived);
    return TRUE;
}

DWORD WINAPI ReadInput(void*) {
    HANDLE in = GetStdHandle(STD_INPUT_HANDLE);
    char buffer[4096];
    for (;;) {
        DWORD got = 0;
        const BOOL ok = in != nullptr && in != INVALID_HANDLE_VALUE &&
                        ReadFile(in, buffer, sizeof buffer, &got, nullptr);
        EnterCriticalSection(&gLock);
        if (ok && got > 0)
            gReceived.append(buffer, got);
        else
            gEnded = true;
        LeaveCriticalSection(&gLock);
        SetEvent(gArrived);
        if (!ok || got == 0) return 0;
    }
}

// Moves what the reader received to *input; true when there was anything or the input ended.
bool Take(std::string* input, bool* open) {
    EnterCriticalSection(&gLock);
    const bool any = !gReceived.empty() || gEnded;
    // Lines typed at a console end in CR LF: the control lines are the same without the CR.
    gReceived.erase(std::remove(gReceived.begin(), gReceived.end(), '\r'), gReceived.end());
    input->append(gReceived);
    gReceived.clear();
    if (gEnded) *open = false;
    ResetEvent(gArrived);
    LeaveCriticalSection(&gLock);
    return any;
}

}  // namespace

void Install() {
    // Answers end in a bare line feed, as on the other systems.
    _setmode(_fileno(stdout), _O_BINARY);
    InitializeCriticalSection(&gLock);
    gArrived = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    SetConsoleCtrlHandler(OnControl, TRUE);
}

bool StopRequested() {
    return gStop != 0;
}

bool CheckStop() {
    return gStop != 0;
}

void Wait(std::chrono::steady_clock::time_point deadline, bool forever, bool watchInput,
          std::string* input, bool* open) {
    if (watchInput && !gReaderStarted) {
        gReaderStarted = true;
        HANDLE reader = CreateThread(nullptr, 0, ReadInput, nullptr, 0, nullptr);
        if (reader) CloseHandle(reader);
    }
    if (watchInput && Take(input, open)) return;
    DWORD timeout = INFINITE;
    if (!forever) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                              deadline - std::chrono::steady_clock::now())
                              .count();
        timeout = static_cast<DWORD>(std::max<long long>(0, left));
    }
    // Without input to watch, only a stop request ends the wait early.
    if (watchInput) {
        WaitForSingleObject(gArrived, timeout);
        Take(input, open);
    } else {
        Sleep(timeout == INFINITE ? 1000 : timeout);
    }
}

}  // namespace xphost::console
