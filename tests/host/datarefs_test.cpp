// Datarefs: typed access and its conversions, arrays, byte data, read-only datarefs, plug-in
// accessors, the dataref file and the host's text access.
#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "XPLMDataAccess.h"
#include "XPLMUtilities.h"
#include "host_fixture.h"

namespace {

const char* const kRefs = R"(# a comment, then a blank line

test/int int rw 7
test/float float rw 2.5
test/double double rw 1.25
test/combo int+float rw 3.75
test/triple int+float+double rw -2.5
test/ro float ro 1
test/fa float[4] rw 1,2,3
test/ia int[3] rw 4, 5, 6
test/both int[2]+float[2] rw 1.5,2
test/bytes byte[8] ro N172SP
test/text byte[16] rw Hello world
command test/cmd A test command
)";

XPLMDataRef Find(const char* name) {
    return XPLMFindDataRef(name);
}

class XphostDatarefs : public HostTest {
  protected:
    void SetUp() override {
        HostTest::SetUp();
        Load(kRefs);
    }
};

TEST_F(XphostDatarefs, FindAndTypes) {
    EXPECT_EQ(Find("test/none"), nullptr);
    EXPECT_EQ(Find(nullptr), nullptr);
    EXPECT_EQ(XPLMGetDataRefTypes(nullptr), 0);
    EXPECT_EQ(XPLMGetDataRefTypes(Find("test/int")), xplmType_Int);
    EXPECT_EQ(XPLMGetDataRefTypes(Find("test/float")), xplmType_Float);
    EXPECT_EQ(XPLMGetDataRefTypes(Find("test/double")), xplmType_Double);
    EXPECT_EQ(XPLMGetDataRefTypes(Find("test/combo")), 3);
    EXPECT_EQ(XPLMGetDataRefTypes(Find("test/triple")), 7);
    EXPECT_EQ(XPLMGetDataRefTypes(Find("test/fa")), xplmType_FloatArray);
    EXPECT_EQ(XPLMGetDataRefTypes(Find("test/ia")), xplmType_IntArray);
    EXPECT_EQ(XPLMGetDataRefTypes(Find("test/both")), xplmType_IntArray | xplmType_FloatArray);
    EXPECT_EQ(XPLMGetDataRefTypes(Find("test/bytes")), xplmType_Data);
    EXPECT_EQ(Find("test/int"), Find("test/int"));
    EXPECT_NE(Find("test/int"), Find("test/float"));
    EXPECT_EQ(XPLMIsDataRefGood(Find("test/int")), 1);
    EXPECT_EQ(XPLMIsDataRefGood(nullptr), 0);
    EXPECT_EQ(XPLMCanWriteDataRef(Find("test/int")), 1);
    EXPECT_EQ(XPLMCanWriteDataRef(Find("test/ro")), 0);
    // A command's name is not a dataref.
    EXPECT_EQ(Find("test/cmd"), nullptr);
}

TEST_F(XphostDatarefs, TypedReadsConvertOnlyWithinTheirTypes) {
    EXPECT_EQ(XPLMGetDatai(Find("test/int")), 7);
    EXPECT_EQ(XPLMGetDataf(Find("test/int")), 0.0f);
    EXPECT_EQ(XPLMGetDatad(Find("test/int")), 0.0);
    EXPECT_EQ(XPLMGetDataf(Find("test/float")), 2.5f);
    EXPECT_EQ(XPLMGetDatai(Find("test/float")), 0);
    EXPECT_EQ(XPLMGetDatad(Find("test/double")), 1.25);
    EXPECT_EQ(XPLMGetDataf(Find("test/double")), 0.0f);
    // int+float answers both reads, the int one truncated; no double.
    EXPECT_EQ(XPLMGetDatai(Find("test/combo")), 3);
    EXPECT_EQ(XPLMGetDataf(Find("test/combo")), 3.75f);
    EXPECT_EQ(XPLMGetDatad(Find("test/combo")), 0.0);
    EXPECT_EQ(XPLMGetDatai(Find("test/triple")), -2);
    EXPECT_EQ(XPLMGetDatad(Find("test/triple")), -2.5);
    // Scalar reads of arrays and array reads of scalars give 0.
    EXPECT_EQ(XPLMGetDataf(Find("test/fa")), 0.0f);
    int value = 99;
    EXPECT_EQ(XPLMGetDatavi(Find("test/int"), &value, 0, 1), 0);
    EXPECT_EQ(XPLMGetDatavi(Find("test/int"), nullptr, 0, 0), 0);
    EXPECT_EQ(value, 99);
}

