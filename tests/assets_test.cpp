// Generated content: every picture and sound the data names is in the archive, decodes, and is cut as the renderer cuts it.
#include <gtest/gtest.h>

#include <SDL.h>
#include <SDL_image.h>
#include <SDL_mixer.h>
#include <SDL_ttf.h>
#include <physfs.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "test_files.h"

namespace fs = std::filesystem;
using nlohmann::json;

namespace {

const char* const kFont = "core/assets/global/fonts/JetBrainsMonoNerdFont-Bold.ttf";

fs::path generatorPath() {
    char buf[4096];
    ssize_t n = readlink("/proc/self/exe", buf, sizeof(buf) - 1);
    if (n <= 0) return {};
    buf[n] = '\0';
    return fs::path(buf).parent_path() / "corvale_assetgen";
}

int runGenerator(const fs::path& data, const fs::path& out) {
    std::string cmd = "\"" + generatorPath().string() + "\" --data \"" + data.string() + "\" --out \"" + out.string() + "\" --archive \"" +
                      (out / "assets.cvl").string() + "\" --threads 2 > \"" + (out / "log.txt").string() + "\" 2>&1";
    return std::system(cmd.c_str());
}

json readJson(const fs::path& p) {
    std::ifstream in(p);
    if (!in) return json();
    return json::parse(in, nullptr, false);
}

bool endsWith(const std::string& s, const char* t) {
    std::string x(t);
    return s.size() >= x.size() && s.compare(s.size() - x.size(), x.size(), x) == 0;
}

bool isImage(const std::string& s) { return endsWith(s, ".png") || endsWith(s, ".bmp"); }
bool isSound(const std::string& s) { return endsWith(s, ".wav") || endsWith(s, ".ogg"); }

// Every string anywhere in the data that names an image or a sound.
void collectPaths(const json& v, std::set<std::string>& out) {
    if (v.is_string()) {
        const std::string& s = v.get_ref<const std::string&>();
        if (isImage(s) || isSound(s)) out.insert(s);
    } else if (v.is_structured()) {
        for (const json& e : v) collectPaths(e, out);
    }
}

struct Content {
    std::map<std::string, std::map<std::string, json>> folders;  // folder -> file -> document
    std::set<std::string> paths, music;

