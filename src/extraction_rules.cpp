// Extraction rules of a mission: the per-frame waves, enemy strengthening, civilian recruitment and extraction-zone
// count, and the extraction itself with its tech reward.
#include "extraction_rules.h"

#include <algorithm>
#include <iostream>

#include "activity.h"
#include "config.h"
#include "extraction.h"
#include "extraction_campaign.h"
#include "extraction_items.h"
#include "extraction_missions.h"
#include "extraction_roster.h"
#include "game_state.h"
#include "hud.h"
#include "map.h"
#include "map_objects.h"
#include "player.h"
#include "special_effects.h"
#include "textures.h"
#include "units.h"

float waveInterval = 30.0f;
float waveAccumulator = 0.0f;
float units_per_wave = 0.0f;
float updateAiUnitsInterval = 120.0f;
float updateAiUnitsAccumulator = 0.0f;
int current_ai_global_level = 1;
float civilianRecruitmentTimer = 0.0f;
std::vector<int> units_around_extraction;
void (*ShowExtractPanel)(bool, int, int) = nullptr;

constexpr SDL_Color RECRUITED_COLOR{0, 255, 100, 255};

void update_extraction(float dt) {
    if (mode != GameMode::Extraction) return;
    const ExtractionNode* node = chosenExtractionNode();
    const bool known = node && (node->type == static_cast<int32_t>(ExtractionType::SURVIVAL) ||
                                node->type == static_cast<int32_t>(ExtractionType::ELIMINATION));
    if (known) {
        make_ai_units_stronger(dt);
        update_civilian_recruitment_spatial(dt);
        if (node->type == static_cast<int32_t>(ExtractionType::SURVIVAL)) spawnWave(dt);
    }
    check_units_around_extraction();
}

// One wave unit at the slot's place in rows of five from the computer player's base.
static void spawnWaveUnit(int slot, V2i base, const std::string& race) {
    const std::string type = pick_unit_for_level(current_ai_global_level, race);
    if (!getUnitInfo(type)) {
        std::cerr << "[UnitInfo] Unknown unit type: " << type << "\n";
        return;
    }
    const int s = SUBDIVISIONS;
    const V2i p = find_nearby_clear_tile({base.x * s + (slot % 5) * s, base.y * s + (slot / 5) * s}, 10);
    if (p.x == -1) return;
    const float fs = static_cast<float>(s);
    Unit* unit = getUnitById(
        spawnUnitAt(type, Player::aiId, {static_cast<float>(p.x) / fs, static_cast<float>(p.y) / fs}));
    if (!unit || unit->playerId != Player::aiId) return;
    const int lvl = global_extraction_level / 3 + 1;
    unit->level = lvl;
    unit->expGain = calculate_enemy_xp_gain(type, lvl);
    applyEveryLevelBonuses(*unit);
    const int level = current_ai_global_level;
    unit->level = level;
    if (level >= 2) {
        unit->maxHp += 10.0f * static_cast<float>(level - 1);
        unit->hp = unit->maxHp;
        unit->damage += 2 * (level - 1);
    }
}

void spawnWave(float dt) {
    waveAccumulator += dt;
    if (waveAccumulator < waveInterval) return;
    const Player* ai = getPlayerById(Player::aiId);
    const ExtractionNode* node = chosenExtractionNode();
    if (ai && node)
        for (int i = 0; static_cast<float>(i) < units_per_wave; ++i) spawnWaveUnit(i, ai->baseTile, node->enemyRace);
    waveAccumulator = 0.0f;
    units_per_wave += 2.0f;
}

void make_ai_units_stronger(float dt) {
    updateAiUnitsAccumulator += dt;
    if (updateAiUnitsAccumulator < updateAiUnitsInterval) return;
    current_ai_global_level += 1;
    if (const Player* ai = getPlayerById(Player::aiId))
        for (const int id : ai->unitIds) {
            Unit* unit = getUnitById(id);
            if (!unit) continue;
            unit->level += 1;
            unit->damage += 2;
            unit->maxHp += 10.0f;
            unit->hp = unit->maxHp;
            ActiveSpecialEffect effect;
            effect.x = static_cast<int>(unit->x);
            effect.y = static_cast<int>(unit->y);
            effect.spriteKey = "LevelUp";
            active_special_effects.push_back(effect);
        }
    postActivity("[System]: Enemy grows stronger ", texFood, 5.0f);
    updateAiUnitsAccumulator = 0.0f;
}