TEST_F(XphostDatarefs, WritesGoOnlyThroughTheRefsOwnTypes) {
    XPLMSetDataf(Find("test/int"), 9.0f);
    XPLMSetDatad(Find("test/int"), 9.0);
    EXPECT_EQ(XPLMGetDatai(Find("test/int")), 7);
    XPLMSetDatai(Find("test/int"), -4);
    EXPECT_EQ(XPLMGetDatai(Find("test/int")), -4);
    XPLMSetDatai(Find("test/combo"), 5);
    EXPECT_EQ(XPLMGetDataf(Find("test/combo")), 5.0f);
    XPLMSetDataf(Find("test/combo"), 2.5f);
    EXPECT_EQ(XPLMGetDatai(Find("test/combo")), 2);
    EXPECT_EQ(XPLMGetDataf(Find("test/combo")), 2.5f);
    XPLMSetDatad(Find("test/combo"), 8.0);  // no double type: ignored
    EXPECT_EQ(XPLMGetDataf(Find("test/combo")), 2.5f);
    float one = 1.0f;
    XPLMSetDatavf(Find("test/float"), &one, 0, 1);
    EXPECT_EQ(XPLMGetDataf(Find("test/float")), 2.5f);
}

TEST_F(XphostDatarefs, ReadOnlyDatarefsIgnorePluginWritesButTakeTheHosts) {
    XPLMSetDataf(Find("test/ro"), 5.0f);
    EXPECT_EQ(XPLMGetDataf(Find("test/ro")), 1.0f);
    char text[] = "X";
    XPLMSetDatab(Find("test/bytes"), text, 0, 1);
    EXPECT_EQ(xphost::GetDataref("test/bytes"), "N172SP");
    EXPECT_TRUE(xphost::SetDataref("test/ro", "6"));
    EXPECT_EQ(XPLMGetDataf(Find("test/ro")), 6.0f);
    // The host's write does not leave the dataref writable for plug-ins.
    XPLMSetDataf(Find("test/ro"), 7.0f);
    EXPECT_EQ(XPLMGetDataf(Find("test/ro")), 6.0f);
}

TEST_F(XphostDatarefs, ArraysHonourOffsetCountAndNullBuffers) {
    XPLMDataRef fa = Find("test/fa");
    EXPECT_EQ(XPLMGetDatavf(fa, nullptr, 0, 0), 4);
    EXPECT_EQ(XPLMGetDatavf(fa, nullptr, 3, 1), 4);
    float out[6] = {-1, -1, -1, -1, -1, -1};
    EXPECT_EQ(XPLMGetDatavf(fa, out, 1, 6), 3);
    EXPECT_EQ(out[0], 2.0f);
    EXPECT_EQ(out[1], 3.0f);
    EXPECT_EQ(out[2], 0.0f);  // missing values are 0
    EXPECT_EQ(out[3], -1.0f);
    EXPECT_EQ(XPLMGetDatavf(fa, out, 4, 1), 0);
    EXPECT_EQ(XPLMGetDatavf(fa, out, -1, 2), 0);
    EXPECT_EQ(XPLMGetDatavf(fa, out, 0, 0), 0);
    float in[5] = {10, 11, 12, 13, 14};
    XPLMSetDatavf(fa, in, 2, 5);  // clipped to the two elements left
    EXPECT_EQ(xphost::GetDataref("test/fa"), "1,2,10,11");
    XPLMSetDatavf(fa, in, 4, 1);
    XPLMSetDatavf(fa, in, -1, 2);
    XPLMSetDatavf(fa, nullptr, 0, 2);
    EXPECT_EQ(xphost::GetDataref("test/fa"), "1,2,10,11");
    int ints[4] = {};
    EXPECT_EQ(XPLMGetDatavi(fa, ints, 0, 4), 0);  // a float array has no int access

    XPLMDataRef ia = Find("test/ia");
    EXPECT_EQ(XPLMGetDatavi(ia, nullptr, 0, 0), 3);
    EXPECT_EQ(XPLMGetDatavi(ia, ints, 1, 1), 1);
    EXPECT_EQ(ints[0], 5);
    int more[2] = {-8, -9};
    XPLMSetDatavi(ia, more, 1, 2);
    EXPECT_EQ(xphost::GetDataref("test/ia"), "4,-8,-9");

    // An int and float array is one array read either way.
    XPLMDataRef both = Find("test/both");
    EXPECT_EQ(XPLMGetDatavi(both, ints, 0, 2), 2);
    EXPECT_EQ(ints[0], 1);
    EXPECT_EQ(XPLMGetDatavf(both, out, 0, 2), 2);
    EXPECT_EQ(out[0], 1.5f);
}

