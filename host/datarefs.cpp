// Datarefs: the simulator's own (from the dataref file) and those plug-ins publish, the XPLM
// access calls, the file reader and the host's text access.
#include <climits>
#include <cmath>
#include <cstring>
#include <fstream>
#include <sstream>

#include "XPLMDataAccess.h"
#include "host_state.h"

#ifndef XPHOST_DEFAULT_DATAREFS
#define XPHOST_DEFAULT_DATAREFS "examples/datarefs.txt"
#endif

namespace xphost {
namespace detail {

namespace {

constexpr const char* kFlightTime = "sim/time/total_flight_time";
constexpr const char* kRunningTime = "sim/time/total_running_time_sec";
constexpr const char* kFramePeriod = "sim/operation/misc/frame_rate_period";
constexpr int kArrayTypes = xplmType_IntArray | xplmType_FloatArray;
constexpr int kScalarTypes = xplmType_Int | xplmType_Float | xplmType_Double;
constexpr int kMaxArraySize = 1 << 20;

int ToInt(double value) {
    if (std::isnan(value)) return 0;
    if (value >= static_cast<double>(INT_MAX)) return INT_MAX;
    if (value <= static_cast<double>(INT_MIN)) return INT_MIN;
    return static_cast<int>(value);
}

bool CanWrite(const DataRef& ref) {
    return ref.alive && (ref.writable || (S().hostWrite && !ref.accessor));
}

// A simulator dataref (one with stored values) that has the type bit.
DataRef* Stored(XPLMDataRef handle, int typeBit) {
    DataRef* ref = RefOf(handle);
    if (ref == nullptr || ref->accessor || (ref->types & typeBit) == 0) return nullptr;
    return ref;
}

// Copies count elements starting at offset between a stored array and a caller's buffer.
// Returns how many were copied.
int ClipRange(int size, int offset, int count) {
    if (offset < 0 || count <= 0 || offset >= size) return 0;
    return count < size - offset ? count : size - offset;
}

}  // namespace

DataRef* RefOf(XPLMDataRef handle) {
    std::uint64_t serial = 0;
    if (!HandleSerial(handle, Kind::DataRef, &serial)) return nullptr;
    auto& s = S();
    if (serial >= s.datarefs.size()) return nullptr;
    DataRef& ref = s.datarefs[serial];
    return ref.alive ? &ref : nullptr;
}

XPLMDataRef HandleOfDataRef(std::size_t index) {
    return MakeHandle(Kind::DataRef, index);
}

std::size_t DataRefSlot(const std::string& name) {
    auto& s = S();
    auto found = s.datarefIndex.find(name);
    if (found != s.datarefIndex.end()) return found->second;
    s.datarefs.emplace_back();
    s.datarefs.back().name = name;
    s.datarefIndex.emplace(name, s.datarefs.size() - 1);
    return s.datarefs.size() - 1;
}

void ClearDataRef(DataRef& ref) {
    std::string name = std::move(ref.name);
    ref = DataRef();
    ref.name = std::move(name);
}

void ResetDatarefs() {
    for (auto& ref : S().datarefs) ClearDataRef(ref);
}

void DropPluginDatarefs() {
    for (auto& ref : S().datarefs) {
        if (ref.accessor) ClearDataRef(ref);
    }
}

namespace {

// Defines a simulator dataref of one float, keeping a live one as it is.
void EnsureFloat(const char* name, bool writable, double value) {
    DataRef& ref = S().datarefs[DataRefSlot(name)];
    if (ref.alive) return;
    ClearDataRef(ref);
    ref.alive = true;
    ref.types = xplmType_Float;
    ref.writable = writable;
    ref.scalar = value;
}

void StoreIfSimulator(const char* name, double value, bool add) {
    auto& s = S();
    auto found = s.datarefIndex.find(name);
    if (found == s.datarefIndex.end()) return;
    DataRef& ref = s.datarefs[found->second];
    if (!ref.alive || ref.accessor) return;
    ref.scalar = add ? ref.scalar + value : value;
}

}  // namespace

void EnsureTimeDatarefs() {
    EnsureFloat(kFlightTime, true, Now());
    EnsureFloat(kFramePeriod, false, Period());
    StoreIfSimulator(kFramePeriod, Period(), false);
}

void UpdateTimeDatarefs(double frameSeconds) {
    StoreIfSimulator(kFlightTime, frameSeconds, true);
    StoreIfSimulator(kRunningTime, Now(), false);
    StoreIfSimulator(kFramePeriod, frameSeconds, false);
}

// ---- The dataref file ----

namespace {

struct TypeShape {
    int types = 0;
    int size = 0;  // elements of an array, bytes of byte data
};

bool ParseType(const std::string& text, TypeShape* shape, std::string* error) {
    std::stringstream parts(text);
    std::string part;
    int arraySize = -1;
    while (std::getline(parts, part, '+')) {
        int bit = 0;
        int size = 0;
        std::size_t bracket = part.find('[');
        std::string base = part.substr(0, bracket);
        if (bracket != std::string::npos) {
            if (part.back() != ']') {
                *error = "bad type '" + text + "'";
                return false;
            }
            std::string digits = part.substr(bracket + 1, part.size() - bracket - 2);
            char* end = nullptr;
            long parsed = std::strtol(digits.c_str(), &end, 10);
            if (digits.empty() || *end != '\0' || parsed < 1 || parsed > kMaxArraySize) {
                *error = "bad array size in '" + text + "'";
                return false;
            }
            size = static_cast<int>(parsed);
            if (base == "int") bit = xplmType_IntArray;
            if (base == "float") bit = xplmType_FloatArray;
            if (base == "byte" || base == "data") bit = xplmType_Data;
        } else {
            if (base == "int") bit = xplmType_Int;
            if (base == "float") bit = xplmType_Float;
            if (base == "double") bit = xplmType_Double;
        }
        if (bit == 0) {
            *error = "unknown type '" + part + "'";
            return false;
        }
        if ((shape->types & bit) != 0) {
            *error = "type '" + part + "' given twice";
            return false;
        }
        if (size > 0) {
            if (arraySize >= 0 && arraySize != size) {
                *error = "arrays of different sizes in '" + text + "'";
                return false;
            }
            arraySize = size;
        }
        shape->types |= bit;
    }
    int kinds = ((shape->types & kScalarTypes) != 0) + ((shape->types & kArrayTypes) != 0) +
                ((shape->types & xplmType_Data) != 0);
    if (kinds != 1) {
        *error = kinds == 0 ? "missing type" : "'" + text + "' mixes scalars, arrays and byte data";
        return false;
    }
    shape->size = arraySize > 0 ? arraySize : 0;
    return true;
}

// Parses comma-separated numbers; integers only when integral is set.
bool ParseNumberList(const std::string& text, bool integral, std::vector<double>* values,
                     std::string* error) {
    std::stringstream items(text);
    std::string item;
    while (std::getline(items, item, ',')) {
        double value = 0.0;
        if (!ParseNumber(item, &value)) {
            *error = "bad number '" + Trim(item) + "'";
            return false;
        }
        if (integral && (value != std::floor(value) || value < INT_MIN || value > INT_MAX)) {
            *error = "'" + Trim(item) + "' is not an integer";
            return false;
        }
        values->push_back(value);
    }
    if (!text.empty() && text.back() == ',') {
        *error = "trailing comma";
        return false;
    }
    return true;
}

bool IntegralOnly(int types) {
    if ((types & kScalarTypes) != 0) return (types & (xplmType_Float | xplmType_Double)) == 0;
    return (types & xplmType_FloatArray) == 0;
}

// One dataref line: NAME TYPE ACCESS [VALUE].
bool DefineFromLine(const std::string& line, std::string* error) {
    std::stringstream words(line);
    std::string name, type, access;
    words >> name >> type >> access;
    if (access.empty()) {
        *error = "expected NAME TYPE ACCESS [VALUE]";
        return false;
    }
    std::string value;
    std::getline(words, value);
    value = Trim(value);
    TypeShape shape;
    if (!ParseType(type, &shape, error)) return false;
    if (access != "rw" && access != "ro") {
        *error = "access must be rw or ro, not '" + access + "'";
        return false;
    }
    DataRef parsed;
    parsed.name = name;
    parsed.alive = true;
    parsed.types = shape.types;
    parsed.writable = access == "rw";
    if ((shape.types & xplmType_Data) != 0) {
        if (static_cast<int>(value.size()) > shape.size) {
            *error = "text longer than " + std::to_string(shape.size) + " bytes";
            return false;
        }
        parsed.bytes.assign(static_cast<std::size_t>(shape.size), 0);
        std::memcpy(parsed.bytes.data(), value.data(), value.size());
    } else if (!value.empty()) {
        std::vector<double> numbers;
        if (!ParseNumberList(value, IntegralOnly(shape.types), &numbers, error)) return false;
        if ((shape.types & kArrayTypes) != 0) {
            if (static_cast<int>(numbers.size()) > shape.size) {
                *error = "more than " + std::to_string(shape.size) + " values";
                return false;
            }
        } else if (numbers.size() != 1) {
            *error = "one value expected";
            return false;
        }
        if ((shape.types & kArrayTypes) != 0) {
            parsed.array = numbers;
        } else {
            parsed.scalar = numbers[0];
        }
    }
    if ((shape.types & kArrayTypes) != 0) parsed.array.resize(static_cast<std::size_t>(shape.size));
    DataRef& slot = S().datarefs[DataRefSlot(name)];
    if (!slot.alive) S().datarefsAdded = true;
    slot = std::move(parsed);
    return true;
}

// One command line: command NAME [DESCRIPTION].
bool CommandFromLine(const std::string& line, std::string* error) {
    std::stringstream words(line);
    std::string keyword, name;
    words >> keyword >> name;
    if (name.empty()) {
        *error = "command without a name";
        return false;
    }
    std::string description;
    std::getline(words, description);
    description = Trim(description);
    XPLMCommandRef command = XPLMCreateCommand(name.c_str(), description.c_str());
    (void)command;
    return true;
}

bool LoadText(const std::string& text, const std::string& origin, std::string* error) {
    std::stringstream lines(text);
    std::string line;
    int number = 0;
    int bad = 0;
    std::string first;
    while (std::getline(lines, line)) {
        ++number;
        std::string trimmed = Trim(line);
        if (trimmed.empty() || trimmed[0] == '#') continue;
        std::string problem;
        bool good =
            trimmed.compare(0, 8, "command ") == 0 || trimmed.compare(0, 8, "command\t") == 0
                ? CommandFromLine(trimmed, &problem)
                : DefineFromLine(trimmed, &problem);
        if (!good && bad++ == 0) {
            first = origin + ":" + std::to_string(number) + ": " + problem;
        }
    }
    EnsureTimeDatarefs();
    if (bad == 0) return true;
    if (error != nullptr) {
        *error = first;
        if (bad > 1) *error += " (and " + std::to_string(bad - 1) + " more bad lines)";
    }
    return false;
}

}  // namespace

}  // namespace detail

using namespace detail;

bool LoadDatarefText(const std::string& text, std::string* error) {
    return LoadText(text, "line", error);
}

bool LoadDatarefFile(const std::string& path, std::string* error) {
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        if (error != nullptr) *error = "cannot open " + path;
        return false;
    }
    std::stringstream content;
    content << file.rdbuf();
    return LoadText(content.str(), path, error);
}