// The owner of the first own unit's sub-tile in the square around the civilian, top row first; -1 for none.
static int recruitingOwner(const Unit& civilian) {
    const int r = 3 * SUBDIVISIONS;
    const int cx = std::clamp(static_cast<int>(civilian.x / static_cast<float>(SUB_TILE_SIZE)), 0, SUB_MAP_W - 1);
    const int cy = std::clamp(static_cast<int>(civilian.y / static_cast<float>(SUB_TILE_SIZE)), 0, SUB_MAP_H - 1);
    for (int dy = -r; dy <= r; ++dy)
        for (int dx = -r; dx <= r; ++dx) {
            const int o = isSubTileReserved({cx + dx, cy + dy});
            if (o <= 0 || o == civilian.id) continue;
            const Unit* other = getUnitById(o);
            if (other && other->playerId != Player::aiId && other->playerId != Player::environmentId)
                return other->playerId;
        }
    return -1;
}

static void recruitCivilian(Unit& civilian, int owner) {
    civilian.playerId = owner;
    // The civilians a finished supply building brings wait here too, already listed with their owner: listed twice,
    // they would count twice wherever the owner's units are counted.
    Player* player = getPlayerById(owner);
    if (player && std::find(player->unitIds.begin(), player->unitIds.end(), civilian.id) == player->unitIds.end())
        player->unitIds.push_back(civilian.id);
    std::cout << "[RECRUIT] Civilian " << civilian.id << " joined Player " << owner << "\n";
    civilian.state = UnitState::Idle;
    spawnFloatingText(civilian.x, civilian.y, "RECRUITED", RECRUITED_COLOR, false, 0, 0);
}

void update_civilian_recruitment_spatial(float dt) {
    civilianRecruitmentTimer += dt;
    if (civilianRecruitmentTimer < 0.2f) return;
    civilianRecruitmentTimer = 0.0f;
    for (size_t i = 0; i < neutralCivilianIds.size();) {
        Unit* civilian = getUnitById(neutralCivilianIds[i]);
        const int owner = civilian && civilian->type == "Civilian" ? recruitingOwner(*civilian) : -1;
        if (owner < 0) {
            ++i;
            continue;
        }
        recruitCivilian(*civilian, owner);
        neutralCivilianIds.erase(neutralCivilianIds.begin() + static_cast<std::ptrdiff_t>(i));
    }
}

bool inExtractionZone(SDL_FPoint p) {
    const MapObject* point = getMapObjectById(extractionsMapObjectId);
    if (!point || point->type != "ExtractionPoint") return false;
    const float t = static_cast<float>(TILE_SIZE);
    const float cx = static_cast<float>(point->tileX * TILE_SIZE);
    const float cy = static_cast<float>(point->tileY * TILE_SIZE);
    return p.x >= cx - 5.0f * t && p.x <= cx + 5.0f * t && p.y >= cy - 5.0f * t && p.y <= cy + 5.0f * t;
}

static bool ownUnitInZone(const Unit& unit) {
    return unit.playerId == Player::myStaticId && inExtractionZone({unit.x, unit.y});
}

void check_units_around_extraction() {
    if (mode != GameMode::Extraction) return;
    units_around_extraction.clear();
    for (const Unit& unit : units)
        if (ownUnitInZone(unit) && unit.type != "Civilian") units_around_extraction.push_back(unit.id);
    const Player* local = getPlayerById(Player::myStaticId);
    const int listed = local ? static_cast<int>(local->unitIds.size()) : 0;
    if (ShowExtractPanel)
        ShowExtractPanel(!units_around_extraction.empty(), static_cast<int>(units_around_extraction.size()), listed);
}

int unitsLeftBehind() {
    const auto behind = [](const Unit& unit) {
        return unit.playerId == Player::myStaticId && !inExtractionZone({unit.x, unit.y});
    };
    return static_cast<int>(std::count_if(units.begin(), units.end(), behind));
}