TEST_F(XphostDatarefs, ByteDataHonoursOffsetAndLength) {
    XPLMDataRef bytes = Find("test/bytes");
    EXPECT_EQ(XPLMGetDatab(bytes, nullptr, 0, 0), 8);
    char out[9] = {};
    EXPECT_EQ(XPLMGetDatab(bytes, out, 0, 8), 8);
    EXPECT_STREQ(out, "N172SP");
    std::memset(out, 0, sizeof out);
    EXPECT_EQ(XPLMGetDatab(bytes, out, 1, 3), 3);
    EXPECT_STREQ(out, "172");
    EXPECT_EQ(XPLMGetDatab(bytes, out, 6, 10), 2);
    EXPECT_EQ(XPLMGetDatab(bytes, out, 8, 1), 0);
    EXPECT_EQ(XPLMGetDatab(Find("test/int"), nullptr, 0, 0), 0);

    XPLMDataRef text = Find("test/text");
    char jello[] = "J";
    XPLMSetDatab(text, jello, 0, 1);
    EXPECT_EQ(xphost::GetDataref("test/text"), "Jello world");
    char tail[] = "abcdefgh";
    XPLMSetDatab(text, tail, 12, 8);  // clipped at the end of the buffer
    EXPECT_EQ(XPLMGetDatab(text, out, 12, 4), 4);
    EXPECT_EQ(std::string(out, 4), "abcd");
}

TEST_F(XphostDatarefs, BadHandlesAreHarmless) {
    XPLMDataRef command = XPLMFindCommand("test/cmd");
    ASSERT_NE(command, nullptr);
    void* bogus = reinterpret_cast<void*>(0x1234);
    for (XPLMDataRef ref : {static_cast<void*>(nullptr), command, bogus}) {
        EXPECT_EQ(XPLMGetDatai(ref), 0);
        EXPECT_EQ(XPLMGetDataf(ref), 0.0f);
        EXPECT_EQ(XPLMGetDatad(ref), 0.0);
        EXPECT_EQ(XPLMGetDatavf(ref, nullptr, 0, 0), 0);
        EXPECT_EQ(XPLMGetDatavi(ref, nullptr, 0, 0), 0);
        EXPECT_EQ(XPLMGetDatab(ref, nullptr, 0, 0), 0);
        EXPECT_EQ(XPLMGetDataRefTypes(ref), 0);
        EXPECT_EQ(XPLMIsDataRefGood(ref), 0);
        XPLMSetDatai(ref, 1);
        XPLMSetDataf(ref, 1.0f);
        XPLMUnregisterDataAccessor(ref);
    }
}

// ---- Accessors ----

struct AccessorLog {
    int value = 11;
    float floatValue = 0.5f;
    int writes = 0;
    int lastOffset = -1;
    int lastMax = -1;
};

int ReadInt(void* refcon) {
    return static_cast<AccessorLog*>(refcon)->value;
}
void WriteInt(void* refcon, int value) {
    auto* log = static_cast<AccessorLog*>(refcon);
    log->value = value;
    ++log->writes;
}
float ReadFloat(void* refcon) {
    return static_cast<AccessorLog*>(refcon)->floatValue;
}
int ReadFloats(void* refcon, float* out, int offset, int max) {
    auto* log = static_cast<AccessorLog*>(refcon);
    log->lastOffset = offset;
    log->lastMax = max;
    if (out == nullptr) return 10;
    for (int k = 0; k < max; ++k) out[k] = static_cast<float>(offset + k);
    return max;
}

XPLMDataRef RegisterInt(const char* name, int writable, AccessorLog* log) {
    return XPLMRegisterDataAccessor(name, xplmType_Int | xplmType_Float, writable, ReadInt,
                                    WriteInt, ReadFloat, nullptr, nullptr, nullptr, nullptr,
                                    nullptr, ReadFloats, nullptr, nullptr, nullptr, log, log);
}

