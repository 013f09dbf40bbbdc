// pings to LAN boards with their gate open, and the request for all inputs.
#include <gtest/gtest.h>

#include "exchange/output_gate.h"
#include "inputs_fixture.h"

namespace corvane_inputs_test {
namespace {

using Strings = std::vector<std::string>;

class Pings : public InputsTest {};

TEST_F(Pings, OnlyLanBoardsWithTheirGateOpenArePingedEvery102Calls) {
    UdpPeer opened, closed;
    SerialPeer usb;
    const int a = AddLanBoard(opened);
    AddLanBoard(closed);
    const int u = AddSerialBoard(usb);
    HandleOutputGate(a, allow_output[a]);
    HandleOutputGate(u, allow_output[u]);
    std::vector<int> pingCalls;
    for (int call = 1; call <= 306; ++call) {
        CountPingCalls();
        for (const std::string& m : opened.Take()) {
            EXPECT_EQ(m, "XX");
            pingCalls.push_back(call);
        }
    }
    EXPECT_EQ(pingCalls, (std::vector<int>{102, 204, 306}));
    EXPECT_TRUE(closed.Take().empty());
    EXPECT_TRUE(usb.Take().empty());
    EXPECT_EQ(PingTimeout, 0);
}

TEST_F(Pings, RequestForAllInputsGoesToEveryOpenBoardOnItsOwnLink) {
    UdpPeer lan, closed;
    SerialPeer usb;
    const int l = AddLanBoard(lan);
    AddLanBoard(closed);
    const int u = AddSerialBoard(usb);
    HandleOutputGate(l, allow_output[l]);
    HandleOutputGate(u, allow_output[u]);
    PingTimeout = 50;
    PingInputs(1);
    EXPECT_EQ(lan.Take(), Strings{"XR"});
    EXPECT_EQ(usb.Take(), "XR");
    EXPECT_TRUE(closed.Take().empty());
    EXPECT_EQ(PingTimeout, 0);
    HandleOutputGate(l, 'x');
    PingInputs(1);
    EXPECT_TRUE(lan.Take().empty());
}

}  // namespace
}  // namespace corvane_inputs_test
