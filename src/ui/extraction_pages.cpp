// The Extraction menu pages: the campaign hub, the new campaign, the mission map, the roster picker and the tech tree.
#include "ui/extraction_pages.h"

#include <filesystem>
#include <iostream>
#include <memory>

#include "extraction_campaign.h"
#include "extraction_missions.h"
#include "extraction_roster.h"
#include "game_state.h"
#include "map_preview.h"
#include "player.h"
#include "sdl_text.h"
#include "tech_tree.h"
#include "ui/extraction_roster_lists.h"
#include "units.h"

using namespace menu_layout;

namespace {

constexpr SDL_Color GREY{235, 235, 235, 255};
constexpr SDL_Color HIGHLIGHT{255, 255, 100, 255};
constexpr SDL_Color DIALOG_BACKGROUND{10, 10, 10, 240};
constexpr SDL_Color DIALOG_BORDER{160, 110, 40, 255};
constexpr SDL_Color SIGNAL_RED{150, 50, 50, 255};

Button buttonAt(const std::string& label, float x, float y, SDL_Color normal, SDL_Color hover,
                std::function<void()> onClick) {
    Button b(SDL_FRect{x, y, BUTTON_W, BUTTON_H}, label, std::move(onClick), BUTTON_FONT);
    b.normal = normal;
    b.hover = hover;
    return b;
}

void drawCentred(const std::string& text, float y, int size, SDL_Color colour = whiteColor) {
    DrawText(text, static_cast<int>(windowSize().x * 0.5f), static_cast<int>(y), colour, size, true);
}

}  // namespace

// ---- Hub ----

void ExtractionPage::init() {
    howToPlay = Modal(0.0f, 0.0f, 850.0f, 670.0f, DIALOG_BACKGROUND, DIALOG_BORDER);
    selected_campaign_index = -1;
    noUnitsLine.clear();
    campaignList = List(100.0f, 250.0f, 300.0f, 300.0f, 16);
    campaignList.onSelect = [this](int row, const std::string&) { selectCampaign(row); };
    campaignList.setItems(refresh_extraction_campaigns_list());
    // No row is lit while no campaign is chosen: Continue opens the lit row and shows only once there is one.
    campaignList.selected = -1;
    newButton = columnButton("New Campaign", 280.0f, SECONDARY_COLOUR, SECONDARY_HOVER, goTo(menu, MenuPage::ExtractionNewCampaignPage));
    continueButton = columnButton("Continue Campaign", 340.0f, PRIMARY_COLOUR, PRIMARY_HOVER, [this] { continueCampaign(); });
    howToPlayButton = columnButton("How to play", 400.0f, {30, 60, 35, 255}, {40, 80, 40, 255}, [this] {
        init_how_to_play_extraction_modal();
        howToPlay.show();
    });
    backButton = columnButton("Back", 460.0f, BACK_COLOUR, BACK_HOVER, goTo(menu, MenuPage::MainPage));
}

// What the hub says of a campaign before it is opened; empty when there is nothing to say.
static std::string campaignWarning(const CampaignHeader& header) {
    const std::optional<int> living = livingUnitsIn(header.fileName);
    if (!living) return header.fileName + " cannot be read: the campaign file is missing or damaged.";
    if (*living == 0) return header.name + " has no units left to deploy.";
    return {};
}

void ExtractionPage::selectCampaign(int row) {
    selected_campaign_index = row;
    noUnitsLine.clear();
    if (row < 0 || static_cast<size_t>(row) >= extraction_campaigns.size()) return;
    noUnitsLine = campaignWarning(extraction_campaigns[static_cast<size_t>(row)]);
}

void ExtractionPage::continueCampaign() {
    if (selected_campaign_index < 0 || static_cast<size_t>(selected_campaign_index) >= extraction_campaigns.size())
        return;
    const CampaignHeader header = extraction_campaigns[static_cast<size_t>(selected_campaign_index)];
    // Opened, a file that cannot be read would show as a campaign emptied of everything it held.
    if (!livingUnitsIn(header.fileName)) {
        noUnitsLine = campaignWarning(header);
        return;
    }
    extraction_filename = header.fileName;
    openCampaignInRosterLists(extraction_filename);
    generate_mission_options();
    menu->switch_to_page(MenuPage::ExtractionMapPickerPage);
}