TEST_F(XphostDatarefs, AccessorsAreFoundReadAndWrittenThroughTheirCallbacks) {
    AccessorLog log;
    XPLMDataRef ref = RegisterInt("plugin/value", 1, &log);
    ASSERT_NE(ref, nullptr);
    EXPECT_EQ(Find("plugin/value"), ref);
    EXPECT_EQ(XPLMGetDataRefTypes(ref), 3);
    EXPECT_EQ(XPLMCanWriteDataRef(ref), 1);
    EXPECT_EQ(XPLMGetDatai(ref), 11);
    EXPECT_EQ(XPLMGetDataf(ref), 0.5f);
    EXPECT_EQ(XPLMGetDatad(ref), 0.0);  // no double reader
    XPLMSetDatai(ref, 42);
    EXPECT_EQ(log.value, 42);
    XPLMSetDataf(ref, 1.0f);  // no float writer
    EXPECT_EQ(log.writes, 1);
    // Array calls pass offset and count through unchanged.
    float out[3] = {};
    EXPECT_EQ(XPLMGetDatavf(ref, out, 5, 3), 3);
    EXPECT_EQ(log.lastOffset, 5);
    EXPECT_EQ(log.lastMax, 3);
    EXPECT_EQ(out[2], 7.0f);
    EXPECT_EQ(XPLMGetDatavf(ref, nullptr, 0, 0), 10);
    // The host's text access goes through the callbacks too.
    EXPECT_TRUE(xphost::SetDataref("plugin/value", "8"));
    EXPECT_EQ(log.value, 8);
    EXPECT_EQ(xphost::GetNumber("plugin/value"), 0.5);  // the float reading
}

TEST_F(XphostDatarefs, ReadOnlyAccessorsIgnoreWrites) {
    AccessorLog log;
    XPLMDataRef ref = RegisterInt("plugin/ro", 0, &log);
    EXPECT_EQ(XPLMCanWriteDataRef(ref), 0);
    XPLMSetDatai(ref, 42);
    EXPECT_FALSE(xphost::SetDataref("plugin/ro", "42"));
    EXPECT_EQ(log.writes, 0);
    EXPECT_EQ(XPLMGetDatai(ref), 11);
}

TEST_F(XphostDatarefs, UnregisteredAccessorsVanish) {
    AccessorLog log;
    XPLMDataRef ref = RegisterInt("plugin/value", 1, &log);
    XPLMUnregisterDataAccessor(ref);
    EXPECT_EQ(Find("plugin/value"), nullptr);
    EXPECT_EQ(XPLMGetDatai(ref), 0);
    EXPECT_EQ(XPLMIsDataRefGood(ref), 0);
    EXPECT_EQ(XPLMGetDataRefTypes(ref), 0);
    XPLMSetDatai(ref, 5);
    EXPECT_EQ(log.writes, 0);
    // The same name comes back with the same handle.
    EXPECT_EQ(RegisterInt("plugin/value", 1, &log), ref);
    EXPECT_EQ(XPLMGetDatai(ref), 11);
    // Unregistering a simulator dataref does nothing.
    XPLMUnregisterDataAccessor(Find("test/int"));
    EXPECT_EQ(XPLMGetDatai(Find("test/int")), 7);
    EXPECT_EQ(XPLMRegisterDataAccessor("", xplmType_Int, 0, ReadInt, nullptr, nullptr, nullptr,
                                       nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                                       nullptr, nullptr, nullptr, nullptr),
              nullptr);
}

TEST_F(XphostDatarefs, ResetKillsOldHandlesWithoutLeavingThemDangling) {
    XPLMDataRef ref = Find("test/int");
    AccessorLog log;
    XPLMDataRef accessor = RegisterInt("plugin/value", 1, &log);
    xphost::Reset();
    EXPECT_EQ(XPLMGetDatai(ref), 0);
    EXPECT_EQ(XPLMIsDataRefGood(ref), 0);
    EXPECT_EQ(XPLMGetDatai(accessor), 0);
    EXPECT_EQ(Find("test/int"), nullptr);
    Load(kRefs);
    EXPECT_EQ(Find("test/int"), ref);
    EXPECT_EQ(XPLMGetDatai(ref), 7);
    EXPECT_EQ(Find("plugin/value"), nullptr);
}

// ---- The dataref file ----

using XphostDatarefFile = HostTest;

