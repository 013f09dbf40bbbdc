// Serial ports on Windows: the COM ports of USB devices, opened as \\.\COMn, with DCB line
// settings.
// Ports keep int descriptors, as on POSIX: C runtime descriptors wrapping the port handles.
// SetupAPI's header needs the parts of windows.h that the project leaves out elsewhere.
#undef NOUSER
#undef NOGDI
#include <fcntl.h>
#include <io.h>
#include <windows.h>
// After windows.h.
#include <setupapi.h>

#include <algorithm>
#include <cstdlib>

#include "config/plugin_log.h"
#include "config/settings.h"
#include "transport/serial_ports.h"

namespace {

// Device Manager's class "Ports (COM & LPT)".
const GUID kPortsClass = {
    0x4d36e978, 0xe325, 0x11ce, {0xbf, 0xc1, 0x08, 0x00, 0x2b, 0xe1, 0x03, 0x18}};
// The enumerators of USB serial devices: USB itself (Arduinos with their own USB chip, CH340,
// CP210x) and FTDI's driver, which lists its ports on a bus of its own. Bluetooth ports (BTHENUM)
// and modems, whose open can wait for seconds, and built-in ports come from others.
const char* const kUsbEnumerators[] = {"USB", "FTDIBUS"};
// Devices looked at per enumerator, at most.
constexpr DWORD kMaxDevices = 256;
// Writes may wait this long for the driver to take the bytes (it takes them at once unless its
// buffer is full); reads never wait.
constexpr DWORD kWriteTimeoutMs = 10;

HANDLE PortHandle(int fd) {
    return reinterpret_cast<HANDLE>(_get_osfhandle(fd));
}

// The number of a name COMn, or 0 when it is not one.
int PortNumber(const std::string& name) {
    if (name.size() < 4 || name.size() > 6 || _strnicmp(name.c_str(), "COM", 3) != 0) return 0;
    int number = 0;
    for (size_t i = 3; i < name.size(); ++i) {
        if (name[i] < '0' || name[i] > '9') return 0;
        number = number * 10 + (name[i] - '0');
    }
    return number;
}

std::string SystemMessage(DWORD code) {
    char text[256] = {};
    const DWORD n = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                                   nullptr, code, 0, text, sizeof text, nullptr);
    std::string message(text, n);
    while (!message.empty() && (message.back() == '\n' || message.back() == '\r'))
        message.pop_back();
    return message.empty() ? "error " + std::to_string(code) : message;
}

}  // namespace

std::string DeviceFolder() {
    return "\\\\.\\";
}

namespace {

// Appends a COM port name once.
void AddPortName(const std::string& name, std::vector<std::string>& names) {
    if (PortNumber(name) > 0 && std::find(names.begin(), names.end(), name) == names.end())
        names.push_back(name);
}

// The ports named in $CORVANE_COM_PORTS ("COM42,COM43"), which stands for the machine's list
// when set (tests offer their own ports this way and leave the machine's alone).
bool ListNamedPorts(std::vector<std::string>& names) {
    const char* env = std::getenv("CORVANE_COM_PORTS");
    if (!env || !*env) return false;
    std::string list = env;
    for (size_t begin = 0; begin <= list.size();) {
        size_t end = list.find(',', begin);
        if (end == std::string::npos) end = list.size();
        const std::string name = list.substr(begin, end - begin);
        AddPortName(name, names);
        begin = end + 1;
    }
    return true;
}

// Appends the COM port names of the present devices of the ports class that enumerator lists.
void AddPortsOf(const char* enumerator, std::vector<std::string>& names) {
    HDEVINFO devices = SetupDiGetClassDevsA(&kPortsClass, enumerator, nullptr, DIGCF_PRESENT);
    if (devices == INVALID_HANDLE_VALUE) return;
    SP_DEVINFO_DATA device{};
    device.cbSize = sizeof device;
    for (DWORD i = 0; i < kMaxDevices && SetupDiEnumDeviceInfo(devices, i, &device); ++i) {
        HKEY key = SetupDiOpenDevRegKey(devices, &device, DICS_FLAG_GLOBAL, 0, DIREG_DEV, KEY_READ);
        if (key == INVALID_HANDLE_VALUE) continue;
        char data[64] = {};
        DWORD length = sizeof data;  // a value may lack its terminating NUL: see strnlen below
        DWORD type{};
        const LONG result = RegQueryValueExA(key, "PortName", nullptr, &type,
                                             reinterpret_cast<BYTE*>(data), &length);
        RegCloseKey(key);
        if (result != ERROR_SUCCESS || type != REG_SZ) continue;
        const std::string name(data, strnlen(data, length));
        AddPortName(name, names);
    }
    SetupDiDestroyDeviceInfoList(devices);
}

}  // namespace

