// The lobby before a network match: discovery, joining with the host's password, the player list, race and map
// choices, leaving and the start message.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "network_manager.h"
#include "player.h"

struct Lobby {
    std::string name;
    uint8_t passwordFlag = 0;
    std::string map;
    std::string hostIp;
    uint32_t playerCount = 0;
    uint32_t maxPlayers = 0;
};

struct LobbyState {
    std::vector<Lobby> lobbies;  // announcements in arrival order
    bool isHostLobby = false;
    std::string currentLobbyName;  // typed on the host page, announced in answers to queries
    std::string lobbyName;         // carried by the join, update and start messages
    std::string currentMap;
    std::string password;  // the one the host typed; a join must match it
    int baseCount = 0;     // capacity: the starting bases of the map
    bool useRelayer = false;
    bool joined = false;   // the host accepted this peer
    bool started = false;  // the match was started
    bool hostMods = false;  // the host's mods setting, carried by the start message: every peer runs the script or none
    bool queryDue = false;  // a query came in this step
    // Why the host's start was refused here, in words for the player; kept after the lobby is gone, until Leave.
    std::string startRefused;
};

// Longest name, race, lobby name or password a peer may send; a longer one is refused.
constexpr size_t MAX_NAME_BYTES = 32;
// Most bytes of a name or map from a peer that a line or a label shows. A map's name has no bound of its own on
// the wire (an announcement may fill its datagram), so it is cut where it is shown.
constexpr size_t MAX_SHOWN_NAME_BYTES = 64;
// Most players a lobby lists; a longer list is dropped.
constexpr size_t MAX_LOBBY_PLAYERS = 64;
// Most lobbies a search lists; later announcements are dropped.
constexpr size_t MAX_LISTED_LOBBIES = 64;

// One peer's lobby: its state, its player list and team colours, its transport and its own id. The program has
// one (globalLobbyPeer); tests build two side by side.
struct LobbyPeer {
    LobbyState& state;
    std::vector<std::unique_ptr<Player>>& roster;
    int& teamCounter;
    std::unordered_map<int, int>& palette;
    NetworkManager& link;
    int myId;
};

extern LobbyState lobbyState;
// The relay server of online play: its address, a setting with a fixed default, and its port.
extern std::string relayerIp;
extern int relayerPort;
LobbyPeer globalLobbyPeer();

// Filled with the menus' hooks: starts the match on the map the start message carried.
extern std::function<void(bool isHost, const std::string& map)> StartLobbyMatch;

// What a player whose lobby match could not start on the map here is told: its file is missing, or cannot be read
// as a map.
std::string lobbyStartFailureLine(const std::string& map);
// Why a lobby match cannot start on this computer's copy of the map, whose host's copy has the fingerprint
// hostPrint (mapFingerprint): it is missing, unreadable or another map. Empty when it is the host's map.
std::string lobbyMapRefusal(const std::string& map, const std::string& hostPrint);

// What a member's copy differs in from the host's when it refuses a start: its leave carries it after its id.
enum class StartRefusal : uint8_t { Map = 1, Settings, ModScript, Content };
// How the host's feed tells the reason, "their copy of the map is not the host's"; empty for a byte that is none.
std::string startRefusalWords(uint8_t reason);

// One lobby step per menu frame: TCP messages, then discovery datagrams.
void updateLobbyNetworking(LobbyPeer& peer);
void updateLobbyNetworking();

// What the menu pages send.
bool hostLobby(LobbyPeer& peer, const std::string& name, const std::string& map, const std::string& typedPassword,
               int bases);
void searchLobbies(LobbyPeer& peer);
bool joinLobby(LobbyPeer& peer, const Lobby& lobby, const std::string& passwordAttempt);
void changeRace(LobbyPeer& peer, int playerId, const std::string& race);
// False, with one line, when the map has fewer bases than the players of a lobby of two or more.
bool chooseLobbyMap(LobbyPeer& peer, const std::string& map, int bases);
// False, with one line, when the lobby already holds a player for every base of its map.
bool addComputerPlayer(LobbyPeer& peer);
void startLobbyMatch(LobbyPeer& peer);
void leaveLobby(LobbyPeer& peer);
// After a match the peer neither hosts nor belongs to a lobby; discovery stays open for the next one.
void endLobbyMatch();

// Message readers, exposed for the fuzz targets: a LobbyInfo, a JoinLobby (false, with one line, when a field is
// missing or longer than MAX_NAME_BYTES) and a StartGame.
bool readLobbyInfo(NetPacket& packet, Lobby& lobby);
struct JoinRequest {
    std::string lobbyName;
    std::string ip;
    int32_t playerId = 0;
    std::string name;
    std::string race;
    uint8_t computer = 0;
    std::string passwordAttempt;
};
bool readJoinRequest(NetPacket& packet, JoinRequest& request);
NetPacket joinRequestPacket(const JoinRequest& request);
// A StartGame: the fingerprints of the host's copy of the map, its settings the tick reads (settingsFingerprint),
// its mod script (empty with mods off) and its content (contentFingerprint) follow the mods byte. False when a
// field is missing.
struct StartMessage {
    std::string lobbyName;
    std::string map;
    uint8_t mods = 0;
    std::string mapPrint;
    std::string settingsPrint;
    std::string scriptPrint;
    std::string contentPrint;
};
bool readStartMessage(NetPacket& packet, StartMessage& start);
