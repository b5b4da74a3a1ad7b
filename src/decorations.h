// Decorations: the decoration sprite catalogue.
#pragma once

#include <string>
#include <unordered_map>

#include "sprites.h"

struct DecorationSpriteMeta : AnimatedSprite {};

extern std::unordered_map<std::string, DecorationSpriteMeta> decorationsSprites;

// Without "animation" a decoration's source rectangle is its whole texture (empty when the image failed).
void loadDecorationsSprites(const std::string& path);
