// The building panels of the bottom HUD: a selected building with its construction bar and production queue, its
// trainable units and research buttons, and a worker's build menu.
#include <iostream>

#include "buildings.h"
#include "colors.h"
#include "config.h"
#include "fog.h"
#include "hud.h"
#include "player.h"
#include "sdl.h"
#include "sdl_draw.h"
#include "sdl_text.h"
#include "sprites.h"
#include "tech_tree.h"
#include "textures.h"
#include "units.h"
#include "upgrades.h"

namespace {

constexpr int QUEUE_SLOTS = 6;

SDL_Texture* buildingTexture(const std::string& type) {
    const auto meta = buildingSprites.find(type);
    return meta == buildingSprites.end() ? nullptr : meta->second.sprite.texture;
}

// A building's sheet holds its animation frames side by side: an icon shows the first frame, not the whole strip.
void drawBuildingIcon(const std::string& type, SDL_Texture* texture, const SDL_FRect& rect) {
    const SDL_Rect first = buildingIconFrame(type);
    if (!texture || SDL_RectEmpty(&first)) {
        drawHudIcon(texture, rect);
        return;
    }
    SDL_RenderCopyF(renderer, texture, &first, &rect);
}

SDL_Texture* taskIcon(const TrainingTask& task) {
    if (task.kind == TrainingKind::Unit) {
        const auto meta = unitSprites.find(task.unitType);
        return meta == unitSprites.end() ? nullptr : meta->second.portrait;
    }
    const auto icon = upgradeTextures.find(task.upgradeName);
    return icon == upgradeTextures.end() ? nullptr : icon->second;
}

// What the panel shows of one building: the live one, or what fog lets the player remember of it.
struct BuildingView {
    std::string type;
    SDL_Texture* texture = nullptr;
    int owner = -1;
    int id = -1;
    int hp = 0;
    int maxHp = 100;
    bool completed = true;
    float progress = 0.0f;
    float total = 0.0f;
    bool remembered = false;
};

const BuildingSnapshot* snapshotOf(int id) {
    for (const auto& [tile, snapshot] : ghostBuildings)
        if (snapshot.id == id) return &snapshot;
    return nullptr;
}

bool viewOf(const Building* live, int selectedId, BuildingView& view) {
    const bool fogged = live && FOG && !isTileVisible(live->x, live->y) && isTileExplored(live->x, live->y);
    if (live && live->id != -1 && !fogged) {
        view = {live->type,
                buildingTexture(live->type),
                live->playerId,
                live->id,
                static_cast<int>(live->displayHp),
                static_cast<int>(live->maxHp),
                live->completed,
                live->displayProgress,
                live->buildTime,
                false};
        return true;
    }
    const BuildingSnapshot* ghost = snapshotOf(selectedId);
    if (!ghost) return false;
    // What went on behind the fog is not shown: a remembered site's bar stays empty.
    view = {ghost->type, ghost->sprite.texture, ghost->owner, ghost->id, ghost->hp, 100,
            ghost->completed, 0.0f, 1.0f, true};
    return true;
}

// Each as the player knows it: a building remembered under the fog, destroyed since or not, shows as last seen.
void drawSeveralBuildings(float top) {
    for (std::size_t i = 0; i < selectedBuildings.size(); ++i) {
        BuildingView view;
        if (!viewOf(getBuildingById(selectedBuildings[i]), selectedBuildings[i], view)) {
            std::cerr << "[ERROR] drawBuildingHUD: null Building pointer\n";
            return;
        }
        if (!buildingSprites.count(view.type)) {
            std::cerr << "[ERROR] drawBuildingHUD: missing portrait for building type " << view.type << "\n";
            return;
        }
        drawBuildingIcon(view.type, view.texture, {300.0f + 60.0f * static_cast<float>(i), top + 10.0f, 50.0f, 50.0f});
    }
}

// The entry in progress with its bar, then six waiting slots, numbered where empty.
void drawProductionQueue(const Building& b, float h) {
    hudProgressBarButtons.clear();
    const auto& queue = b.productionQueue;
    if (queue.empty() || queue.front().elapsed <= 0.0f) return;
    const SDL_FRect current{410.0f, h - 80.0f, 30.0f, 30.0f};
    if (SDL_Texture* icon = taskIcon(queue.front())) {
        drawHudIcon(icon, current);
        hudProgressBarButtons.push_back({0, current});
    }
    drawProgressBar(450.0f, h - 75.0f, 124.0f, 22.0f, 2.0f, 2.0f, queue.front().elapsed, queue.front().duration);
    for (int i = 1; i <= QUEUE_SLOTS; ++i) {
        const float x = 410.0f + 40.0f * static_cast<float>(i - 1);
        const float y = h - 45.0f;
        drawRoundedBox(x, y, x + 30.0f, y + 30.0f, 5.0f, highlightColor);
        drawRoundedBox(x + 2.0f, y + 2.0f, x + 28.0f, y + 28.0f, 5.0f, {50, 50, 50, 255});
        if (static_cast<std::size_t>(i) < queue.size())
            drawHudIcon(taskIcon(queue[static_cast<std::size_t>(i)]), {x + 2.0f, y + 2.0f, 26.0f, 26.0f});
        else
            DrawText(std::to_string(i + 1), static_cast<int>(x + 10.0f), static_cast<int>(y + 6.0f), whiteColor, 12, false);
        hudProgressBarButtons.push_back({i, {x, y, 30.0f, 30.0f}});
    }
}

void drawOneBuilding(const SDL_FPoint& window, float top) {
    const int selectedId = selectedBuildings.front();
    Building* live = getFirstSelectedBuilding();
    BuildingView view;
    if (!viewOf(live, selectedId, view)) {
        clearBuildingSelection();
        return;
    }
    drawBuildingIcon(view.type, view.texture, {300.0f, top + 10.0f, 80.0f, 80.0f});
    DrawText(view.type, 410, static_cast<int>(top + 10.0f), whiteColor, 12, false);
    DrawText(std::to_string(view.owner), 410, static_cast<int>(top + 40.0f), whiteColor, 12, false);
    DrawText(std::to_string(view.id), 410, static_cast<int>(top + 60.0f), whiteColor, 12, false);
    DrawText(std::to_string(view.hp) + "/" + std::to_string(view.maxHp), 300, static_cast<int>(top + 100.0f),
             view.remembered ? rememberedColor : whiteColor, 12, false);
    if (!view.completed) drawProgressBar(410.0f, window.y - 80.0f, 124.0f, 22.0f, 2.0f, 2.0f, view.progress, view.total);
    if (!live || !(GOD_MODE || view.owner == Player::myStaticId)) return;
    drawProductionQueue(*live, window.y);
    if (!live->completed) return;
    unitTrainingHUD(*live);
    if (live->completed) researchHUD();
}

}  // namespace

