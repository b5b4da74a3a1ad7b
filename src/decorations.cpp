// Decorations: the decoration sprite catalogue.
#include "decorations.h"

#include "utils.h"

std::unordered_map<std::string, DecorationSpriteMeta> decorationsSprites;

void loadDecorationsSprites(const std::string& path) {
    const nlohmann::json doc = Utils::loadJsonFile(path);
    for (const auto& [name, entry] : doc.items()) {
        DecorationSpriteMeta meta{readAnimatedSprite(entry)};
        if (entry.contains("animation")) {
            meta.sprite.src = SDL_Rect{meta.offsetX, 0, meta.frameWidth, meta.frameHeight};
        } else {
            const SDL_FPoint size = meta.sprite.getSize();
            meta.sprite.src = SDL_Rect{0, 0, static_cast<int>(size.x), static_cast<int>(size.y)};
        }
        decorationsSprites[name] = meta;
    }
}
