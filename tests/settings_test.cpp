// The settings file written back: only what changed, in the file's own text.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "headless.h"
#include "settings.h"

TEST(SettingsFile, ChangesGoIntoTheFilesOwnTextAndNothingElseIsWritten)
{
    Options before;
    Options now = before;
    EXPECT_TRUE(settings_changes(before, now).empty());
    now.scale = 2;
    now.bindings.keys[static_cast<int>(Action::jump)] = KEY_SPACE;
    now.bindings.buttons[static_cast<int>(Action::fire)] = 4;
    const std::vector<SettingChange> changes = settings_changes(before, now);
    ASSERT_EQ(changes.size(), 3u);

    // Replaced in place on the first line, the one the reader takes, case and comments
    // as they were; a missing setting goes to the end of its section, a
    // missing section to the end; CRLF stays CRLF.
    const std::string text = "# mine\r\n[Video]\r\nscale = 1\r\n# scale = 9\r\nSCALE=3\r\n[keys]\r\nfire = F";
    EXPECT_EQ(merge_settings(text, changes), "# mine\r\n[Video]\r\nscale = 2\r\n# scale = 9\r\nSCALE=3\r\n"
                                             "[keys]\r\nfire = F\r\njump = SPACE\r\n\r\n[joystick]\r\nfire = 4\r\n");

    // Into a missing folder; then, with nothing changed, nothing is written.
    const std::string dir = headless::temp_dir();
    const std::string path = dir + "/new/tolbrint.cfg";
    std::string problem;
    ASSERT_TRUE(write_settings(path, before, now, problem)) << problem;
    Options read;
    EXPECT_EQ(read_settings(path, true, read).warnings, "");
    EXPECT_EQ(read.scale, 2);
    EXPECT_EQ(read.bindings.keys[static_cast<int>(Action::jump)], KEY_SPACE);
    headless::write_file(path, "# by hand\n");
    EXPECT_TRUE(write_settings(path, now, now, problem));
    EXPECT_EQ(headless::read_file(path), "# by hand\n");

    // A folder where the file should be: refused, naming the file.
    headless::write_file(dir + "/plain", "");
    EXPECT_FALSE(write_settings(dir + "/plain/tolbrint.cfg", before, now, problem));
    EXPECT_EQ(problem.rfind(dir + "/plain/tolbrint.cfg: ", 0), 0u) << problem;
    // A folder in place of the file: the reason in words, the folder kept.
    ASSERT_TRUE(write_settings(dir + "/folder/x/y.cfg", before, now, problem)) << problem;
    EXPECT_FALSE(write_settings(dir + "/folder/x", before, now, problem));
    EXPECT_EQ(problem, dir + "/folder/x: cannot read the settings file again: it is not a regular file");
}

// Lines the reader takes as settings, however they are written: the change
// must land where the game reads it back, never on a line it passes over.
TEST(SettingsFile, ChangesLandOnTheLinesTheReaderTakes)
{
    Options before;
    Options now = before;
    now.scale = 2;
    const std::string texts[] = {
        "[video]\nscale = 1\nscale = 3\n",             // the first of two
        "[video] # the picture\nscale = 1\n",           // a header with a comment
        "[video]\nscale 1\n",                           // '=' is optional
        "[ video ]\nscale = 1\n[video]\nscale = 1\n", // spaced brackets open no section
        "[video]\rscale = 1\r",                         // old Mac line ends
        "[video]\nscale = 1\n[keys]\n[video]\nscale = 3\n",
    };
    const std::string path = headless::temp_dir() + "/tolbrint.cfg";
    for (const std::string &text : texts) {
        headless::write_file(path, merge_settings(text, settings_changes(before, now)));
        Options read;
        read_settings(path, true, read);
        EXPECT_EQ(read.scale, 2) << headless::read_file(path);
    }
    // A missing setting goes after its section's last entry, not into the
    // comment that leads to the next section.
    EXPECT_EQ(merge_settings("[video]\nfullscreen = no\n\n# keys\n[keys]\n", settings_changes(before, now)),
              "[video]\nfullscreen = no\nscale = 2\n\n# keys\n[keys]\n");
    EXPECT_EQ(merge_settings("", settings_changes(before, now)), "[video]\nscale = 2\n");

    // A settings file kept as a link elsewhere: the file it names gets the
    // change and keeps its permissions; the link stays a link.
    const std::string dir = headless::temp_dir();
    headless::write_file(dir + "/kept.cfg", "[video]\nscale = 1\n");
    chmod((dir + "/kept.cfg").c_str(), 0600);
    ASSERT_EQ(symlink((dir + "/kept.cfg").c_str(), (dir + "/tolbrint.cfg").c_str()), 0);
    std::string problem;
    ASSERT_TRUE(write_settings(dir + "/tolbrint.cfg", before, now, problem)) << problem;
    struct stat link_info, file_info;
    ASSERT_EQ(lstat((dir + "/tolbrint.cfg").c_str(), &link_info), 0);
    ASSERT_EQ(stat((dir + "/kept.cfg").c_str(), &file_info), 0);
    EXPECT_TRUE(S_ISLNK(link_info.st_mode));
    EXPECT_EQ(file_info.st_mode & 0777, 0600u);
    EXPECT_EQ(headless::read_file(dir + "/kept.cfg"), "[video]\nscale = 2\n");
}
