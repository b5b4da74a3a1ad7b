// Match keyboard: modifiers, the chat line, hold and stop, attack-move, replay keys, hotkeys and control groups.
#include <algorithm>

#include "activity.h"
#include "buildings.h"
#include "config.h"
#include "control_groups.h"
#include "events_iso.h"
#include "events_iso_shared.h"
#include "game_commands_wire.h"
#include "game_replay.h"
#include "game_state.h"
#include "hotkeys.h"
#include "input_state.h"
#include "lockstep.h"
#include "player.h"
#include "sounds.h"
#include "textures.h"
#include "units.h"

namespace {

constexpr float GROUP_DOUBLE_PRESS_SECONDS = 0.5f;

// Hold and stop travel as orders so every peer and every replay halts the units on the same tick.
void queueHalt(CommandType type) {
    std::vector<int> ids = ownSelectedUnits();
    if (ids.empty()) return;
    if (type == CommandType::Hold)
        lockstep.collectCommand(Command{type, Player::myStaticId, HoldCommand{std::move(ids)}});
    else
        lockstep.collectCommand(Command{type, Player::myStaticId, StopCommand{std::move(ids)}});
}

int unitsOfComputer() {
    const Player* ai = getPlayerById(Player::aiId);
    return ai ? static_cast<int>(ai->unitIds.size()) : 0;
}

void sendChatLine() {
    if (chatHistory.empty() || chatHistory.back() != chatInput) chatHistory.push_back(chatInput);
    historyIndex = -1;
    if (mode == GameMode::Extraction && chatInput == "/remaining")
        postActivity("[System]: Enemy units remaining " + std::to_string(unitsOfComputer()), texFood, 5.0f);
    else
        lockstep.collectCommand(
            Command{CommandType::ChatMessage, Player::myStaticId, ChatMessageCommand{chatInput}});
}

// Closing the line also ends any browsing, so the next Up starts again from the newest line.
void closeChatLine() {
    chatActive = false;
    chatInput.clear();
    historyIndex = -1;
}

void toggleChatLine() {
    if (!chatActive) {
        chatActive = true;
        chatInput.clear();
        // A Return in a text field elsewhere (a lobby name, a save name) switched typing off for the window.
        SDL_StartTextInput();
        return;
    }
    if (!chatInput.empty()) sendChatLine();
    closeChatLine();
}

// The line takes only what one chat message may carry; a longer line, or a pasted line break, would reach nobody.
void typeIntoChatLine(const char* text) {
    std::string longer = chatInput + text;
    if (isOneChatLine(longer)) chatInput = std::move(longer);
}

void handleReplayKey(SDL_Keycode key) {
    if (key == SDLK_p) replayPaused = !replayPaused;
    if (key == SDLK_EQUALS) replaySpeed = std::min(replaySpeed * 2, MAX_REPLAY_SPEED);
    if (key == SDLK_MINUS) replaySpeed = std::max(replaySpeed >> 1, 1);
}

void browseHistoryBack() {
    if (chatHistory.empty()) return;
    if (historyIndex == -1)
        historyIndex = static_cast<int>(chatHistory.size()) - 1;
    else if (historyIndex > 0)
        --historyIndex;
    chatInput = chatHistory[static_cast<size_t>(historyIndex)];
}

void browseHistoryForward() {
    if (historyIndex == -1) return;
    if (historyIndex < static_cast<int>(chatHistory.size()) - 1) {
        chatInput = chatHistory[static_cast<size_t>(++historyIndex)];
    } else {
        historyIndex = -1;
        chatInput.clear();
    }
}

void recallGroup(int n) {
    clearUnitSelection();
    clearBuildingSelection();
    for (const ObjectID& entry : controlGroupManager.group(n)) {
        if (entry.kind == ObjectKind::Unit) {
            if (const Unit* u = getUnitById(entry.id)) {
                playUnitResponse(*u);
                addToSelection(entry.id);
            }
        } else if (const Building* b = getBuildingById(entry.id)) {
            playBuildingSelected(*b);
            addBuildingToSelection(entry.id);
        }
    }
}

void storeGroup(int n) {
    std::vector<ObjectID> entries;
    for (int id : selectedUnits) entries.push_back({id, ObjectKind::Unit});
    for (int id : selectedBuildings) entries.push_back({id, ObjectKind::Building});
    controlGroupManager.store(n, entries);
}

void centreCameraOnTile(float cx, float cy) {
    const float t = static_cast<float>(TILE_SIZE);
    camera.centerX = (cx - cy) * t / 2;
    camera.centerY = (cx + cy) * t / 4;
}

// On the first member still there: a fallen leader does not leave the camera where it was.
void centreCameraOnGroup(int n) {
    const float t = static_cast<float>(TILE_SIZE);
    for (const ObjectID& entry : controlGroupManager.group(n)) {
        if (const Unit* u = getUnitById(entry.id)) return centreCameraOnTile(u->x / t, u->y / t);
        if (const Building* b = getBuildingById(entry.id))
            return centreCameraOnTile(static_cast<float>(b->x) + static_cast<float>(b->wTiles) / 2,
                                      static_cast<float>(b->y) + static_cast<float>(b->hTiles) / 2);
    }
}

}  // namespace

