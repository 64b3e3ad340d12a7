// Where the side files go: the working directory by default, the player's
// XDG state directory for a start from the desktop menu.
#include "sidefiles.h"

#include <gtest/gtest.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>

#include "level.h"
#include "scratch_test.h"

namespace {

// Sets or unsets an environment variable for one test.
class ScopedEnv {
public:
    ScopedEnv(const char *name, const char *value) : name_(name)
    {
        const char *old = std::getenv(name);
        had_ = old != nullptr;
        if (had_)
            old_ = old;
        if (value)
            setenv(name, value, 1);
        else
            unsetenv(name);
    }
    ~ScopedEnv()
    {
        if (had_)
            setenv(name_, old_.c_str(), 1);
        else
            unsetenv(name_);
    }

private:
    const char *name_;
    bool had_;
    std::string old_;
};

int mode_of(const std::string &path)
{
    struct stat info;
    return stat(path.c_str(), &info) == 0 ? static_cast<int>(info.st_mode & 07777) : -1;
}

TEST(SideFiles, StateDirectoryFollowsXdgStateHomeOnlyWhenItIsAbsolute)
{
    ScopedEnv home("HOME", "/home/player");
    {
        ScopedEnv state("XDG_STATE_HOME", "/var/state");
        EXPECT_EQ(state_side_file_dir(), "/var/state/tolbrint");
    }
    {
        ScopedEnv state("XDG_STATE_HOME", "relative/state");
        EXPECT_EQ(state_side_file_dir(), "/home/player/.local/state/tolbrint");
    }
    {
        ScopedEnv state("XDG_STATE_HOME", nullptr);
        EXPECT_EQ(state_side_file_dir(), "/home/player/.local/state/tolbrint");
        // An empty HOME is no home: the password file knows the real one.
        ScopedEnv empty("HOME", "");
        const passwd *entry = getpwuid(getuid());
        ASSERT_NE(entry, nullptr);
        EXPECT_EQ(state_side_file_dir(), std::string(entry->pw_dir) + "/.local/state/tolbrint");
    }
}

TEST(SideFiles, MissingDirectoriesAreMadePrivateAndExistingOnesKept)
{
    const std::string root = headless::temp_dir();
    const std::string dir = root + "/local/state/tolbrint";
    std::string error;
    ASSERT_TRUE(make_directories(dir, error)) << error;
    EXPECT_EQ(mode_of(dir), 0700);
    EXPECT_EQ(mode_of(root + "/local"), 0700);
    EXPECT_TRUE(make_directories(dir, error)) << "a directory already there is fine";
    EXPECT_TRUE(make_directories(dir + "/", error)) << "a trailing slash is fine";

    headless::write_file(root + "/file", "x");
    EXPECT_FALSE(make_directories(root + "/file/tolbrint", error));
    EXPECT_EQ(error, root + "/file/tolbrint: Not a directory");
    EXPECT_FALSE(make_directories(root + "/file", error));
    EXPECT_EQ(error, root + "/file: not a directory");
}

TEST(SideFiles, AMenuStartKeepsThemInTheStateDirectory)
{
    const std::string state = headless::temp_dir() + "/state";
    ScopedEnv variable("XDG_STATE_HOME", state.c_str());
    std::string error;
    ASSERT_TRUE(keep_side_files_in_state_dir(error)) << error;
    EXPECT_EQ(side_file_path("debuglevel.txt"), state + "/tolbrint/debuglevel.txt");
    EXPECT_EQ(mode_of(state + "/tolbrint"), 0700);
    set_side_file_dir("");

    headless::write_file(state + "/blocked", "x");
    ScopedEnv blocked("XDG_STATE_HOME", (state + "/blocked").c_str());
    EXPECT_FALSE(keep_side_files_in_state_dir(error));
    EXPECT_EQ(error, state + "/blocked/tolbrint: Not a directory");
    EXPECT_EQ(side_file_path("debuglevel.txt"), "debuglevel.txt") << "they stay where they were";
}

class SideFilesOfALevel : public headless::ScratchTest {
protected:
    void TearDown() override
    {
        set_side_file_dir("");
        ScratchTest::TearDown();
    }
};

TEST_F(SideFilesOfALevel, GoIntoTheWorkingDirectoryUnlessDirectedElsewhere)
{
    const std::string level = TOLBRINT_SOURCE_DIR "/data/level1.dat";
    { Level loaded(level); }
    EXPECT_NE(headless::read_file(dir + "/debuglevel.txt"), "");
    EXPECT_NE(headless::read_file(dir + "/default_object.txt"), "");

    const std::string state = headless::temp_dir();
    headless::InDirectory elsewhere(headless::temp_dir());
    set_side_file_dir(state);
    EXPECT_EQ(side_file_path("debuglevel.txt"), state + "/debuglevel.txt");
    { Level loaded(level); }
    EXPECT_NE(headless::read_file(state + "/debuglevel.txt"), "");
    EXPECT_NE(headless::read_file(state + "/default_object.txt"), "");
    EXPECT_EQ(headless::read_file("debuglevel.txt"), "");
    EXPECT_EQ(headless::read_file("default_object.txt"), "");
}

} // namespace