std::string DefaultDatarefFile() {
    const char* fromEnvironment = std::getenv("XPHOST_DATAREFS");
    if (fromEnvironment != nullptr && *fromEnvironment != '\0') return fromEnvironment;
    return XPHOST_DEFAULT_DATAREFS;
}

bool HasDataref(const std::string& name) {
    return XPLMFindDataRef(name.c_str()) != nullptr;
}

// ---- Text access for tests and the CLI ----

namespace detail {
namespace {

// Splits "name[3]" into name and index; index -1 without brackets. False for a bad index.
bool SplitIndex(const std::string& text, std::string* name, int* index) {
    std::string trimmed = Trim(text);
    *index = -1;
    std::size_t open = trimmed.find('[');
    if (open == std::string::npos || trimmed.back() != ']') {
        *name = trimmed;
        return true;
    }
    std::string digits = trimmed.substr(open + 1, trimmed.size() - open - 2);
    char* end = nullptr;
    long parsed = std::strtol(digits.c_str(), &end, 10);
    if (digits.empty() || *end != '\0' || parsed < 0 || parsed > INT_MAX) return false;
    *name = trimmed.substr(0, open);
    *index = static_cast<int>(parsed);
    return true;
}

std::string ByteText(const std::vector<unsigned char>& bytes) {
    std::string text;
    for (unsigned char byte : bytes) {
        if (byte == 0) break;
        text += (byte >= 32 && byte < 127) ? static_cast<char>(byte) : '?';
    }
    return text;
}

}  // namespace

bool ReadText(const std::string& nameWithIndex, std::string* out, std::string* error) {
    std::string name;
    int index = -1;
    if (!SplitIndex(nameWithIndex, &name, &index)) {
        *error = "bad index in '" + nameWithIndex + "'";
        return false;
    }
    XPLMDataRef ref = XPLMFindDataRef(name.c_str());
    if (ref == nullptr) {
        *error = "unknown dataref " + name;
        return false;
    }
    int types = XPLMGetDataRefTypes(ref);
    if (index >= 0) {
        if ((types & xplmType_FloatArray) != 0) {
            float value = 0.0f;
            if (XPLMGetDatavf(ref, &value, index, 1) == 1) {
                *out = FormatFloat(value);
                return true;
            }
        } else if ((types & xplmType_IntArray) != 0) {
            int value = 0;
            if (XPLMGetDatavi(ref, &value, index, 1) == 1) {
                *out = std::to_string(value);
                return true;
            }
        } else if ((types & xplmType_Data) != 0) {
            unsigned char value = 0;
            if (XPLMGetDatab(ref, &value, index, 1) == 1) {
                *out = std::to_string(value);
                return true;
            }
        } else {
            *error = name + " is not an array";
            return false;
        }
        *error = "index " + std::to_string(index) + " is outside " + name;
        return false;
    }
    if ((types & xplmType_Data) != 0) {
        int size = XPLMGetDatab(ref, nullptr, 0, 0);
        std::vector<unsigned char> bytes(static_cast<std::size_t>(size > 0 ? size : 0));
        int got = size > 0 ? XPLMGetDatab(ref, bytes.data(), 0, size) : 0;
        bytes.resize(static_cast<std::size_t>(got > 0 ? got : 0));
        *out = ByteText(bytes);
    } else if ((types & kArrayTypes) != 0) {
        bool floats = (types & xplmType_FloatArray) != 0;
        int size = floats ? XPLMGetDatavf(ref, nullptr, 0, 0) : XPLMGetDatavi(ref, nullptr, 0, 0);
        std::string text;
        if (size > 0) {
            std::vector<float> f(static_cast<std::size_t>(size));
            std::vector<int> i(static_cast<std::size_t>(size));
            int got = floats ? XPLMGetDatavf(ref, f.data(), 0, size)
                             : XPLMGetDatavi(ref, i.data(), 0, size);
            for (int k = 0; k < got; ++k) {
                if (k > 0) text += ',';
                text += floats ? FormatFloat(f[static_cast<std::size_t>(k)])
                               : std::to_string(i[static_cast<std::size_t>(k)]);
            }
        }
        *out = text;
    } else if ((types & xplmType_Double) != 0) {
        *out = FormatDouble(XPLMGetDatad(ref));
    } else if ((types & xplmType_Float) != 0) {
        *out = FormatFloat(XPLMGetDataf(ref));
    } else if ((types & xplmType_Int) != 0) {
        *out = std::to_string(XPLMGetDatai(ref));
    } else {
        out->clear();
    }
    return true;
}

namespace {

// The host writes as the simulator: read-only simulator datarefs take the value.
struct HostWrite {
    HostWrite() { S().hostWrite = true; }
    ~HostWrite() { S().hostWrite = false; }
    HostWrite(const HostWrite&) = delete;
    HostWrite& operator=(const HostWrite&) = delete;
};

bool WriteScalar(XPLMDataRef handle, const DataRef& ref, double value, std::string* error) {
    bool integral = value == std::floor(value) && value >= INT_MIN && value <= INT_MAX;
    bool hasInt = (ref.types & xplmType_Int) != 0 && (!ref.accessor || ref.seti != nullptr);
    bool hasFloat = (ref.types & xplmType_Float) != 0 && (!ref.accessor || ref.setf != nullptr);
    bool hasDouble = (ref.types & xplmType_Double) != 0 && (!ref.accessor || ref.setd != nullptr);
    if (hasDouble) {
        XPLMSetDatad(handle, value);
    } else if (hasFloat) {
        XPLMSetDataf(handle, static_cast<float>(value));
    } else if (hasInt && integral) {
        XPLMSetDatai(handle, static_cast<int>(value));
    } else if (hasInt) {
        *error = ref.name + " takes integers only";
        return false;
    } else {
        *error = ref.name + " has no scalar value to write";
        return false;
    }
    return true;
}

bool WriteElements(XPLMDataRef handle, const DataRef& ref, int offset,
                   const std::vector<double>& values, std::string* error) {
    bool floats = (ref.types & xplmType_FloatArray) != 0;
    int size = floats ? XPLMGetDatavf(handle, nullptr, 0, 0) : XPLMGetDatavi(handle, nullptr, 0, 0);
    int count = static_cast<int>(values.size());
    if (offset + count > size) {
        *error = ref.name + " has " + std::to_string(size) + " elements";
        return false;
    }
    if (floats) {
        std::vector<float> f(values.begin(), values.end());
        XPLMSetDatavf(handle, f.data(), offset, count);
    } else {
        std::vector<int> i;
        for (double value : values) {
            if (value != std::floor(value) || value < INT_MIN || value > INT_MAX) {
                *error = ref.name + " takes integers only";
                return false;
            }
            i.push_back(static_cast<int>(value));
        }
        XPLMSetDatavi(handle, i.data(), offset, count);
    }
    return true;
}

}  // namespace

bool WriteText(const std::string& nameWithIndex, const std::string& valueText, std::string* error) {
    std::string name;
    int index = -1;
    if (!SplitIndex(nameWithIndex, &name, &index)) {
        *error = "bad index in '" + nameWithIndex + "'";
        return false;
    }
    XPLMDataRef handle = XPLMFindDataRef(name.c_str());
    DataRef* ref = RefOf(handle);
    if (ref == nullptr) {
        *error = "unknown dataref " + name;
        return false;
    }
    if (ref->accessor && !ref->writable) {
        *error = name + " is read-only";
        return false;
    }
    HostWrite asSimulator;
    std::string value = Trim(valueText);
    if ((ref->types & xplmType_Data) != 0) {
        int size = XPLMGetDatab(handle, nullptr, 0, 0);
        if (index >= 0) {
            double number = 0.0;
            if (!ParseNumber(value, &number) || number != std::floor(number) || number < 0 ||
                number > 255) {
                *error = "a byte is a number from 0 to 255";
                return false;
            }
            if (index >= size) {
                *error = name + " has " + std::to_string(size) + " bytes";
                return false;
            }
            unsigned char byte = static_cast<unsigned char>(number);
            XPLMSetDatab(handle, &byte, index, 1);
            return true;
        }
        if (static_cast<int>(value.size()) > size) {
            *error = name + " holds " + std::to_string(size) + " bytes";
            return false;
        }
        std::vector<unsigned char> bytes(static_cast<std::size_t>(size), 0);
        std::memcpy(bytes.data(), value.data(), value.size());
        XPLMSetDatab(handle, bytes.data(), 0, size);
        return true;
    }
    std::vector<double> numbers;
    if (!ParseNumberList(value, false, &numbers, error)) return false;
    if (numbers.empty()) {
        *error = "no value";
        return false;
    }
    if ((ref->types & kArrayTypes) != 0) {
        return WriteElements(handle, *ref, index < 0 ? 0 : index, numbers, error);
    }
    if (index >= 0) {
        *error = name + " is not an array";
        return false;
    }
    if (numbers.size() != 1) {
        *error = name + " takes one value";
        return false;
    }
    return WriteScalar(handle, *ref, numbers[0], error);
}

}  // namespace detail

