// Peers that order anything a careless or hostile peer could: every kind of order, naming whatever the world holds
// and values past its edges. Every peer, the command log played back and a resumed save stay on one world, turn
// for turn, and nothing such a stream fills grows without bound.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <limits>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "../tools/tower_defense_match.h"
#include "activity.h"
#include "buildings.h"
#include "construction-manager.h"
#include "extraction.h"
#include "game_commands_wire.h"
#include "lockstep.h"
#include "lockstep_peers.h"
#include "projectiles.h"
#include "session_fixture.h"
#include "special_effects.h"
#include "spells.h"
#include "upgrades.h"

namespace {

constexpr int LOW = std::numeric_limits<int>::min();
constexpr int HIGH = std::numeric_limits<int>::max();

// The catalogue's keys in order, and two no catalogue holds.
template <class Map>
std::vector<std::string> keysAndUnknown(const Map& map) {
    std::vector<std::string> keys = sortedKeys(map);
    keys.push_back("");
    keys.push_back("Nothing");
    return keys;
}

// What an order may name, taken from the world as it stands and from the edges of every value.
struct Nameable {
    std::vector<int> own, other, gone;  // unit and building ids of the orderer, of anyone else, of the removed
    std::vector<std::string> unitTypes, buildingTypes, upgradeNames, spellNames;

    Nameable()
        : unitTypes(keysAndUnknown(unitInfo)),
          buildingTypes(keysAndUnknown(buildingInfo)),
          upgradeNames(keysAndUnknown(upgrades)),
          spellNames(keysAndUnknown(spellInfo)) {}

    void look(int player, std::vector<int>& seen) {
        own.clear();
        other.clear();
        std::vector<int> present;
        const auto sort = [&](int id, int owner) {
            (owner == player ? own : other).push_back(id);
            present.push_back(id);
        };
        for (const Unit& u : units) sort(u.id, u.playerId);
        for (const Building& b : buildings) sort(b.id, b.playerId);
        for (const MapObject& o : mapObjects)
            if (o.id % 97 == 0) other.push_back(o.id);
        for (const auto& item : items_map) other.push_back(item.first);
        std::sort(present.begin(), present.end());
        gone.clear();
        for (int id : seen)
            if (!std::binary_search(present.begin(), present.end(), id)) gone.push_back(id);
        seen = present;
    }
};

// Draws orders of every kind, its values from the world, from beyond the map and from the ends of the int range.
class CarelessPeer {
public:
    CarelessPeer(int player, uint32_t seed) : player_(player), draw_(seed) {}

    std::vector<Command> ordersOfTurn(int most) {
        names_.look(player_, seen_);
        std::vector<Command> cmds;
        const int count = draw_() % 40 == 0 ? most : static_cast<int>(draw_() % 4);
        for (int i = 0; i < count; ++i) cmds.push_back(order());
        return cmds;
    }

    Command order() {
        const auto type = static_cast<CommandType>(draw_() % (static_cast<int>(CommandType::Construct) + 1));
        return {type, player_, payloadOf(type)};
    }

private:
    int pick(const std::vector<int>& from) { return from.empty() ? -1 : from[draw_() % from.size()]; }
    const std::string& pick(const std::vector<std::string>& from) { return from[draw_() % from.size()]; }
    int edge() {
        static const int edges[] = {LOW, HIGH, -1, 0, 1, 1 << 20, -(1 << 20)};
        return edges[draw_() % std::size(edges)];
    }
    // Mostly its own, now and then another's, a removed one or an edge.
    int id() {
        const uint32_t roll = draw_() % 8;
        if (roll < 5 && !names_.own.empty()) return pick(names_.own);
        if (roll < 6 && !names_.gone.empty()) return pick(names_.gone);
        if (roll < 7) return pick(names_.other);
        return edge();
    }
    std::vector<int> ids() {
        std::vector<int> list(draw_() % 6);
        for (int& each : list) each = id();
        if (draw_() % 50 == 0) list.assign(MAX_WIRE_UNIT_IDS, id());
        return list;
    }
    // A sub-tile, a tile or a world point on the map, or a value past it.
    int coord(int extent) { return draw_() % 6 == 0 ? edge() : static_cast<int>(draw_() % (extent + 8)) - 4; }
    int sub() { return coord(SUB_MAP_W); }
    int tile() { return coord(MAP_W); }
    int world() { return coord(MAP_W * TILE_SIZE); }
    int slot() { return draw_() % 8 == 0 ? edge() : static_cast<int>(draw_() % 12) - 1; }
    bool flag() { return draw_() % 2 == 0; }