std::vector<std::string> ListSerialDevices() {
    std::vector<std::string> names;
    if (ListNamedPorts(names)) return names;
    for (const char* enumerator : kUsbEnumerators) AddPortsOf(enumerator, names);
    // Ports are opened by their number.
    std::sort(names.begin(), names.end(), [](const std::string& a, const std::string& b) {
        return PortNumber(a) < PortNumber(b);
    });
    return names;
}

int open_port(const std::string& path, PortCause& cause) {
    cause = PortCause::None;
    const std::string device = path.rfind("\\\\", 0) == 0 ? path : DeviceFolder() + path;
    // Share mode 0: the port is held exclusively, and a port another program holds is refused.
    HANDLE handle = CreateFileA(device.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                OPEN_EXISTING, 0, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        const DWORD error = GetLastError();
        // Windows answers "access denied" for a COM port that another program has open.
        if (error == ERROR_ACCESS_DENIED || error == ERROR_SHARING_VIOLATION)
            cause = PortCause::Busy;
        else
            WriteLog("\nopen_port: Unable to open serial port - " + path + ": " +
                     SystemMessage(error));
        return -1;
    }
    // A read returns at once with what has arrived; a write waits a bounded moment at most.
    COMMTIMEOUTS timeouts{};
    timeouts.ReadIntervalTimeout = MAXDWORD;
    timeouts.WriteTotalTimeoutConstant = kWriteTimeoutMs;
    SetCommTimeouts(handle, &timeouts);
    const int fd = _open_osfhandle(reinterpret_cast<intptr_t>(handle), _O_RDWR | _O_BINARY);
    if (fd < 0) {
        CloseHandle(handle);
        WriteLog("\nopen_port: Unable to open serial port - " + path + ": no descriptor left");
        return -1;
    }
    return fd;
}

void ConfigurePort(int fd) {
    HANDLE handle = PortHandle(fd);
    DCB dcb{};
    dcb.DCBlength = sizeof dcb;
    GetCommState(handle, &dcb);
    if (Baudrate == 115200 || Baudrate == 57600 || Baudrate == 38400) dcb.BaudRate = Baudrate;
    // Raw 8-bit bytes without parity; nothing is replaced, dropped or stops the line on errors.
    dcb.fBinary = TRUE;
    dcb.ByteSize = 8;
    dcb.fParity = FALSE;
    dcb.Parity = NOPARITY;
    dcb.fErrorChar = FALSE;
    dcb.fNull = FALSE;
    dcb.fAbortOnError = FALSE;
    dcb.fOutX = FALSE;
    dcb.fInX = FALSE;
    // No handshake lines hold the output back: a board that does not drive them is still served.
    dcb.fOutxCtsFlow = FALSE;
    dcb.fOutxDsrFlow = FALSE;
    dcb.fDsrSensitivity = FALSE;
    // DTR and RTS on, as opening a terminal device raises them on POSIX.
    dcb.fDtrControl = DTR_CONTROL_ENABLE;
    dcb.fRtsControl = RTS_CONTROL_ENABLE;
    PurgeComm(handle, PURGE_RXCLEAR);
    SetCommState(handle, &dcb);
}

long ReadPort(int fd, char* buffer, size_t size) {
    HANDLE handle = PortHandle(fd);
    DWORD errors{};
    COMSTAT status{};
    if (!ClearCommError(handle, &errors, &status)) return -1;
    if (status.cbInQue == 0 || size == 0) return 0;
    const DWORD wanted = static_cast<DWORD>(std::min<size_t>(size, status.cbInQue));
    DWORD got{};
    if (!ReadFile(handle, buffer, wanted, &got, nullptr)) return -1;
    return static_cast<long>(got);
}

void Send_USB(int fd, const char* data, int length) {
    DWORD written{};
    const BOOL ok = length >= 0 &&
                    WriteFile(PortHandle(fd), data, static_cast<DWORD>(length), &written, nullptr);
    bytes_sent = ok ? static_cast<int>(written) : -1;
}

void FlushPortInput(int fd) {
    PurgeComm(PortHandle(fd), PURGE_RXCLEAR);
}

// A Windows port's close does not wait for the device: the writes were bounded already.
void ClosePortDescriptor(int fd) {
    _close(fd);
}

void CloseForeignPort(int fd) {
    _close(fd);
}

void FinishPortCloses() {}

std::string PermissionAdvice() {
    return std::string();
}

bool PortHungUp(int fd) {
    // A device that went away (a USB cable pulled) fails every query of its state.
    DWORD errors{};
    COMSTAT status{};
    return ClearCommError(PortHandle(fd), &errors, &status) == 0;
}
