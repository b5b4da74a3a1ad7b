// Decorations: the decoration sprite catalogue and the decorations on the map.
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

// ---- Decorations on the map: the records, the list and the editor's selection.

#include <algorithm>

std::vector<Decoration> decorations;
int nextDecorationId = 0;
std::vector<int> selectedDecorations;
std::unordered_set<int> selectedDecorationsSet;

void createDecorations(const std::vector<PendingDeco>& decos, Grid&) {
    for (const PendingDeco& d : decos)
        decorations.push_back(Decoration{nextDecorationId++, d.name, d.tileX, d.tileY, d.width, d.height});
}

void addDecorationToSelection(int id) {
    if (selectedDecorationsSet.insert(id).second) selectedDecorations.push_back(id);
}

void removeDecorationFromSelection(int id) {
    if (selectedDecorationsSet.erase(id) == 0) return;
    const auto it = std::find(selectedDecorations.begin(), selectedDecorations.end(), id);
    if (it != selectedDecorations.end()) selectedDecorations.erase(it);
}

void clearDecorationSelection() {
    selectedDecorations.clear();
    selectedDecorationsSet.clear();
}

bool isDecorationSelected(int id) { return selectedDecorationsSet.count(id) != 0; }

Decoration* getDecorationById(int id) {
    for (Decoration& d : decorations)
        if (d.id == id) return &d;
    return nullptr;
}

bool deleteDecorations() {
    if (selectedDecorations.empty()) return false;
    const std::size_t before = decorations.size();
    decorations.erase(std::remove_if(decorations.begin(), decorations.end(),
                                     [](const Decoration& d) { return isDecorationSelected(d.id); }),
                      decorations.end());
    selectedDecorations.clear();
    return decorations.size() < before;
}
// ---- End of decorations on the map.
