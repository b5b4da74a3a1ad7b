// Lobby messages: the readers and handlers of each code, the host's join checks and the menu pages' senders.
#include "network_manager_lobby.h"

#include <algorithm>
#include <filesystem>
#include <iostream>
#include <iterator>
#include <optional>
#include <utility>

#include "config.h"
#include "game_state.h"
#include "lockstep.h"
#include "map.h"
#include "mod_manager.h"
#include "races.h"
#include "utils.h"

LobbyState lobbyState;
// The relay lies outside the game; the one this machine can reach without a setting is a stand-in on it.
std::string relayerIp = "127.0.0.1";
int relayerPort = 54000;
std::function<void(bool isHost, const std::string& map)> StartLobbyMatch;

LobbyPeer globalLobbyPeer() { return {lobbyState, players, teamIds, playerToTeamPalette, net, Player::myStaticId}; }

namespace {

// Only a plain name is looked for, so a name from the network reads nothing outside the maps folder.
bool mapFileHere(const std::string& map) {
    std::error_code ignored;
    return Utils::isPlainFileName(map) && std::filesystem::is_regular_file(basePath + "maps/" + map + ".map", ignored);
}

}  // namespace

std::string lobbyStartFailureLine(const std::string& map) {
    return "The match could not start: the map \"" + Utils::shownText(map, MAX_SHOWN_NAME_BYTES) + "\" is " +
           (mapFileHere(map) ? "unreadable" : "missing") + " on this computer.";
}

std::string lobbyMapRefusal(const std::string& map, const std::string& hostPrint) {
    const std::string here = mapFileHere(map) ? mapFingerprint(map) : "";
    if (here.empty()) return lobbyStartFailureLine(map);
    if (here == hostPrint) return "";
    return "The match could not start: the map \"" + Utils::shownText(map, MAX_SHOWN_NAME_BYTES) +
           "\" on this computer is not the host's.";
}

namespace {

const std::pair<StartRefusal, const char*> refusalWords[] = {
    {StartRefusal::Map, "their copy of the map is not the host's"},
    {StartRefusal::Settings, "their settings are not the host's"},
    {StartRefusal::ModScript, "their mod script is not the host's"},
    {StartRefusal::Content, "their game content is not the host's"},
};

// Beside the map, what the tick reads from local files: the host's fingerprint of each and the line that tells a
// member whose own differs.
struct RuleCheck {
    StartRefusal reason;
    std::string StartMessage::*hostPrint;
    std::string (*here)();
    bool withModsOnly;  // the script runs only when the host's mods are on
    const char* line;
};

const RuleCheck ruleChecks[] = {
    {StartRefusal::Settings, &StartMessage::settingsPrint, settingsFingerprint, false,
     "The match could not start: the settings on this computer are not the host's."},
    {StartRefusal::ModScript, &StartMessage::scriptPrint, [] { return modScriptFingerprint(); }, true,
     "The match could not start: the mod script on this computer is not the host's."},
    {StartRefusal::Content, &StartMessage::contentPrint, [] { return contentFingerprint; }, false,
     "The match could not start: the game content on this computer is not the host's."},
};

struct Refusal {
    StartRefusal reason;
    std::string line;
};

// Why this member would play another match than the host's; none when it would play the same. A fingerprint the
// host left empty (a file it could not read) matches nothing.
std::optional<Refusal> startRefusal(const StartMessage& start) {
    if (std::string why = lobbyMapRefusal(start.map, start.mapPrint); !why.empty())
        return Refusal{StartRefusal::Map, std::move(why)};
    for (const RuleCheck& check : ruleChecks) {
        if (check.withModsOnly && start.mods == 0) continue;
        const std::string& host = start.*check.hostPrint;
        if (host.empty() || host != check.here()) return Refusal{check.reason, check.line};
    }
    return std::nullopt;
}

}  // namespace

std::string startRefusalWords(uint8_t reason) {
    for (const auto& [known, words] : refusalWords)
        if (reason == static_cast<uint8_t>(known)) return words;
    return "";
}