    CommandPayload payloadOf(CommandType type) {
        switch (type) {
            case CommandType::Move: return MoveCommand{ids(), sub(), sub(), flag()};
            case CommandType::Spawn: return SpawnCommand{pick(names_.unitTypes)};
            case CommandType::Mine: return MineCommand{id(), tile(), tile(), pick(names_.other)};
            case CommandType::PlaceBuildingDown:
                return PlaceBuildingDownCommand{pick(names_.buildingTypes), tile(), tile(), id()};
            case CommandType::TrainUnit: return TrainUnitCommand{id(), pick(names_.unitTypes)};
            case CommandType::Attack: return AttackCommand{id(), id()};
            case CommandType::SetRallyPoint: return SetRallyPointCommand{id(), sub(), sub()};
            case CommandType::CarrierPickUp: return CarrierPickUpCommand{id(), id()};
            case CommandType::CarrierDropOff: return CarrierDropOffCommand{id(), id()};
            case CommandType::CastSpell:
                return CastSpellCommand{id(), id(), world(), world(), pick(names_.spellNames), flag()};
            case CommandType::StopProduction: return StopProductionCommand{id(), slot()};
            case CommandType::StopConstruction: return StopConstructionCommand{id()};
            case CommandType::ResearchUpgrade: return ResearchUpgradeCommand{id(), pick(names_.upgradeNames)};
            case CommandType::ChatMessage: return ChatMessageCommand{std::string(MAX_CHAT_BYTES, 'w')};
            case CommandType::PauseGame: return PauseGameCommand{edge()};
            case CommandType::ResumeGame: return ResumeGameCommand{edge()};
            case CommandType::Ping: return PingCommand{};
            case CommandType::Pong: return PongCommand{};
            case CommandType::AttackMove: return AttackMove{id(), sub(), sub(), flag()};
            case CommandType::PickUp: return PickUpCommand{id(), id()};
            case CommandType::Hold: return HoldCommand{ids()};
            case CommandType::Stop: return StopCommand{ids()};
            case CommandType::Construct: return ConstructCommand{id(), id()};
            case CommandType::PlayerLeft:
            case CommandType::ComputerTakeover: break;
        }
        return {};
    }

    int player_;
    std::mt19937 draw_;
    Nameable names_;
    std::vector<int> seen_;
};

// The peer whose turns change the world: it applies and logs as the live game does, and keeps the checksum of
// every tick.
class WorldPeerRunner : public TurnRunner {
public:
    std::vector<uint64_t> sums;
    bool isPaused() const override { return paused; }
    void apply(const Command& cmd) override { applyCommand(cmd, grid, 0, false); }
    void tick() override {
        advanceOneTurn(grid);
        sums.push_back(worldChecksum());
    }
    void playerLeft(int) override {}
};

struct Peer {
    int id;
    LockstepManager manager;
    NetworkManager link;
};

// The world a stream plays on: the economy of two races with their bases, or the tower defence with its script.
struct WorldKind {
    const char* name;
    bool towerDefense;
};

struct HostileStream : ShippedGame {
    TempDir folder;
    WorldKind kind{"economy", false};
    Peer peers[2]{{1, {}, {}}, {2, {}, {}}};
    WorldPeerRunner live;
    RecordingRunner recorded;

    void SetUp() override {
        ShippedGame::SetUp();
        ASSERT_TRUE(contentLoaded);
        basePath = std::string(CORVALE_SOURCE_DIR) + "/";
        joinInMemory(peers[0].link, peers[1].link);
    }
    void TearDown() override {
        headless::endTowerDefense();
        replayTurns.clear();
        paused = false;
        lockstep = LockstepManager{};
        ShippedGame::TearDown();
    }

    void buildWorld() {
        headless::endTowerDefense();
        paused = false;
        ::testing::internal::CaptureStderr();
        if (kind.towerDefense) {
            ASSERT_TRUE(headless::startTowerDefense(true, basePath + MOD_FOLDER));
        } else {
            MODS = false;
            headless::Script unused;
            ASSERT_TRUE(headless::startEconomy(unused));
        }
        ::testing::internal::GetCapturedStderr();
        for (const auto& p : players) p->resources[RESOURCE_GOLD] = p->resources[RESOURCE_WOOD] = 100000;
    }