bool SetDataref(const std::string& nameWithOptionalIndex, const std::string& valueText) {
    std::string error;
    return WriteText(nameWithOptionalIndex, valueText, &error);
}

std::string GetDataref(const std::string& name) {
    std::string text, error;
    return ReadText(name, &text, &error) ? text : std::string();
}

double GetNumber(const std::string& nameText, int index) {
    std::string name;
    int bracketIndex = -1;
    if (!SplitIndex(nameText, &name, &bracketIndex)) return NAN;
    if (index < 0) index = bracketIndex;
    XPLMDataRef ref = XPLMFindDataRef(name.c_str());
    if (ref == nullptr) return NAN;
    int types = XPLMGetDataRefTypes(ref);
    int element = index < 0 ? 0 : index;
    if ((types & xplmType_FloatArray) != 0) {
        float value = 0.0f;
        return XPLMGetDatavf(ref, &value, element, 1) == 1 ? value : NAN;
    }
    if ((types & xplmType_IntArray) != 0) {
        int value = 0;
        return XPLMGetDatavi(ref, &value, element, 1) == 1 ? value : NAN;
    }
    if ((types & xplmType_Data) != 0) {
        unsigned char value = 0;
        return XPLMGetDatab(ref, &value, element, 1) == 1 ? value : NAN;
    }
    if (index > 0) return NAN;
    if ((types & xplmType_Double) != 0) return XPLMGetDatad(ref);
    if ((types & xplmType_Float) != 0) return XPLMGetDataf(ref);
    if ((types & xplmType_Int) != 0) return XPLMGetDatai(ref);
    return NAN;
}

}  // namespace xphost