void trackModifiers(const SDL_Event& event) {
    if (event.type != SDL_KEYDOWN && event.type != SDL_KEYUP) return;
    // Both sides' key codes differ only in bit 2.
    const SDL_Keycode key = event.key.keysym.sym & ~4;
    if (key == SDLK_LSHIFT) shift = event.type == SDL_KEYDOWN;
    if (key == SDLK_LCTRL) ctrl = event.type == SDL_KEYDOWN;
}

void IsoEventHandler::handleKeyDown(SDL_Keycode key) {
    if (key == SDLK_RETURN) return toggleChatLine();
    if (chatActive) {
        // Everything else typed goes into the line, not to the units.
        if (key == SDLK_ESCAPE) closeChatLine();
        return;
    }
    if (key == SDLK_a) attackMoveArmed = true;
    if (key == SDLK_h) queueHalt(CommandType::Hold);
    if (key == SDLK_s) queueHalt(CommandType::Stop);
    if (mode == GameMode::Replay) handleReplayKey(key);
}

void IsoEventHandler::editChatLine(const SDL_Event& event) {
    if (event.type == SDL_TEXTINPUT) typeIntoChatLine(event.text.text);
    if (event.type != SDL_KEYDOWN) return;
    const SDL_Keycode key = event.key.keysym.sym;
    if (key == SDLK_UP) browseHistoryBack();
    if (key == SDLK_DOWN) browseHistoryForward();
    if (key == SDLK_BACKSPACE && !chatInput.empty()) chatInput.pop_back();
}

void IsoEventHandler::stopSelectedConstruction() {
    const Building* b = getFirstSelectedBuilding();
    if (!b || b->completed || b->playerId != Player::myStaticId) return;
    lockstep.collectCommand(Command{CommandType::StopConstruction, b->playerId, StopConstructionCommand{b->id}});
}

// A key is offered to the own building with the shortest queue, to each own selected unit, then to the global
// table; a key bound in several tables acts in each.
void IsoEventHandler::dispatchHotkeys(SDL_Keycode key) {
    Building* chosen = nullptr;
    size_t shortest = 99999;
    for (int id : selectedBuildings) {
        Building* b = getBuildingById(id);
        if (!b || b->playerId != Player::myStaticId || b->productionQueue.size() >= shortest) continue;
        chosen = b;
        shortest = b->productionQueue.size();
    }
    if (chosen) handleHotkey(key, ActionContext{chosen, nullptr, nullptr, nullptr, nullptr, 0});
    for (int id : ownSelectedUnits()) {
        Unit* u = getUnitById(id);
        if (!u) continue;
        ActionContext context{nullptr, u, nullptr, nullptr, nullptr, 0};
        if (u->worker) {
            context.ghostBuildingType = &ghostBuildingType;
            context.ghostSprite = &ghostSprite;
            context.placingBuilding = &placingBuilding;
        }
        handleHotkey(key, context);
    }
    handleHotkey(key, ActionContext{nullptr, nullptr, nullptr, nullptr, nullptr, MISC_HOTKEYS_GLOBAL});
}

void IsoEventHandler::handleControlGroupKey(SDL_Keycode key) {
    if (key < SDLK_0 || key > SDLK_9) return;
    if (keysHeld[key]) return;
    keysHeld[key] = true;
    const int n = key - SDLK_0;
    if (shift) return storeGroup(n);
    recallGroup(n);
    const uint32_t now = inputTicks();
    if (key == lastGroupKey && static_cast<float>(now - lastGroupPressTicks) / 1000.0f < GROUP_DOUBLE_PRESS_SECONDS)
        centreCameraOnGroup(n);
    lastGroupKey = key;
    lastGroupPressTicks = now;
}
