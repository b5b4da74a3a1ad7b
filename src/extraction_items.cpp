// Extraction items: the items of the current match, the dead units corpses stand for, the two drops, carrying and
// the hit test for a click on an item.
#include "extraction_items.h"

#include <cstdint>
#include <iostream>
#include <random>

#include "config.h"
#include "extraction_roster.h"
#include "map.h"
#include "sprites.h"
#include "tech_tree.h"

std::vector<int> items;
int itemID = 0;
std::unordered_map<int, std::vector<int>> unit_items;
std::vector<Unit> graveyard;

constexpr SDL_Color DROP_COLOR{255, 215, 0, 255};

// Null, with one error line, when the catalogue lacks the item.
static const ItemInfo* catalogueItem(const std::string& name) {
    const auto found = items_info.find(name);
    if (found != items_info.end()) return &found->second;
    std::cerr << "[Items] Unknown item type: " << name << "\n";
    return nullptr;
}

static void placeItem(const ItemInfo& info, const Unit& at, int graveyardIndex) {
    const Item item{itemID++, info.name, at.x, at.y, true, graveyardIndex};
    items_map[item.id] = item;
    items.push_back(item.id);
    spawnFloatingText(at.x, at.y, info.displayName + " dropped!", DROP_COLOR, true, 0, 0);
    std::cout << "DROP ITEM " << info.name << "\n";
}

// Its own generator, so drops never shift the simulation's draws; seeded at random once per run.
static std::mt19937& dropGenerator() {
    static std::mt19937 generator{std::random_device("default")()};
    return generator;
}

void seedItemDrops(std::uint32_t seed) { dropGenerator().seed(seed); }

void drop_item(Unit& unit) {
    if (!techUnlocked("DNA cloning")) return;
    if (std::uniform_int_distribution<int>(1, 100)(dropGenerator()) > 2 || items_info.empty()) return;
    if (const ItemInfo* info = catalogueItem("CryoPod")) placeItem(*info, unit, -1);
}

void spawn_corpse_item_on_unit_loss(Unit& unit) {
    const ItemInfo* info = catalogueItem("Corpse");
    if (!info) return;
    graveyard.push_back(unit);
    placeItem(*info, unit, static_cast<int>(graveyard.size()) - 1);
}

// Width, height and offset of the item's box; nothing when its picture is unknown.
static std::optional<SDL_FRect> itemBox(const Item& item) {
    if (item.type == "Corpse") {
        if (item.graveyardIndex < 0 || static_cast<size_t>(item.graveyardIndex) >= graveyard.size())
            return std::nullopt;
        const auto sprite = unitSprites.find(graveyard[static_cast<size_t>(item.graveyardIndex)].type);
        if (sprite == unitSprites.end() || sprite->second.frameWidth <= 0) return std::nullopt;
        const UnitSpriteMeta& s = sprite->second;
        const float k = 0.5f * static_cast<float>(TILE_SIZE) * s.scaleMultiplier / static_cast<float>(s.frameWidth);
        return SDL_FRect{static_cast<float>(s.pivot.x), static_cast<float>(s.pivot.y),
                         static_cast<float>(s.frameWidth) * k, static_cast<float>(s.frameHeight) * k};
    }
    const auto sprite = item_sprites.find(item.type);
    if (sprite == item_sprites.end()) return std::nullopt;
    return SDL_FRect{0.0f, 0.0f, static_cast<float>(sprite->second.frameWidth),
                     static_cast<float>(sprite->second.frameHeight)};
}

bool itemContains(const Item& item, const SDL_FPoint& point) {
    if (!item.onGround) return false;
    const std::optional<SDL_FRect> box = itemBox(item);
    if (!box) return false;
    const float t = static_cast<float>(TILE_SIZE);
    const int tx = static_cast<int>(item.x / t);
    const int ty = static_cast<int>(item.y / t);
    const bool onMap = item.x >= 0.0f && item.y >= 0.0f && tx < MAP_W && ty < MAP_H;
    const float h = onMap ? static_cast<float>(grid.at(tx, ty).heightLevel) : 0.0f;
    const float left = item.x - 0.5f * box->w + box->x;
    const float top = item.y - 0.5f * t * h - 0.5f * box->h + box->y;
    return left <= point.x && point.x <= left + box->w && top <= point.y && point.y <= top + box->h;
}

std::optional<SDL_FPoint> itemOnGround(int itemId) {
    const auto found = items_map.find(itemId);
    if (found == items_map.end() || !found->second.onGround) return std::nullopt;
    return SDL_FPoint{found->second.x, found->second.y};
}

std::string takeItem(int unitId, int itemId) {
    const auto found = items_map.find(itemId);
    if (found == items_map.end() || !found->second.onGround) return {};
    found->second.onGround = false;
    unit_items[unitId].push_back(itemId);
    return found->second.type;
}

void dropCarriedItems(const Unit& unit) {
    const auto carried = unit_items.find(unit.id);
    if (carried == unit_items.end()) return;
    for (const int id : carried->second) {
        const auto found = items_map.find(id);
        if (found == items_map.end()) continue;
        found->second.onGround = true;
        found->second.x = unit.x;
        found->second.y = unit.y;
    }
    unit_items.erase(carried);
}

void clearMatchItems() {
    items_map.clear();
    items.clear();
    unit_items.clear();
    graveyard.clear();
    itemID = 0;
}
