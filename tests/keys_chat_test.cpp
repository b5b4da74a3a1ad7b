// The match keyboard as a player meets it: the chat line and its history, the enemy count query, and control
// groups that hold buildings or lost members.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "activity.h"
#include "economy_world.h"
#include "events_iso.h"
#include "game_commands.h"
#include "game_commands_wire.h"
#include "input_state.h"
#include "lockstep.h"
#include "sdl_events.h"

namespace {

uint32_t injectedMs = 10000;

struct MatchKeys : EconomyWorld {
    uint32_t (*savedTicks)() = nullptr;

    static void SetUpTestSuite() { ASSERT_EQ(SDL_InitSubSystem(SDL_INIT_EVENTS), 0) << SDL_GetError(); }
    static void TearDownTestSuite() { SDL_QuitSubSystem(SDL_INIT_EVENTS); }

    void SetUp() override {
        EconomyWorld::SetUp();
        addOwners(1, 2, 3);
        addUnitType("Soldier", "human", 0, 0, 0, 1.0f);
        addBuildingType("Keep", 3, 2, 0, 0, 10.0f);
        savedTicks = inputTicks;
        inputTicks = [] { return injectedMs; };
        injectedMs = 10000;
        eventHandler = IsoEventHandler{};
        lockstep = LockstepManager{};
        chatActive = false;
        chatInput.clear();
        chatHistory.clear();
        historyIndex = -1;
        shift = ctrl = false;
        running = true;
        camera = Camera{};
        activityQueue.clear();
        SDL_FlushEvents(SDL_FIRSTEVENT, SDL_LASTEVENT);
    }
    void TearDown() override {
        inputTicks = savedTicks;
        clearUnitSelection();
        clearBuildingSelection();
        chatHistory.clear();
        historyIndex = -1;
        chatActive = false;
        chatInput.clear();
        activityQueue.clear();
        mode = GameMode::Skirmish;
        running = true;
        EconomyWorld::TearDown();
    }