namespace {

struct GuideLine {
    float y;  // below the guide's top edge
    int size;
    const char* text;
};

constexpr GuideLine GUIDE[] = {
    {30, 22, "HOW TO PLAY: EXTRACTION"},
    {80, 16, "1. SELECT YOUR CAMPAIGN"},
    {120, 16, "2. CHOOSE THE THEATER OF WAR"},
    {148, 14, "    - Select a map. Each map features a distinct gameplay mode:"},
    {176, 14, "        - [SURVIVAL] Hold your ground against incoming enemy waves."},
    {204, 14, "        - [ELIMINATION] Seek out and purge all hostile forces on the map."},
    {232, 14, "        - [SKIRMISH] Standard RTS operations. Defend your base and destroy the enemy base."},
    {272, 16, "3. PICK YOUR ROSTER"},
    {300, 14, "    - Hand-pick your squad from your active ship roster before deployment."},
    {340, 16, "4. DEPLOY YOUR ROSTER"},
    {368, 14, "    - Level up your units by killing enemy units on the map. "},
    {396, 14, "    - Each kill, level and experience of your units is saved once extracted successfully."},
    {424, 14, "    - Build the best possible squad because the enemies get stronger as you climb the levels."},
    {464, 16, "5. COMPLETE THE OBJECTIVE & EXTRACT"},
    {492, 14, "   Execute mission objective and go to the designated extraction zone."},
    {520, 14, "   CRITICAL: Any units left behind when the ship leaves are LOST FOREVER."},
    {560, 16, "6. REACH THE HIGHEST LEVEL OF EXTRACTION"},
};

}  // namespace

void ExtractionPage::init_how_to_play_extraction_modal() {
    howToPlay.clear();
    howToPlay.centerOnScreen(0.0f, 0.0f);
    howToPlay.show();
    const SDL_FRect r = howToPlay.rect;
    for (const GuideLine& line : GUIDE) howToPlay.add<Label>(line.text, r.x + 30.0f, r.y + line.y, line.size);
    Button* close = howToPlay.add<Button>(SDL_FRect{r.x + r.w - 230.0f, r.y + r.h - 60.0f, 200.0f, 30.0f}, "Close",
                                          [this] {
                                              SDL_Log("Closing Guide Modal.");
                                              howToPlay.hide();
                                          },
                                          16);
    close->normal = BACK_COLOUR;
    close->hover = BACK_HOVER;
}

void ExtractionPage::handleEvent(const SDL_Event& e) {
    if (howToPlay.handleEvent(e)) return;
    newButton.handleEvent(e);
    if (selected_campaign_index >= 0) continueButton.handleEvent(e);
    howToPlayButton.handleEvent(e);
    backButton.handleEvent(e);
    campaignList.handleEvent(e);
}

void ExtractionPage::draw() {
    drawCentred("Extraction", 170.0f, 22);
    newButton.draw();
    campaignList.draw();
    if (!noUnitsLine.empty())
        DrawText(noUnitsLine, 100, 560, REFUSAL_COLOUR, 16, false);
    if (selected_campaign_index >= 0) continueButton.draw();
    howToPlayButton.draw();
    backButton.draw();
    howToPlay.draw();
}

// ---- New campaign ----