namespace {

// ---- Building messages ----

NetPacket lobbyInfoPacket(const LobbyPeer& peer) {
    NetPacket p(PacketType::LobbyInfo);
    p.writeString(peer.state.currentLobbyName);
    p.writeString(peer.state.currentMap);
    p.writeByte(peer.state.password.empty() ? 0 : 1);
    p.writeString(announcedAddress());
    p.writeInt(static_cast<int32_t>(peer.roster.size()));
    p.writeInt(peer.state.baseCount);
    return p;
}

// The map travels after the players, so the joined peers start on the host's choice.
NetPacket lobbyUpdatePacket(const LobbyPeer& peer) {
    NetPacket p(PacketType::LobbyUpdate);
    p.writeString(peer.state.lobbyName);
    p.writeInt(static_cast<int32_t>(peer.roster.size()));
    for (const auto& player : peer.roster) {
        p.writeInt(player->id);
        p.writeString(player->name);
        p.writeString(player->race);
        p.writeByte(player->isAI ? 1 : 0);
    }
    p.writeString(peer.state.currentMap);
    return p;
}

NetPacket idPacket(PacketType type, int id) {
    NetPacket p(type);
    p.writeInt(id);
    return p;
}

// On a LAN to both discovery ports; through the relay twice, as the relay may lose the first.
void announce(LobbyPeer& peer, const NetPacket& p) {
    if (peer.state.useRelayer) {
        peer.link.sendPacket(p);
        peer.link.sendPacket(p);
        return;
    }
    for (uint16_t port : netUdpPorts) peer.link.broadcastPacket(p, port);
}

Player& addRosterPlayer(LobbyPeer& peer, int id, const std::string& name, const std::string& race, bool computer) {
    peer.roster.push_back(std::make_unique<Player>(id, name, race, computer));
    peer.roster.back()->teamPalette = peer.teamCounter++;
    return *peer.roster.back();
}

Player* findRosterPlayer(LobbyPeer& peer, int id) {
    for (auto& p : peer.roster)
        if (p->id == id) return p.get();
    return nullptr;
}

// False when no player had the id.
bool removeRosterPlayer(LobbyPeer& peer, int id) {
    auto& roster = peer.roster;
    const auto kept = std::remove_if(roster.begin(), roster.end(), [&](const auto& pl) { return pl->id == id; });
    const bool found = kept != roster.end();
    roster.erase(kept, roster.end());
    return found;
}

// The peer neither hosts nor belongs to a lobby any more and keeps only itself; discovery stays open, so it can
// search or host again.
void dropLobbyRole(LobbyPeer& peer) {
    peer.link.closeTcp();
    LobbyState& s = peer.state;
    s.isHostLobby = s.joined = s.started = false;
    s.startRefused.clear();
    auto& roster = peer.roster;
    roster.erase(std::remove_if(roster.begin(), roster.end(), [&](const auto& pl) { return pl->id != peer.myId; }),
                 roster.end());
    s.currentLobbyName.clear();
    s.currentMap.clear();
}

// ---- Handling messages ----

// On a LAN host, the player the connection joined as; on a member, the host or relay speaks for anyone.
int speakerOf(const LobbyPeer& peer, const NetPacket& p) { return peer.link.playerOf(p.source); }

bool bindsMembers(const LobbyPeer& peer) { return peer.link.isHost && !peer.state.useRelayer; }

// A member may leave or change the race only for itself.
bool speaksFor(LobbyPeer& peer, const NetPacket& p, int id, const char* what) {
    if (!bindsMembers(peer) || speakerOf(peer, p) == id) return true;
    peer.link.refuse(p.source, "player " + std::to_string(speakerOf(peer, p)) + " sent " + what + " of player " +
                                   std::to_string(id));
    return false;
}

void onPlayerLeft(LobbyPeer& peer, NetPacket& p) {
    int32_t id = 0;
    if (!p.readInt(id)) {
        peer.link.refuse(p.source, "a leave without a player id");
        return;
    }
    if (!speaksFor(peer, p, id, "the leave")) return;
    removeRosterPlayer(peer, id);
    // A member that left keeps no connection: still bound to its id, it would be carried into the match and its
    // turns taken, though no peer waits for them.
    if (bindsMembers(peer)) peer.link.refuse(p.source, "");
    peer.link.sendPacket(lobbyUpdatePacket(peer));
}

bool withinNameLength(const std::string& text) { return text.size() <= MAX_NAME_BYTES; }

// A list longer than any lobby holds, or a name or race longer than a name may be, drops the update whole, so a
// message cannot fill the memory or the lobby view.
void onLobbyUpdate(LobbyPeer& peer, NetPacket& p) {
    std::string name = peer.state.lobbyName;
    int32_t count = 0;
    p.readString(name);
    p.readInt(count);
    if (count > static_cast<int32_t>(MAX_LOBBY_PLAYERS)) {
        std::cerr << "Dropped a lobby update of " << count << " players: a lobby holds at most " << MAX_LOBBY_PLAYERS
                  << "\n";
        return;
    }
    struct Seat {
        int32_t id;
        std::string name, race;
        bool computer;
    };
    std::vector<Seat> listed;
    bool fits = withinNameLength(name);
    for (int32_t i = 0; i < count; ++i) {
        int32_t id = 0;
        std::string playerName, race;
        uint8_t computer = 0;
        if (!p.readInt(id) || !p.readString(playerName) || !p.readString(race) || !p.readByte(computer)) break;
        fits = fits && withinNameLength(playerName) && withinNameLength(race);
        listed.push_back({id, playerName, race, computer != 0});
    }
    if (!fits) {
        std::cerr << "Dropped a lobby update: a name or race longer than " << MAX_NAME_BYTES << " bytes\n";
        return;
    }
    peer.state.lobbyName = name;
    peer.roster.clear();
    for (const Seat& seat : listed) addRosterPlayer(peer, seat.id, seat.name, seat.race, seat.computer);
    p.readString(peer.state.currentMap);
}

// A member plays only on the host's map, settings, script and content: with any of them missing here, unreadable
// or another it would play another match. It says why and leaves the lobby instead, and its leave tells the host
// why.
void onStartGame(LobbyPeer& peer, NetPacket& p) {
    StartMessage start;
    if (!readStartMessage(p, start)) {
        peer.link.refuse(p.source, "a start message cut short");
        return;
    }
    if (const std::optional<Refusal> refused = startRefusal(start)) {
        std::cerr << refused->line << "\n";
        NetPacket leave = idPacket(PacketType::PlayerLeft, peer.myId);
        leave.writeByte(static_cast<uint8_t>(refused->reason));
        peer.link.sendPacket(leave);
        dropLobbyRole(peer);
        peer.state.startRefused = refused->line;
        return;
    }
    peer.state.lobbyName = start.lobbyName;
    peer.state.currentMap = start.map;
    peer.state.hostMods = start.mods != 0;
    peer.state.started = true;
    if (StartLobbyMatch) StartLobbyMatch(peer.state.isHostLobby, peer.state.currentMap);
}

// An announcement larger than a datagram cannot come from a lobby, whichever road it took.
void onLobbyInfo(LobbyPeer& peer, NetPacket& p) {
    if (peer.state.isHostLobby) return;
    if (p.data.size() + 1 > MAX_DATAGRAM) {
        std::cerr << "Dropped a lobby announcement of " << p.data.size() + 1 << " bytes: more than a datagram\n";
        return;
    }
    if (peer.state.lobbies.size() >= MAX_LISTED_LOBBIES) {
        std::cerr << "Dropped a lobby announcement: " << MAX_LISTED_LOBBIES << " lobbies are listed already\n";
        return;
    }
    Lobby lobby;
    readLobbyInfo(p, lobby);
    // A joiner sends the name back, which a host takes no longer than a name; no address is longer either.
    if (!withinNameLength(lobby.name) || !withinNameLength(lobby.hostIp)) {
        std::cerr << "Dropped a lobby announcement: a name or address longer than " << MAX_NAME_BYTES << " bytes\n";
        return;
    }
    peer.state.lobbies.push_back(lobby);
}

// The queries of one step get one answer, sent at its end: the answer would be the same to each, and a flood of
// queries must not become a flood of broadcasts.
void onLobbyQuery(LobbyPeer& peer, NetPacket&) { peer.state.queryDue = true; }

void answerQueries(LobbyPeer& peer) {
    if (std::exchange(peer.state.queryDue, false)) announce(peer, lobbyInfoPacket(peer));
}

// Why a well-formed request cannot be granted on a LAN host: its connection joined already, the id is taken, or
// it claims a computer player's seat, which no peer sends turns for.
std::string forbiddenJoin(LobbyPeer& peer, const NetPacket& p, const JoinRequest& join) {
    if (!bindsMembers(peer)) return {};
    if (speakerOf(peer, p) != NetworkManager::NO_PLAYER)
        return "player " + std::to_string(speakerOf(peer, p)) + " asked to join again";
    if (findRosterPlayer(peer, join.playerId) || join.playerId == Player::aiId ||
        join.playerId == Player::environmentId || join.playerId == NetworkManager::NO_PLAYER)
        return "a join as player " + std::to_string(join.playerId) + ", who is taken";
    if (join.computer) return "a join of player " + std::to_string(join.playerId) + " as a computer player";
    return {};
}

// A malformed request or one for a taken id drops its connection; a full lobby or a wrong password only refuse
// it. Either way the joiner hears nothing and the frame's other messages are handled. The lobby keeps the name
// its host gave it.
void onJoinLobby(LobbyPeer& peer, NetPacket& p) {
    JoinRequest join;
    if (!readJoinRequest(p, join)) {
        peer.link.refuse(p.source, "");
        return;
    }
    if (const std::string why = forbiddenJoin(peer, p, join); !why.empty()) {
        peer.link.refuse(p.source, why);
        return;
    }
    if (static_cast<int>(peer.roster.size()) >= peer.state.baseCount) return;
    if (join.passwordAttempt != peer.state.password) return;
    addRosterPlayer(peer, join.playerId, join.name, join.race, join.computer != 0);
    peer.palette[join.playerId] = 1;
    if (bindsMembers(peer)) peer.link.bindConnection(p.source, join.playerId);
    NetPacket accepted(PacketType::JoinAccepted);
    accepted.writeString(peer.state.lobbyName);
    accepted.writeInt(join.playerId);
    peer.link.sendPacket(accepted);
    peer.link.sendPacket(lobbyUpdatePacket(peer));
}

// The host passes a member's race on to the others, who would not hear of it otherwise.
void onChangeRace(LobbyPeer& peer, NetPacket& p) {
    int32_t id = 0;
    std::string race;
    if (!p.readInt(id) || !p.readString(race)) return;
    if (!speaksFor(peer, p, id, "the race")) return;
    if (!withinNameLength(race)) {
        peer.link.refuse(p.source, "a race of " + std::to_string(race.size()) + " bytes");
        return;
    }
    if (Player* player = findRosterPlayer(peer, id)) player->race = race;
    if (peer.link.isHost) peer.link.relayPacket(p);
}

void onJoinAccepted(LobbyPeer& peer, NetPacket& p) {
    std::string name;
    int32_t id = 0;
    p.readString(name);
    if (p.readInt(id) && id == peer.myId) peer.state.joined = true;
}

}  // namespace

