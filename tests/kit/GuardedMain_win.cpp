// main() of the Windows test programs that change the game's keys: started on their own (a double-click, a prompt,
// CTest), they save and put back the player's settings through the same backup and lock as the kit's runner; under
// the runner, which holds both, they leave that to it, and what they start ends with them. Listing the tests touches
// nothing.
#include "GameKeys_win.h"

#include <gtest/gtest.h>

int main(int argc, char** argv) {
    testing::InitGoogleTest(&argc, argv);
    if (GTEST_FLAG_GET(list_tests) || gamekeys::Guard::HeldForUs())
        return RUN_ALL_TESTS();
    gamekeys::EndChildrenWithThisProcess(); // no launcher or game of the tests goes on writing after them
    gamekeys::Guard guard;
    if (!guard.Begin())
        return 2;
    const int status = RUN_ALL_TESTS();
    return guard.End() ? status : 1;
}
