#pragma once

#include <mayastandin/Host.h>

#include <gtest/gtest.h>

// Every test starts from a fresh, quiet host.
class StandinTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        mayastandin::reset();
        mayastandin::setEchoToStderr(false);
    }
    void TearDown() override
    {
        mayastandin::reset();
        mayastandin::setEchoToStderr(true);
    }
};
