// The settings file written back: only what changed, in the file's own text.
#include <gtest/gtest.h>

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

    // Replaced in place on the last line the reader takes, case and comments
    // as they were; a missing setting goes to the end of its section, a
    // missing section to the end; CRLF stays CRLF.
    const std::string text = "# mine\r\n[Video]\r\nscale = 1\r\n# scale = 9\r\nSCALE=3\r\n[keys]\r\nfire = F";
    EXPECT_EQ(merge_settings(text, changes), "# mine\r\n[Video]\r\nscale = 1\r\n# scale = 9\r\nscale = 2\r\n"
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
}
