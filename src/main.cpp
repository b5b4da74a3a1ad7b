// Program entry: start-up, the top-level loop and shutdown.
#include "game_loop.h"
#include "game_startup.h"

int main(int argc, char** argv) {
    if (!startUp(argc > 0 ? argv[0] : nullptr)) return 1;
    runTopLevelLoop();
    shutDown();
    return 0;
}
