// Arbitrary bytes arriving on a lobby connection, framed or not: a host's or a joined member's lobby step must
// read every message safely, whatever its fields hold, and a member starts a match only on a copy of the map, with
// settings, content and (with mods on) a script whose fingerprints are the ones the start message carries.
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>

#include "game_state.h"
#include "lockstep.h"
#include "map.h"
#include "mod_manager.h"
#include "network_manager_lobby.h"
#include "races.h"
#include "scratch_folder.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static std::ostringstream sink;
    std::cerr.rdbuf(sink.rdbuf());
    sink.str("");
    // The member's one map; a seed starts on it with its fingerprint.
    static const std::string folder = [] {
        std::error_code ignored;
        std::filesystem::create_directories(scratchFolder() + "maps", ignored);
        std::ofstream(scratchFolder() + "maps/fight.map", std::ios::binary) << "GG\nGG\n";
        return scratchFolder();
    }();
    basePath = folder;
    bool started = false;
    std::string startedOn;
    StartLobbyMatch = [&](bool, const std::string& map) {
        started = true;
        startedOn = map;
    };
    LobbyState state;
    state.isHostLobby = true;
    state.baseCount = 4;
    std::vector<std::unique_ptr<Player>> roster;
    roster.push_back(std::make_unique<Player>(1, "host", "human", false));
    int teams = 1;
    std::unordered_map<int, int> palette;
    NetworkManager link;
    link.isHost = true;
    auto [theirs, ours] = makeMemoryLinkPair();
    const int connection = link.addConnection(std::move(ours));
    LobbyPeer peer{state, roster, teams, palette, link, 1};
    // The first byte chooses whether the rest is one message or raw stream bytes, whether the sender joined, and
    // whether this peer is a member hearing its host.
    if (size > 0 && data[0] & 4) {
        state.isHostLobby = link.isHost = false;
        state.joined = true;
    } else if (size > 0 && data[0] & 2) {
        roster.push_back(std::make_unique<Player>(2, "guest", "human", false));
        link.bindConnection(connection, 2);
    }
    StartMessage start;
    bool wholeStart = false;
    if (size > 0 && data[0] % 2 == 0) {
        NetPacket p;
        p.type = size > 1 ? data[1] : 0;
        if (size > 2) p.data.assign(data + 2, data + size);
        theirs->send(framePacket(p));
        wholeStart = p.type == static_cast<uint8_t>(PacketType::StartGame) && readStartMessage(p, start);
    } else {
        theirs->send(std::vector<uint8_t>(data, data + size));
    }
    updateLobbyNetworking(peer);
    StartLobbyMatch = nullptr;
    const bool sameScript =
        start.mods == 0 || (!start.scriptPrint.empty() && start.scriptPrint == modScriptFingerprint());
    const bool sameRules =
        sameScript && start.settingsPrint == settingsFingerprint() && start.contentPrint == contentFingerprint;
    if (started && wholeStart && (startedOn != start.map || mapFingerprint(startedOn).empty() ||
                                  mapFingerprint(startedOn) != start.mapPrint || !sameRules))
        __builtin_trap();
    return 0;
}