    // Frames of both peers over the real exchange, each peer's orders drawn from the world at that frame; the
    // first peer changes the world and logs it, the second records what it applied.
    void play(int frames, uint32_t seed, int mostPerTurn, const std::function<void()>& afterFrame = [] {}) {
        CarelessPeer careless[] = {CarelessPeer(1, seed), CarelessPeer(2, seed * 7 + 1)};
        const std::vector<int> gated = {1, 2};
        ::testing::internal::CaptureStderr();
        for (int frame = 0; frame < frames; ++frame) {
            for (int k = 0; k < 2; ++k) {
                for (const Command& cmd : careless[k].ordersOfTurn(mostPerTurn)) peers[k].manager.collectCommand(cmd);
                const int before = peers[k].manager.receiveTurn;
                if (k == 0) {
                    peers[k].manager.step(TURN_LENGTH, 0, peers[k].id, gated, peers[k].link, live);
                } else {
                    peers[k].manager.step(TURN_LENGTH, 0, peers[k].id, gated, peers[k].link, recorded);
                    if (peers[k].manager.receiveTurn != before) recorded.endTurn();
                }
            }
            lockstep.pendingCommands.clear();  // the answers to pings go out with the live game's own turns
            afterFrame();
        }
        ::testing::internal::GetCapturedStderr();
    }

    // The checksum after every tick of the turns applied, as a replay applies them, on a world built afresh.
    std::vector<uint64_t> sumsOfRecordedTurns(size_t ticks) {
        buildWorld();
        std::vector<uint64_t> sums;
        ::testing::internal::CaptureStderr();
        for (const AppliedTurn& turn : recorded.turns) {
            if (sums.size() == ticks) break;
            for (const Command& cmd : turn.commands) applyCommand(cmd, grid, 0, true);
            if (!turn.ticked) continue;
            advanceOneTurn(grid);
            sums.push_back(worldChecksum());
        }
        ::testing::internal::GetCapturedStderr();
        return sums;
    }

    // The checksum after every tick of logged turns fed tick by tick as playback feeds them: first those of one
    // log up to a tick, as a resumed save re-simulates its log, then those of another from there on.
    std::vector<uint64_t> sumsOfLogs(const std::vector<Turn>& first, size_t firstTicks, const std::vector<Turn>& then,
                                     size_t ticks) {
        buildWorld();
        replayTurns = first;
        replayTurnIndex = 0;
        std::vector<uint64_t> sums;
        ::testing::internal::CaptureStderr();
        while (sums.size() < ticks) {
            if (sums.size() == firstTicks) {
                replayTurns = then;
                replayTurnIndex = static_cast<int>(std::find_if(then.begin(), then.end(), [](const Turn& t) {
                                                       return t.tick >= lockstep.currentTurn;
                                                   }) - then.begin());
            }
            headless::runReplayTick(grid);
            sums.push_back(worldChecksum());
        }
        ::testing::internal::GetCapturedStderr();
        return sums;
    }
};

// The turns of a command log or a saved game, as playback reads them.
std::vector<Turn> readLog(const std::filesystem::path& log) {
    std::ifstream in(log, std::ios::binary);
    std::vector<Turn> turns;
    for (Turn turn; readNextTurn(in, turn) == TurnRead::Read;) turns.push_back(turn);
    EXPECT_TRUE(in.eof()) << log;
    return turns;
}

// How many ticks, from the first, two runs agree for.
size_t ticksAlike(const std::vector<uint64_t>& a, const std::vector<uint64_t>& b) {
    const auto parted = std::mismatch(a.begin(), a.begin() + static_cast<std::ptrdiff_t>(std::min(a.size(), b.size())),
                                      b.begin());
    return static_cast<size_t>(parted.first - a.begin());
}

TEST_F(HostileStream, EveryPeerTheLogAndAResumedSaveStayOnOneWorld) {
    const struct {
        WorldKind world;
        uint32_t seed;
        int saveFrame;
    } cases[] = {{{"economy", false}, 3, 700}, {{"economy", false}, 11, 1111}, {{"tower defence", true}, 5, 901}};
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.world.name) + " seed " + std::to_string(c.seed));
        kind = c.world;
        for (Peer& p : peers) p.manager = LockstepManager{};
        live = WorldPeerRunner{};
        recorded = RecordingRunner{};
        buildWorld();
        const std::filesystem::path log = folder.path / "match.log", save = folder.path / "match.bin";
        commandLog.open(log, std::ios::binary);
        size_t savedTicks = 0;
        int frame = 0;
        play(3000, c.seed, 60, [&] {
            if (++frame != c.saveFrame) return;
            std::filesystem::copy_file(log, save, std::filesystem::copy_options::overwrite_existing);
            savedTicks = live.sums.size();
        });
        closeCommandLog();
        const size_t ticks = live.sums.size();
        ASSERT_GT(ticks, 1000u);
        const std::vector<uint64_t> other = sumsOfRecordedTurns(ticks);
        EXPECT_GT(other.size(), ticks - 10);
        EXPECT_EQ(ticksAlike(live.sums, other), other.size()) << "the other peer";
        const std::vector<Turn> logged = readLog(log);
        EXPECT_EQ(ticksAlike(live.sums, sumsOfLogs(logged, ticks, logged, ticks)), ticks) << "the command log";
        EXPECT_EQ(ticksAlike(live.sums, sumsOfLogs(readLog(save), savedTicks, logged, ticks)), ticks)
            << "resumed at tick " << savedTicks;
    }
}