namespace {

// The "Hardcore" label and its box stand centred together, the box 4 pixels right of the label.
float hardcoreLabelX() {
    const float w = static_cast<float>(TextWidth("Hardcore", 14));
    return windowSize().x * 0.5f - (w + 26.0f) * 0.5f;
}

// Names that differ only in case or punctuation give one file name; a new campaign takes the next free suffix
// rather than the file of a campaign kept there. The placeholder the suffix search makes goes if the save fails.
std::string freeCampaignFile(const std::string& wanted, bool& placeholder) {
    std::error_code ignored;
    std::filesystem::create_directories(extractionSaveFolder, ignored);
    placeholder = std::filesystem::exists(extractionSaveFolder + wanted, ignored);
    return placeholder ? Utils::createUniqueFile(extractionSaveFolder, wanted) : wanted;
}

// The longest campaign file name: the folder's limit of 255 bytes keeps room for a "_9999" suffix and ".tmp".
constexpr std::size_t MAX_CAMPAIGN_FILE_NAME = 255 - 5 - 4;

// Why a name cannot be a campaign file; empty when it can.
std::string campaignNameRefusal(const std::string& name) {
    const std::string file = Utils::sanitizeFilename(name);
    // Without a letter, digit or "_" the file would lack the extension the hub lists: a campaign never seen again.
    if (std::filesystem::path(file).extension() != ".bin") return "Type a name with a letter or a digit.";
    if (file.size() > MAX_CAMPAIGN_FILE_NAME || name.size() > MAX_CAMPAIGN_STRING)
        return "This name is too long for a campaign file.";
    return {};
}

// A new campaign starts clean: no cryopods and no tech carried over from a campaign opened before.
bool saveNewCampaign(const std::string& file, const std::string& name, bool hardcoreFlag) {
    std::vector<UnitSaveData> units;
    for (int i = 0; i < 3; ++i) units.push_back({"Scavenger", getRandomNickname(), 1, 1, 0, true});
    global_cryppod_count = 0;
    for (Tech& tech : techTree) tech.unlocked = false;
    return save_roster(file, name, hardcoreFlag, 1, units, 5, 0);
}

}  // namespace

void ExtractionNewCampaignPage::init() {
    const float cx = windowSize().x * 0.5f;
    // The field comes back empty, and so does the name Start uses: a campaign is named by what the field shows.
    campaignName.clear();
    refusalLine.clear();
    const float fieldY = 270.0f + static_cast<float>(TextHeight("Campaign Name", 16));
    nameInput = TextInput(SDL_FRect{cx - 150.0f, fieldY, 300.0f, 35.0f});
    nameInput.onChange = [this](std::string text) {
        campaignName = std::move(text);
        refusalLine.clear();
    };
    const float boxX = hardcoreLabelX() + static_cast<float>(TextWidth("Hardcore", 14)) + 4.0f;
    hardcoreBox = Checkbox(SDL_FRect{boxX, 350.0f, 22.0f, 22.0f}, hardcore);
    startButton = columnButton("Start", 440.0f, PRIMARY_COLOUR, PRIMARY_HOVER, [this] { start(); });
    backButton = columnButton("Back", 500.0f, BACK_COLOUR, BACK_HOVER, goTo(menu, MenuPage::ExtractionPage));
    // A Return in any field, this one or the save dialog of a match, stops the window's typing.
    SDL_StartTextInput();
}

// A refused name or a failed save leaves a line on the page, no file and the campaign opened before.
void ExtractionNewCampaignPage::start() {
    refusalLine = campaignNameRefusal(campaignName);
    if (!refusalLine.empty()) return;
    bool placeholder = false;
    const std::string file = freeCampaignFile(Utils::sanitizeFilename(campaignName), placeholder);
    if (file.empty() || !saveNewCampaign(file, campaignName, hardcoreBox.checked)) {
        std::error_code ignored;
        if (placeholder && !file.empty()) std::filesystem::remove(extractionSaveFolder + file, ignored);
        refusalLine = "The campaign could not be saved.";
        return;
    }
    extraction_filename = file;
    openCampaignInRosterLists(file);
    generate_mission_options();
    refresh_extraction_campaigns_list();
    menu->switch_to_page(MenuPage::ExtractionMapPickerPage);
}

void ExtractionNewCampaignPage::handleEvent(const SDL_Event& e) {
    if (isLeftPress(e) && pointInRect(nameInput.rect, static_cast<float>(e.button.x), static_cast<float>(e.button.y)))
        SDL_StartTextInput();
    nameInput.handleEvent(e);
    hardcoreBox.handleEvent(e);
    startButton.handleEvent(e);
    backButton.handleEvent(e);
}

