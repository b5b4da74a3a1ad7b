// Program entry: start-up, the top-level loop and shutdown, under the last catch.
#include "game_loop.h"
#include "game_startup.h"
#include "top_level_guard.h"

int main(int argc, char** argv) {
    return runGuarded("corvale", [&] {
        if (!startUp(argc > 0 ? argv[0] : nullptr)) return 1;
        runTopLevelLoop();
        shutDown();
        return 0;
    });
}