// What the measures below read of a building's queues: unit slots are the recruits on their way and the trainees.
size_t unitSlots(const Building& b) {
    return b.queuedUnits.size() + static_cast<size_t>(std::count_if(
                                      b.productionQueue.begin(), b.productionQueue.end(),
                                      [](const TrainingTask& t) { return t.kind == TrainingKind::Unit; }));
}

size_t researchSlots(const Building& b) {
    return static_cast<size_t>(std::count_if(b.productionQueue.begin(), b.productionQueue.end(),
                                             [](const TrainingTask& t) { return t.kind == TrainingKind::Research; }));
}

size_t offeredResearch(const Building& b) {
    const auto offered = buildingResearchTree.find(b.type);
    return offered == buildingResearchTree.end() ? 0 : offered->second.size();
}

template <class Each>
size_t largest(const Each& each) {
    size_t most = 0;
    each([&](size_t n) { most = std::max(most, n); });
    return most;
}

// The part of a measure that lies beyond its bound; 0 while the bound holds.
struct Measure {
    const char* name;
    size_t (*beyond)();
};

size_t past(size_t value, size_t bound) { return value > bound ? value - bound : 0; }

const Measure measures[] = {
    {"trainees of a building past the queue limit",
     [] {
         return largest([](auto note) {
             for (const Building& b : buildings) note(past(unitSlots(b), 7));
         });
     }},
    {"research of a building past what it offers",
     [] {
         return largest([](auto note) {
             for (const Building& b : buildings) note(past(researchSlots(b), offeredResearch(b)));
         });
     }},
    {"queued orders of a unit",
     [] {
         return largest([](auto note) {
             for (const Unit& u : units) note(past(u.orders.size(), MAX_QUEUED_ORDERS));
         });
     }},
    {"waypoints and route of a unit past the map",
     [] {
         const size_t subTiles = static_cast<size_t>(SUB_MAP_W) * static_cast<size_t>(SUB_MAP_H);
         return largest([&](auto note) {
             for (const Unit& u : units) note(past(u.waypoints.size() + u.route.size(), 2 * subTiles));
         });
     }},
    {"activity feed", [] { return past(activityQueue.size(), MAX_ACTIVITIES); }},
    {"ids a player lists past the units and buildings it has",
     [] {
         return largest([](auto note) {
             for (const auto& p : players)
                 note(past(p->unitIds.size() + p->buildingIds.size(), units.size() + buildings.size()));
         });
     }},
    {"construction sites past the buildings",
     [] { return past(constructionManager.entries().size(), buildings.size()); }},
    {"carriers with cargo past the units", [] { return past(zeppelinCargo.size(), units.size()); }},
    {"projectiles and hits past a few per unit and tower",
     [] { return past(projectiles.size() + projectileHits.size(), 8 * (units.size() + towers.size())); }},
    {"spells at work past a few per unit", [] { return past(activeSpells.size(), 4 * units.size() + 4); }},
    {"effects past a few per unit",
     [] { return past(active_special_effects.size() + floatingTexts.size(), 8 * units.size() + 64); }},
};

