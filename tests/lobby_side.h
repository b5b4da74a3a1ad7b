// One peer's own lobby for tests: its state, player list, team colours and transport, beside the game's own.
#pragma once

#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "network_manager_lobby.h"

struct LobbySide {
    LobbyState state;
    std::vector<std::unique_ptr<Player>> roster;
    int teams = 0;
    std::unordered_map<int, int> palette;
    NetworkManager link;
    LobbyPeer peer;
    explicit LobbySide(int id) : peer{state, roster, teams, palette, link, id} {
        roster.push_back(std::make_unique<Player>(id, "P" + std::to_string(id), "human", false));
    }
};
