// SPDX-License-Identifier: MIT
#include "res/LumoResources.h"

#include <gtest/gtest.h>

int main(int argc, char** argv)
{
    AfxSetResourceSet(&LumoResources());
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
