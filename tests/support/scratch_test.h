// A base for headless tests that load levels: the loader writes its debug
// files into the working directory, so each test gets a fresh one.
#ifndef SCRATCH_TEST_H
#define SCRATCH_TEST_H

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "headless.h"

namespace headless {

// A headless test run inside a fresh scratch directory with no key held.
class ScratchTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    std::string dir;

private:
    std::unique_ptr<InDirectory> inside_;
};

} // namespace headless

#endif