void drawBuildingHUD() {
    const SDL_FPoint window = windowSize();
    const float top = window.y - HUD_SIZE;
    if (selectedBuildings.size() > 1)
        drawSeveralBuildings(top);
    else if (selectedBuildings.size() == 1)
        drawOneBuilding(window, top);
}

void unitTrainingHUD(Building& building) {
    hudBuildingUnitsButtons.clear();
    const auto trained = buildingUnits.find(building.type);
    if (trained == buildingUnits.end()) return;
    ProductionGrid pen;
    for (const std::string& type : trained->second) {
        const auto meta = unitSprites.find(type);
        SDL_Texture* icon = meta == unitSprites.end() ? nullptr : meta->second.portrait;
        const SDL_FRect rect = pen.next();
        hudBuildingUnitsButtons.push_back({type, icon, rect});
        drawHudIcon(icon, rect);
    }
}

void researchHUD() {
    const Building* b = getFirstSelectedBuilding();
    if (!b) return;
    hudUpgradeButtons.clear();
    const auto list = buildingResearchTree.find(b->type);
    const Player* local = getPlayerById(Player::myStaticId);
    if (list == buildingResearchTree.end() || !local) return;
    ProductionGrid pen;
    // The buttons continue on the same grid as the trainable units.
    pen.placed = static_cast<int>(hudBuildingUnitsButtons.size());
    if (pen.placed > 0) {
        const SDL_FRect last = hudBuildingUnitsButtons.back().rect;
        pen.x = last.x;
        pen.y = last.y;
    }
    for (const std::string& id : list->second) {
        if (!canResearch(*local, id)) continue;
        SDL_FRect rect = pen.next();
        const auto upgrade = upgrades.find(id);
        if (upgrade != upgrades.end() && upgrade->second.type == UpgradeType::Tier) {
            pen.y = windowSize().y - HUD_SIZE + 130.0f;
            rect.y = pen.y;
        }
        const auto icon = upgradeTextures.find(id);
        if (icon == upgradeTextures.end() || !icon->second) {
            // The pen has moved, but the button does not count as placed.
            --pen.placed;
            continue;
        }
        hudUpgradeButtons.push_back({id, icon->second, rect});
        drawHudIcon(icon->second, rect);
    }
}

void buildingsHUD(Unit& worker) {
    hudBuildingButtons.clear();
    const auto info = unitInfo.find(worker.type);
    if (info == unitInfo.end()) return;
    ProductionGrid pen;
    for (const std::string& type : info->second.buildMenu) {
        SDL_Texture* icon = buildingTexture(type);
        const SDL_FRect rect = pen.next();
        hudBuildingButtons.push_back({type, icon, rect});
        drawBuildingIcon(type, icon, rect);
    }
}
