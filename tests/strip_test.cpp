// What the strip under the picture says in play, pass by pass.
#include <gtest/gtest.h>

#include "headless.h"
#include "input.h"
#include "sound.h"
#include "strip.h"

namespace {

void passes(int count)
{
    for (int i = 0; i < count; i++)
        strip_pass();
}

} // namespace

TEST(Strip, MessagesStandOverTheLastingLineForTheirPasses)
{
    headless::start();
    use_bindings(default_bindings());
    strip_reset();
    EXPECT_EQ(keys_line(), "ARROWS walk  X jump  D fire  UP enter  P pause");
    strip_for_a_while(keys_line(), 500);
    passes(499);
    EXPECT_EQ(strip_shown(), keys_line());
    passes(1);
    EXPECT_EQ(strip_shown(), "");

    toggle_mute();
    passes(1);
    EXPECT_EQ(strip_shown(), "MUTED");
    strip_reload_result("level1.dat:3:1: expected an integer");
    EXPECT_EQ(strip_shown(), "MUTED") << "the sound's state first";
    toggle_mute();
    passes(1);
    EXPECT_EQ(strip_shown(), "SOUND ON");
    passes(100);
    EXPECT_EQ(strip_shown(), "level1.dat:3:1: expected an integer") << "until the next reload";

    strip_reload_result("");
    EXPECT_EQ(strip_shown(), "LEVEL RELOADED");
    passes(100);
    EXPECT_EQ(strip_shown(), "");
}