TEST_F(XphostDatarefFile, FileLinesDefineTypesAccessAndValues) {
    Load(
        "a/int int ro\n"
        "a/arr float[3] rw 0.5\n"
        "a/bytes byte[4] rw\n"
        "\t# indented comment\r\n"
        "a/crlf int rw 3\r\n"
        "command a/cmd   Spaced   description  \n"
        "command a/bare\n");
    EXPECT_EQ(xphost::GetDataref("a/int"), "0");
    EXPECT_EQ(XPLMCanWriteDataRef(XPLMFindDataRef("a/int")), 0);
    EXPECT_EQ(xphost::GetDataref("a/arr"), "0.5,0,0");
    EXPECT_EQ(XPLMGetDatab(XPLMFindDataRef("a/bytes"), nullptr, 0, 0), 4);
    EXPECT_EQ(xphost::GetDataref("a/bytes"), "");
    EXPECT_EQ(xphost::GetDataref("a/crlf"), "3");
    EXPECT_TRUE(xphost::HasCommand("a/cmd"));
    EXPECT_TRUE(xphost::HasCommand("a/bare"));
    // A later definition replaces an earlier one, keeping the handle.
    XPLMDataRef before = XPLMFindDataRef("a/int");
    Load("a/int float rw 2.5");
    EXPECT_EQ(XPLMFindDataRef("a/int"), before);
    EXPECT_EQ(XPLMGetDataRefTypes(before), xplmType_Float);
    EXPECT_EQ(xphost::GetDataref("a/int"), "2.5");
}

TEST_F(XphostDatarefFile, BadFileLinesAreReportedAndSkipped) {
    const std::vector<std::string> badLines = {
        "b/x unknown rw",        "b/x int maybe",          "b/x int",
        "b/x float[2] rw 1,2,3", "b/x int rw 2.5",         "b/x int[2] rw 1,1.5",
        "b/x int+float[2] rw",   "b/x int[2]+float[3] rw", "b/x int+int rw",
        "b/x byte[2] rw long",   "b/x float rw abc",       "b/x float[0] rw",
        "b/x float rw 1,2",      "b/x float[2] rw 1,",     "command",
    };
    for (const auto& bad : badLines) {
        xphost::Reset();
        std::string error;
        EXPECT_FALSE(
            xphost::LoadDatarefText("b/good int rw 1\n" + bad + "\nb/after int rw 2", &error))
            << bad;
        EXPECT_NE(error.find(":2:"), std::string::npos) << bad << " -> " << error;
        EXPECT_EQ(xphost::GetDataref("b/good"), "1") << bad;
        EXPECT_EQ(xphost::GetDataref("b/after"), "2") << bad;
        EXPECT_FALSE(xphost::HasDataref("b/x")) << bad;
    }
    std::string error;
    EXPECT_FALSE(xphost::LoadDatarefText("x\ny\nz int rw\n", &error));
    EXPECT_NE(error.find("line:1:"), std::string::npos) << error;
    EXPECT_NE(error.find("1 more"), std::string::npos) << error;
    EXPECT_FALSE(xphost::LoadDatarefFile("/nonexistent/datarefs.txt", &error));
    EXPECT_NE(error.find("cannot open"), std::string::npos);
}

TEST_F(XphostDatarefFile, DefaultFileLoadsAndHoldsWhatThePluginUses) {
    std::string error;
    ASSERT_TRUE(
        xphost::LoadDatarefFile(std::string(CORVANE_SOURCE_DIR) + "/examples/datarefs.txt", &error))
        << error;
    for (const char* name :
         {"sim/cockpit2/controls/flap_ratio", "sim/flightmodel2/controls/flap_handle_deploy_ratio",
          "sim/cockpit2/autopilot/altitude_hold_status", "sim/time/total_flight_time",
          "sim/operation/misc/frame_rate_period", "sim/engines/engage_starters",
          "sim/cockpit2/engine/actuators/ignition_on",
          "sim/cockpit2/radios/actuators/com1_frequency_hz_833", "sim/aircraft/view/acf_tailnum",
          "sim/cockpit2/engine/actuators/throttle_ratio"}) {
        EXPECT_TRUE(xphost::HasDataref(name)) << name;
    }
    for (int engine = 1; engine <= 4; ++engine) {
        for (const char* prefix :
             {"sim/starters/engage_starter_", "sim/igniters/igniter_contin_on_",
              "sim/igniters/igniter_contin_off_", "sim/starters/engage_start_run_"}) {
            EXPECT_TRUE(xphost::HasCommand(prefix + std::to_string(engine))) << prefix << engine;
        }
    }
    EXPECT_EQ(XPLMGetDataRefTypes(XPLMFindDataRef("sim/engines/engage_starters")),
              xplmType_IntArray);
    EXPECT_EQ(XPLMGetDatavf(XPLMFindDataRef("sim/cockpit2/engine/actuators/throttle_ratio"),
                            nullptr, 0, 0),
              8);
    EXPECT_EQ(xphost::GetDataref("sim/aircraft/view/acf_tailnum"), "N172SP");
    EXPECT_EQ(xphost::GetDataref("sim/cockpit2/radios/actuators/com1_frequency_hz_833"), "118000");
}