    static void handle(SDL_Event e) {
        ASSERT_EQ(SDL_PushEvent(&e), 1) << SDL_GetError();
        eventHandler.handleGameEvents(grid);
    }
    static void tap(SDL_Keycode sym) {
        handle(keyEvent(sym));
        handle(keyEvent(sym, SDL_KEYUP));
    }
    static void type(const std::string& text) { handle(typed(text.c_str())); }
    // Opens the line, types the text and sends it with Return.
    static void say(const std::string& text) {
        tap(SDLK_RETURN);
        type(text);
        tap(SDLK_RETURN);
    }
    static std::vector<Command>& queued() { return lockstep.pendingCommands; }
    static std::vector<std::string> chatSent() {
        std::vector<std::string> lines;
        for (const Command& c : queued())
            if (const auto* chat = std::get_if<ChatMessageCommand>(&c.payload)) lines.push_back(chat->message);
        return lines;
    }
    static int keep(int owner, V2i tile, bool completed = true) {
        Building b;
        b.id = nextAttackableId++;
        b.type = "Keep";
        b.playerId = owner;
        b.x = tile.x;
        b.y = tile.y;
        b.wTiles = 3;
        b.hTiles = 2;
        b.completed = completed;
        b.hp = b.maxHp = 100.0f;
        return addBuilding(b)->id;
    }
    static void storeGroup(SDL_Keycode digit) {
        handle(keyEvent(SDLK_LSHIFT));
        tap(digit);
        handle(keyEvent(SDLK_LSHIFT, SDL_KEYUP));
    }
    static SDL_FPoint cameraCentre() { return {camera.centerX, camera.centerY}; }
};

// One step a player takes at the open chat line: a key, or text typed.
struct ChatStep {
    SDL_Keycode key;
    const char* text;
};

TEST_F(MatchKeys, BrowsingTheChatHistoryShowsEachSentLineAndTypingAfterwardsEditsIt) {
    constexpr SDL_Keycode TYPE = 0;
    const struct {
        const char* name;
        std::vector<std::string> history;
        std::vector<ChatStep> steps;
        std::string input;
        int index;
    } cases[] = {
        {"up with an empty history", {}, {{SDLK_UP, nullptr}}, "", -1},
        {"down while not browsing", {"a", "b"}, {{SDLK_DOWN, nullptr}}, "", -1},
        {"up reaches the newest line first", {"a", "b", "c"}, {{SDLK_UP, nullptr}}, "c", 2},
        {"up stops at the oldest line", {"a", "b"},
         {{SDLK_UP, nullptr}, {SDLK_UP, nullptr}, {SDLK_UP, nullptr}}, "a", 0},
        {"a history of one line", {"only"}, {{SDLK_UP, nullptr}, {SDLK_UP, nullptr}}, "only", 0},
        {"down past the newest line empties the input", {"only"}, {{SDLK_UP, nullptr}, {SDLK_DOWN, nullptr}}, "", -1},
        {"down walks back toward the newest", {"a", "b", "c"},
         {{SDLK_UP, nullptr}, {SDLK_UP, nullptr}, {SDLK_UP, nullptr}, {SDLK_DOWN, nullptr}}, "b", 1},
        {"typing after browsing edits the line", {"a", "b"}, {{SDLK_UP, nullptr}, {TYPE, "!"}}, "b!", 1},
        {"backspace after browsing", {"ab"}, {{SDLK_UP, nullptr}, {SDLK_BACKSPACE, nullptr}}, "a", 0},
    };
    for (const auto& c : cases) {
        chatHistory = c.history;
        historyIndex = -1;
        tap(SDLK_RETURN);
        for (const ChatStep& step : c.steps) step.key == TYPE ? type(step.text) : tap(step.key);
        EXPECT_EQ(chatInput, c.input) << c.name;
        EXPECT_EQ(historyIndex, c.index) << c.name;
        EXPECT_EQ(chatHistory, c.history) << c.name << ": browsing never changes the history";
        tap(SDLK_ESCAPE);
        EXPECT_TRUE(running) << c.name << ": the key closed the chat line, not the match";
    }
    EXPECT_TRUE(queued().empty());
}

TEST_F(MatchKeys, ABrowsedLineEditedAndSentIsSentOnceAndStoredOnce) {
    say("hello");
    say("hello");
    tap(SDLK_RETURN);
    tap(SDLK_UP);
    type(" again");
    tap(SDLK_RETURN);
    EXPECT_EQ(chatSent(), (std::vector<std::string>{"hello", "hello", "hello again"}));
    EXPECT_EQ(chatHistory, (std::vector<std::string>{"hello", "hello again"}));
    EXPECT_EQ(historyIndex, -1);
    EXPECT_FALSE(chatActive);
    EXPECT_TRUE(chatInput.empty());
}

// Leaving the line while browsing, with Escape or with Return on an emptied line, ends the browsing: the next
// Up shows the newest line again.
TEST_F(MatchKeys, LeavingTheChatWhileBrowsingClearsTheInputAndTheNextUpStartsFromTheNewestLine) {
    const struct {
        const char* name;
        std::vector<SDL_Keycode> leave;
    } cases[] = {{"escape", {SDLK_ESCAPE}}, {"return on an emptied line", {SDLK_BACKSPACE, SDLK_RETURN}}};
    for (const auto& c : cases) {
        chatHistory = {"a", "b", "c"};
        historyIndex = -1;
        tap(SDLK_RETURN);
        tap(SDLK_UP);
        tap(SDLK_UP);
        chatInput = "b";
        for (SDL_Keycode key : c.leave) tap(key);
        EXPECT_FALSE(chatActive) << c.name;
        EXPECT_TRUE(chatInput.empty()) << c.name;
        tap(SDLK_RETURN);
        EXPECT_TRUE(chatInput.empty()) << c.name << ": the line opens empty";
        tap(SDLK_UP);
        EXPECT_EQ(chatInput, "c") << c.name;
        tap(SDLK_ESCAPE);
    }
    EXPECT_TRUE(queued().empty());
    EXPECT_TRUE(running);
}

// The line takes text up to the most one chat message carries, and no line break, so what is sent reaches the
// others whole.
TEST_F(MatchKeys, TheChatLineTakesTextUpToTheLongestMessageAndItArrivesWhole) {
    const std::string longest(MAX_CHAT_BYTES, 'x');
    const struct {
        const char* name;
        std::string before;
        const char* typedText;
        std::string after;
    } cases[] = {
        {"the last byte accepted", std::string(MAX_CHAT_BYTES - 1, 'x'), "y",
         std::string(MAX_CHAT_BYTES - 1, 'x') + "y"},
        {"the first byte refused", longest, "y", longest},
        {"a character whose bytes would cross the limit", std::string(MAX_CHAT_BYTES - 1, 'x'), "\xc3\xa9",
         std::string(MAX_CHAT_BYTES - 1, 'x')},
        {"a pasted line break", "ab", "c\nd", "ab"},
    };
    for (const auto& c : cases) {
        tap(SDLK_RETURN);
        chatInput = c.before;
        type(c.typedText);
        EXPECT_EQ(chatInput, c.after) << c.name;
        tap(SDLK_ESCAPE);
    }

    tap(SDLK_RETURN);
    for (size_t i = 0; i < MAX_CHAT_BYTES + 10; ++i) type("k");
    tap(SDLK_RETURN);
    ASSERT_EQ(queued().size(), 1u);
    NetPacket wire;
    writeCommand(wire, queued()[0]);
    const Command arrived = readCommand(wire);
    EXPECT_EQ(std::get<ChatMessageCommand>(arrived.payload).message.size(), MAX_CHAT_BYTES);
    EXPECT_EQ(std::get<ChatMessageCommand>(arrived.payload).message,
              std::get<ChatMessageCommand>(queued()[0].payload).message);
}

TEST_F(MatchKeys, TheChatLineTakesTypedTextAfterAFieldElsewhereSwitchedTypingOff) {
    SDL_StopTextInput();  // as a Return in the lobby's or the save dialog's name field leaves it
    tap(SDLK_RETURN);
    EXPECT_EQ(SDL_IsTextInputActive(), SDL_TRUE);
    type("gg");
    EXPECT_EQ(chatInput, "gg");
}

// Chat is an order: it travels with the turn and every peer shows it when the turn is applied.
TEST_F(MatchKeys, ASentLineTravelsAsAnOrderAndShowsInTheFeedWhenItsTurnIsApplied) {
    say("gg wp");
    ASSERT_EQ(queued().size(), 1u);
    EXPECT_EQ(queued()[0].type, CommandType::ChatMessage);
    EXPECT_EQ(queued()[0].player, 1);
    EXPECT_TRUE(activityQueue.empty()) << "nothing shows before the turn";
    NetPacket wire;
    writeCommand(wire, queued()[0]);
    applyCommand(readCommand(wire), grid, 0, false);
    ASSERT_EQ(activityQueue.size(), 1u);
    EXPECT_EQ(activityQueue.back().text, "[p1]: gg wp");
}

TEST_F(MatchKeys, TheRemainingQueryCountsTheComputersUnitsOnlyInExtraction) {
    const struct {
        const char* name;
        GameMode mode;
        int enemies;
        bool computerSeated;
        const char* notice;
    } cases[] = {
        {"three enemies in a mission", GameMode::Extraction, 3, true, "[System]: Enemy units remaining 3"},
        {"none left", GameMode::Extraction, 0, true, "[System]: Enemy units remaining 0"},
        {"no computer player", GameMode::Extraction, 0, false, "[System]: Enemy units remaining 0"},
        {"a skirmish sends it as chat", GameMode::Skirmish, 3, true, nullptr},
    };
    for (const auto& c : cases) {
        mode = c.mode;
        getPlayerById(2)->unitIds.assign(static_cast<size_t>(c.enemies), 77);
        Player::aiId = c.computerSeated ? 2 : 99;
        activityQueue.clear();
        queued().clear();
        say("/remaining");
        if (c.notice) {
            ASSERT_EQ(activityQueue.size(), 1u) << c.name;
            EXPECT_EQ(activityQueue.back().text, c.notice) << c.name;
            EXPECT_FLOAT_EQ(activityQueue.back().duration, 5.0f) << c.name;
            EXPECT_TRUE(queued().empty()) << c.name << ": the query is not sent";
        } else {
            EXPECT_TRUE(activityQueue.empty()) << c.name;
            EXPECT_EQ(chatSent(), std::vector<std::string>{"/remaining"}) << c.name;
        }
        EXPECT_EQ(chatHistory.back(), "/remaining") << c.name;
        EXPECT_FALSE(chatActive) << c.name;
    }
}

TEST_F(MatchKeys, AGroupHoldingABuildingSelectsItAndADoubleRecallCentresTheCameraOnItsMiddle) {
    const int hall = keep(1, {10, 20});
    const int site = keep(1, {30, 4}, false);
    const int soldier = addUnitAt("Soldier", {2, 2});
    addBuildingToSelection(hall);
    addBuildingToSelection(site);
    storeGroup(SDLK_4);
    clearBuildingSelection();
    addToSelection(soldier);
    sounds.clear();

    tap(SDLK_4);
    EXPECT_EQ(selectedBuildings, (std::vector<int>{hall, site}));
    EXPECT_TRUE(selectedUnits.empty());
    EXPECT_EQ(sounds, (std::vector<std::string>{"Keep", "Construct"}));
    EXPECT_EQ(camera.centerX, 0.0f) << "one press does not move the camera";

    injectedMs += 499;
    tap(SDLK_4);
    // The footprint's middle tile point, (11.5, 21), projected.
    EXPECT_FLOAT_EQ(camera.centerX, (11.5f - 21.0f) * 140.0f / 2);
    EXPECT_FLOAT_EQ(camera.centerY, (11.5f + 21.0f) * 140.0f / 4);
    EXPECT_TRUE(queued().empty()) << "selecting is no order";
}

// A group outlives its members: a destroyed building is skipped by the recall, and a double recall goes to the
// first member still standing, or nowhere when none is.
TEST_F(MatchKeys, AGroupWhoseBuildingWasDestroyedRecallsAndCentresOnWhatIsLeft) {
    const int hall = keep(1, {10, 20});
    const int tower = keep(1, {40, 8});
    addBuildingToSelection(hall);
    addBuildingToSelection(tower);
    storeGroup(SDLK_7);
    clearBuildingSelection();

    const struct {
        const char* name;
        int destroyed;
        std::vector<int> selected;
        SDL_FPoint centre;
    } cases[] = {
        {"the first destroyed", hall, {tower}, {(41.5f - 9.0f) * 70.0f, (41.5f + 9.0f) * 35.0f}},
        {"every one destroyed", tower, {}, {-5.0f, -5.0f}},
    };
    for (const auto& c : cases) {
        getBuildingById(c.destroyed)->hp = 0.0f;
        collapseBuilding(*getBuildingById(c.destroyed), grid);
        processBuildingRemovals(grid);
        camera.centerX = camera.centerY = -5.0f;
        injectedMs += 1000;
        tap(SDLK_7);
        injectedMs += 100;
        tap(SDLK_7);
        EXPECT_EQ(selectedBuildings, c.selected) << c.name;
        EXPECT_FLOAT_EQ(camera.centerX, c.centre.x) << c.name;
        EXPECT_FLOAT_EQ(camera.centerY, c.centre.y) << c.name;
    }
    EXPECT_EQ(controlGroupManager.group(7).size(), 2u) << "the group keeps its entries";
}

// The second press centres only when it is a new press of the same digit less than half a second after the first.
TEST_F(MatchKeys, ASecondPressCentresOnlyWhenReleasedAndPressedAgainWithinHalfASecond) {
    const int hall = keep(1, {10, 20});
    const int other = keep(1, {30, 30});
    addBuildingToSelection(hall);
    storeGroup(SDLK_2);
    clearBuildingSelection();
    addBuildingToSelection(other);
    storeGroup(SDLK_3);
    const SDL_FPoint onHall{(11.5f - 21.0f) * 70.0f, (11.5f + 21.0f) * 35.0f};
    const SDL_FPoint away{-5.0f, -5.0f};
    const struct {
        const char* name;
        uint32_t gapMs;
        bool released;
        SDL_Keycode second;
        bool centred;
    } cases[] = {
        {"499 ms later", 499, true, SDLK_2, true},
        {"500 ms later", 500, true, SDLK_2, false},
        {"held down: the repeat is ignored", 100, false, SDLK_2, false},
        {"another digit in between", 100, true, SDLK_3, false},
    };
    for (const auto& c : cases) {
        injectedMs += 5000;
        tap(SDLK_2);
        camera.centerX = camera.centerY = away.x;
        if (c.second == SDLK_3) tap(SDLK_3);
        // Held: a fresh press that is never let go, so the next key-down is its repeat.
        if (!c.released) handle(keyEvent(SDLK_2, SDL_KEYDOWN));
        camera.centerX = camera.centerY = away.x;
        injectedMs += c.gapMs;
        handle(keyEvent(SDLK_2));
        const SDL_FPoint expected = c.centred ? onHall : away;
        EXPECT_FLOAT_EQ(camera.centerX, expected.x) << c.name;
        EXPECT_FLOAT_EQ(camera.centerY, expected.y) << c.name;
        EXPECT_EQ(selectedBuildings, std::vector<int>{hall}) << c.name;
        handle(keyEvent(SDLK_2, SDL_KEYUP));
    }

    // A third press in time centres again; storing with nothing selected empties the group.
    injectedMs += 5000;
    tap(SDLK_2);
    injectedMs += 300;
    tap(SDLK_2);
    camera.centerX = camera.centerY = away.x;
    injectedMs += 300;
    tap(SDLK_2);
    EXPECT_FLOAT_EQ(camera.centerX, onHall.x);
    clearBuildingSelection();
    storeGroup(SDLK_2);
    EXPECT_TRUE(controlGroupManager.group(2).empty());
}

}  // namespace
