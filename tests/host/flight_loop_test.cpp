// Flight loops and the clock: intervals in seconds and in frames, inactive callbacks,
// rescheduling by return value, changes from inside callbacks, and the time datarefs.
#include <string>
#include <vector>

#include "XPLMDataAccess.h"
#include "XPLMProcessing.h"
#include "host_fixture.h"

namespace {

struct Call {
    float sinceLastCall;
    float sinceLastLoop;
    int counter;
    long long frame;
};

struct Recorder {
    std::vector<Call> calls;
    std::vector<float> returns;  // what the k-th call returns; the last one repeats
};

float Record(float sinceLastCall, float sinceLastLoop, int counter, void* refcon) {
    auto* recorder = static_cast<Recorder*>(refcon);
    recorder->calls.push_back(Call{sinceLastCall, sinceLastLoop, counter, xphost::FrameCount()});
    std::size_t k = recorder->calls.size() - 1;
    if (recorder->returns.empty()) return 0.0f;
    return recorder->returns[k < recorder->returns.size() ? k : recorder->returns.size() - 1];
}

std::vector<long long> Frames(const Recorder& recorder) {
    std::vector<long long> frames;
    for (const auto& call : recorder.calls) frames.push_back(call.frame);
    return frames;
}

using XphostFlightLoops = HostTest;

TEST_F(XphostFlightLoops, SecondsIntervalsRunInTheFirstFrameAtOrAfterTheirTime) {
    Recorder recorder;
    recorder.returns = {0.1f};
    XPLMRegisterFlightLoopCallback(Record, 0.1f, &recorder);
    xphost::RunFrames(18);
    EXPECT_EQ(Frames(recorder), (std::vector<long long>{6, 12, 18}));
    ASSERT_EQ(recorder.calls.size(), 3u);
    EXPECT_NEAR(recorder.calls[0].sinceLastCall, 0.1f, 1e-5);  // since registration
    EXPECT_NEAR(recorder.calls[1].sinceLastCall, 0.1f, 1e-5);
    EXPECT_NEAR(recorder.calls[1].sinceLastLoop, 1.0f / 60, 1e-6);
    EXPECT_EQ(recorder.calls[2].counter, 18);
    // An interval that is not a whole number of frames runs late, never early.
    Recorder odd;
    odd.returns = {0.025f};
    XPLMRegisterFlightLoopCallback(Record, 0.025f, &odd);
    xphost::RunFrames(6);
    EXPECT_EQ(Frames(odd), (std::vector<long long>{20, 22, 24}));
}

TEST_F(XphostFlightLoops, NegativeIntervalsCountFrames) {
    Recorder every, third;
    every.returns = {-1.0f};
    third.returns = {-3.0f};
    XPLMRegisterFlightLoopCallback(Record, -1.0f, &every);
    XPLMRegisterFlightLoopCallback(Record, -3.0f, &third);
    xphost::RunFrames(9);
    EXPECT_EQ(Frames(every), (std::vector<long long>{1, 2, 3, 4, 5, 6, 7, 8, 9}));
    EXPECT_EQ(Frames(third), (std::vector<long long>{3, 6, 9}));
    EXPECT_EQ(every.calls[4].counter, 5);
}

TEST_F(XphostFlightLoops, ZeroMeansRegisteredButInactive) {
    Recorder recorder;
    recorder.returns = {-1.0f, 0.0f};
    XPLMRegisterFlightLoopCallback(Record, 0.0f, &recorder);
    xphost::RunFrames(5);
    EXPECT_TRUE(recorder.calls.empty());
    XPLMSetFlightLoopCallbackInterval(Record, -1.0f, 1, &recorder);
    xphost::RunFrames(5);
    // The first call returns -1 (again next frame), the second 0 (stop).
    EXPECT_EQ(Frames(recorder), (std::vector<long long>{6, 7}));
    XPLMSetFlightLoopCallbackInterval(Record, -2.0f, 1, &recorder);
    xphost::RunFrames(2);
    EXPECT_EQ(Frames(recorder), (std::vector<long long>{6, 7, 12}));
}

TEST_F(XphostFlightLoops, SetIntervalRelativeToTheLastCallOrToNow) {
    Recorder recorder;
    recorder.returns = {0.0f};
    XPLMRegisterFlightLoopCallback(Record, -1.0f, &recorder);
    xphost::RunFrames(10);  // called in frame 1 only
    // One second after the last call (frame 1) is already past: due at the next frame.
    XPLMSetFlightLoopCallbackInterval(Record, 0.1f, 0, &recorder);
    xphost::RunFrame();
    EXPECT_EQ(Frames(recorder), (std::vector<long long>{1, 11}));
    XPLMSetFlightLoopCallbackInterval(Record, 0.1f, 1, &recorder);
    xphost::RunFrames(6);
    EXPECT_EQ(Frames(recorder), (std::vector<long long>{1, 11, 17}));
    EXPECT_NEAR(recorder.calls[2].sinceLastCall, 0.1f, 1e-5);
    // An unknown callback or refcon changes nothing.
    XPLMSetFlightLoopCallbackInterval(Record, -1.0f, 1, nullptr);
    xphost::RunFrames(3);
    EXPECT_EQ(recorder.calls.size(), 3u);
}

// Callbacks that change the registrations while the frame runs.
Recorder gVictim, gNewcomer;
int gSelfCalls = 0;

float UnregistersItself(float, float, int, void*) {
    ++gSelfCalls;
    XPLMUnregisterFlightLoopCallback(UnregistersItself, nullptr);
    return -1.0f;  // ignored: it is gone
}

float RemovesTheVictimAndAddsANewcomer(float, float, int, void*) {
    XPLMUnregisterFlightLoopCallback(Record, &gVictim);
    XPLMRegisterFlightLoopCallback(Record, -1.0f, &gNewcomer);
    XPLMUnregisterFlightLoopCallback(RemovesTheVictimAndAddsANewcomer, nullptr);
    return -1.0f;
}

TEST_F(XphostFlightLoops, CallbacksMayUnregisterAndRegisterWhileTheFrameRuns) {
    gSelfCalls = 0;
    gVictim = Recorder();
    gVictim.returns = {-1.0f};
    gNewcomer = Recorder();
    gNewcomer.returns = {-1.0f};
    XPLMRegisterFlightLoopCallback(UnregistersItself, -1.0f, nullptr);
    XPLMRegisterFlightLoopCallback(RemovesTheVictimAndAddsANewcomer, -1.0f, nullptr);
    XPLMRegisterFlightLoopCallback(Record, -1.0f, &gVictim);
    xphost::RunFrames(3);
    EXPECT_EQ(gSelfCalls, 1);
    EXPECT_TRUE(gVictim.calls.empty());  // removed earlier in the same frame
    EXPECT_EQ(Frames(gNewcomer), (std::vector<long long>{2, 3}));  // from the next frame on
}

TEST_F(XphostFlightLoops, SameCallbackWithDifferentRefconsAreSeparate) {
    Recorder one, two;
    one.returns = {-1.0f};
    two.returns = {-2.0f};
    XPLMRegisterFlightLoopCallback(Record, -1.0f, &one);
    XPLMRegisterFlightLoopCallback(Record, -2.0f, &two);
    XPLMUnregisterFlightLoopCallback(Record, &one);
    xphost::RunFrames(4);
    EXPECT_TRUE(one.calls.empty());
    EXPECT_EQ(Frames(two), (std::vector<long long>{2, 4}));
}

TEST_F(XphostFlightLoops, ClockFollowsTheFrameRate) {
    EXPECT_EQ(XPLMGetCycleNumber(), 0);
    EXPECT_EQ(XPLMGetElapsedTime(), 0.0f);
    xphost::RunSeconds(1.0);
    EXPECT_EQ(xphost::FrameCount(), 60);
    EXPECT_DOUBLE_EQ(xphost::SimulatedTime(), 1.0);
    xphost::SetFrameRate(20);
    xphost::RunSeconds(0.5);
    EXPECT_EQ(XPLMGetCycleNumber(), 70);
    EXPECT_FLOAT_EQ(XPLMGetElapsedTime(), 1.5f);
    EXPECT_EQ(xphost::FrameRate(), 20);
    Recorder recorder;
    recorder.returns = {-1.0f};
    XPLMRegisterFlightLoopCallback(Record, -1.0f, &recorder);
    xphost::RunFrame();
    EXPECT_NEAR(recorder.calls[0].sinceLastLoop, 0.05f, 1e-6);
    xphost::SetFrameRate(0);  // refused
    EXPECT_EQ(xphost::FrameRate(), 20);
}

TEST_F(XphostFlightLoops, TimeDatarefsExistAndFollowTheClock) {
    XPLMDataRef flight = XPLMFindDataRef("sim/time/total_flight_time");
    XPLMDataRef period = XPLMFindDataRef("sim/operation/misc/frame_rate_period");
    ASSERT_NE(flight, nullptr);
    ASSERT_NE(period, nullptr);
    EXPECT_EQ(XPLMGetDataRefTypes(flight), xplmType_Float);
    EXPECT_EQ(XPLMGetDataRefTypes(period), xplmType_Float);
    EXPECT_FLOAT_EQ(XPLMGetDataf(period), 1.0f / 60);
    xphost::RunFrames(30);
    EXPECT_FLOAT_EQ(XPLMGetDataf(flight), 0.5f);
    // A test can restart the flight; the clock goes on from there.
    EXPECT_TRUE(xphost::SetDataref("sim/time/total_flight_time", "0"));
    xphost::SetFrameRate(30);
    EXPECT_FLOAT_EQ(XPLMGetDataf(period), 1.0f / 30);
    xphost::RunFrames(15);
    EXPECT_FLOAT_EQ(XPLMGetDataf(flight), 0.5f);
    EXPECT_DOUBLE_EQ(xphost::SimulatedTime(), 1.0);
    // A dataref file without them does not remove them; one with them keeps them in step.
    Load("other/ref int rw 1\nsim/operation/misc/frame_rate_period float ro 0.5\n");
    EXPECT_FLOAT_EQ(XPLMGetDataf(period), 1.0f / 30);
    EXPECT_NE(XPLMFindDataRef("sim/time/total_flight_time"), nullptr);
    xphost::Reset();
    EXPECT_NE(XPLMFindDataRef("sim/time/total_flight_time"), nullptr);
    EXPECT_EQ(XPLMGetDataf(flight), 0.0f);
    EXPECT_FLOAT_EQ(XPLMGetDataf(period), 1.0f / 60);
}

}  // namespace
