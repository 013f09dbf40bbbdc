// The plug-in's folder from the path of its .xpl as Windows gives it: backslashes, a drive, the
// win_x64 folder of the one-folder layout, or separators of both kinds.
#include <gtest/gtest.h>

#include "config/plugin_folder.h"

namespace {

TEST(PluginFolderWindowsPaths, EitherSeparatorAndEveryPlatformFolder) {
    const struct {
        const char* xpl;
        const char* folder;
    } rows[] = {
        {"C:\\X-Plane 12\\Resources\\plugins\\Corvane\\win_x64\\Corvane.xpl",
         "C:\\X-Plane 12\\Resources\\plugins\\Corvane"},
        {"C:\\X-Plane 12\\Resources\\plugins\\Corvane\\64\\win.xpl",
         "C:\\X-Plane 12\\Resources\\plugins\\Corvane"},
        {"Z:\\tmp\\plugins\\Corvane/win_x64/Corvane.xpl", "Z:\\tmp\\plugins\\Corvane"},
        {"/X/Resources/plugins/Corvane/lin_x64/Corvane.xpl", "/X/Resources/plugins/Corvane"},
        {"/X/Resources/plugins/Corvane/mac_x64/Corvane.xpl", "/X/Resources/plugins/Corvane"},
        {"C:\\plugins\\Corvane\\Corvane.xpl", "C:\\plugins\\Corvane"},
    };
    for (const auto& row : rows) EXPECT_EQ(PluginFolderFromPath(row.xpl), row.folder) << row.xpl;
}

}  // namespace