// ---- The XPLM calls ----

using xphost::detail::ClipRange;
using xphost::detail::DataRef;
using xphost::detail::RefOf;
using xphost::detail::S;
using xphost::detail::Stored;
using xphost::detail::ToInt;

XPLMDataRef XPLMFindDataRef(const char* inDataRefName) {
    if (inDataRefName == nullptr) return nullptr;
    auto& s = S();
    auto found = s.datarefIndex.find(inDataRefName);
    if (found == s.datarefIndex.end() || !s.datarefs[found->second].alive) return nullptr;
    return xphost::detail::HandleOfDataRef(found->second);
}

int XPLMCanWriteDataRef(XPLMDataRef inDataRef) {
    DataRef* ref = RefOf(inDataRef);
    return ref != nullptr && ref->writable ? 1 : 0;
}

int XPLMIsDataRefGood(XPLMDataRef inDataRef) {
    return RefOf(inDataRef) != nullptr ? 1 : 0;
}

XPLMDataTypeID XPLMGetDataRefTypes(XPLMDataRef inDataRef) {
    DataRef* ref = RefOf(inDataRef);
    return ref != nullptr ? ref->types : xplmType_Unknown;
}

int XPLMGetDatai(XPLMDataRef inDataRef) {
    DataRef* ref = RefOf(inDataRef);
    if (ref == nullptr) return 0;
    if (ref->accessor) return ref->geti != nullptr ? ref->geti(ref->readRefcon) : 0;
    return (ref->types & xplmType_Int) != 0 ? ToInt(ref->scalar) : 0;
}

