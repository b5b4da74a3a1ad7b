// The shipped content and maps for headless matches of the computer player; its orders go their own road again
// after each test.
#pragma once

#include <string>

#include "../tools/computer_match.h"
#include "session_fixture.h"

struct ShippedComputerMatch : ShippedGame {
    void SetUp() override {
        ShippedGame::SetUp();
        basePath = std::string(CORVALE_SOURCE_DIR) + "/";
    }
    void TearDown() override {
        computerCommandSink = queueForNextTurn;
        ShippedGame::TearDown();
    }
};