    explicit Content(const fs::path& root) {
        fs::path data = root / "core" / "data";
        std::error_code ec;
        if (!fs::is_directory(data, ec)) return;
        for (const auto& e : fs::recursive_directory_iterator(data, ec)) {
            if (!e.is_regular_file() || e.path().extension() != ".json") continue;
            json doc = readJson(e.path());
            collectPaths(doc, paths);
            if (e.path().parent_path().parent_path().filename() == "races") folders[e.path().parent_path().filename().string()][e.path().filename().string()] = doc;
        }
        for (auto& [folder, files] : folders) {
            for (const char* key : {"Music", "MainMenuMusic"}) {
                for (const char* file : {"sounds.json", "global.json"}) {
                    const json& doc = files[file];
                    if (doc.is_object() && doc.contains(key) && doc[key].is_array())
                        for (const json& p : doc[key])
                            if (p.is_string()) music.insert(p.get<std::string>());
                }
            }
        }
    }
    template <class F>
    void eachRecord(const char* file, F f) const {
        for (const auto& [folder, files] : folders) {
            auto it = files.find(file);
            if (it == files.end() || !it->second.is_object()) continue;
            for (auto r = it->second.begin(); r != it->second.end(); ++r)
                if (r->is_object()) f(r.key(), *r);
        }
    }
};

int num(const json& j, const char* key, int fallback) { return j.is_object() && j.contains(key) && j[key].is_number() ? j[key].get<int>() : fallback; }

std::string text(const json& j, const char* key) { return j.is_object() && j.contains(key) && j[key].is_string() ? j[key].get<std::string>() : ""; }

struct SurfaceDeleter {
    void operator()(SDL_Surface* s) const { SDL_FreeSurface(s); }
};
using Surface = std::unique_ptr<SDL_Surface, SurfaceDeleter>;

// The archive mounted the way the game mounts it, plus the decoders the game uses.
class Mounted {
public:
    explicit Mounted(const fs::path& archive) {
        // A drawing test run before may have left the file system up.
        ok_ = (PHYSFS_isInit() != 0 || PHYSFS_init(nullptr) != 0) && PHYSFS_mount(archive.c_str(), nullptr, 1) != 0;
        SDL_Init(SDL_INIT_AUDIO);
        audio_ = Mix_OpenAudio(44100, AUDIO_S16LSB, 2, 2048) == 0;
        IMG_Init(IMG_INIT_PNG);
        TTF_Init();
    }
    ~Mounted() {
        if (audio_) Mix_CloseAudio();
        TTF_Quit();
        IMG_Quit();
        SDL_Quit();
        PHYSFS_deinit();
    }
    bool ok() const { return ok_ && audio_; }
    bool exists(const std::string& p) const { return PHYSFS_exists(p.c_str()) != 0; }
    std::string read(const std::string& p) const {
        std::string bytes;
        PHYSFS_File* f = PHYSFS_openRead(p.c_str());
        if (!f) return bytes;
        PHYSFS_sint64 len = PHYSFS_fileLength(f);
        if (len > 0 && len < (1 << 28)) {
            bytes.resize(static_cast<size_t>(len));
            if (PHYSFS_readBytes(f, bytes.data(), static_cast<PHYSFS_uint64>(len)) != len) bytes.clear();
        }
        PHYSFS_close(f);
        return bytes;
    }
    Surface image(const std::string& p) const {
        const std::string b = read(p);
        if (b.empty()) return Surface();
        SDL_Surface* s = IMG_Load_RW(SDL_RWFromConstMem(b.data(), static_cast<int>(b.size())), 1);
        if (!s) return Surface();
        SDL_Surface* rgba = SDL_ConvertSurfaceFormat(s, SDL_PIXELFORMAT_RGBA32, 0);
        SDL_FreeSurface(s);
        return Surface(rgba);
    }
    bool sound(const std::string& p) const {
        return withStream(p, [](SDL_RWops* rw) {
            Mix_Chunk* c = Mix_LoadWAV_RW(rw, 1);
            const bool audible = c && c->alen > 0;
            if (c) Mix_FreeChunk(c);
            return audible;
        });
    }
    bool music(const std::string& p) const {
        return withStream(p, [](SDL_RWops* rw) {
            Mix_Music* m = Mix_LoadMUS_RW(rw, 1);
            if (m) Mix_FreeMusic(m);
            return m != nullptr;
        });
    }
    bool font(const std::string& p) const {
        return withStream(p, [](SDL_RWops* rw) {
            TTF_Font* f = TTF_OpenFontRW(rw, 1, 12);
            int w = 0, h = 0;
            const bool measured = f && TTF_SizeText(f, "Crystals 150", &w, &h) == 0 && w > 0;
            if (f) TTF_CloseFont(f);
            return measured;
        });
    }

private:
    template <class F>
    bool withStream(const std::string& p, F decode) const {
        const std::string b = read(p);
        return !b.empty() && decode(SDL_RWFromConstMem(b.data(), static_cast<int>(b.size())));
    }
    bool ok_ = false;
    bool audio_ = false;
};


uint8_t alphaAt(const SDL_Surface* s, int x, int y) { return static_cast<const uint8_t*>(s->pixels)[y * s->pitch + x * 4 + 3]; }

// True when the rectangle holds at least a few visible pixels: a frame the renderer cuts is never blank.
bool hasInk(const SDL_Surface* s, int x0, int y0, int w, int h) {
    int count = 0;
    for (int y = y0; y < y0 + h && y < s->h; ++y)
        for (int x = x0; x < x0 + w && x < s->w; ++x)
            if (alphaAt(s, x, y) > 128) ++count;
    return count >= 8;
}

// Each check reports through gtest and names the file, so one run lists every fault.
void expectAllNamedFilesDecode(const Content& c, const Mounted& m) {
    ASSERT_FALSE(c.paths.empty());
    for (const std::string& p : c.paths) {
        ASSERT_TRUE(m.exists(p)) << p << " is named in the data but missing from the archive";
        if (isImage(p)) {
            Surface s = m.image(p);
            ASSERT_TRUE(s) << p << " does not decode: " << IMG_GetError();
            EXPECT_GT(s->w, 0) << p;
        } else if (c.music.count(p)) {
            EXPECT_TRUE(m.music(p)) << p << " does not decode as music: " << Mix_GetError();
        } else {
            EXPECT_TRUE(m.sound(p)) << p << " does not decode as a sound: " << Mix_GetError();
        }
    }
}

void expectUnitSheetsMatch(const Content& c, const Mounted& m) {
    int checked = 0;
    c.eachRecord("sprites.json", [&](const std::string& name, const json& r) {
        std::string path = text(r, "sprite");
        if (path.empty()) return;
        Surface s = m.image(path);
        ASSERT_TRUE(s) << name << ": " << path;
        int fw = num(r, "frameWidth", 32), fh = num(r, "frameHeight", 32), n = num(r, "numFrames", 1), k = num(r, "attackFrames", 0);
        int off = std::max(0, num(r, "attackRowOffset", 0)), ha = num(r, "attackFrameHeight", 0) > 0 ? num(r, "attackFrameHeight", 0) : fh;
        int corpseY = (n + k) * fh;
        EXPECT_EQ(s->w, 5 * fw) << name << ": five facing columns of " << fw;
        EXPECT_EQ(s->h, std::max({n * fh, off * fh + k * ha, corpseY + fh})) << name << ": walk, attack and corpse rows of " << fh;
        for (int col = 0; col < 5 && s->h >= corpseY + fh; ++col) {
            EXPECT_TRUE(hasInk(s.get(), col * fw, 0, fw, fh)) << name << ": standing frame of column " << col << " is blank";
            EXPECT_TRUE(hasInk(s.get(), col * fw, corpseY, fw, fh)) << name << ": corpse frame of column " << col << " is blank";
            if (k > 0 && off >= n) {
                EXPECT_TRUE(hasInk(s.get(), col * fw, off * fh, fw, ha)) << name << ": first attack frame of column " << col << " is blank";
            }
        }
        if (!text(r, "portrait").empty()) {
            Surface portrait = m.image(text(r, "portrait"));
            EXPECT_TRUE(portrait && portrait->w == portrait->h) << name << ": portraits are square";
        }
        ++checked;
    });
    EXPECT_GT(checked, 0);
}

void expectBuildingSheetsMatch(const Content& c, const Mounted& m) {
    c.eachRecord("buildings_sprites.json", [&](const std::string& name, const json& r) {
        const json& a = r.contains("animation") ? r["animation"] : json();
        int fw = num(a, "frameWidth", 0), fh = num(a, "frameHeight", 0), frames = num(a, "frameCount", 1);
        EXPECT_GT(fw, 0) << name << ": a building needs a frame width";
        for (const char* key : {"sprite", "constructionSprite"}) {
            if (text(r, key).empty()) continue;
            Surface s = m.image(text(r, key));
            ASSERT_TRUE(s) << name << " " << key;
            EXPECT_EQ(s->w, frames * fw) << name << " " << key << ": frames side by side";
            EXPECT_EQ(s->h, fh) << name << " " << key;
            EXPECT_TRUE(hasInk(s.get(), 0, 0, fw, fh)) << name << " " << key << ": first frame is blank";
        }
    });
}

void expectStripsMatch(const Content& c, const Mounted& m) {
    for (const char* file : {"map_objects_sprites.json", "effects_sprites.json"})
        c.eachRecord(file, [&](const std::string& name, const json& r) {
            const json& a = r.contains("animation") ? r["animation"] : json();
            Surface s = m.image(text(r, "sprite"));
            ASSERT_TRUE(s) << name;
            if (num(a, "frameWidth", 0) <= 0) return;
            EXPECT_EQ(s->w, num(a, "frameWidth", 0)) << name << ": one column of frames";
            EXPECT_EQ(s->h, num(a, "frameHeight", 0) * num(a, "frameCount", 1)) << name << ": frames stacked downward";
        });
    c.eachRecord("projectiles.json", [&](const std::string& name, const json& r) {
        Surface s = m.image(text(r, "texture"));
        ASSERT_TRUE(s) << name;
        EXPECT_EQ(s->w, 5 * num(r, "frameWidth", 0)) << name << ": five facing columns";
        EXPECT_EQ(s->h, num(r, "frameHeight", 0) * num(r, "totalFrames", 0)) << name << ": one row per frame";
        const json& hit = r.contains("hit") ? r["hit"] : json();
        if (text(hit, "texture").empty()) return;
        Surface h = m.image(text(hit, "texture"));
        ASSERT_TRUE(h) << name << " hit";
        EXPECT_EQ(h->w, num(hit, "frameWidth", 0) * num(hit, "totalFrames", 0)) << name << ": hit frames in one row";
        EXPECT_EQ(h->h, num(hit, "frameHeight", 0)) << name;
    });
}

void expectSpellTexturesMatch(const Content& c, const Mounted& m) {
    const std::map<std::string, std::pair<int, int>> cuts = {{"Blizzard", {30, 33}}, {"DeathAndDecay", {28, 35}}, {"Whirlwind", {63, 63}}};
    std::map<std::string, json> units;
    c.eachRecord("sprites.json", [&](const std::string& name, const json& r) { units[name] = r; });
    c.eachRecord("spells.json", [&](const std::string& key, const json& r) {
        if (text(r, "texture").empty()) return;
        Surface s = m.image(text(r, "texture"));
        ASSERT_TRUE(s) << key;
        auto cut = cuts.find(key);
        if (cut != cuts.end()) {
            EXPECT_EQ(s->h, cut->second.second) << key;
            EXPECT_EQ(s->w % cut->second.first, 0) << key << ": whole frames of " << cut->second.first;
        }
        if (key == "AbyssalTeleport") {
            const json& caster = units[text(r, "caster")];
            EXPECT_EQ(s->w, 5 * num(caster, "frameWidth", 32)) << key << ": the caster's facing columns";
            EXPECT_EQ(s->h % num(caster, "frameHeight", 32), 0) << key << ": whole teleport rows";
        }
    });
}

void expectFixedSetComplete(const Mounted& m) {
    std::vector<std::string> files = {"tiles/grass/grass.png", "tiles/grass/grass2.png", "tiles/rock.png", "tiles/rock2.png", "tiles/rock3.png",
                                      "hud/lumber.png", "hud/gold.png", "hud/food.png", "hud/eject.png", "tiles/dash.png"};
    for (int i = 1; i <= 4; ++i) files.push_back("tiles/grass/mars" + std::to_string(i) + ".png");
    for (int i = 1; i <= 7; ++i) files.push_back("tiles/grass/cliff" + std::to_string(i) + ".png");
    for (const char* c : {"NW1", "NW2", "NE1", "NE2", "NE", "NW", "SE", "SW", "SV", "M", "EV", "NV", "WV"}) files.push_back(std::string("tiles/grass/cliff") + c + ".png");
    for (const char* s : {"SW_1", "SW_2", "SE_1", "SE_2"}) files.push_back(std::string("tiles/grass/slope") + s + ".png");
    for (const char* stem : {"water_", "mud_", "drygrass_"})
        for (const char* x : {"F", "NW", "NE", "SW", "SE", "N", "E", "S", "W", "IN", "IE", "IW", "IS"}) files.push_back(std::string("tiles/grass/") + stem + x + ".png");
    ASSERT_EQ(files.size(), 77u);
    for (const std::string& f : files) {
        Surface s = m.image("core/assets/global/" + f);
        ASSERT_TRUE(s) << f;
        bool ground = f.find("mars") != std::string::npos || f.find("_F.") != std::string::npos || f.find("rock") != std::string::npos;
        if (!ground) continue;
        // A ground diamond: twice as wide as high, solid in the middle, empty in the corners.
        EXPECT_EQ(s->w, 2 * s->h) << f;
        EXPECT_EQ(alphaAt(s.get(), s->w / 2, s->h / 2), 255) << f;
        EXPECT_EQ(alphaAt(s.get(), 0, 0), 0) << f;
        EXPECT_EQ(alphaAt(s.get(), s->w - 1, s->h - 1), 0) << f;
    }
    for (const char* tall : {"cliffSV", "cliffSE", "cliffSW", "slopeSW_1", "slopeSE_2"}) {
        Surface s = m.image(std::string("core/assets/global/tiles/grass/") + tall + ".png");
        ASSERT_TRUE(s);
        EXPECT_EQ(s->w, s->h) << tall << ": tall pieces are square with the diamond on top";
        EXPECT_TRUE(hasInk(s.get(), 0, s->h / 2, s->w, s->h / 2)) << tall << ": the face hangs below the diamond";
    }
    EXPECT_TRUE(m.font(kFont));
}

// The fixture art the build generated (tools/CMakeLists.txt): "first", and "again" for the determinism checks.
class GeneratedFixture : public ::testing::Test {
protected:
    void SetUp() override {
        mounted_ = std::make_unique<Mounted>(out() / "assets.cvl");
        ASSERT_TRUE(mounted_->ok()) << "build the tree first: the build generates " << out();
    }
    const Mounted& m() const { return *mounted_; }
    static fs::path data() { return fs::path(CORVALE_SOURCE_DIR) / "tests" / "fixtures"; }
    static fs::path out() { return fs::path(CORVALE_FIXTURE_ART) / "first"; }
    static fs::path again() { return fs::path(CORVALE_FIXTURE_ART) / "again"; }

private:
    std::unique_ptr<Mounted> mounted_;
};

TEST_F(GeneratedFixture, EveryNamedFileIsArchivedDecodesAndMatchesTheFolderTree) {
    const Mounted& m = this->m();
    const Content c(data());
    expectAllNamedFilesDecode(c, m);
    expectFixedSetComplete(m);
    EXPECT_TRUE(fs::exists(out() / "core" / "tiles" / "dash.png")) << "the asset-root marker of a dev tree";
    char** list = PHYSFS_enumerateFiles("core/assets/global/hud");
    int n = 0;
    for (char** i = list; *i; ++i, ++n) {
        std::string p = std::string("core/assets/global/hud/") + *i;
        EXPECT_EQ(m.read(p), readWholeFile(out() / p)) << p;
    }
    PHYSFS_freeList(list);
    EXPECT_EQ(n, 4);
    for (const std::string& p : c.paths) EXPECT_EQ(m.read(p), readWholeFile(out() / p)) << p;
}

TEST_F(GeneratedFixture, SheetsMatchTheirMetadata) {
    const Content c(data());
    expectUnitSheetsMatch(c, m());
    expectBuildingSheetsMatch(c, m());
    expectStripsMatch(c, m());
    expectSpellTexturesMatch(c, m());
}

TEST_F(GeneratedFixture, CursorTipSitsOnItsHotspot) {
    const Mounted& m = this->m();
    Content c(data());
    int checked = 0;
    c.eachRecord("cursors.json", [&](const std::string& name, const json& r) {
        Surface s = m.image(text(r, "image"));
        ASSERT_TRUE(s) << name;
        EXPECT_TRUE(s->w == 32 || s->w == 64) << name;
        int hx = r["hotspot"][0].get<int>(), hy = r["hotspot"][1].get<int>();
        EXPECT_TRUE(hasInk(s.get(), std::max(0, hx - 2), std::max(0, hy - 2), 5, 5)) << name << ": nothing drawn at the hotspot";
        ++checked;
    });
    EXPECT_EQ(checked, 2);
}

TEST_F(GeneratedFixture, RunningAgainGivesTheSameArchiveAndPrunesStaleFiles) {
    const std::string a = readWholeFile(out() / "assets.cvl"), b = readWholeFile(again() / "assets.cvl");
    EXPECT_FALSE(a.empty());
    EXPECT_TRUE(a == b) << "generation is not deterministic";
    EXPECT_FALSE(fs::exists(again() / "core" / "assets" / "races" / "human" / "units" / "retired.png"));
    EXPECT_TRUE(fs::exists(again() / "core" / "assets" / "races" / "human" / "units" / "marine.png"));
}

TEST_F(GeneratedFixture, ContactSheetShowsTheWholeSet) {
    Surface s(IMG_Load((fs::path(CORVALE_FIXTURE_ART) / "contact.png").c_str()));
    ASSERT_TRUE(s);
    EXPECT_EQ(s->w, 2400);
    EXPECT_GT(s->h, 1000);
}

struct Tint {
    double r = 0, g = 0, b = 0;
    int n = 0;
};

Tint averageInk(const SDL_Surface* s, int x0, int y0, int w, int h) {
    Tint t;
    for (int y = y0; y < y0 + h && y < s->h; ++y)
        for (int x = x0; x < x0 + w && x < s->w; ++x) {
            const uint8_t* p = static_cast<const uint8_t*>(s->pixels) + y * s->pitch + x * 4;
            if (p[3] < 200) continue;
            t.r += p[0];
            t.g += p[1];
            t.b += p[2];
            ++t.n;
        }
    if (t.n > 0) {
        t.r /= t.n;
        t.g /= t.n;
        t.b /= t.n;
    }
    return t;
}

// Share of pixels whose alpha differs clearly between two frames of one sheet.
double frameDifference(const SDL_Surface* s, int ax, int ay, int bx, int by, int w, int h) {
    int differ = 0;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            if (std::abs(alphaAt(s, ax + x, ay + y) - alphaAt(s, bx + x, by + y)) > 96) ++differ;
    return static_cast<double>(differ) / (w * h);
}

TEST_F(GeneratedFixture, FacingAndMotionShowInTheUnitFrames) {
    const Mounted& m = this->m();
    Surface marine = m.image("core/assets/races/human/units/marine.png");
    ASSERT_TRUE(marine);
    const int f = 64;
    EXPECT_GT(frameDifference(marine.get(), 0, 0, 2 * f, 0, f, f), 0.02) << "facing up and facing right look the same";
    EXPECT_GT(frameDifference(marine.get(), 2 * f, 0, 4 * f, 0, f, f), 0.02) << "facing right and facing down look the same";
    EXPECT_GT(frameDifference(marine.get(), 2 * f, 2 * f, 2 * f, 6 * f, f, f), 0.01) << "the walk cycle does not move";
    EXPECT_GT(frameDifference(marine.get(), 2 * f, 0, 2 * f, 8 * f, f, f), 0.005) << "the attack frame equals the standing frame";
    EXPECT_GT(frameDifference(marine.get(), 2 * f, 0, 2 * f, 12 * f, f, f), 0.05) << "the corpse stands upright";
}

TEST_F(GeneratedFixture, RacesAndResourcesHaveTheirOwnColours) {
    const Mounted& m = this->m();
    Surface marine = m.image("core/assets/races/human/units/marine.png"), berserker = m.image("core/assets/races/vohmathal/units/berserker.png");
    ASSERT_TRUE(marine && berserker);
    Tint human = averageInk(marine.get(), 0, 0, 5 * 64, 8 * 64), alien = averageInk(berserker.get(), 0, 0, 5 * 64, 8 * 64);
    EXPECT_GT(human.b, human.r + 20) << "human units read blue";
    EXPECT_GT(alien.r, alien.g + 15) << "vohmathal units read purple";
    Surface crystal = m.image("core/assets/global/objects/crystal.png"), oil = m.image("core/assets/global/objects/amber_oil.png");
    ASSERT_TRUE(crystal && oil);
    Tint c = averageInk(crystal.get(), 0, 0, 96, 96), o = averageInk(oil.get(), 0, 0, 128, 128);
    EXPECT_GT(c.b, c.r + 30) << "crystal reads cyan-blue";
    EXPECT_GT(o.r, o.b + 30) << "amber oil reads amber";
}

TEST_F(GeneratedFixture, DifferentSoundKeysSoundDifferentAndVariantsVary) {
    auto pcm = [&](const char* p) { return readWholeFile(out() / p); };
    std::vector<std::string> keys = {"core/assets/sounds/actions/explosion.wav", "core/assets/sounds/actions/construct.wav", "core/assets/sounds/actions/burning.wav",
                                     "core/assets/sounds/game/victory.wav",      "core/assets/sounds/game/defeat.wav",      "core/assets/sounds/human/marine_death.wav",
                                     "core/assets/sounds/actions/shoot.wav",     "core/assets/sounds/actions/sword.wav"};
    std::set<size_t> lengths;
    for (size_t i = 0; i < keys.size(); ++i)
        for (size_t j = i + 1; j < keys.size(); ++j) EXPECT_NE(pcm(keys[i].c_str()), pcm(keys[j].c_str())) << keys[i] << " sounds like " << keys[j];
    EXPECT_NE(pcm("core/assets/sounds/human/marine_yes1.wav"), pcm("core/assets/sounds/human/marine_yes2.wav")) << "two variants of one key are identical";
    const std::string wav = pcm("core/assets/sounds/game/error.wav");
    ASSERT_GT(wav.size(), 44u);
    EXPECT_EQ(wav.substr(0, 4), "RIFF");
    EXPECT_EQ(wav[22], 1) << "mono";
    EXPECT_EQ(wav[34], 16) << "16-bit";
}

TEST_F(GeneratedFixture, TerrainPiecesOpenOnTheSidesTheyAreNamedFor) {
    const Mounted& m = this->m();
    auto piece = [&](const std::string& name) { return m.image("core/assets/global/tiles/grass/" + name + ".png"); };
    // Points just inside each edge of a 256 x 128 diamond: N is the upper-right edge, S the lower-left.
    const int nX = 192, nY = 36, sX = 64, sY = 92;
    for (const char* stem : {"water_", "mud_", "drygrass_"}) {
        Surface n = piece(std::string(stem) + "N"), f = piece(std::string(stem) + "F"), in = piece(std::string(stem) + "IN");
        ASSERT_TRUE(n && f && in) << stem;
        EXPECT_LT(alphaAt(n.get(), nX, nY), 128) << stem << "N must be open on its N side";
        EXPECT_GT(alphaAt(n.get(), sX, sY), 200) << stem << "N must be closed on its S side";
        EXPECT_GT(alphaAt(f.get(), nX, nY), 200) << stem << "F fills the tile";
        EXPECT_LT(alphaAt(in.get(), 128, 4), 128) << stem << "IN opens the top corner";
        EXPECT_GT(alphaAt(in.get(), 128, 124), 200) << stem << "IN keeps the bottom corner";
    }
    Surface sw = piece("cliffSW"), se = piece("cliffSE"), towardE = piece("slopeSE_1"), towardS = piece("slopeSW_2");
    ASSERT_TRUE(sw && se && towardE && towardS);
    EXPECT_GT(alphaAt(sw.get(), 40, 150), 200) << "cliffSW hangs under the lower-left edge";
    EXPECT_LT(alphaAt(sw.get(), 216, 150), 60) << "cliffSW leaves the lower-right side open";
    EXPECT_GT(alphaAt(se.get(), 216, 150), 200) << "cliffSE hangs under the lower-right edge";
    EXPECT_LT(alphaAt(se.get(), 40, 150), 60) << "cliffSE leaves the lower-left side open";
    // The joined ramps have no side wall, so only the lowered corner reaches these points.
    EXPECT_GT(alphaAt(towardE.get(), 240, 180), 200) << "slopeSE falls toward the lower right";
    EXPECT_LT(alphaAt(towardE.get(), 16, 180), 60) << "slopeSE keeps its left corner up";
    EXPECT_GT(alphaAt(towardS.get(), 16, 180), 200) << "slopeSW falls toward the lower left";
    EXPECT_LT(alphaAt(towardS.get(), 240, 180), 60) << "slopeSW keeps its right corner up";
}

TEST(AssetGenerator, HostileDataNeverEscapesTheOutputOrCrashes) {
    const TempDir dir;
    const fs::path& root = dir.path;
    dir.write("core/data/races/human/sprites.json",
              R"({"Evil": {"sprite": "../../escaped.png", "portrait": "/tmp/abs.png", "frameWidth": 1000000000, "frameHeight": -5, "numFrames": 1e12},
              "Huge": {"sprite": "core/assets/huge.png", "frameWidth": 99999, "frameHeight": 99999, "numFrames": 99999, "attackFrames": 99999},
              "Odd": {"sprite": "core/assets/odd.png", "frameWidth": "wide", "numFrames": null}})");
    dir.write("core/data/races/human/sounds.json", R"({"Unit": {"Evil": {"death": ["core/assets/../../x.wav"]}}, "Music": [42]})");
    dir.write("core/data/races/human/units.json", "{ not json");
    const fs::path out = dir.makeDir("out");
    EXPECT_EQ(runGenerator(root, out), 0);
    EXPECT_FALSE(fs::exists(root / "escaped.png"));
    EXPECT_FALSE(fs::exists(root.parent_path() / "escaped.png"));
    EXPECT_FALSE(fs::exists("/tmp/abs.png"));
    EXPECT_TRUE(fs::exists(out / "core" / "assets" / "odd.png"));
    EXPECT_TRUE(fs::exists(out / "core" / "assets" / "huge.png"));
}