// The corpses and cryopods a banked unit carries.
static void bankCarriedItems(const Unit& unit, std::vector<UnitSaveData>& roster) {
    const auto carried = unit_items.find(unit.id);
    if (carried == unit_items.end()) return;
    for (const int id : carried->second) {
        const auto item = items_map.find(id);
        if (item == items_map.end()) continue;
        if (item->second.type == "CryoPod") global_cryppod_count += 1;
        const int index = item->second.graveyardIndex;
        if (item->second.type != "Corpse" || index < 0 || static_cast<size_t>(index) >= graveyard.size()) continue;
        const Unit& dead = graveyard[static_cast<size_t>(index)];
        if (dead.playerId != Player::myStaticId) continue;
        std::cout << "deadUnit " << dead.type << " " << dead.nickname << " " << dead.level << " \n";
        roster.push_back({dead.type, dead.nickname, dead.level, dead.experience, dead.kills, false});
    }
}

bool extract() {
    if (mode != GameMode::Extraction) return false;
    const int level = global_extraction_level;
    const int manPower = global_man_power;
    const int techPoints = tech_points;
    const int cryopods = global_cryppod_count;
    std::vector<UnitSaveData> roster = shipRoster;
    int civilians = 0;
    for (const Unit& unit : units) {
        if (!ownUnitInZone(unit)) continue;
        // A civilian sent to fetch a fallen unit brings it home as surely as a soldier.
        bankCarriedItems(unit, roster);
        if (unit.type == "Civilian") {
            ++civilians;
            global_man_power += 1;
            continue;
        }
        roster.push_back({unit.type, unit.nickname, unit.level, unit.experience, unit.kills, true});
    }
    // The highest level a file keeps: one past it would make the saved campaign unreadable.
    global_extraction_level = std::min(global_extraction_level + 1, MAX_CAMPAIGN_LEVEL);
    finalize_elimination_tech_reward();
    if (!save_roster(extraction_filename, extraction_name, hardcore, global_extraction_level, roster,
                     global_man_power, tech_points)) {
        // The mission goes on as before the attempt: reopening the file would hand the squad on the field back to
        // the ship roster, and the next extraction would bank it twice.
        global_extraction_level = level;
        global_man_power = manPower;
        tech_points = techPoints;
        global_cryppod_count = cryopods;
        return false;
    }
    if (Player* local = getPlayerById(Player::myStaticId)) local->recruits += civilians;
    resetExtractionData();
    initExtractionData(extraction_filename);
    return true;
}

void endMissionByExtraction() {
    // A second press in the frame that banked the squad would bank it again on top of the reopened roster.
    if (pendingShutdown) return;
    pendingShutdown = true;
    if (extract()) return;
    // A campaign that could not be saved keeps the mission going, so the units in the field are not lost; the
    // press that seemed to do nothing says why.
    pendingShutdown = false;
    postActivity("[System]: The campaign could not be saved, the mission goes on", texFood, 5.0f);
}

struct TechTier {
    float danger;
    int full;
    int partial;
};

int finalize_elimination_tech_reward() {
    const ExtractionNode* node = chosenExtractionNode();
    if (!node) return 0;
    static const TechTier tiers[] = {{2500.0f, 7, 3}, {1800.0f, 5, 2}, {1000.0f, 3, 1}, {0.0f, 1, 0}};
    const float d = static_cast<float>(node->danger);
    const TechTier* tier = &tiers[3];
    for (const TechTier& t : tiers)
        if (d >= t.danger) {
            tier = &t;
            break;
        }
    float ratio = 0.0f;
    int earned = 0;
    if (node->danger >= 1) {
        ratio = static_cast<float>(node->kills) / d;
        earned = ratio >= 1.0f ? tier->full : ratio >= 0.7f ? tier->partial : 0;
    }
    tech_points += earned;
    std::cout << "EXTRACTION DONE. Kill Ratio: " << ratio * 100.0f << "%\nTECH EARNED: " << earned << " / "
              << tier->full << "\n";
    return earned;
}