void ExtractionNewCampaignPage::draw() {
    const float cx = windowSize().x * 0.5f;
    drawCentred("New Campaign", 200.0f, 20);
    DrawText("Campaign Name", static_cast<int>(cx - 150.0f), 260, whiteColor, 16, false);
    nameInput.draw();
    DrawText("Hardcore", static_cast<int>(hardcoreLabelX()), 350, whiteColor, 14, false);
    hardcoreBox.draw();
    if (!refusalLine.empty()) drawCentred(refusalLine, 395.0f, 16, REFUSAL_COLOUR);
    startButton.draw();
    backButton.draw();
}

// ---- Mission map ----

static float nodeX(size_t i) { return windowSize().x * 0.5f + (static_cast<float>(i) - 1.5f) * 200.0f; }

ExtractionMapPickerPage::~ExtractionMapPickerPage() {
    for (const auto& [map, texture] : previews)
        if (texture) SDL_DestroyTexture(texture);
    previews.clear();
    std::cout << "Cleared map preview graphics memory pool cleanly.\n";
}

// The map's bitmap beside its map file; a map without one, or with one that is no preview, keeps no entry and is
// drawn as a dark box.
void ExtractionMapPickerPage::cachePreview(const std::string& map) {
    if (!Utils::isPlainFileName(map)) return;
    const std::string path = basePath + "maps/" + map + ".bmp";
    std::cout << "mapName " << map << "\n";
    SDL_Surface* surface = loadMapPreview(path);
    if (!surface) {
        std::cout << "Failed to load preview for: " << map << " from " << path << "\n";
        return;
    }
    SDL_Texture* texture = SDL_CreateTextureFromSurface(renderer, surface);
    SDL_FreeSurface(surface);
    if (!texture) return;
    SDL_Texture*& slot = previews[map];
    if (slot) SDL_DestroyTexture(slot);
    slot = texture;
    std::cout << "Successfully cached menu preview for: " << map << "\n";
}

void ExtractionMapPickerPage::init() {
    const float cx = windowSize().x * 0.5f;
    for (const ExtractionNode& node : extraction_options)
        if (!node.name.empty() && node.name != "UNKNOWN") cachePreview(node.map);
    selectButton = buttonAt("Select Map", cx - 125.0f, 605.0f, PRIMARY_COLOUR, PRIMARY_HOVER,
                            goTo(menu, MenuPage::ExtractionRosterPickerPage));
    techButton = buttonAt("Tech Research", 20.0f, 605.0f, SECONDARY_COLOUR, SECONDARY_HOVER, goTo(menu, MenuPage::ExtractionTechTreePage));
    backButton = columnButton("Back", 665.0f, BACK_COLOUR, BACK_HOVER, goTo(menu, MenuPage::ExtractionPage));
}

void ExtractionMapPickerPage::handleEvent(const SDL_Event& e) {
    if (e.type == SDL_MOUSEMOTION || e.type == SDL_MOUSEBUTTONDOWN) {
        const float x = static_cast<float>(e.type == SDL_MOUSEMOTION ? e.motion.x : e.button.x);
        const float y = static_cast<float>(e.type == SDL_MOUSEMOTION ? e.motion.y : e.button.y);
        int hit = -1;
        for (size_t i = 0; i < extraction_options.size(); ++i) {
            extraction_options[i].hovered = pointInRect(extraction_options[i].card, x, y);
            if (extraction_options[i].hovered && hit < 0) hit = static_cast<int>(i);
        }
        if (isLeftPress(e) && hit >= 0) deploymentSelectedMapId = hit;
    }
    selectButton.handleEvent(e);
    techButton.handleEvent(e);
    backButton.handleEvent(e);
}

static void drawLinks(float x, float cx, SDL_Color colour) {
    fillRect({std::min(x, cx), 498.0f, std::abs(x - cx), 4.0f}, colour);
    fillRect({x - 2.0f, 350.0f, 4.0f, 150.0f}, colour);
}

