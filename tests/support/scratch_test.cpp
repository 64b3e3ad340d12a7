#include "scratch_test.h"

namespace headless {

void ScratchTest::SetUp()
{
    start();
    dir = temp_dir();
    inside_ = std::make_unique<InDirectory>(dir);
    release_all_keys();
}

void ScratchTest::TearDown()
{
    release_all_keys();
    inside_.reset();
}

} // namespace headless
