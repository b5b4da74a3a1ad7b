// The configuration globals as one tuple, so a test that loads a configuration can put the previous one back.
#pragma once

#include <tuple>
#include <type_traits>

#include "config.h"
#include "game_state.h"

// Every value the configuration file or a replay header sets, and the values derived from them.
inline auto configurationTuple() {
    return std::tie(DEBUG_MODE, GOD_MODE, AI, MODS, MAP_W, MAP_H, TILE_SIZE, MAP_FILE, GAME_SPEED, UNIT_SPEED,
                    CRYSTAL_MINING_TIME, AMBER_OIL_MINING_TIME, WAYPOINT_EPS, CANCEL_BUILDING_PERCENTAGE_LOSS,
                    FULLSCREEN, FOG, MUSIC, SOUNDS, HUD_SIZE, MINIMAP_SIZE, ANTI_ALIASING, LOGS, DRAW_DEBUG_TILES,
                    SUB_TILE_SIZE, CRYSTAL_MINING_TICKS, AMBER_OIL_MINING_TICKS);
}

// The above plus the values a replay leaves alone but a session start sets.
inline auto everyConfigurationValue() {
    return std::tuple_cat(configurationTuple(), std::tie(SUBDIVISIONS, UNDER_ATTACK_COOLDOWN, VERSION, basePath));
}

template <class... T>
std::tuple<std::decay_t<T>...> valuesOf(const std::tuple<T...>& refs) {
    return refs;
}

using Configuration = decltype(valuesOf(configurationTuple()));
using EveryConfigurationValue = decltype(valuesOf(everyConfigurationValue()));