void XPLMSetDatai(XPLMDataRef inDataRef, int inValue) {
    DataRef* ref = RefOf(inDataRef);
    if (ref == nullptr || !xphost::detail::CanWrite(*ref)) return;
    if (ref->accessor) {
        if (ref->seti != nullptr) ref->seti(ref->writeRefcon, inValue);
    } else if ((ref->types & xplmType_Int) != 0) {
        ref->scalar = inValue;
    }
}

float XPLMGetDataf(XPLMDataRef inDataRef) {
    DataRef* ref = RefOf(inDataRef);
    if (ref == nullptr) return 0.0f;
    if (ref->accessor) return ref->getf != nullptr ? ref->getf(ref->readRefcon) : 0.0f;
    return (ref->types & xplmType_Float) != 0 ? static_cast<float>(ref->scalar) : 0.0f;
}

void XPLMSetDataf(XPLMDataRef inDataRef, float inValue) {
    DataRef* ref = RefOf(inDataRef);
    if (ref == nullptr || !xphost::detail::CanWrite(*ref)) return;
    if (ref->accessor) {
        if (ref->setf != nullptr) ref->setf(ref->writeRefcon, inValue);
    } else if ((ref->types & xplmType_Float) != 0) {
        ref->scalar = inValue;
    }
}

