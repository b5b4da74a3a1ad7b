// The preview pictures the build draws beside every map, the one reader that takes them, and the star map that
// shows them.
#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include "draw_fixture.h"
#include "extraction_missions.h"
#include "game_state.h"
#include "map_preview.h"
#include "sdl_events.h"
#include "test_files.h"
#include "ui/extraction_pages.h"

namespace {

const std::filesystem::path MAPS = std::filesystem::path(CORVALE_SOURCE_DIR) / "maps";
constexpr SDL_Color EMPTY_BOX{20, 20, 24, 255};

std::vector<std::string> shippedMaps() {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(MAPS))
        if (entry.path().extension() == ".map") names.push_back(entry.path().stem().string());
    return names;
}

TEST(ShippedMapPreviews, EveryMapHasAFullSizePictureOfItselfBesideItAndNoHalfWrittenFile) {
    const std::vector<std::string> maps = shippedMaps();
    ASSERT_GE(maps.size(), 7u);
    for (const std::string& name : maps) {
        SDL_Surface* picture = SDL_LoadBMP((MAPS / (name + ".bmp")).c_str());
        ASSERT_NE(picture, nullptr) << name << ": " << SDL_GetError();
        EXPECT_EQ(picture->w, 1024) << name;
        EXPECT_EQ(picture->h, 1024) << name;
        SDL_Color centre{};
        SDL_Surface* rgba = SDL_ConvertSurfaceFormat(picture, SDL_PIXELFORMAT_RGBA32, 0);
        const auto* row = static_cast<const uint8_t*>(rgba->pixels) + 512 * rgba->pitch;
        centre = {row[512 * 4], row[512 * 4 + 1], row[512 * 4 + 2], 255};
        EXPECT_FALSE(centre.r == EMPTY_BOX.r && centre.g == EMPTY_BOX.g && centre.b == EMPTY_BOX.b)
            << name << ": the middle of the picture shows the map";
        SDL_FreeSurface(rgba);
        SDL_FreeSurface(picture);
        EXPECT_FALSE(std::filesystem::exists(MAPS / (name + ".bmp.tmp"))) << name;
    }
}

struct StarMap : DrawFixture {
    MainMenu menu;
    std::string savedBase = basePath;
    std::string savedFolder = extractionMapFolder;

    void SetUp() override {
        DrawFixture::SetUp();
        basePath = std::string(CORVALE_SOURCE_DIR) + "/";
        extractionMapFolder = std::string(CORVALE_SOURCE_DIR) + "/core/data/extractions";
        deploymentSelectedMapId = -1;
        generate_mission_options(7);
    }
    void TearDown() override {
        extraction_options.clear();
        deploymentSelectedMapId = -1;
        basePath = savedBase;
        extractionMapFolder = savedFolder;
        DrawFixture::TearDown();
    }

    static float nodeX(std::size_t i) { return W * 0.5f + (static_cast<float>(i) - 1.5f) * 200.0f; }
    // The middle of node i's preview box shows a picture, not the empty box.
    static bool showsPreview(std::size_t i) { return !same(pixel(static_cast<int>(nodeX(i)), 150), EMPTY_BOX); }
};

TEST_F(StarMap, ThreeMissionsShowTheirMapsAndTheHiddenSignalNone) {
    ASSERT_EQ(extraction_options.size(), 4u) << "one offer per shipped Extraction map";
    ExtractionMapPickerPage page(&menu);
    page.init();
    page.draw();
    saveScreenshot("star_map_previews");
    for (std::size_t i = 0; i < 3; ++i) {
        EXPECT_NE(page.previews.find(extraction_options[i].map), page.previews.end()) << extraction_options[i].map;
        EXPECT_TRUE(showsPreview(i)) << "node " << i << ": " << extraction_options[i].map;
    }
    EXPECT_TRUE(same(pixel(static_cast<int>(nodeX(3)), 150), SDL_Color{40, 20, 20, 255})) << "the unknown signal";

    // Picking: the second node chosen, the pointer over the third; both previews stay.
    const SDL_FRect chosen = extraction_options[1].card;
    page.handleEvent(press(chosen.x + chosen.w / 2, chosen.y + chosen.h / 2));
    SDL_Event motion{};
    motion.type = SDL_MOUSEMOTION;
    motion.motion.x = static_cast<Sint32>(extraction_options[2].card.x + 2);
    motion.motion.y = static_cast<Sint32>(extraction_options[2].card.y + 2);
    page.handleEvent(motion);
    SDL_SetRenderDrawColor(renderer, 0, 0, 0, 255);
    SDL_RenderClear(renderer);
    page.draw();
    saveScreenshot("map_picker_previews");
    EXPECT_EQ(deploymentSelectedMapId, 1);
    for (std::size_t i = 0; i < 3; ++i) EXPECT_TRUE(showsPreview(i)) << "node " << i;
}

