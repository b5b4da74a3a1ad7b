// A whole game process played by synthetic input, for the lobby tests: the real start-up, menu pages and match
// frames, hosting or joining a lobby found on 127.0.0.1, printing on the standard output what each step showed.
#include <SDL2/SDL_image.h>
#include <unistd.h>

#include <chrono>
#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>

#include "activity.h"
#include "game_loop.h"
#include "game_startup.h"
#include "game_state.h"
#include "headless_session.h"
#include "lockstep.h"
#include "map.h"
#include "network_manager_lobby.h"
#include "player.h"
#include "sdl.h"
#include "sdl_draw.h"
#include "ui/host_page.h"
#include "ui/join_page.h"
#include "ui/lan_page.h"
#include "ui/lobby_view_page.h"
#include "ui/main_page.h"

namespace {

constexpr double STEP_LIMIT_SECONDS = 60.0;
constexpr double MATCH_LIMIT_SECONDS = 300.0;
constexpr int PORT_TRIES = 100;
constexpr uint64_t TURN_NS = 16000000;

// The frame clock moves only when the driver moves it, one turn length per frame, so frames are not paced by
// the wall clock.
uint64_t clockNs = 1;
uint64_t clockCounter() { return clockNs; }
uint64_t clockFrequency() { return 1000000000u; }
void clockSleep(uint64_t) {}
// The match is judged by its checksum; drawing it would only slow the frames.
void drawNothing(Grid&, float) {}

// A step that did not come about; the process ends with it on the error stream.
struct Stuck {
    std::string what;
};

void say(const std::string& line) {
    std::printf("%s\n", line.c_str());
    std::fflush(stdout);
}

template <class Page>
Page& page(MenuPage key) {
    return *static_cast<Page*>(mainMenu.page(key));
}

void frame() {
    if (gameState == GameState::Match)
        game_loop();
    else
        main_loop();
}

void push(SDL_Event e) { SDL_PushEvent(&e); }

// Where the pages read the pointer; SDL reports the move as a motion event too.
void pointAt(int x, int y) { SDL_WarpMouseInWindow(window, x, y); }

void click(int x, int y) {
    pointAt(x, y);
    SDL_Event e{};
    e.type = SDL_MOUSEBUTTONDOWN;
    e.button.button = SDL_BUTTON_LEFT;
    e.button.x = x;
    e.button.y = y;
    push(e);
    e.type = SDL_MOUSEBUTTONUP;
    push(e);
    frame();
}

void clickOn(const SDL_FRect& r) { click(static_cast<int>(r.x + r.w / 2), static_cast<int>(r.y + r.h / 2)); }

void type(const std::string& text) {
    SDL_Event e{};
    e.type = SDL_TEXTINPUT;
    std::snprintf(e.text.text, sizeof e.text.text, "%s", text.c_str());
    push(e);
    frame();
}

// Menu frames until done; the pointer twitches each frame, as a page switch waits for an event.
void waitFor(const std::string& what, const std::function<bool()>& done) {
    const auto start = std::chrono::steady_clock::now();
    while (!done()) {
        if (std::chrono::steady_clock::now() - start > std::chrono::duration<double>(STEP_LIMIT_SECONDS))
            throw Stuck{"no " + what + " in time"};
        SDL_Event e{};
        e.type = SDL_MOUSEMOTION;
        SDL_GetMouseState(&e.motion.x, &e.motion.y);
        push(e);
        frame();
        net.waitForTraffic(10);
    }
}

const Player* otherPlayer() {
    for (const auto& p : players)
        if (p->id != Player::myStaticId) return p.get();
    return nullptr;
}

// How a peer's match ends after its ticks: it leaves, or it plays on until the match has a result. A guest that
// lacks the host's map, or holds another under its name, has no match: it waits for the start to fail and leaves
// the lobby view.
enum class Ending { Leave, AwaitResult, PlayAgain, NoMatch };
Ending ending = Ending::Leave;
// The host adds the computer player before it starts the match.
bool withComputer = false;
void (*drawMatch)(Grid&, float) = nullptr;

// The whole match frame drawn into a texture and written beside the game, for a person to judge.
void saveResultScreen() {
    const SDL_FPoint size = windowSize();
    SDL_Texture* target = SDL_CreateTexture(renderer, SDL_PIXELFORMAT_RGBA32, SDL_TEXTUREACCESS_TARGET,
                                            static_cast<int>(size.x), static_cast<int>(size.y));
    SDL_SetRenderTarget(renderer, target);
    drawMatch(grid, 0.016f);
    SDL_Surface* shot = SDL_CreateRGBSurfaceWithFormat(0, static_cast<int>(size.x), static_cast<int>(size.y), 32,
                                                       SDL_PIXELFORMAT_RGBA32);
    SDL_RenderReadPixels(renderer, nullptr, SDL_PIXELFORMAT_RGBA32, shot->pixels, shot->pitch);
    IMG_SavePNG(shot, "result.png");
    SDL_FreeSurface(shot);
    SDL_SetRenderTarget(renderer, nullptr);
    SDL_DestroyTexture(target);
}

// The frames of a match whose peer has gone, until the result dialog opens; it says the dialog's title.
void awaitResult() {
    const auto start = std::chrono::steady_clock::now();
    while (victoryPlayerId == -1) {
        if (std::chrono::steady_clock::now() - start > std::chrono::duration<double>(STEP_LIMIT_SECONDS))
            throw Stuck{"no result in time (tick " + std::to_string(lockstep.currentTurn) + ")"};
        clockNs += TURN_NS;
        game_loop();
        net.waitForTraffic(5);
    }
    say(std::string("result ") + (victoryPlayerId == Player::myStaticId ? "VICTORY" : "DEFEAT"));
    saveResultScreen();
}

void pressKey(SDL_Keycode key) {
    SDL_Event e{};
    e.type = SDL_KEYDOWN;
    e.key.keysym.sym = key;
    push(e);
    e.type = SDL_KEYUP;
    push(e);
}

// Input the driver gives at a tick goes out with the turn after it, whichever frame sends that turn: a peer sends a
// turn at the end of the frame that applied the one before or, until its gate first waits, at the start of the next
// frame, so input handed in at a tick's first frame would land a turn apart in the two.
class TurnInput {
public:
    // Before each frame: hands in what is due, and says whether this is the first frame of a tick.
    bool newTick() {
        handIn();
        if (lockstep.currentTurn == tick) return false;
        tick = lockstep.currentTurn;
        return true;
    }
    // The first turn that has not gone out in either way of sending: the one after the tick's.
    static int turnAfterTick() { return lockstep.receiveTurn + 1; }
    // Handed in once the turn about to go out is this one, or at once alone, where the pending orders make the
    // turn.
    void later(int turn, const std::function<void()>& give) {
        due.push_back({turn, give});
        handIn();
    }

private:
    void handIn() {
        while (!due.empty() && (net.connections.empty() || lockstep.sendTurn >= due.front().first)) {
            const std::function<void()> give = due.front().second;
            due.erase(due.begin());
            give();
        }
    }
    int tick = -1;
    std::vector<std::pair<int, std::function<void()>>> due;
};

// With a second match to come, the host pauses a third of the way in and resumes once thirty turns have gone by
// paused, and the guest types a chat line half way; each peer says when its world stopped and went on and what
// was said, so the peers can be compared.
class Interlude {
public:
    explicit Interlude(int ticks) : pauseTick(ticks / 3), chatTick(ticks / 2) {}

