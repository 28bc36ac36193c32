// One main for every test program: the program's own application object on
// the offscreen platform, so widget tests run the real widgets without a
// display, under the guard the program runs under.
#include <gtest/gtest.h>

#include <cstdlib>

#include "forms/Application.h"

int main(int argc, char** argv)
{
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    numora::forms::Application app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