double XPLMGetDatad(XPLMDataRef inDataRef) {
    DataRef* ref = RefOf(inDataRef);
    if (ref == nullptr) return 0.0;
    if (ref->accessor) return ref->getd != nullptr ? ref->getd(ref->readRefcon) : 0.0;
    return (ref->types & xplmType_Double) != 0 ? ref->scalar : 0.0;
}

void XPLMSetDatad(XPLMDataRef inDataRef, double inValue) {
    DataRef* ref = RefOf(inDataRef);
    if (ref == nullptr || !xphost::detail::CanWrite(*ref)) return;
    if (ref->accessor) {
        if (ref->setd != nullptr) ref->setd(ref->writeRefcon, inValue);
    } else if ((ref->types & xplmType_Double) != 0) {
        ref->scalar = inValue;
    }
}

int XPLMGetDatavi(XPLMDataRef inDataRef, int* outValues, int inOffset, int inMax) {
    DataRef* ref = RefOf(inDataRef);
    if (ref != nullptr && ref->accessor) {
        return ref->getvi != nullptr ? ref->getvi(ref->readRefcon, outValues, inOffset, inMax) : 0;
    }
    ref = Stored(inDataRef, xplmType_IntArray);
    if (ref == nullptr) return 0;
    int size = static_cast<int>(ref->array.size());
    if (outValues == nullptr) return size;
    int count = ClipRange(size, inOffset, inMax);
    for (int k = 0; k < count; ++k) {
        outValues[k] = ToInt(ref->array[static_cast<std::size_t>(inOffset + k)]);
    }
    return count;
}