    // The keys of a tick, due with the turn after it.
    void act(TurnInput& input) const {
        if (ending != Ending::PlayAgain) return;
        const int turn = TurnInput::turnAfterTick();
        if (lobbyState.isHostLobby && lockstep.currentTurn == pauseTick) {
            input.later(turn, [] { pressKey(SDLK_p); });
            input.later(turn + PAUSED_TURNS, [] { pressKey(SDLK_p); });
        }
        if (!lobbyState.isHostLobby && lockstep.currentTurn == chatTick)
            input.later(turn, [] {
                pressKey(SDLK_RETURN);
                SDL_Event e{};
                e.type = SDL_TEXTINPUT;
                std::snprintf(e.text.text, sizeof e.text.text, "%s", "well met");
                push(e);
                pressKey(SDLK_RETURN);
            });
    }

    // What this frame changed.
    void tell() {
        if (paused != wasPaused) {
            wasPaused = paused;
            say(std::string(paused ? "paused" : "resumed") + " at tick " + std::to_string(lockstep.currentTurn));
        }
        if (activityQueue.size() != feedSeen || (!activityQueue.empty() && activityQueue.back().text != lastFeed)) {
            feedSeen = activityQueue.size();
            lastFeed = activityQueue.empty() ? "" : activityQueue.back().text;
            if (lastFeed.rfind("[", 0) == 0) say("feed " + lastFeed);
            // A leave, with the reason when its peer gave one, goes to the error stream, for a person to read:
            // whether a peer that reaches its last tick first is seen to leave is a race between the processes,
            // which the lines the tests compare leave out.
            if (lastFeed.find(" left the game") != std::string::npos)
                std::fprintf(stderr, "feed %s\n", lastFeed.c_str());
        }
    }

private:
    static constexpr int PAUSED_TURNS = 30;
    int pauseTick;
    int chatTick;
    bool wasPaused = false;
    size_t feedSeen = 0;
    std::string lastFeed;
};

// Each peer gives its own workers the economy orders of the built-in game, through the pending orders as input
// does; ends the session after the given ticks and says what the lobby role became.
void playMatch(int ticks) {
    say("started " + lobbyState.currentMap);
    // The side the victory check weighs against: the same player on every peer.
    for (const auto& p : players)
        if (p->isAI) say("computer " + std::to_string(p->id) + (p->id == Player::aiId ? " is the rival" : " unknown"));
    drawMatch = DrawMatchFrame;
    DrawMatchFrame = drawNothing;
    const auto start = std::chrono::steady_clock::now();
    TurnInput input;
    Interlude interlude(ticks);
    while (lockstep.currentTurn < ticks) {
        if (gameState != GameState::Match) throw Stuck{"the match ended early"};
        if (std::chrono::steady_clock::now() - start > std::chrono::duration<double>(MATCH_LIMIT_SECONDS))
            throw Stuck{"no tick " + std::to_string(ticks) + " in time"};
        if (input.newTick()) {
            const std::vector<Command> orders = headless::economyOrders(lockstep.currentTurn, Player::myStaticId);
            input.later(TurnInput::turnAfterTick(), [orders] {
                for (const Command& c : orders) lockstep.collectCommand(c);
            });
            interlude.act(input);
        }
        // The exchange itself holds back a turn until the one before was applied.
        clockNs += TURN_NS;
        const int applied = lockstep.receiveTurn;
        const int ticked = lockstep.currentTurn;
        game_loop();
        interlude.tell();
        // Alone, once every peer has gone, the match ticks without the exchange.
        if (lockstep.receiveTurn == applied && lockstep.currentTurn == ticked) net.waitForTraffic(20);
    }
    char line[64];
    std::snprintf(line, sizeof line, "tick %d checksum %016" PRIx64, lockstep.currentTurn, worldChecksum());
    say(line);
    if (ending == Ending::AwaitResult) awaitResult();
    pendingShutdown = true;
    game_loop();
    say("ended hosting " + std::to_string(lobbyState.isHostLobby) + " connections " +
        std::to_string(net.connections.size()));
}

// The two race texts of the lobby view, drawn by the last frame.
std::size_t playersShown() { return page<LobbyViewPage>(MenuPage::LobbyViewPage).raceZones.size(); }

// The LAN page, from the main page at start-up or from wherever the end of a match left the menus.
void openLanPage() {
    if (mainMenu.current == MenuPage::MainPage) clickOn(page<MainPage>(MenuPage::MainPage).lanButton.rect);
    waitFor("LAN page", [] { return mainMenu.current == MenuPage::LANPage; });
}

void host(const std::string& password, int ticks) {
    openLanPage();
    clickOn(page<LANPage>(MenuPage::LANPage).hostGameButton.rect);
    HostPage& hostPage = page<HostPage>(MenuPage::HostPage);
    clickOn(hostPage.passwordInput.rect);
    type(password);
    clickOn(hostPage.startLobbyButton.rect);
    if (!net.listening()) throw Stuck{"no port to listen on"};
    say("hosting " + lobbyState.currentLobbyName + " (" + lobbyState.currentMap + ")");
    waitFor("second player", [] { return playersShown() == 2; });
    say("players " + std::to_string(playersShown()));
    const int guestId = otherPlayer()->id;
    const std::string joinedRace = otherPlayer()->race;
    LobbyViewPage& view = page<LobbyViewPage>(MenuPage::LobbyViewPage);
    std::size_t row = 0;
    // Another map than the first, with a base for the computer player too when it is to be added.
    const int seats = withComputer ? 3 : 2;
    while (row < view.mapNames.size() &&
           (view.mapNames[row] == lobbyState.currentMap ||
            getBasesCountFromMap(basePath + "maps/" + view.mapNames[row] + ".map") < seats))
        ++row;
    if (row == view.mapNames.size()) throw Stuck{"no second map"};
    const List& maps = view.mapList;
    click(static_cast<int>(maps.rect.x) + 10,
          static_cast<int>(maps.rect.y) + maps.itemHeight * (static_cast<int>(row) - maps.scrollOffset) +
              maps.itemHeight / 2);
    say("map " + lobbyState.currentMap);
    waitFor("race click of the guest", [&] {
        const Player* guest = getPlayerById(guestId);
        return guest && guest->race != joinedRace;
    });
    say("race " + std::to_string(guestId) + " " + getPlayerById(guestId)->race);
    if (withComputer) clickOn(view.addAIButton.rect);
    clickOn(view.startButton.rect);
    playMatch(ticks);
}

// The lobby view of a start that failed says why; Leave goes on to the LAN page.
void leaveUnstartedLobby() {
    LobbyViewPage& view = page<LobbyViewPage>(MenuPage::LobbyViewPage);
    say("notice " + view.mapNotice());
    waitFor("end of the lobby", [] { return !lobbyState.joined; });
    say("not started: " + view.mapNotice());
    clickOn(view.leaveButton.rect);
    waitFor("LAN page", [] { return mainMenu.current == MenuPage::LANPage; });
    say("left for the LAN page with " + std::to_string(players.size()) + " player and " +
        std::to_string(net.connections.size()) + " connections");
}

void join(const std::string& password, int ticks) {
    openLanPage();
    clickOn(page<LANPage>(MenuPage::LANPage).joinGameButton.rect);
    JoinPage& joinPage = page<JoinPage>(MenuPage::JoinPage);
    clickOn(joinPage.refreshButton.rect);
    waitFor("lobby listed", [] { return !lobbyState.lobbies.empty(); });
    const Lobby found = lobbyState.lobbies.front();
    say("listed " + JoinPage::rowText(found));
    click(static_cast<int>(windowSize().x * 0.5f - 200.0f) + 3, static_cast<int>(joinPage.listTop) + 3);
    type(password);
    clickOn(joinPage.joinButton.rect);
    waitFor("lobby view with two players",
            [] { return mainMenu.current == MenuPage::LobbyViewPage && playersShown() == 2; });
    say("players " + std::to_string(playersShown()));
    waitFor("map of the host", [&] { return lobbyState.currentMap != found.map; });
    say("map " + lobbyState.currentMap);
    SDL_FRect ownRace{};
    for (const LobbyViewPage::RaceZone& zone : page<LobbyViewPage>(MenuPage::LobbyViewPage).raceZones)
        if (zone.playerId == Player::myStaticId) ownRace = zone.rect;
    // The page's one race cursor is shared by every row, so a click may give the race the player had.
    const std::string joinedAs = getPlayerById(Player::myStaticId)->race;
    for (int clicks = 0; clicks < 3 && getPlayerById(Player::myStaticId)->race == joinedAs; ++clicks) clickOn(ownRace);
    say("race " + std::to_string(Player::myStaticId) + " " + getPlayerById(Player::myStaticId)->race);
    if (ending == Ending::NoMatch) return leaveUnstartedLobby();
    waitFor("start of the match", [] { return gameState == GameState::Match; });
    playMatch(ticks);
}

// The first base from which the two discovery ports and the TCP port after them are free.
int freePorts(int base) {
    for (int tries = 0; tries < PORT_TRIES; ++tries, base += 3) {
        NetworkManager first;
        NetworkManager second;
        if (first.openUdp(static_cast<uint16_t>(base)) && second.openUdp(static_cast<uint16_t>(base + 1)) &&
            first.listen(static_cast<uint16_t>(base + 2)))
            return base;
    }
    return -1;
}

int usage() {
    std::fprintf(stderr,
                 "usage: corvale_lobby_peer FOLDER host BASE_PORT PASSWORD TICKS [leave|result] [computer]  (says "
                 "the ports it took)\n"
                 "       corvale_lobby_peer FOLDER join PORTS PASSWORD TICKS [leave|result|again|nomatch]\n"
                 "after TICKS the peer leaves (the default), plays on until the result dialog, saved as result.png,\n"
                 "or leaves and plays the lobby and match once more (again); a guest without the host's map,\n"
                 "settings, mod script or content waits for its start to fail and leaves the lobby view (nomatch);\n"
                 "with computer the host adds the computer player before the start\n");
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 6 || argc > 8 || chdir(argv[1]) != 0) return usage();
    const std::string role = argv[2];
    if (role != "host" && role != "join") return usage();
    const std::string end = argc >= 7 ? argv[6] : "leave";
    if (end != "leave" && end != "result" && end != "again" && end != "nomatch") return usage();
    withComputer = argc == 8 && role == "host" && std::string(argv[7]) == "computer";
    if (argc == 8 && !withComputer) return usage();
    ending = end == "result"    ? Ending::AwaitResult
             : end == "again"   ? Ending::PlayAgain
             : end == "nomatch" ? Ending::NoMatch
                                : Ending::Leave;
    int ports = std::atoi(argv[3]);
    if (role == "host") ports = freePorts(ports);
    if (ports <= 0) return usage();
    if (role == "host") say("ports " + std::to_string(ports));
    netBroadcastAddress = "127.0.0.1";
    netUdpPorts[0] = static_cast<uint16_t>(ports);
    netUdpPorts[1] = static_cast<uint16_t>(ports + 1);
    netTcpPort = static_cast<uint16_t>(ports + 2);
    if (!startUp(argv[0])) return 1;
    frameClock = FrameClock{clockCounter, clockFrequency, clockSleep};
    int result = 0;
    try {
        (role == "host" ? host : join)(argv[4], std::atoi(argv[5]));
        if (ending == Ending::PlayAgain) (role == "host" ? host : join)(argv[4], std::atoi(argv[5]));
    } catch (const Stuck& t) {
        std::fprintf(stderr, "corvale_lobby_peer %s: %s\n", role.c_str(), t.what.c_str());
        result = 1;
    }
    shutDown();
    return result;
}