bool readLobbyInfo(NetPacket& p, Lobby& lobby) {
    int32_t count = 0, capacity = 0;
    const bool whole = p.readString(lobby.name) && p.readString(lobby.map) && p.readByte(lobby.passwordFlag) &&
                       p.readString(lobby.hostIp) && p.readInt(count) && p.readInt(capacity);
    lobby.playerCount = static_cast<uint32_t>(count);
    lobby.maxPlayers = static_cast<uint32_t>(capacity);
    return whole;
}

bool readJoinRequest(NetPacket& p, JoinRequest& r) {
    const std::pair<const char*, std::function<bool()>> fields[] = {
        {"lobbyName", [&] { return p.readString(r.lobbyName); }},
        {"ip", [&] { return p.readString(r.ip); }},
        {"playerId", [&] { return p.readInt(r.playerId); }},
        {"name", [&] { return p.readString(r.name); }},
        {"race", [&] { return p.readString(r.race); }},
        {"ai flag", [&] { return p.readByte(r.computer); }},
        {"passwordAttempt", [&] { return p.readString(r.passwordAttempt); }},
    };
    for (const auto& [name, read] : fields)
        if (!read()) {
            std::cerr << "[Host] JoinLobby: failed to read " << name << "\n";
            return false;
        }
    const std::pair<const char*, const std::string*> texts[] = {
        {"lobbyName", &r.lobbyName}, {"ip", &r.ip}, {"name", &r.name}, {"race", &r.race},
        {"passwordAttempt", &r.passwordAttempt}};
    for (const auto& [name, text] : texts)
        if (text->size() > MAX_NAME_BYTES) {
            std::cerr << "[Host] JoinLobby: " << name << " of " << text->size() << " bytes is longer than "
                      << MAX_NAME_BYTES << "\n";
            return false;
        }
    return true;
}

