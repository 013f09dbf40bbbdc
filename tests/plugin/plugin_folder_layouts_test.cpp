// The plug-in's folder from the path of its file, in every layout X-Plane loads plug-ins from, with
// the separators of either system (Windows gives backslashes, a drive, or both kinds).
#include <gtest/gtest.h>

#include "config/plugin_folder.h"

namespace {

TEST(PluginFolderLayouts, FolderIsFoundFromThePathsComponents) {
    const struct {
        const char* path;
        const char* folder;
    } rows[] = {
        {"/X/Resources/plugins/Corvane/mac32.xpl", "/X/Resources/plugins/Corvane"},
        {"/X/Resources/plugins/Corvane/mac.xpl", "/X/Resources/plugins/Corvane"},
        {"/X/Resources/plugins/Corvane/64/lin.xpl", "/X/Resources/plugins/Corvane"},
        {"/X/Resources/plugins/Corvane/64/mac.xpl", "/X/Resources/plugins/Corvane"},
        {"/X/Resources/plugins/Corvane/lin_x64/Corvane.xpl", "/X/Resources/plugins/Corvane"},
        {"/X/Resources/plugins/Corvane/mac_x64/Corvane.xpl", "/X/Resources/plugins/Corvane"},
        {"C:\\X-Plane 12\\Resources\\plugins\\Corvane\\win_x64\\Corvane.xpl",
         "C:\\X-Plane 12\\Resources\\plugins\\Corvane"},
        {"C:/X/Resources/plugins/Corvane/win_x64\\Corvane.XPL", "C:/X/Resources/plugins/Corvane"},
        {"/X/Resources/plugins/My Cockpit/lin_x64/Corvane.xpl", "/X/Resources/plugins/My Cockpit"},
        {"/X/Resources/plugins/Corvane/32/WIN.XPL", "/X/Resources/plugins/Corvane"},
        {"/X/Resources/plugins/Corvane/64", "/X/Resources/plugins/Corvane"},
        {"/X/plugins/Corvane.xpl", "/X/plugins"},
        {"/X/plugins/Corvane", "/X/plugins/Corvane"},
        {"C:\\X-Plane 12\\Resources\\plugins\\Corvane\\64\\win.xpl",
         "C:\\X-Plane 12\\Resources\\plugins\\Corvane"},
        {"Z:\\tmp\\plugins\\Corvane/win_x64/Corvane.xpl", "Z:\\tmp\\plugins\\Corvane"},
        {"C:\\plugins\\Corvane\\Corvane.xpl", "C:\\plugins\\Corvane"},
        {"/p/Corvane", "/p/Corvane"},
        {"Corvane.xpl", "Corvane.xpl"},
        {"64", "64"},
        {"", ""},
    };
    for (const auto& row : rows) EXPECT_EQ(PluginFolderFromPath(row.path), row.folder) << row.path;
}

}  // namespace
