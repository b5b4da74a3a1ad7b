// Tech tree: the Extraction campaign's tech nodes, and the rules of what a player may train, build and research.
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

// Whether the campaign has unlocked the tech of that name.
bool techUnlocked(const std::string& name);

// ---- Tech rules: what a player may train, build and research ----

class Player;

// Known type with a requirements row, supply, gold, wood, then each required building standing completed among
// the player's buildings. A type without a catalogue record is refused.
bool canTrainUnit(const Player& player, const std::string& type);
// A requirements row, each required building completed (counted), then a completed building of the required tier.
bool canConstructBuilding(Player& player, const std::string& type);
// Held by the player; with DEBUG_MODE every upgrade counts as held.
bool hasUpgrade(int playerId, const std::string& upgrade);
// Not held, with a requirements row whose every prerequisite the player has researched.
bool canResearch(const Player& player, const std::string& upgrade);