// A stream of as many orders as a turn takes, for thousands of turns: whatever the orders fill stays within
// what the game allows, and the turns each peer keeps stay within a window of the one applied.
TEST_F(HostileStream, MaximalOrdersFillNothingBeyondItsBound) {
    buildWorld();
    std::map<std::string, size_t> worst;
    size_t storedTurns = 0;
    play(3000, 29, MAX_TURN_UNIT_ORDERS, [&] {
        for (const Measure& m : measures) worst[m.name] = std::max(worst[m.name], m.beyond());
        for (const Peer& p : peers) {
            size_t stored = 0;
            for (const auto& player : p.manager.turns) stored += player.second.size();
            storedTurns = std::max(storedTurns, stored);
        }
    });
    ASSERT_GT(live.sums.size(), 1000u);
    for (const Measure& m : measures) EXPECT_EQ(worst[m.name], 0u) << m.name;
    EXPECT_LE(storedTurns, 2u * TURN_WINDOW) << "turns kept ahead";
}

// A worker of player 2 ordered to place the first type of its build menu that needs a building the player never
// had: rich, the requirement test refuses it; poor, the cost test does first.
Command placementOfAType(bool rich) {
    Player& player = *getPlayerById(2);
    player.resources[RESOURCE_GOLD] = rich ? 1 << 20 : 0;
    player.resources[RESOURCE_WOOD] = rich ? 1 << 20 : 0;
    for (int id : headless::unitsOf(2)) {
        const Unit& worker = *getUnitById(id);
        const UnitInfo* kind = getUnitInfo(worker.type);
        if (!worker.worker || !kind) continue;
        for (const std::string& type : kind->buildMenu) {
            const auto requirement = buildingRequirements.find(type);
            if (requirement == buildingRequirements.end() || requirement->second.requiredBuildings.empty() ||
                player.completedBuildings.count(requirement->second.requiredBuildings.front()))
                continue;
            const V2i tile = worldToTile(worker.x, worker.y);
            return Command{CommandType::PlaceBuildingDown, 2, PlaceBuildingDownCommand{type, tile.x, tile.y, id}};
        }
    }
    ADD_FAILURE() << "no worker of player 2 can name a type with a requirement";
    return Command{};
}

// An order the replay will not see, because it was not logged, must have left the world as it was; one that
// changed it must be logged.
TEST_F(HostileStream, AnOrderEitherChangesNothingOrIsLogged) {
    const struct {
        const char* name;
        Command (*order)();
        bool logged;
    } cases[] = {
        {"mining by a worker with another player's id",
         [] {
             const ResourceFind crystal = findClosestResource(getPlayerById(2)->baseTile, "Crystal", grid);
             return Command{CommandType::Mine, 1, MineCommand{headless::unitsOf(2).front(), crystal.tile.x,
                                                              crystal.tile.y, crystal.object->id}};
         },
         false},
        {"mining by a unit that is no worker",
         [] {
             const V2i base = getPlayerById(2)->baseTile;
             const int soldier = headless::placeArmy(2, "Grunt", base, 1).front();
             const ResourceFind crystal = findClosestResource(base, "Crystal", grid);
             return Command{CommandType::Mine, 2, MineCommand{soldier, crystal.tile.x, crystal.tile.y, crystal.object->id}};
         },
         true},
        {"placing a building whose required building the player never had",
         [] { return placementOfAType(true); },
         true},
        {"placing a building the player cannot pay for", [] { return placementOfAType(false); }, false},
    };
    for (const auto& c : cases) {
        buildWorld();
        const Command order = c.order();
        const uint64_t before = worldChecksum();
        const std::filesystem::path log = folder.path / "order.log";
        commandLog.open(log, std::ios::binary | std::ios::trunc);
        ::testing::internal::CaptureStderr();
        applyCommand(order, grid, 0, false);
        ::testing::internal::GetCapturedStderr();
        closeCommandLog();
        const bool logged = std::filesystem::file_size(log) > 0;
        EXPECT_EQ(logged, c.logged) << c.name;
        if (!logged) {
            EXPECT_EQ(worldChecksum(), before) << c.name;
        }
    }
}

}  // namespace
