// X-Plane's Log.txt: every diagnostic reaches it as whole lines of the plug-in's own.
#include <gtest/gtest.h>

#include <sstream>

#include "support/plugin_harness.h"
#include "xphost.h"

namespace {

TEST(LogFile, DiagnosticsArriveAsWholeCorvaneLines) {
    corvane_test::PluginOptions options;
    options.dataCfg = "*3\n[A]\nL 21\n[I]\nD5 sim/lights/landing_lights_toggle\n";
    corvane_test::PluginRun run(options);
    run.AddLanBoard(25, 3);
    ASSERT_TRUE(run.ConnectAll(400));

    const std::string log = xphost::DebugLog();
    for (const char* line :
         {"Corvane: Corvane Plugin initialized\n", "Corvane: Reading config for board #3\n",
          "Corvane: LED Port pin: 21\n", "Corvane: Sending config\n",
          "Corvane: Config sent: 61 bytes\n"})
        EXPECT_NE(log.find(line), std::string::npos) << line;
    // Every line is finished and carries the prefix; the texts' leading line feeds leave no empty
    // lines behind.
    ASSERT_FALSE(log.empty());
    EXPECT_EQ(log.back(), '\n');
    std::istringstream lines(log);
    for (std::string text; std::getline(lines, text);)
        EXPECT_EQ(text.rfind("Corvane: ", 0), 0u) << text;
}

}  // namespace