void ExtractionMapPickerPage::drawNode(size_t i, float x) {
    ExtractionNode& node = extraction_options[i];
    const float s = node.hovered ? 25.0f : 20.0f;
    node.card = {x - s, 350.0f - s, 2.0f * s, 2.0f * s};
    const SDL_FRect box{x - 60.0f, 90.0f, 120.0f, 120.0f};
    const int tx = static_cast<int>(x - 50.0f);
    const bool lit = node.hovered || deploymentSelectedMapId == static_cast<int>(i);
    // The fourth offer is a signal not yet read: whatever it holds stays hidden.
    if (i == 3) {
        fillRect(box, {40, 20, 20, 255});
        outlineRect(box, SIGNAL_RED);
        DrawText("UNKNOWN SIGNAL", tx, 230, {255, 100, 100, 255}, 18, false);
        constexpr SDL_Color unknown{200, 200, 200, 255};
        DrawText("TYPE: ???", tx, 260, unknown, 12, false);
        DrawText("THREAT: ???", tx, 280, unknown, 12, false);
        DrawText("SIZE: ???", tx, 300, unknown, 12, false);
        drawDiamond(renderer, x, 350.0f, s, lit ? HIGHLIGHT : SIGNAL_RED);
        return;
    }
    const auto preview = previews.find(node.map);
    if (preview != previews.end() && preview->second)
        SDL_RenderCopyF(renderer, preview->second, nullptr, &box);
    else
        fillRect(box, {20, 20, 24, 255});
    outlineRect(box, lit ? HIGHLIGHT : GREY);
    const char* type = node.type == 0 ? "SURVIVAl" : node.type == 1 ? "ELIMINATION" : "UnknownExtractionType";
    DrawText(node.name, tx, 230, whiteColor, 18, false);
    DrawText(type, tx, 260, whiteColor, 12, false);
    DrawText(get_difficulty_label(static_cast<float>(node.danger)), tx, 280, whiteColor, 12, false);
    DrawText(get_map_size_label(node.mapWidth, node.mapHeight) + " (" + std::to_string(node.mapWidth) + "x " +
                 std::to_string(node.mapHeight) + ")",
             tx, 300, whiteColor, 12, false);
    drawDiamond(renderer, x, 350.0f, s, lit ? HIGHLIGHT : PRIMARY_COLOUR);
}

void ExtractionMapPickerPage::draw() {
    const float cx = windowSize().x * 0.5f;
    fillRect({cx - 2.0f, 498.0f, 4.0f, 50.0f}, GREY);
    for (size_t i = 0; i < extraction_options.size(); ++i) drawLinks(nodeX(i), cx, GREY);
    int lit = deploymentSelectedMapId;
    for (size_t i = 0; i < extraction_options.size(); ++i)
        if (extraction_options[i].hovered) {
            lit = static_cast<int>(i);
            break;
        }
    if (lit >= 0) {
        fillRect({cx - 2.0f, 498.0f, 4.0f, 50.0f}, HIGHLIGHT);
        drawLinks(nodeX(static_cast<size_t>(lit)), cx, HIGHLIGHT);
    }
    drawDiamond(renderer, cx, 550.0f, 15.0f, {200, 200, 255, 255});
    DrawText("Vessel", static_cast<int>(cx - 30.0f), 575, whiteColor, 16, false);
    for (size_t i = 0; i < extraction_options.size(); ++i) drawNode(i, nodeX(i));
    selectButton.draw();
    techButton.draw();
    backButton.draw();
}

// ---- Roster picker ----

bool deployChosenMission() {
    const ExtractionNode* node = chosenExtractionNode();
    if (!node) return false;
    const std::optional<Extraction> map = loadExtraction(node->path);
    if (!map) return false;
    currentExtraction = *map;
    // A deployment after a Back replaces the computer player made before.
    players.erase(std::remove_if(players.begin(), players.end(),
                                 [](const std::unique_ptr<Player>& p) { return p->id == Player::aiId; }),
                  players.end());
    auto ai = std::make_unique<Player>(Player::aiId, "AI", node->enemyRace, true);
    ai->teamPalette = teamIds++;
    playerToTeamPalette[ai->id] = 1;
    players.push_back(std::move(ai));
    currentMap = currentExtraction.map;
    mode = GameMode::Extraction;
    return true;
}