// SDL's allocations, each above a cap refused and the largest asked for remembered: a picture whose header asks
// for gigabytes then fails at once instead of taking the machine's memory, and the test sees that it asked.
struct CappedSdlMemory {
    static constexpr std::size_t CAP = 64u << 20;
    static inline std::size_t largest = 0;
    static inline SDL_malloc_func realMalloc = nullptr;
    static inline SDL_calloc_func realCalloc = nullptr;
    static inline SDL_realloc_func realRealloc = nullptr;
    static inline SDL_free_func realFree = nullptr;

    static void* cappedMalloc(std::size_t bytes) {
        largest = std::max(largest, bytes);
        return bytes <= CAP ? realMalloc(bytes) : nullptr;
    }
    // Surfaces are allocated through malloc; what SDL allocated before is freed by the functions it came from.
    CappedSdlMemory() {
        SDL_GetMemoryFunctions(&realMalloc, &realCalloc, &realRealloc, &realFree);
        SDL_SetMemoryFunctions(cappedMalloc, realCalloc, realRealloc, realFree);
        largest = 0;
    }
    ~CappedSdlMemory() { SDL_SetMemoryFunctions(realMalloc, realCalloc, realRealloc, realFree); }
    CappedSdlMemory(const CappedSdlMemory&) = delete;
    CappedSdlMemory& operator=(const CappedSdlMemory&) = delete;
};

constexpr SDL_Color PREVIEW_COLOUR{30, 140, 200, 255};

// A bitmap of the size given as SDL writes it: a 122-byte header, then four bytes a pixel.
std::string bitmapBytes(const TempDir& dir, int w, int h) {
    SDL_Surface* picture = SDL_CreateRGBSurfaceWithFormat(0, w, h, 32, SDL_PIXELFORMAT_RGBA32);
    SDL_FillRect(picture, nullptr, SDL_MapRGBA(picture->format, PREVIEW_COLOUR.r, PREVIEW_COLOUR.g, PREVIEW_COLOUR.b, 255));
    const std::string path = dir / "made.bmp";
    EXPECT_EQ(SDL_SaveBMP(picture, path.c_str()), 0) << SDL_GetError();
    SDL_FreeSurface(picture);
    return readWholeFile(path);
}

// The bytes with the header's width and height (little endian at 18 and 22) replaced.
std::string withSize(std::string bytes, int32_t w, int32_t h) {
    const std::pair<std::size_t, int32_t> fields[] = {{18, w}, {22, h}};
    for (const auto& [at, value] : fields)
        for (std::size_t i = 0; i < 4; ++i) bytes[at + i] = static_cast<char>(static_cast<uint32_t>(value) >> (8 * i));
    return bytes;
}

struct PreviewPictures : DrawFixture {
    MainMenu menu;
    TempDir root;
    std::string savedBase = basePath;

    void SetUp() override {
        DrawFixture::SetUp();
        basePath = root.str() + "/";
        extraction_options.assign(1, ExtractionNode{});
        extraction_options[0].name = "Probe";
        extraction_options[0].map = "probe";
    }
    void TearDown() override {
        extraction_options.clear();
        basePath = savedBase;
        DrawFixture::TearDown();
    }
};

// What stands in the picture's place other than a file: a named pipe, which an open would wait on for a writer, a
// socket, which cannot be opened, and a device, which reads like an empty file.
enum class InPlace { File, NamedPipe, Socket, Device };

// Puts it at path; the socket's descriptor, or -1.
int placeAt(InPlace kind, const std::string& path) {
    if (kind == InPlace::NamedPipe) {
        EXPECT_EQ(::mkfifo(path.c_str(), 0600), 0);
    }
    if (kind == InPlace::Device) std::filesystem::create_symlink("/dev/null", path);
    if (kind != InPlace::Socket) return -1;
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    path.copy(address.sun_path, sizeof address.sun_path - 1);
    EXPECT_EQ(::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address), 0) << path;
    return fd;
}