void XPLMSetDatavi(XPLMDataRef inDataRef, int* inValues, int inoffset, int inCount) {
    DataRef* ref = RefOf(inDataRef);
    if (ref == nullptr || inValues == nullptr || !xphost::detail::CanWrite(*ref)) return;
    if (ref->accessor) {
        if (ref->setvi != nullptr) ref->setvi(ref->writeRefcon, inValues, inoffset, inCount);
        return;
    }
    if ((ref->types & xplmType_IntArray) == 0) return;
    int count = ClipRange(static_cast<int>(ref->array.size()), inoffset, inCount);
    for (int k = 0; k < count; ++k)
        ref->array[static_cast<std::size_t>(inoffset + k)] = inValues[k];
}

int XPLMGetDatavf(XPLMDataRef inDataRef, float* outValues, int inOffset, int inMax) {
    DataRef* ref = RefOf(inDataRef);
    if (ref != nullptr && ref->accessor) {
        return ref->getvf != nullptr ? ref->getvf(ref->readRefcon, outValues, inOffset, inMax) : 0;
    }
    ref = Stored(inDataRef, xplmType_FloatArray);
    if (ref == nullptr) return 0;
    int size = static_cast<int>(ref->array.size());
    if (outValues == nullptr) return size;
    int count = ClipRange(size, inOffset, inMax);
    for (int k = 0; k < count; ++k) {
        outValues[k] = static_cast<float>(ref->array[static_cast<std::size_t>(inOffset + k)]);
    }
    return count;
}