bool readStartMessage(NetPacket& p, StartMessage& start) {
    return p.readString(start.lobbyName) && p.readString(start.map) && p.readByte(start.mods) &&
           p.readString(start.mapPrint) && p.readString(start.settingsPrint) && p.readString(start.scriptPrint) &&
           p.readString(start.contentPrint);
}

NetPacket joinRequestPacket(const JoinRequest& r) {
    NetPacket p(PacketType::JoinLobby);
    p.writeString(r.lobbyName);
    p.writeString(r.ip);
    p.writeInt(r.playerId);
    p.writeString(r.name);
    p.writeString(r.race);
    p.writeByte(r.computer);
    p.writeString(r.passwordAttempt);
    return p;
}

namespace {

using MessageHandler = void (*)(LobbyPeer&, NetPacket&);

struct TcpHandler {
    PacketType type;
    MessageHandler handle;
    // The host sends these to every connection, so a peer it has not accepted (yet) hears them too and must not
    // take itself for a member.
    bool membersOnly;
    // Only a host sends these.
    bool hostOnly;
};

const TcpHandler tcpHandlers[] = {
    {PacketType::PlayerLeft, onPlayerLeft, true, false},
    {PacketType::LobbyUpdate, onLobbyUpdate, true, true},
    {PacketType::StartGame, onStartGame, true, true},
    {PacketType::LobbyInfo, onLobbyInfo, false, false},
    {PacketType::LobbyQuery, onLobbyQuery, false, false},
    {PacketType::JoinLobby, onJoinLobby, false, false},
    {PacketType::ChangeRace, onChangeRace, true, false},
    {PacketType::JoinAccepted, onJoinAccepted, false, true},
};

// On a LAN host only a connection that joined is a member, and no client speaks as the host: a message past
// that is refused with its connection. Elsewhere the one connection is the host or the relay, which cannot
// tell members apart.
bool mayHandle(LobbyPeer& peer, const NetPacket& p, const TcpHandler& h) {
    if (!bindsMembers(peer)) return !h.membersOnly || peer.state.isHostLobby || peer.state.joined;
    if (!h.membersOnly && !h.hostOnly) return true;
    const int speaker = speakerOf(peer, p);
    if (!h.hostOnly && speaker != NetworkManager::NO_PLAYER) return true;
    peer.link.refuse(p.source, "message " + std::to_string(p.type) +
                                   (speaker == NetworkManager::NO_PLAYER ? " from a connection that never joined"
                                                                         : " that only the host sends"));
    return false;
}

// A host that could not listen holds a lobby nobody can join: announcing it would send searching players to
// whatever else holds the port.
bool hostsJoinableLobby(const LobbyPeer& peer) {
    return peer.state.isHostLobby && (peer.state.useRelayer || peer.link.listening());
}

// A member lost is a member gone: the host lists it no more, and a member whose host is gone has no lobby left.
void onLostConnections(LobbyPeer& peer) {
    for (int connection : peer.link.takeDroppedConnections()) {
        if (!peer.link.isHost) {
            if (peer.state.joined) dropLobbyRole(peer);
            continue;
        }
        const int id = peer.link.playerOf(connection);
        if (id != NetworkManager::NO_PLAYER && removeRosterPlayer(peer, id))
            peer.link.sendPacket(lobbyUpdatePacket(peer));
    }
}

}  // namespace