// Every picture is judged by its header, against the size a preview has and the file's length, before SDL makes a
// surface of it: one that fails leaves the dark box and one line naming it, and nothing of its claimed size is
// ever allocated. A map without a picture shows the dark box silently. What is not a regular file is refused the
// same way, in its own words, and a named pipe does not hold the page waiting for a writer.
TEST_F(PreviewPictures, AHeaderIsCheckedAgainstThePreviewSizeAndTheFileLengthBeforeAnySurfaceIsMade) {
    const std::string whole = bitmapBytes(root, MAP_PREVIEW_SIZE, MAP_PREVIEW_SIZE);
    const struct {
        const char* what;
        std::optional<std::string> bytes;
        bool shown;
        InPlace inPlace = InPlace::File;
    } cases[] = {
        {"exactly as long as its rows", whole, true},
        {"stored top down", withSize(whole, MAP_PREVIEW_SIZE, -MAP_PREVIEW_SIZE), true},
        {"one byte short of its rows", whole.substr(0, whole.size() - 1), false},
        {"its header alone, true about its size", whole.substr(0, 122), false},
        {"its header alone, saying 30000 by 30000", withSize(whole.substr(0, 122), 30000, 30000), false},
        {"its header alone, saying 65535 by 65535", withSize(whole.substr(0, 122), 65535, 65535), false},
        {"one pixel wider than a preview, whole", bitmapBytes(root, MAP_PREVIEW_SIZE + 1, MAP_PREVIEW_SIZE), false},
        {"a whole picture of 8 by 8", bitmapBytes(root, 8, 8), false},
        {"empty", "", false},
        {"no picture at all", std::nullopt, false},
        {"a named pipe", "", false, InPlace::NamedPipe},
        {"a socket", "", false, InPlace::Socket},
        {"a character device", "", false, InPlace::Device},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        std::filesystem::remove(root / "maps/probe.bmp");
        const std::string path = root.write("maps/probe.bmp", c.bytes.value_or(""));
        if (!c.bytes || c.inPlace != InPlace::File) std::filesystem::remove(path);
        const int socket = placeAt(c.inPlace, path);
        ExtractionMapPickerPage page(&menu);
        ::testing::internal::CaptureStderr();
        {
            const CappedSdlMemory capped;
            page.init();
            EXPECT_LE(CappedSdlMemory::largest, CappedSdlMemory::CAP) << "a surface of the claimed size was asked for";
        }
        const std::string said = ::testing::internal::GetCapturedStderr();
        EXPECT_EQ(page.previews.count("probe"), c.shown ? 1u : 0u);
        const bool refused = !c.shown && c.bytes;
        EXPECT_EQ(std::count(said.begin(), said.end(), '\n'), refused ? 1 : 0) << said;
        EXPECT_EQ(said.find(path) != std::string::npos, refused) << said;
        if (c.inPlace != InPlace::File) {
            EXPECT_EQ(said, "Map preview not shown: " + path + ": not a regular file\n");
        }
        if (socket >= 0) ::close(socket);
        page.draw();
        const SDL_Color box = pixel(static_cast<int>(W * 0.5f - 300.0f), 150);
        EXPECT_TRUE(same(box, c.shown ? PREVIEW_COLOUR : SDL_Color{20, 20, 24, 255}));
    }
}

// A root sharing the shipped content and art, with the maps given as name and shipped map; the preview tool's
// command line on it, which draws the names given after it.
std::string previewRoot(const TempDir& root, const std::vector<std::pair<std::string, std::string>>& maps,
                        const std::string& drawn = "") {
    const std::filesystem::path source(CORVALE_SOURCE_DIR);
    for (const char* shared : {"core", "assets.cvl"}) std::filesystem::create_symlink(source / shared, root.path / shared);
    root.write("src/config.txt", readWholeFile(source / "src/config.txt"));
    for (const auto& [name, shipped] : maps)
        root.write("maps/" + name + ".map", readWholeFile(MAPS / (shipped + ".map")));
    return std::string("SDL_VIDEODRIVER=dummy SDL_AUDIODRIVER=dummy ASAN_OPTIONS=detect_leaks=0 '") + CORVALE_PREVIEWS +
           "' '" + root.str() + "'" + drawn;
}

// The build's preview step, run as the build runs it, on a copy of the content whose maps carry names the editor
// saves: a "." or a ";" in a name must neither cut it nor stop the step.
TEST(PreviewStep, DrawsEveryMapWhateverItsNameAndAgainOnlyTheOnesEditedSince) {
    TempDir root;
    const std::vector<std::string> names{"two.dots", "semi;colon"};
    const std::string step = previewRoot(root, {{names[0], "fight"}, {names[1], "fight"}});
    ASSERT_EQ(std::system(step.c_str()), 0);
    std::map<std::string, std::filesystem::file_time_type> drawn;
    for (const std::string& name : names) {
        const std::string picture = root / ("maps/" + name + ".bmp");
        SDL_Surface* preview = loadMapPreview(picture);
        EXPECT_NE(preview, nullptr) << name;
        SDL_FreeSurface(preview);
        drawn[name] = std::filesystem::last_write_time(picture);
    }
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(root.path / "maps"), {}), 4) << "nothing else written";

    std::filesystem::last_write_time(root / "maps/two.dots.map", drawn["two.dots"] + std::chrono::seconds(1));
    ASSERT_EQ(std::system(step.c_str()), 0);
    EXPECT_GT(std::filesystem::last_write_time(root / "maps/two.dots.bmp"), drawn["two.dots"]);
    EXPECT_EQ(std::filesystem::last_write_time(root / "maps/semi;colon.bmp"), drawn["semi;colon"]);
}

// A map drawn after another, larger one in the same run is drawn on a world of its own: its picture is the one it
// gets drawn alone.
TEST(PreviewStep, AMapDrawnAfterAnotherIsDrawnAsItIsAlone) {
    TempDir together;
    TempDir alone;
    const std::string both = previewRoot(together, {{"first", "highlands"}, {"second", "fight"}}, " first second");
    ASSERT_EQ(std::system(both.c_str()), 0);
    ASSERT_EQ(std::system(previewRoot(alone, {{"second", "fight"}}, " second").c_str()), 0);
    const std::string picture = readWholeFile(alone / "maps/second.bmp");
    EXPECT_FALSE(picture.empty());
    EXPECT_TRUE(readWholeFile(together / "maps/second.bmp") == picture) << "the second map shows the first one's world";
}

}  // namespace
