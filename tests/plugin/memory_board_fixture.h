// A LAN board with a store input (M12, depth 3) and a recall input (P12) on sim/test/nav1, in the
// plug-in running in the host: presses go over loopback UDP, the memory file is memory0.txt.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "support/plugin_harness.h"
#include "xphost.h"

namespace corvane_test {

class MemoryBoardTest : public ::testing::Test {
  protected:
    void SetUp() override {
        PluginOptions options;
        options.dataCfg = "*3\n[I]\nM12 sim/test/nav1 3\nP12 sim/test/nav1\n";
        options.extraDatarefs = "sim/test/nav1 float rw 0\n";
        options.settings = extraSettings_;
        run_ = std::make_unique<PluginRun>(options);
        board_ = &run_->AddLanBoard(25, 3);
        board_->SendIdentification();
        ASSERT_TRUE(run_->ConnectAll(50));
    }
    void TearDown() override { run_.reset(); }

    std::string MemoryPath() const { return run_->folder() + "/memory0.txt"; }
    void Store(const std::string& value) {
        ASSERT_TRUE(xphost::SetDataref("sim/test/nav1", value));
        board_->SendInput("M12");
        run_->Call();
    }
    // The value a recall writes (-1 when it writes none).
    double Recall() {
        xphost::SetDataref("sim/test/nav1", "-1");
        board_->SendInput("P12");
        run_->Call();
        return xphost::GetNumber("sim/test/nav1");
    }

    std::string extraSettings_;  // config.ini lines for a test to set before SetUp
    std::unique_ptr<PluginRun> run_;
    boardsim::Board* board_ = nullptr;
};

}  // namespace corvane_test
