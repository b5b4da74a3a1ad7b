// The single-unit panel of an Extraction mission and god mode's spawn palettes, drawn and read back.
#include <algorithm>

#include "config.h"
#include "extraction_items.h"
#include "game_state.h"
#include "hud_scene.h"
#include "player.h"
#include "sprites.h"

namespace {

using namespace hud_scene;

constexpr SDL_Color RED{200, 30, 30, 255};
constexpr SDL_Color GREEN{30, 200, 30, 255};
constexpr SDL_Color OUTLINE{100, 100, 100, 255};
constexpr int LOCAL = 7;
constexpr int COMPUTER = 8;

struct UnitColumn : SceneTest {
    float y0 = 0.0f;

    void SetUp() override {
        SceneTest::SetUp();
        if (IsSkipped()) return;
        reset_game_state();
        GOD_MODE = FOG = false;
        y0 = 720.0f - HUD_SIZE + 10.0f;
        Player::myStaticId = LOCAL;
        Player::aiId = COMPUTER;
        players.push_back(std::make_unique<Player>(LOCAL, "Joes", "human", false));
        unitSprites["HudGrunt"].portrait = solid(RED);
        unitInfo["HudGrunt"].type = "HudGrunt";
        item_sprites["HudPod"] = ItemSpriteMeta{};
        item_sprites["HudPod"].texture = solid(GREEN);
        item_sprites["HudPod"].frameWidth = item_sprites["HudPod"].frameHeight = 1;
        item_sprites["HudRelic"] = ItemSpriteMeta{};  // known, without a picture
    }
    void TearDown() override {
        unitSprites.erase("HudGrunt");
        unitInfo.erase("HudGrunt");
        item_sprites.erase("HudPod");
        item_sprites.erase("HudRelic");
        mode = GameMode::Skirmish;
        GOD_MODE = false;
        clearMatchItems();
        SceneTest::TearDown();
    }

