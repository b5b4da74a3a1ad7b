// Tech tree: the Extraction campaign's tech nodes read from the race catalogues.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include <SDL2/SDL.h>

struct Tech {
    std::string id;
    std::string name;
    std::string description;
    int32_t cost = 0;
    bool unlocked = false;
    float x = 0.0f;
    float y = 0.0f;
    SDL_Texture* texture = nullptr;
};

// In load order; every folder's nodes are appended, never merged.
extern std::vector<Tech> techTree;

void loadTechFromJson(const std::string& path);
