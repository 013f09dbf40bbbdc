// data.cfg sectioning (LoadConfig): which lines are stored under which board ID.
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <sstream>

#include "config/plugin_folder.h"
#include "config_test_support.h"
#include "plugin/lifecycle.h"
#include "simdata/sim_time.h"

namespace config_test {
namespace {

std::vector<ConfigSection> Sections(const std::string& file) {
    std::istringstream in(file);
    return SplitConfigSections(in);
}

TEST_F(ConfigTest, InfoMarkerEndsTheStoredPartUntilTheNextHeader) {
    const auto s = Sections("*3\n[I]\nB5 sim/x\n@info\nsome words\n[O]\n13L 0 sim/y\n");
    ASSERT_EQ(s.size(), 1u);
    EXPECT_EQ(s[0].id, 3u);
    EXPECT_EQ(s[0].text, "[I]\nB5 sim/x\n[O]\n13L 0 sim/y\n");
    EXPECT_EQ(s[0].fileLines, (std::vector<int>{2, 3, 6, 7}));
}

TEST_F(ConfigTest, OtherMarkersAreDroppedButDoNotEndTheStoredPart) {
    const auto s = Sections("*2\n[I]\n@note\nB5 sim/x\n@ info \nfree\n");
    ASSERT_EQ(s.size(), 1u);
    EXPECT_EQ(s[0].text, "[I]\nB5 sim/x\n");
}

TEST_F(ConfigTest, LinesBeforeTheFirstStarAreNotStoredEvenInsideAHeader) {
    const auto s = Sections("[I]\nB5 sim/x\n*4\nB6 sim/y\n");
    ASSERT_EQ(s.size(), 1u);
    EXPECT_EQ(s[0].id, 4u);
    // The section letter I carries over the '*' line: B6 is stored (ReadConfigFile ignores it).
    EXPECT_EQ(s[0].text, "B6 sim/y\n");
}

TEST_F(ConfigTest, SectionWithIdZeroStoresNothing) {
    const auto s = Sections("*0\n[I]\nB5 sim/x\n*5\n[O]\n7 0 sim/y\n");
    ASSERT_EQ(s.size(), 2u);
    EXPECT_EQ(s[0].id, 0u);
    EXPECT_EQ(s[0].text, "");
    EXPECT_EQ(s[1].id, 5u);
    EXPECT_EQ(s[1].text, "[O]\n7 0 sim/y\n");
}

TEST_F(ConfigTest, OnlyOneDigitOfTheBoardIdIsRead) {
    std::vector<ConfigNote> notes;
    ConfigDiagnosticsScope scope(notes);
    const auto s = Sections("*12\n[I]\nB5 sim/x\n");
    ASSERT_EQ(s.size(), 1u);
    EXPECT_EQ(s[0].id, 1u);
    EXPECT_TRUE(HasNote(notes, ConfigNoteKind::Suspect, "only one digit", 1));
}

TEST_F(ConfigTest, StoredLinesAreTrimmed) {
    const auto s = Sections("  *6 \r\n\t[I]\r\n   B5   sim/x 1 \t\r\n\n\n[O] \n");
    ASSERT_EQ(s.size(), 1u);
    EXPECT_EQ(s[0].id, 6u);
    EXPECT_EQ(s[0].text, "[I]\nB5   sim/x 1\n[O]\n");
}

TEST_F(ConfigTest, HeaderZeroEndsTheStoredPartLikeTheInfoMarker) {
    const auto s = Sections("*7\n[I]\nB5 sim/x\n[0]\nnotes\n[O]\n7 0 sim/y\n");
    ASSERT_EQ(s.size(), 1u);
    EXPECT_EQ(s[0].text, "[I]\nB5 sim/x\n[O]\n7 0 sim/y\n");
}

TEST_F(ConfigTest, RepeatedBoardIdIsStoredAgainAndReported) {
    std::vector<ConfigNote> notes;
    ConfigDiagnosticsScope scope(notes);
    const auto s = Sections("*3\n[I]\nB5 sim/x\n*3\n[I]\nB6 sim/x\n");
    ASSERT_EQ(s.size(), 2u);
    EXPECT_EQ(s[0].id, 3u);
    EXPECT_EQ(s[1].id, 3u);
    EXPECT_EQ(s[1].text, "[I]\nB6 sim/x\n");
    EXPECT_TRUE(HasNote(notes, ConfigNoteKind::Suspect, "repeated board ID 3", 4));
}

TEST_F(ConfigTest, StarWithoutDigitStartsASectionThatStoresNothing) {
    std::vector<ConfigNote> notes;
    ConfigDiagnosticsScope scope(notes);
    const auto s = Sections("*3\n[I]\nB5 sim/x\n*\nB6 sim/y\n*x\nB7 sim/y\n");
    ASSERT_EQ(s.size(), 3u);
    EXPECT_EQ(s[0].text, "[I]\nB5 sim/x\n");  // the lines below '*' do not join board 3
    EXPECT_EQ(s[1].id, kNoBoardId);
    EXPECT_EQ(s[1].text, "");
    EXPECT_EQ(s[2].text, "");
    EXPECT_TRUE(HasNote(notes, ConfigNoteKind::Skipped, "no board ID digit", 4));
}

TEST_F(ConfigTest, SectioningReportsLinesThatAreNotStored) {
    std::vector<ConfigNote> notes;
    ConfigDiagnosticsScope scope(notes);
    Sections("stray\n*2\nbefore header\n[I]\nB5 sim/x\n@info\nwords\n*0\n[I]\nB5 sim/x\n");
    EXPECT_TRUE(HasNote(notes, ConfigNoteKind::Skipped, "before the first '*'", 1));
    EXPECT_TRUE(HasNote(notes, ConfigNoteKind::Skipped, "before a section header", 3));
    EXPECT_TRUE(HasNote(notes, ConfigNoteKind::Comment, "after an @info marker", 7));
    EXPECT_TRUE(HasNote(notes, ConfigNoteKind::Skipped, "board ID 0", 10));
}

TEST_F(ConfigTest, LoadConfigFilesEverySectionFromThePluginFolder) {
    char folder[] = "/tmp/corvane_cfgXXXXXX";
    ASSERT_NE(mkdtemp(folder), nullptr);
    const std::string path = std::string(folder) + "/data.cfg";
    {
        std::ofstream out(path);
        out << "# Corvane\n*1\n[I]\nB5 sim/x\n*2\n[O]\n7 0 sim/y\n";
    }
    foldername = folder;
    LoadConfig();
    EXPECT_EQ(filepath, path);
    ASSERT_EQ(ArduinoID, (std::vector<unsigned int>{1, 2}));
    EXPECT_EQ(ArduinoConfigFile[0], "[I]\nB5 sim/x\n");
    EXPECT_EQ(ArduinoConfigFile[1], "[O]\n7 0 sim/y\n");
    std::remove(path.c_str());
    rmdir(folder);
    foldername.clear();
    filepath.clear();
}

TEST_F(ConfigTest, LoadConfigWithoutAFileStoresNothing) {
    foldername = "/nonexistent/corvane";
    LoadConfig();
    EXPECT_TRUE(ArduinoConfigFile.empty());
    EXPECT_TRUE(ArduinoID.empty());
    foldername.clear();
    filepath.clear();
}

}  // namespace
}  // namespace config_test