// ---- Text access ----

TEST_F(XphostDatarefs, TextAccessReadsAndWritesEveryType) {
    EXPECT_EQ(xphost::GetDataref("test/int"), "7");
    EXPECT_EQ(xphost::GetDataref("test/combo"), "3.75");
    EXPECT_EQ(xphost::GetDataref("test/fa"), "1,2,3,0");
    EXPECT_EQ(xphost::GetDataref("test/fa[1]"), "2");
    EXPECT_EQ(xphost::GetDataref("test/fa[4]"), "");
    EXPECT_EQ(xphost::GetDataref("test/none"), "");
    EXPECT_EQ(xphost::GetDataref("test/bytes[0]"), "78");

    EXPECT_TRUE(xphost::SetDataref("test/float", "0.1"));
    EXPECT_EQ(xphost::GetDataref("test/float"), "0.1");
    EXPECT_TRUE(xphost::SetDataref("test/double", "0.1"));
    EXPECT_EQ(xphost::GetDataref("test/double"), "0.1");
    EXPECT_EQ(xphost::GetNumber("test/double"), 0.1);
    EXPECT_TRUE(xphost::SetDataref("test/fa[2]", "9.5"));
    EXPECT_TRUE(xphost::SetDataref("test/fa", "7, 8"));
    EXPECT_EQ(xphost::GetDataref("test/fa"), "7,8,9.5,0");
    EXPECT_EQ(xphost::GetNumber("test/fa", 2), 9.5);
    EXPECT_EQ(xphost::GetNumber("test/fa[1]"), 8.0);
    EXPECT_EQ(xphost::GetNumber("test/fa"), 7.0);
    EXPECT_TRUE(xphost::SetDataref("test/combo", "2"));
    EXPECT_EQ(xphost::GetNumber("test/combo"), 2.0);
    EXPECT_TRUE(xphost::SetDataref("test/bytes", "D-EAB"));
    EXPECT_EQ(xphost::GetDataref("test/bytes"), "D-EAB");  // the old tail is gone
    EXPECT_TRUE(xphost::SetDataref("test/bytes[5]", "67"));
    EXPECT_EQ(xphost::GetDataref("test/bytes"), "D-EABC");

    EXPECT_TRUE(std::isnan(xphost::GetNumber("test/none")));
    EXPECT_TRUE(std::isnan(xphost::GetNumber("test/fa", 4)));
    EXPECT_TRUE(std::isnan(xphost::GetNumber("test/int", 1)));
}

TEST_F(XphostDatarefs, BadTextWritesAreRefusedAndChangeNothing) {
    EXPECT_FALSE(xphost::SetDataref("test/none", "1"));
    EXPECT_FALSE(xphost::SetDataref("test/int", "2.5"));
    EXPECT_FALSE(xphost::SetDataref("test/int", "abc"));
    EXPECT_FALSE(xphost::SetDataref("test/int", ""));
    EXPECT_FALSE(xphost::SetDataref("test/int[0]", "1"));
    EXPECT_FALSE(xphost::SetDataref("test/int", "1,2"));
    EXPECT_FALSE(xphost::SetDataref("test/fa[4]", "1"));
    EXPECT_FALSE(xphost::SetDataref("test/fa", "1,2,3,4,5"));
    EXPECT_FALSE(xphost::SetDataref("test/fa[x]", "1"));
    EXPECT_FALSE(xphost::SetDataref("test/ia", "1.5"));
    EXPECT_FALSE(xphost::SetDataref("test/bytes", "far too long text"));
    EXPECT_FALSE(xphost::SetDataref("test/bytes[0]", "300"));
    EXPECT_EQ(xphost::GetDataref("test/int"), "7");
    EXPECT_EQ(xphost::GetDataref("test/fa"), "1,2,3,0");
    EXPECT_EQ(xphost::GetDataref("test/ia"), "4,5,6");
    EXPECT_EQ(xphost::GetDataref("test/bytes"), "N172SP");
}

}  // namespace
