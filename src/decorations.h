// Decorations: the decoration sprite catalogue and the decorations on the map.
#pragma once

#include <string>
#include <unordered_map>

#include "sprites.h"

struct DecorationSpriteMeta : AnimatedSprite {};

extern std::unordered_map<std::string, DecorationSpriteMeta> decorationsSprites;

// Without "animation" a decoration's source rectangle is its whole texture (empty when the image failed).
void loadDecorationsSprites(const std::string& path);

// ---- Decorations on the map: the records, the list and the editor's selection.
#include <cstdint>
#include <unordered_set>
#include <vector>

#include "map.h"

struct Decoration {
    int32_t id = 0;
    std::string name;  // key of decorationsSprites
    int32_t tileX = 0;
    int32_t tileY = 0;
    int32_t width = 0;
    int32_t height = 0;
};

// In creation order, which is the order of the "[Decorations]" lines when the map is saved.
extern std::vector<Decoration> decorations;
// Never reset, so ids keep growing across sessions.
extern int nextDecorationId;
extern std::vector<int> selectedDecorations;
extern std::unordered_set<int> selectedDecorationsSet;

void createDecorations(const std::vector<PendingDeco>& decos, Grid& grid);

void addDecorationToSelection(int id);
void removeDecorationFromSelection(int id);
void clearDecorationSelection();
bool isDecorationSelected(int id);
Decoration* getDecorationById(int id);
// The editor's delete: true when the list became shorter; the selection vector is emptied either way.
bool deleteDecorations();
// ---- End of decorations on the map.
