// The shipped configuration and content, loaded once for every benchmark of the run.
#pragma once

#include <SDL2/SDL.h>

#include <iostream>
#include <sstream>
#include <string>

#include "../tools/headless_session.h"

// Their complaints about images and sounds are held back: the simulation reads none of them.
inline bool loadShippedContent() {
    static const bool loaded = [] {
        basePath = std::string(CORVALE_SOURCE_DIR) + "/";
        loadConfig(basePath + "src/config.txt");
        deriveConfigValues();
        SDL_LogSetPriority(SDL_LOG_CATEGORY_APPLICATION, SDL_LOG_PRIORITY_WARN);
        std::ostringstream held;
        std::streambuf* errors = std::cerr.rdbuf(held.rdbuf());
        const bool ok = headless::loadContent(basePath + "core");
        std::cerr.rdbuf(errors);
        return ok;
    }();
    return loaded;
}
