#pragma once
// The gtest fixture of the window tests: each test on a fresh data folder
// that set-up made without a word (ProgramFixture), released at its end.
#include "support/program_fixture.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <memory>

namespace cn::testing {

class ProgramTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(folder_.isValid());
        program_ = std::make_unique<ProgramFixture>(folder_.path());
        ASSERT_TRUE(program_->setupMessages().empty()) << program_->setupMessages().front();
    }
    void TearDown() override { program_.reset(); }

    QTemporaryDir folder_;
    std::unique_ptr<ProgramFixture> program_;
};

} // namespace cn::testing
