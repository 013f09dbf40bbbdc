// The reader's notes that checking tools rely on: comments apart from skipped lines, the table
// entry each Entry note made, the line of each section, and the notes on numbers that do not
// read, elements, analog inputs, output selections, read-only datarefs and held releases.
#include <sstream>

#include "config_test_support.h"

namespace config_test {
namespace {

const ConfigNote* NoteAt(const std::vector<ConfigNote>& notes, int line, ConfigNoteKind kind) {
    for (const ConfigNote& n : notes)
        if (n.line == line && n.kind == kind) return &n;
    return nullptr;
}

bool AnyProblem(const std::vector<ConfigNote>& notes) {
    for (const ConfigNote& n : notes)
        if (n.kind == ConfigNoteKind::Skipped || n.kind == ConfigNoteKind::Suspect) return true;
    return false;
}

TEST_F(ConfigTest, CommentsAndUnselectedEntriesAreNotesOfTheirOwnKind) {
    const auto notes =
        Explain("[I]\n# a comment\nB5 not_selected\n!x bang\n[O]\n7L 0 not_selected\n");
    EXPECT_TRUE(HasNote(notes, ConfigNoteKind::Comment, "comment", 2));
    EXPECT_TRUE(HasNote(notes, ConfigNoteKind::Comment, "input not selected", 3));
    EXPECT_TRUE(HasNote(notes, ConfigNoteKind::Comment, "comment", 4));
    EXPECT_TRUE(HasNote(notes, ConfigNoteKind::Comment, "output not selected", 6));
    EXPECT_FALSE(AnyProblem(notes));
}

TEST_F(ConfigTest, SectioningTellsCommentsFromStrayLines) {
    std::vector<ConfigNote> notes;
    ConfigDiagnosticsScope scope(notes);
    std::istringstream in("# head\nstray\n*2\n# before the header\nloose\n[I]\nB5 sim/x\n");
    const std::vector<ConfigSection> sections = SplitConfigSections(in);
    ASSERT_EQ(sections.size(), 1u);
    EXPECT_EQ(sections[0].line, 3);
    EXPECT_TRUE(HasNote(notes, ConfigNoteKind::Comment, "comment", 1));
    EXPECT_TRUE(HasNote(notes, ConfigNoteKind::Skipped, "before the first '*'", 2));
    EXPECT_TRUE(HasNote(notes, ConfigNoteKind::Comment, "comment", 4));
    EXPECT_TRUE(HasNote(notes, ConfigNoteKind::Skipped, "before a section header", 5));
}

TEST_F(ConfigTest, EntryNotesNameTheTableEntryTheyMade) {
    const auto notes =
        Explain("[I]\nB5 sim/x\nB6\nB7 sim/y 2\n[O]\n9L E3=1\n13L 0 sim/y\n8 0 sim/x\n");
    const ConfigNote* first = NoteAt(notes, 2, ConfigNoteKind::Entry);
    const ConfigNote* second = NoteAt(notes, 4, ConfigNoteKind::Entry);
    const ConfigNote* mode = NoteAt(notes, 6, ConfigNoteKind::Entry);
    const ConfigNote* out0 = NoteAt(notes, 7, ConfigNoteKind::Entry);
    const ConfigNote* out1 = NoteAt(notes, 8, ConfigNoteKind::Entry);
    ASSERT_TRUE(first && second && mode && out0 && out1);
    EXPECT_EQ(first->entry, ConfigNoteEntry::Input);
    EXPECT_EQ(first->index, 0);
    EXPECT_EQ(second->entry, ConfigNoteEntry::Input);
    EXPECT_EQ(second->index, 1);  // the line without a name made nothing
    EXPECT_EQ(mode->entry, ConfigNoteEntry::LedMode);
    EXPECT_EQ(mode->index, 0);
    EXPECT_EQ(out0->entry, ConfigNoteEntry::Output);
    EXPECT_EQ(out0->index, 0);
    EXPECT_EQ(out1->index, 1);
    EXPECT_EQ(NoteAt(notes, 1, ConfigNoteKind::Entry)->entry, ConfigNoteEntry::None);  // header
}

TEST_F(ConfigTest, NumbersThatDoNotReadAreNamed) {
    const auto notes = Explain(
        "[I]\nB5 sim/x 1,x\nB6 sim/x q+,0,10\nB7 sim/arr 1 two\n[O]\n"
        "5S x sim/x 1 0,1 500,y\n6L 0 sim/x z\n7G 0 sim/x 1 0,360 0,1 many\n");
    EXPECT_TRUE(HasNote(notes, ConfigNoteKind::Suspect, "value 'x' does not read", 2));
    EXPECT_TRUE(HasNote(notes, ConfigNoteKind::Suspect, "value 'q+' does not read", 3));
    EXPECT_TRUE(HasNote(notes, ConfigNoteKind::Suspect, "array element 'two'", 4));
    EXPECT_TRUE(HasNote(notes, ConfigNoteKind::Suspect, "precision 'x'", 6));
    EXPECT_TRUE(HasNote(notes, ConfigNoteKind::Suspect, "range value 'y'", 6));
    EXPECT_TRUE(HasNote(notes, ConfigNoteKind::Suspect, "element 'z'", 7));
    EXPECT_TRUE(HasNote(notes, ConfigNoteKind::Suspect, "steps per revolution 'many'", 8));
}

TEST_F(ConfigTest, WellFormedNumbersGiveNoNote) {
    const auto notes = Explain(
        "[I]\nB5 sim/x 0.5+,-1,10\nB6 sim/arr 2 8\nE3+ sim/x -.5-\n[O]\n"
        "5S -1 sim/x 1 0,1 +500,2500\n7G 0 sim/x 1 0,360 0,1 400\n2N 0 sim/x 1 4 2 rz\n");
    EXPECT_FALSE(AnyProblem(notes));
}

TEST_F(ConfigTest, ElementsBeyondTheDatarefAreNamed) {
    const auto notes = Explain(
        "[I]\nB5 sim/arr 1 9\nB6 sim/arr 1 8\nB7 sim/x 1 2\n[O]\n5L 0 sim/iarr 5\n"
        "6L 0 sim/iarr 4\n7L 0 sim/y 3\n8D 40 sim/bytes 3\n");
    EXPECT_TRUE(HasNote(notes, ConfigNoteKind::Suspect, "beyond the 8 elements", 2));
    EXPECT_FALSE(HasNote(notes, ConfigNoteKind::Suspect, "element", 3));
    EXPECT_TRUE(HasNote(notes, ConfigNoteKind::Suspect, "no array", 4));
    EXPECT_TRUE(HasNote(notes, ConfigNoteKind::Suspect, "beyond the 4 elements", 6));
    EXPECT_FALSE(HasNote(notes, ConfigNoteKind::Suspect, "element", 7));
    EXPECT_TRUE(HasNote(notes, ConfigNoteKind::Suspect, "no array", 8));
    EXPECT_FALSE(HasNote(notes, ConfigNoteKind::Suspect, "element", 9));  // byte data
}

TEST_F(ConfigTest, AnalogInputsNeedAPairAndAChannelOfTheBoard) {
    const auto notes =
        Explain("[I]\nA2 sim/x 1\nA3 sim/x 0,1\nA16 sim/x 0,1\nR4 sim/x\nA5 sim/x 0,1,2\n");
    EXPECT_TRUE(HasNote(notes, ConfigNoteKind::Suspect, "lower,upper", 2));
    EXPECT_FALSE(HasNote(notes, ConfigNoteKind::Suspect, "lower,upper", 3));
    EXPECT_TRUE(HasNote(notes, ConfigNoteKind::Suspect, "channel 16 is above 15", 4));
    EXPECT_TRUE(HasNote(notes, ConfigNoteKind::Suspect, "lower,upper", 5));
    EXPECT_TRUE(HasNote(notes, ConfigNoteKind::Suspect, "(3 given)", 6));
}

TEST_F(ConfigTest, OutputSelectionWithoutUnderscoreSelectsNothing) {
    const auto notes = Explain("[I]\nD3 O9N\nD4 O_9N\nD5 O2_9N\n[O]\n9N 0 sim/x 1 4 0\n");
    EXPECT_TRUE(HasNote(notes, ConfigNoteKind::Suspect, "has no '_'", 2));
    EXPECT_TRUE(HasNote(notes, ConfigNoteKind::Entry, "output selection O9N", 2));
    EXPECT_FALSE(HasNote(notes, ConfigNoteKind::Suspect, "'_'", 3));
    EXPECT_FALSE(HasNote(notes, ConfigNoteKind::Suspect, "'_'", 4));
    // An output selection ends in its output's letter, but it is no pin reference.
    EXPECT_FALSE(HasNote(notes, ConfigNoteKind::Suspect, "names no output"));
}

TEST_F(ConfigTest, WritesToReadOnlyDatarefsAreNamed) {
    ASSERT_TRUE(xphost::LoadDatarefText("sim/ro float ro\n", nullptr));
    const auto notes = Explain("[I]\nB5 sim/ro 1\nM6 sim/ro 3\nM7 sim/ro 1+\nB8 sim/x 1\n");
    EXPECT_TRUE(HasNote(notes, ConfigNoteKind::Suspect, "read-only", 2));
    EXPECT_FALSE(HasNote(notes, ConfigNoteKind::Suspect, "read-only", 3));  // a store only reads
    EXPECT_TRUE(HasNote(notes, ConfigNoteKind::Suspect, "read-only", 4));   // stepping writes
    EXPECT_FALSE(HasNote(notes, ConfigNoteKind::Suspect, "read-only", 5));
}

TEST_F(ConfigTest, ReleaseEntryOfAHeldCommandIsNamed) {
    const auto notes = Explain(
        "[A]\nR B9+\n[I]\nB5+ sim/starters/engage_starter_1\nB5- sim/starters/engage_starter_1\n"
        "B6+ sim/lights/landing_lights_on\nB6- sim/lights/landing_lights_on\n"
        "B7+ sim/starters/engage_starter_1\nB7- sim/lights/landing_lights_on\n"
        "B9+ sim/lights/landing_lights_on\nB9- sim/lights/landing_lights_on\n");
    EXPECT_TRUE(HasNote(notes, ConfigNoteKind::Suspect, "runs it once more", 5));
    EXPECT_FALSE(HasNote(notes, ConfigNoteKind::Suspect, "runs it once more", 7));  // not held
    EXPECT_FALSE(HasNote(notes, ConfigNoteKind::Suspect, "runs it once more", 9));  // another
    EXPECT_TRUE(HasNote(notes, ConfigNoteKind::Suspect, "runs it once more", 11));  // R: held
}

TEST_F(ConfigTest, PinReferenceOfAnArduinoBoardThatMarksNothingIsNamed) {
    // 13L names the output tagged 13L only.
    auto notes = Explain("[I]\nD3+ 13L\n[O]\n13L 0 sim/x\n");
    EXPECT_FALSE(HasNote(notes, ConfigNoteKind::Suspect, "lights nothing"));
    notes = Explain("[I]\nD3+ 13L\n[O]\n5Y 0 sim/x\n");
    EXPECT_TRUE(HasNote(notes, ConfigNoteKind::Suspect, "lights nothing", 2));
    notes = Explain("[I]\nD3+ 13L\n[O]\n13L 0 sim/x\n", 0);  // the panel keeps 13L
    EXPECT_FALSE(HasNote(notes, ConfigNoteKind::Suspect, "lights nothing"));
    EXPECT_FALSE(HasNote(notes, ConfigNoteKind::Suspect, "names no output"));
}

TEST_F(ConfigTest, SingleRangeValuesOutsideLampsAndStepperTurnsAreNamed) {
    const auto notes = Explain(
        "[O]\n5S 0 sim/x 1 0.5 1500\n6L 0 sim/x 1 0.5 1\n7l 0 sim/x 1 0.5 1\n"
        "8G 0 sim/x 1 360 2048\n9g 0 sim/x 1 360 2048\n10S 0 sim/x 1 0,1 500,2500\n");
    EXPECT_TRUE(HasNote(notes, ConfigNoteKind::Suspect, "only 0 or 1", 2));
    EXPECT_FALSE(HasNote(notes, ConfigNoteKind::Suspect, "only 0 or 1", 3));
    EXPECT_FALSE(HasNote(notes, ConfigNoteKind::Suspect, "only 0 or 1", 4));
    EXPECT_FALSE(HasNote(notes, ConfigNoteKind::Suspect, "only 0 or 1", 5));
    EXPECT_TRUE(HasNote(notes, ConfigNoteKind::Suspect, "only 0 or 1", 6));  // 'g' has no turn
    EXPECT_FALSE(HasNote(notes, ConfigNoteKind::Suspect, "only 0 or 1", 7));
}

TEST_F(ConfigTest, ReportingDoesNotChangeWhatIsRead) {
    const std::string text =
        "[A]\nR B9+\n[I]\nB5 sim/x 1,x\nA2 sim/x 1\nD3 O9N\nB9+ sim/arr 1 12\n[O]\n"
        "5S x sim/x 1 0,1 500,y\n6L 0 sim/iarr 9\n7L E3=1\n";
    const int quiet = Read(text);
    const auto notes = Explain(text);
    const int loud = quiet + 1;
    EXPECT_FALSE(notes.empty());
    EXPECT_EQ(Data[loud], Data[quiet]);
    EXPECT_EQ(Datatags[loud], Datatags[quiet]);
    EXPECT_EQ(Contval[loud], Contval[quiet]);
    EXPECT_EQ(InputDataRange[loud], InputDataRange[quiet]);
    EXPECT_EQ(InputArrayNum[loud], InputArrayNum[quiet]);
    EXPECT_EQ(OutDrefs[loud], OutDrefs[quiet]);
    EXPECT_EQ(OutRange2[loud], OutRange2[quiet]);
    EXPECT_EQ(Precision[loud], Precision[quiet]);
    EXPECT_EQ(OutputModeLed[loud], OutputModeLed[quiet]);
}

}  // namespace
}  // namespace config_test