void ExtractionRosterPickerPage::init() {
    const float cx = windowSize().x * 0.5f;
    levelLine = "Level " + std::to_string(global_extraction_level);
    manPowerLine = "Manpower " + std::to_string(global_man_power);
    cryopodLine = "Cryopods " + std::to_string(global_cryppod_count);
    buildRosterWidgets();
    refreshRosterList();
    // A dialog left open names a row of the roster as it was; the roster may have been reopened since.
    closeUnitDetails();
    refusalLine.clear();
    deployButton = buttonAt("Deploy", cx - 125.0f, 605.0f, PRIMARY_COLOUR, PRIMARY_HOVER, [this] { deploy(); });
    backButton = buttonAt("Back", cx - 125.0f, 665.0f, BACK_COLOUR, BACK_HOVER, [this] {
        resetExtractionData();
        initExtractionData(extraction_filename);
        refreshRosterList();
        generate_mission_options();
        menu->switch_to_page(MenuPage::ExtractionMapPickerPage);
    });
}

// The first deployed unit of a type the catalogue lacks: it could not be placed, and the extraction that ends the
// mission would then drop it from the campaign. Null when every unit can be placed.
static const UnitSaveData* unplaceableDeployedUnit() {
    for (const UnitSaveData& unit : activeDeploymentRoster)
        if (!getUnitInfo(unit.type)) return &unit;
    return nullptr;
}

// A mission without units cannot be played, and its end would lock the campaign, so it never starts.
void ExtractionRosterPickerPage::deploy() {
    if (activeDeploymentRoster.empty()) {
        refusalLine = "Add at least one unit to the deployment roster.";
        return;
    }
    if (const UnitSaveData* unit = unplaceableDeployedUnit()) {
        refusalLine = unit->nickname + " is of a type this game does not know (" + unit->type + "): dismiss it.";
        return;
    }
    if (!deployChosenMission()) {
        std::cerr << "Deploy refused: no mission chosen\n";
        refusalLine = "Choose a mission first.";
        return;
    }
    refusalLine.clear();
    menu->switch_to_page(MenuPage::LoadingPage);
}

void ExtractionRosterPickerPage::handleEvent(const SDL_Event& e) {
    if (!(unit_detail_modal.isVisible() && unit_detail_modal.handleEvent(e))) handlePageEvent(e);
    // A revival in the dialog spends a pod: the line shows the count the campaign now holds.
    cryopodLine = "Cryopods " + std::to_string(global_cryppod_count);
}

void ExtractionRosterPickerPage::handlePageEvent(const SDL_Event& e) {
    const std::size_t deployed = activeDeploymentRoster.size();
    for (UIElement* widget : std::initializer_list<UIElement*>{shipRosterList, shipRosterListButton,
                                                               deploymentRosterList, deploymentRosterListButton})
        if (widget) widget->handleEvent(e);
    // A refusal speaks of the roster as it was; once the player changes it, the line has said its piece.
    if (activeDeploymentRoster.size() != deployed) refusalLine.clear();
    deployButton.handleEvent(e);
    backButton.handleEvent(e);
}

void ExtractionRosterPickerPage::draw() {
    const float w = windowSize().x;
    drawCentred("Deployment", 200.0f, 22);
    drawCentred(levelLine, 230.0f, 16);
    DrawText("Ships roster", 200, 220, whiteColor, 16, false);
    DrawText("Deployment roster", static_cast<int>(w - 330.0f), 220, whiteColor, 16, false);
    DrawText(manPowerLine, 100, 650, whiteColor, 16, false);
    DrawText(cryopodLine, 100, 680, whiteColor, 16, false);
    for (UIElement* widget : std::initializer_list<UIElement*>{shipRosterList, shipRosterListButton,
                                                               deploymentRosterList, deploymentRosterListButton})
        if (widget) widget->draw();
    if (!refusalLine.empty()) drawCentred(refusalLine, 570.0f, 16, REFUSAL_COLOUR);
    deployButton.draw();
    backButton.draw();
    if (unit_detail_modal.isVisible()) unit_detail_modal.draw();
}

