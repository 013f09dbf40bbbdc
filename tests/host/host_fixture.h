// The fixture every host test starts from: a fresh simulator with the debug echo off.
#pragma once

#include <gtest/gtest.h>

#include "xphost.h"

class HostTest : public ::testing::Test {
  protected:
    void SetUp() override {
        xphost::SetDebugEcho(false);
        xphost::Reset();
    }
    void TearDown() override { xphost::Reset(); }

    // Loads dataref text that must be good.
    static void Load(const std::string& text) {
        std::string error;
        ASSERT_TRUE(xphost::LoadDatarefText(text, &error)) << error;
    }
};