    static int selectGrunt(int id) {
        Unit u;
        u.id = id;
        u.type = "HudGrunt";
        u.playerId = LOCAL;
        u.nickname = "Vexa";
        u.level = 3;
        u.experience = 420;
        addUnit(u);
        clearUnitSelection();
        addToSelection(id);
        return id;
    }
    static int item(const std::string& type) {
        const int id = itemID++;
        items_map[id] = Item{id, type, 0.0f, 0.0f, false, -1};
        items.push_back(id);
        return id;
    }
    static void frame() {
        SDL_SetRenderDrawColor(renderer, 0, 0, 0, 255);
        SDL_RenderClear(renderer);
        drawHUD();
    }
    SDL_FRect slot(int i) const {
        return {530.0f + 45.0f * static_cast<float>(i % 3), y0 + 45.0f * static_cast<float>(i / 3), 40.0f, 40.0f};
    }
    static SDL_Color middle(const SDL_FRect& r) {
        return pixel(static_cast<int>(r.x + r.w / 2), static_cast<int>(r.y + r.h / 2));
    }
    // Bright pixels in a band of the figures column, where text is written.
    int textPixels(float top, float height) const {
        int lit = 0;
        for (int y = static_cast<int>(top); y < static_cast<int>(top + height); ++y)
            for (int x = 410; x < 525; ++x) lit += pixel(x, y).r > 180 && pixel(x, y).g > 180 ? 1 : 0;
        return lit;
    }
};

// Four carried items, three to a row: a pictured one, one without a picture, one whose id no longer exists and a
// second pictured one; each slot is filled and outlined, and only the pictured show their picture.
TEST_F(UnitColumn, AnExtractionUnitShowsItsNameLevelExperienceAndEachCarriedItemInASlot) {
    const int grunt = selectGrunt(100);
    unit_items[grunt] = {item("HudPod"), item("HudRelic"), 999, item("HudPod")};
    mode = GameMode::Extraction;
    frame();
    ASSERT_TRUE(scene::savePng(screenshotFolder(), "hud_extraction_column.png"));

    const struct {
        int slot;
        bool pictured;
    } slots[] = {{0, true}, {1, false}, {2, false}, {3, true}};
    for (const auto& s : slots) {
        const SDL_FRect r = slot(s.slot);
        EXPECT_EQ(same(middle(r), GREEN), s.pictured) << "slot " << s.slot;
        EXPECT_TRUE(same(pixel(static_cast<int>(r.x), static_cast<int>(r.y + 20)), OUTLINE)) << "slot " << s.slot;
        EXPECT_TRUE(same(pixel(static_cast<int>(r.x + 39), static_cast<int>(r.y + 39)), OUTLINE)) << "slot " << s.slot;
    }
    EXPECT_FALSE(same(pixel(static_cast<int>(slot(4).x), static_cast<int>(slot(4).y + 20)), OUTLINE))
        << "no fifth slot";
    for (const float row : {90.0f, 105.0f, 120.0f})
        EXPECT_GT(textPixels(y0 + row, 12.0f), 20) << "the figure at y0 + " << row;
    EXPECT_EQ(unit_items.at(grunt).size(), 4u);
}

TEST_F(UnitColumn, TheExtractionColumnIsDrawnOnlyInAMissionAndDrawingAddsNoCarriedList) {
    const struct {
        const char* name;
        GameMode mode;
        bool carries;
        bool column;
    } cases[] = {
        {"a skirmish", GameMode::Skirmish, true, false},
        {"a replay", GameMode::Replay, true, false},
        {"a mission, carrying", GameMode::Extraction, true, true},
        {"a mission, carrying nothing", GameMode::Extraction, false, true},
    };
    int id = 200;
    for (const auto& c : cases) {
        const int grunt = selectGrunt(++id);
        if (c.carries) unit_items[grunt] = {item("HudPod")};
        mode = c.mode;
        frame();
        EXPECT_EQ(same(middle(slot(0)), GREEN), c.column && c.carries) << c.name;
        EXPECT_EQ(same(pixel(static_cast<int>(slot(0).x), static_cast<int>(slot(0).y + 20)), OUTLINE),
                  c.column && c.carries)
            << c.name;
        EXPECT_EQ(textPixels(y0 + 90.0f, 42.0f) > 60, c.column) << c.name;
        EXPECT_EQ(unit_items.count(grunt), c.carries ? 1u : 0u) << c.name << ": the frame changed what is carried";
    }
}

// God mode lays out every pictured unit type twice, in columns of ten: the local player's on the left and the
// computer's on the right; without it, a frame leaves nothing to press.
TEST_F(UnitColumn, TheSpawnPalettesListEveryTypeForBothSidesOnlyInGodMode) {
    GOD_MODE = true;
    frame();
    std::vector<std::string> types;
    for (const auto& [type, meta] : unitSprites) types.push_back(type);
    std::sort(types.begin(), types.end());
    ASSERT_EQ(hudSpawnUnitsButtons.size(), 2 * types.size());
    const auto grunt = static_cast<int>(std::find(types.begin(), types.end(), "HudGrunt") - types.begin());
    const struct {
        const char* name;
        size_t first;
        float left;
        int owner;
    } palettes[] = {{"local", 0, 20.0f, LOCAL}, {"computer", types.size(), 1280.0f - 140.0f, COMPUTER}};
    for (const auto& p : palettes) {
        for (size_t i = 0; i < types.size(); ++i) {
            const HudSpawnUnitsButton& b = hudSpawnUnitsButtons[p.first + i];
            EXPECT_EQ(b.unitType, types[i]) << p.name;
            EXPECT_EQ(b.playerId, p.owner) << p.name;
            EXPECT_FLOAT_EQ(b.rect.x, p.left + 40.0f * static_cast<float>(i / 10)) << p.name << " " << i;
            EXPECT_FLOAT_EQ(b.rect.y, 100.0f + 40.0f * static_cast<float>(i % 10)) << p.name << " " << i;
        }
        const SDL_FRect& r = hudSpawnUnitsButtons[p.first + static_cast<size_t>(grunt)].rect;
        EXPECT_TRUE(same(middle(r), RED)) << p.name;
    }
    ASSERT_TRUE(scene::savePng(screenshotFolder(), "hud_spawn_palettes.png"));

    GOD_MODE = false;
    const SDL_FRect r = hudSpawnUnitsButtons[static_cast<size_t>(grunt)].rect;
    frame();
    EXPECT_TRUE(hudSpawnUnitsButtons.empty());
    EXPECT_FALSE(same(middle(r), RED));
}

}  // namespace
