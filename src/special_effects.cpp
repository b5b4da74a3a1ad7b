// Special effects: the effect sprite catalogue.
#include "special_effects.h"

#include "races.h"
#include "utils.h"

std::unordered_map<std::string, SpecialEffectSpriteMeta> specialEffectsSprites;

void loadSpecialEffectsSprites(const std::string& path) {
    const nlohmann::json doc = Utils::loadJsonFile(path);
    for (const auto& [name, entry] : doc.items()) {
        SpecialEffectSpriteMeta meta{readAnimatedSprite(entry)};
        const auto animation = entry.find("animation");
        if (animation != entry.end()) {
            meta.loopTimes = jsonInt(*animation, "loopTimes", 1);
            meta.scale = jsonFloat(*animation, "scale", 1.0f);
        }
        specialEffectsSprites[name] = meta;
    }
}