// ---- Tech tree ----

bool techShown(const Tech& tech) { return !(hardcore && tech.name == "DNA cloning"); }

TechPurchase buyTechAt(float x, float y) {
    const float s = ExtractionTechTreePage::NODE_SIZE;
    for (Tech& tech : techTree) {
        if (!techShown(tech) || tech.unlocked || tech.cost > tech_points) continue;
        if (!pointInRect({tech.x, tech.y, s, s}, x, y)) continue;
        tech.unlocked = true;
        tech_points -= tech.cost;
        if (save_roster(extraction_filename, extraction_name, hardcore, global_extraction_level, shipRoster,
                        global_man_power, tech_points))
            return TechPurchase::Bought;
        // Shown as researched, it would be gone after a restart: what the file cannot keep is not bought.
        tech.unlocked = false;
        tech_points += tech.cost;
        return TechPurchase::NotSaved;
    }
    return TechPurchase::NoNode;
}

void ExtractionTechTreePage::init() {
    failureLine.clear();
    backButton = columnButton("Back", 665.0f, BACK_COLOUR, BACK_HOVER, [this] {
        generate_mission_options();
        menu->switch_to_page(MenuPage::ExtractionMapPickerPage);
    });
}

void ExtractionTechTreePage::handleEvent(const SDL_Event& e) {
    backButton.handleEvent(e);
    if (!isLeftPress(e)) return;
    const TechPurchase purchase = buyTechAt(static_cast<float>(e.button.x), static_cast<float>(e.button.y));
    // A press that bought nothing would otherwise look like a click beside the node.
    if (purchase == TechPurchase::NotSaved) failureLine = "The campaign could not be saved: nothing was bought.";
    if (purchase == TechPurchase::Bought) failureLine.clear();
}

void ExtractionTechTreePage::draw() {
    const float left = windowSize().x * 0.5f - 120.0f;
    DrawText("RESEARCH & DEVELOPMENT", static_cast<int>(left), 220, whiteColor, 20, false);
    DrawText("AVAILABLE TECH POINTS: " + std::to_string(tech_points), static_cast<int>(left), 270, whiteColor, 16,
             false);
    // Above Back, clear of the rows of nodes.
    if (!failureLine.empty()) drawCentred(failureLine, 630.0f, 16, REFUSAL_COLOUR);
    backButton.draw();
    int mx = 0;
    int my = 0;
    SDL_GetMouseState(&mx, &my);
    const float s = NODE_SIZE;
    for (const Tech& tech : techTree) {
        if (!techShown(tech)) continue;
        const bool hovered = pointInRect({tech.x, tech.y, s, s}, static_cast<float>(mx), static_cast<float>(my));
        const SDL_Color colour = tech.unlocked             ? SDL_Color{50, 200, 50, 255}
                                 : tech.cost > tech_points ? SDL_Color{150, 50, 50, 255}
                                 : hovered                 ? SDL_Color{255, 255, 100, 255}
                                                           : SDL_Color{35, 35, 35, 255};
        fillRect({tech.x + 2.0f, tech.y + 2.0f, s - 4.0f, s - 4.0f}, {20, 20, 20, 255});
        if (tech.texture) {
            const Uint8 shade = tech.unlocked ? 255 : 100;
            SDL_SetTextureColorMod(tech.texture, shade, shade, shade);
            const SDL_FRect icon{tech.x + 8.0f, tech.y + 8.0f, s - 16.0f, s - 16.0f};
            SDL_RenderCopyF(renderer, tech.texture, nullptr, &icon);
        }
        outlineRect({tech.x, tech.y, s, s}, colour);
        DrawText(tech.name, static_cast<int>(tech.x), static_cast<int>(tech.y + s + 10.0f), whiteColor, 14, false);
        DrawText(tech.unlocked ? "RESEARCHED" : "COST: " + std::to_string(tech.cost), static_cast<int>(tech.x),
                 static_cast<int>(tech.y + s + 30.0f), colour, 12, false);
    }
}