// Once the match has started, what arrives (the first turns, a peer's leaving) is the match's: the packets after
// the start message are held back for it and the lobby reads no more.
void updateLobbyNetworking(LobbyPeer& peer) {
    if (peer.state.started) return;
    std::vector<NetPacket> packets = peer.link.receivePackets();
    for (auto p = packets.begin(); p != packets.end(); ++p) {
        if (peer.link.wasRefused(p->source)) continue;
        for (const TcpHandler& h : tcpHandlers)
            if (p->type == static_cast<uint8_t>(h.type) && mayHandle(peer, *p, h)) h.handle(peer, *p);
        if (!peer.state.started) continue;
        peer.link.holdBack({std::make_move_iterator(p + 1), std::make_move_iterator(packets.end())});
        break;
    }
    if (peer.state.started) {
        peer.state.queryDue = false;
        return;
    }
    onLostConnections(peer);
    for (NetPacket& p : peer.link.receiveDatagrams()) {
        if (p.type == static_cast<uint8_t>(PacketType::LobbyInfo)) onLobbyInfo(peer, p);
        const bool query = p.type == static_cast<uint8_t>(PacketType::LobbyQuery);
        if (query && hostsJoinableLobby(peer)) onLobbyQuery(peer, p);
    }
    answerQueries(peer);
}

void updateLobbyNetworking() {
    LobbyPeer peer = globalLobbyPeer();
    updateLobbyNetworking(peer);
}

