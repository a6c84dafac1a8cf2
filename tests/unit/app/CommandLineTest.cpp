// The setup's command line as deployment tools write it, and the exit codes
// a silent run ends with.
#include <gtest/gtest.h>

#include "app/SfxCommandLine.h"
#include "archive/SfxArchive.h"

namespace {

TEST(CommandLine, SwitchesInAnyCaseAndAFolderThatTakesTheRestOfTheLine)
{
    const SfxCommandLine line = SfxParseCommandLine("/s /Discard /RUN \"/LOG=C:\\My Logs\\a.log\" /d=C:\\Program Files\\Orvex \xCD\xA8\xD1\xB6  ");
    EXPECT_EQ("", line.error.str());
    EXPECT_TRUE(line.silent && line.discard && line.run && line.hasLog && line.hasFolder);
    EXPECT_EQ("C:\\My Logs\\a.log", line.logPath.str());
    EXPECT_EQ("C:\\Program Files\\Orvex \xCD\xA8\xD1\xB6", line.folder.str()) << "spaces kept, trailing blanks dropped";
    EXPECT_EQ("C:\\a b", SfxParseCommandLine("/S /LOG=\"C:\\a b\"").logPath.str());
    EXPECT_EQ("C:\\a b", SfxParseCommandLine("\"/D=C:\\a b\"").folder.str());
    const SfxCommandLine none = SfxParseCommandLine("");
    EXPECT_FALSE(none.silent || none.hasFolder || none.hasLog || !none.error.IsEmpty());
}

TEST(CommandLine, WhatIsNotUnderstoodIsNamedAndSilenceStillHolds)
{
    struct Case {
        const char* line;
        const char* error;
    };
    for (const Case& c : {Case{"/S /QUIET", "unknown switch: /QUIET"}, Case{"/S /D", "unknown switch: /D"},
                          Case{"/S /D=", "/D= names no folder"}, Case{"/S /LOG=", "/LOG= names no file"},
                          Case{"/S=1", "the switch takes no value: /S=1"}, Case{"setup /S", "not a switch: setup"},
                          Case{"\"/D=C:\\x\" /S", "/D= must be the last switch"}}) {
        const SfxCommandLine line = SfxParseCommandLine(c.line);
        EXPECT_EQ(c.error, line.error.str()) << c.line;
    }
    EXPECT_TRUE(SfxParseCommandLine("/X /S").silent) << "a switch after the wrong one is still read";
}

TEST(CommandLine, ExitCodesSayWhatHappened)
{
    EXPECT_EQ(SFX_EXIT_INSTALLED, SfxExitCodeFor(SFX_OK, true));
    for (int damaged : {SFX_ERR_OPEN_SELF, SFX_ERR_NO_MAGIC, SFX_ERR_EMPTY, SFX_ERR_DAMAGED})
        EXPECT_EQ(SFX_EXIT_DAMAGED, SfxExitCodeFor(damaged, false)) << damaged;
    for (int refused : {SFX_ERR_IN_USE, SFX_ERR_NO_SPACE, SFX_ERR_BAD_FOLDER, SFX_ERR_PATH_TOO_LONG, SFX_ERR_FILE_IO})
        EXPECT_EQ(SFX_EXIT_NOT_STARTED, SfxExitCodeFor(refused, false)) << refused;
    // Once writing began, any failure was undone: damage found in a stream included.
    EXPECT_EQ(SFX_EXIT_UNDONE, SfxExitCodeFor(SFX_ERR_DAMAGED, true));
    EXPECT_EQ(SFX_EXIT_UNDONE, SfxExitCodeFor(SFX_ERR_FILE_IO, true));
}

}  // namespace
