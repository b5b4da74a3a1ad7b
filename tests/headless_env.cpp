// Every test runs headless, however ctest or the binary is started.
#include <cstdlib>

static const bool headlessDrivers = [] {
    setenv("SDL_VIDEODRIVER", "dummy", 0);
    setenv("SDL_AUDIODRIVER", "dummy", 0);
    setenv("SDL_RENDER_DRIVER", "software", 0);
    return true;
}();