// ---- Senders ----

bool hostLobby(LobbyPeer& peer, const std::string& name, const std::string& map, const std::string& typedPassword,
               int bases) {
    LobbyState& s = peer.state;
    s.isHostLobby = true;
    s.currentLobbyName = s.lobbyName = name.empty() ? "Unnamed Lobby" : name;
    s.currentMap = map;
    s.password = typedPassword;
    s.baseCount = bases;
    peer.link.maxConnections = static_cast<size_t>(std::max(bases, 0)) + AWAITING_JOIN;
    if (!s.useRelayer && !peer.link.listen(netTcpPort)) return false;
    announce(peer, lobbyInfoPacket(peer));
    return true;
}

void searchLobbies(LobbyPeer& peer) {
    peer.state.lobbies.clear();
    announce(peer, NetPacket(PacketType::LobbyQuery));
}

bool joinLobby(LobbyPeer& peer, const Lobby& lobby, const std::string& passwordAttempt) {
    if (!peer.state.useRelayer && !peer.link.connect(lobby.hostIp, netTcpPort)) return false;
    peer.state.isHostLobby = false;
    peer.state.currentMap = lobby.map;
    const Player* me = findRosterPlayer(peer, peer.myId);
    peer.link.sendPacket(joinRequestPacket({lobby.name, announcedAddress(), peer.myId, me ? me->name : std::string(),
                                            me ? me->race : std::string(), static_cast<uint8_t>(me && me->isAI),
                                            passwordAttempt}));
    return true;
}

void changeRace(LobbyPeer& peer, int playerId, const std::string& race) {
    if (!peer.state.isHostLobby && playerId != peer.myId) return;
    if (Player* player = findRosterPlayer(peer, playerId)) player->race = race;
    NetPacket p(PacketType::ChangeRace);
    p.writeInt(playerId);
    p.writeString(race);
    peer.link.sendPacket(p);
}

// A match whose map has fewer bases than it has players would start a side without a base.
bool chooseLobbyMap(LobbyPeer& peer, const std::string& map, int bases) {
    const int seated = static_cast<int>(peer.roster.size());
    if (seated > 1 && seated > bases) {
        std::cerr << "Cannot use the map " << map << ": it has " << bases << " bases for " << seated << " players\n";
        return false;
    }
    peer.state.currentMap = map;
    peer.state.baseCount = bases;
    peer.link.maxConnections = static_cast<size_t>(std::max(bases, 0)) + AWAITING_JOIN;
    if (peer.state.isHostLobby) peer.link.sendPacket(lobbyUpdatePacket(peer));
    return true;
}

// Bases go to the lowest ids at the start, so a player past the map's bases would start with none and its side
// would be decided on the first frame; the computer is refused a seat a join would be refused too.
bool addComputerPlayer(LobbyPeer& peer) {
    if (static_cast<int>(peer.roster.size()) >= peer.state.baseCount) {
        std::cerr << "No computer player added: the map has " << peer.state.baseCount << " bases for "
                  << peer.roster.size() << " players already\n";
        return false;
    }
    addRosterPlayer(peer, Player::aiId, "AI", "vohmathal", true);
    peer.palette[Player::aiId] = 1;
    peer.link.sendPacket(lobbyUpdatePacket(peer));
    return true;
}

// The match takes no one new: who never joined is let go before the start.
void startLobbyMatch(LobbyPeer& peer) {
    if (bindsMembers(peer)) peer.link.stopAccepting();
    NetPacket p(PacketType::StartGame);
    p.writeString(peer.state.lobbyName);
    p.writeString(peer.state.currentMap);
    p.writeByte(MODS ? 1 : 0);
    p.writeString(mapFingerprint(peer.state.currentMap));
    p.writeString(settingsFingerprint());
    p.writeString(MODS ? modScriptFingerprint() : "");
    p.writeString(contentFingerprint);
    peer.link.sendPacket(p);
    peer.state.started = true;
    if (StartLobbyMatch) StartLobbyMatch(true, peer.state.currentMap);
}

// The members of a host that leaves lose their connection to it, which tells them.
void leaveLobby(LobbyPeer& peer) {
    if (!peer.state.isHostLobby) peer.link.sendPacket(idPacket(PacketType::PlayerLeft, peer.myId));
    dropLobbyRole(peer);
}

void endLobbyMatch() {
    LobbyPeer peer = globalLobbyPeer();
    dropLobbyRole(peer);
}