TEST(AssetGenerator, OversizedSheetFailsNamingTheFile) {
    const TempDir dir;
    dir.write("core/data/races/human/sprites.json",
              R"({"Giant": {"sprite": "core/assets/giant.png", "frameWidth": 2048, "frameHeight": 2048, "numFrames": 64, "attackFrames": 64}})");
    const fs::path out = dir.makeDir("out");
    int status = runGenerator(dir.path, out);
    ASSERT_TRUE(WIFEXITED(status)) << "the generator must not crash";
    EXPECT_EQ(WEXITSTATUS(status), 1);
    const std::string text = readWholeFile(out / "log.txt");
    EXPECT_NE(text.find("core/assets/giant.png: image too large"), std::string::npos) << text;
    EXPECT_FALSE(fs::exists(out / "assets.cvl")) << "no archive from a failed run";
}

// The shipped content: runs once the content data is in the tree, against the archive the build made.
class ShippedContent : public ::testing::Test {
protected:
    void SetUp() override {
        root_ = fs::path(CORVALE_SOURCE_DIR);
        if (!fs::is_directory(root_ / "core" / "data" / "races")) GTEST_SKIP() << "no content data in this tree yet";
        ASSERT_TRUE(fs::exists(root_ / "assets.cvl")) << "build the tree first: the build writes assets.cvl";
    }
    fs::path root_;
};

TEST_F(ShippedContent, EveryNamedFileDecodesAndEverySheetMatchesItsMetadata) {
    Mounted m(root_ / "assets.cvl");
    ASSERT_TRUE(m.ok());
    const Content c(root_);
    expectAllNamedFilesDecode(c, m);
    expectFixedSetComplete(m);
    expectUnitSheetsMatch(c, m);
    expectBuildingSheetsMatch(c, m);
    expectStripsMatch(c, m);
    expectSpellTexturesMatch(c, m);
}

TEST_F(ShippedContent, ArchiveStaysWellUnderFiftyMegabytes) { EXPECT_LT(fs::file_size(root_ / "assets.cvl"), 50u * 1024 * 1024); }

}  // namespace