void XPLMSetDatavf(XPLMDataRef inDataRef, float* inValues, int inoffset, int inCount) {
    DataRef* ref = RefOf(inDataRef);
    if (ref == nullptr || inValues == nullptr || !xphost::detail::CanWrite(*ref)) return;
    if (ref->accessor) {
        if (ref->setvf != nullptr) ref->setvf(ref->writeRefcon, inValues, inoffset, inCount);
        return;
    }
    if ((ref->types & xplmType_FloatArray) == 0) return;
    int count = ClipRange(static_cast<int>(ref->array.size()), inoffset, inCount);
    for (int k = 0; k < count; ++k)
        ref->array[static_cast<std::size_t>(inoffset + k)] = inValues[k];
}

int XPLMGetDatab(XPLMDataRef inDataRef, void* outValue, int inOffset, int inMaxBytes) {
    DataRef* ref = RefOf(inDataRef);
    if (ref != nullptr && ref->accessor) {
        return ref->getb != nullptr ? ref->getb(ref->readRefcon, outValue, inOffset, inMaxBytes)
                                    : 0;
    }
    ref = Stored(inDataRef, xplmType_Data);
    if (ref == nullptr) return 0;
    int size = static_cast<int>(ref->bytes.size());
    if (outValue == nullptr) return size;
    int count = ClipRange(size, inOffset, inMaxBytes);
    if (count > 0) std::memcpy(outValue, ref->bytes.data() + inOffset, static_cast<size_t>(count));
    return count;
}

void XPLMSetDatab(XPLMDataRef inDataRef, void* inValue, int inOffset, int inLength) {
    DataRef* ref = RefOf(inDataRef);
    if (ref == nullptr || inValue == nullptr || !xphost::detail::CanWrite(*ref)) return;
    if (ref->accessor) {
        if (ref->setb != nullptr) ref->setb(ref->writeRefcon, inValue, inOffset, inLength);
        return;
    }
    if ((ref->types & xplmType_Data) == 0) return;
    int count = ClipRange(static_cast<int>(ref->bytes.size()), inOffset, inLength);
    if (count > 0) std::memcpy(ref->bytes.data() + inOffset, inValue, static_cast<size_t>(count));
}

XPLMDataRef XPLMRegisterDataAccessor(
    const char* inDataName, XPLMDataTypeID inDataType, int inIsWritable, XPLMGetDatai_f inReadInt,
    XPLMSetDatai_f inWriteInt, XPLMGetDataf_f inReadFloat, XPLMSetDataf_f inWriteFloat,
    XPLMGetDatad_f inReadDouble, XPLMSetDatad_f inWriteDouble, XPLMGetDatavi_f inReadIntArray,
    XPLMSetDatavi_f inWriteIntArray, XPLMGetDatavf_f inReadFloatArray,
    XPLMSetDatavf_f inWriteFloatArray, XPLMGetDatab_f inReadData, XPLMSetDatab_f inWriteData,
    void* inReadRefcon, void* inWriteRefcon) {
    if (inDataName == nullptr || *inDataName == '\0') return nullptr;
    std::size_t index = xphost::detail::DataRefSlot(inDataName);
    DataRef& ref = S().datarefs[index];
    if (!ref.alive) S().datarefsAdded = true;
    xphost::detail::ClearDataRef(ref);
    ref.alive = true;
    ref.accessor = true;
    ref.types = inDataType;
    ref.writable = inIsWritable != 0;
    ref.geti = inReadInt;
    ref.seti = inWriteInt;
    ref.getf = inReadFloat;
    ref.setf = inWriteFloat;
    ref.getd = inReadDouble;
    ref.setd = inWriteDouble;
    ref.getvi = inReadIntArray;
    ref.setvi = inWriteIntArray;
    ref.getvf = inReadFloatArray;
    ref.setvf = inWriteFloatArray;
    ref.getb = inReadData;
    ref.setb = inWriteData;
    ref.readRefcon = inReadRefcon;
    ref.writeRefcon = inWriteRefcon;
    return xphost::detail::HandleOfDataRef(index);
}

void XPLMUnregisterDataAccessor(XPLMDataRef inDataRef) {
    DataRef* ref = RefOf(inDataRef);
    if (ref != nullptr && ref->accessor) xphost::detail::ClearDataRef(*ref);
}
