// Turns one planned image into pixels, laid out exactly as the game's renderer cuts it.
#include "art.h"

#include <algorithm>
#include <cmath>

#include "fx.h"
#include "icons.h"
#include "menu.h"
#include "tiles.h"

using nlohmann::json;

namespace {

const int kMaxSide = 2048;  // bounds every size read from the data before anything is allocated
const Rgb kInk{0.06f, 0.05f, 0.08f};

int sane(int v, int fallback) { return (v >= 1 && v <= kMaxSide) ? v : fallback; }

const json& info(const Job& job) {
    static const json none;
    auto it = job.meta.find("info");
    return it == job.meta.end() ? none : *it;
}

Image drawUnitSheet(const Job& job) {
    UnitSheetLayout layout = unitSheetLayout(job.meta);
    UnitLook look = chooseUnitLook(job.name, job.race, info(job), job.meta.value("carrying", false));
    int fw = layout.frameWidth, fh = layout.frameHeight;
    Image sheet(5 * fw, layout.sheetHeight());
    int walkEnd = layout.numFrames * fh;
    for (int col = 0; col < 5; ++col) {
        for (int r = 0; r < layout.numFrames; ++r) {
            Pose p;
            p.moving = layout.numFrames > 1;
            p.walk = static_cast<float>(r) / layout.numFrames;
            p.frame = r;
            sheet.draw(renderUnitFrame(look, p, col, fw, fh), col * fw, r * fh);
        }
        int step = layout.attackStep();
        for (int a = 0; a < layout.attackFrames; ++a) {
            int y = layout.attackRowOffset * fh + a * step;
            if (y < walkEnd) continue;  // the walk rows win where the layout overlaps them
            Pose p;
            p.attacking = true;
            p.attack = static_cast<float>(a) / layout.attackFrames;
            p.frame = a;
            Image f = renderUnitFrame(look, p, col, fw, fh);
            if (step != fh) {
                Image scaled(fw, step);
                scaled.drawScaled(f, 0, 0, static_cast<float>(fw), static_cast<float>(step));
                f = scaled;
            }
            sheet.draw(f, col * fw, y);
        }
        Pose dead;
        dead.corpse = true;
        Image corpse = renderUnitFrame(look, dead, col, fw, fh);
        for (int y = 0; y < fh; ++y)
            for (int x = 0; x < fw; ++x) {
                const float* s = corpse.at(x, y);
                float* d = sheet.at(col * fw + x, layout.corpseY() + y);
                std::copy(s, s + 4, d);
            }
    }
    return sheet;
}

Image drawPortrait(const Job& job) {
    const int size = 64;
    UnitLook look = chooseUnitLook(job.name, job.race, info(job), job.meta.value("carrying", false));
    bool humanoid = look.plan == BodyPlan::Soldier || look.plan == BodyPlan::Brute || look.plan == BodyPlan::Worker || look.plan == BodyPlan::Civilian;
    Scene s;
    float unit = humanoid ? size * 1.35f : size * 0.85f;
    s.xf = Xform{rotZ(kPi / 2.0f - 0.6f), unit, {}};
    s.patternScale = unit;
    Pose idle;
    buildUnit(s, look, idle);
    View v;
    v.originX = size * 0.5f;
    v.originY = humanoid ? size * 0.5f + 0.76f * 0.866f * unit : size * 0.78f;
    v.supersample = 3;
    Image fig = renderScene(s, size, size, v);
    fig.outline(kInk, 0.9f);
    Image img = portraitBackground(size, look.pal.primary);
    img.draw(fig, 0, 0);
    portraitFrame(img, look.pal.trim);
    return img;
}

// The teleport texture: the caster's own frames dissolving into motes, one row per teleport frame.
Image drawTeleport(const Job& job) {
    const json& caster = job.meta.contains("casterSprite") ? job.meta["casterSprite"] : json();
    int fw = sane(jsonInt(caster, "frameWidth", 64), 64), fh = sane(jsonInt(caster, "frameHeight", 64), 64);
    int rows = 1;
    std::vector<std::pair<int, int>> runs;  // start, count: out then in
    for (const char* name : {"teleport_out", "teleport_in"}) {
        const json& a = caster.contains("animations") && caster["animations"].is_object() && caster["animations"].contains(name) ? caster["animations"][name] : json();
        int start = std::clamp(jsonInt(a, "start", 0), 0, 64), count = std::clamp(jsonInt(a, "count", 1), 1, 64);
        runs.push_back({start, count});
        rows = std::max(rows, start + count);
    }
    std::string casterName = jsonText(job.meta, "caster");
    UnitLook look = chooseUnitLook(casterName.empty() ? job.name : casterName, job.meta.value("casterRace", job.race), json(), false);
    Image sheet(5 * fw, rows * fh);
    for (int r = 0; r < rows; ++r) {
        // Frames of the out-run dissolve more as they go; frames of the in-run gather again.
        float d = 0.5f;
        if (r >= runs[0].first && r < runs[0].first + runs[0].second) d = (r - runs[0].first + 1.0f) / (runs[0].second + 1.0f);
        else if (r >= runs[1].first && r < runs[1].first + runs[1].second) d = 1.0f - (r - runs[1].first + 1.0f) / (runs[1].second + 1.0f);
        for (int col = 0; col < 5; ++col) {
            Pose p;
            p.frame = r;
            Image f = renderUnitFrame(look, p, col, fw, fh);
            uint32_t seed = 99u + static_cast<uint32_t>(col);
            for (int y = 0; y < fh; ++y)
                for (int x = 0; x < fw; ++x) {
                    float n = fbm(x * 0.18f, y * 0.18f, seed, 3) * 0.7f + (1.0f - static_cast<float>(y) / fh) * 0.3f;
                    float* px = f.at(x, y);
                    if (n < d) {
                        px[0] = px[1] = px[2] = px[3] = 0.0f;
                    } else if (n < d + 0.07f && px[3] > 0.0f) {
                        f.set(x, y, look.pal.glow, px[3]);
                    }
                }
            Rng rng(seed + static_cast<uint32_t>(r) * 31u);
            for (int i = 0; i < 10; ++i) glow(f, rng.range(fw * 0.25f, fw * 0.75f), rng.range(fh * 0.2f, fh * 0.85f), fw * 0.05f, look.pal.glow, d);
            glow(f, fw * 0.5f, fh * 0.78f, fw * 0.35f * d, look.pal.glow, 0.5f * d);
            sheet.draw(f, col * fw, r * fh);
        }
    }
    return sheet;
}

Image drawBuilding(const Job& job, bool construction) {
    const json& anim = job.meta.contains("animation") ? job.meta["animation"] : json();
    int fw = sane(jsonInt(anim, "frameWidth", 0), 0), fh = sane(jsonInt(anim, "frameHeight", 0), 0);
    int frames = std::clamp(jsonInt(anim, "frameCount", 1), 1, 64);
    int w = std::clamp(jsonInt(info(job), "wTiles", 1), 1, 16), h = std::clamp(jsonInt(info(job), "hTiles", 1), 1, 16);
    if (fw == 0) fw = 64 * w;  // a record without a frame size breaks the renderer; draw something sane
    if (fh == 0) fh = fw;
    if (static_cast<long>(fw) * frames > kMaxSide * 4) frames = 1;
    int offsetX = jsonInt(anim, "offsetX", 0);
    BuildingLook look = chooseBuildingLook(job.name, job.race, info(job));
    Scene s;
    // Tile edge in world units: the footprint is drawn w tiles wide across the frame.
    float edge = static_cast<float>(fw) / (static_cast<float>(w) * std::sqrt(2.0f));
    s.xf = Xform{rotZ(kPi / 4.0f), edge, {}};
    s.patternScale = edge;
    // Height that still fits above the footprint centre, which lies (w + h) * T / 8 below the top corner.
    float roomPx = fh * 0.5f + (w + h) * 0.125f * (static_cast<float>(fw) / w) - 4.0f;
    float room = roomPx / 0.8660254f / edge;
    std::vector<int> blink = buildBuilding(s, look, w, h, room);
    if (construction) {
        float built = std::min(room, 1.2f) * 0.38f;
        s.clipZ = built * edge;
        buildScaffold(s, look, w, h, built * 1.35f);
    }
    View v;
    v.originX = fw * 0.5f - static_cast<float>(offsetX);
    v.originY = fh * 0.5f;
    v.shadows = true;
    v.groundShadow = true;
    GBuffer g = trace(s, fw, fh, v);
    Image sheet(fw * frames, fh);
    for (int f = 0; f < frames; ++f) {
        std::vector<float> scale(s.materials.size(), 1.0f);
        float phase = static_cast<float>(f) / frames;
        if (blink.size() >= 3) {
            scale[static_cast<size_t>(blink[0])] = (frames > 1 && f % 2 == 1) ? 0.15f : 1.0f;
            scale[static_cast<size_t>(blink[1])] = 0.65f + 0.35f * std::sin(phase * 2.0f * kPi);
            scale[static_cast<size_t>(blink[2])] = 0.85f + 0.15f * std::cos(phase * 2.0f * kPi);
        }
        Image frame = shade(g, s, scale);
        frame.outline(kInk, 0.5f);
        sheet.draw(frame, f * fw, 0);
    }
    return sheet;
}

Image drawBuildingSheet(const Job& job) { return drawBuilding(job, false); }
Image drawConstruction(const Job& job) { return drawBuilding(job, true); }

// Map objects: frames stacked downward, as the renderer steps the source rectangle's y.
Image drawMapObject(const Job& job) {
    const json& anim = job.meta.contains("animation") ? job.meta["animation"] : json();
    int fw = sane(jsonInt(anim, "frameWidth", 0), 128), fh = sane(jsonInt(anim, "frameHeight", 0), fw);
    int frames = std::clamp(jsonInt(anim, "frameCount", 1), 1, 64);
    Image sheet(fw, fh * frames);
    for (int f = 0; f < frames; ++f) sheet.draw(renderObjectFrame(job.name, hashString(job.name), f, frames, fw, fh), 0, f * fh);
    return sheet;
}

// Decorations: frames side by side from offsetX, as the renderer's source rectangle reads them.
Image drawDecoration(const Job& job) {
    const json& anim = job.meta.contains("animation") ? job.meta["animation"] : json();
    bool animated = anim.is_object();
    int fw = sane(jsonInt(anim, "frameWidth", 0), 64), fh = sane(jsonInt(anim, "frameHeight", 0), 64);
    int frames = animated ? std::clamp(jsonInt(anim, "frameCount", 1), 1, 64) : 1;
    int offsetX = std::clamp(jsonInt(anim, "offsetX", 0), 0, kMaxSide);
    Image sheet(offsetX + fw * frames, fh);
    for (int f = 0; f < frames; ++f) sheet.draw(renderObjectFrame(job.name, hashString(job.name), f, frames, fw, fh), offsetX + f * fw, 0);
    return sheet;
}

Image drawTerrain(const Job& job) { return namedTerrainTile(job.name, 256); }

Image drawItem(const Job& job) {
    int fw = sane(jsonInt(job.meta, "frameWidth", 0), 64), fh = sane(jsonInt(job.meta, "frameHeight", 0), 64);
    return itemPicture(job.name, fw, fh);
}

Image drawCursor(const Job& job) {
    float hx = 0.0f, hy = 0.0f;
    const json& hs = job.meta.contains("hotspot") ? job.meta["hotspot"] : json();
    if (hs.is_array() && hs.size() == 2 && hs[0].is_number() && hs[1].is_number()) {
        hx = hs[0].get<float>();
        hy = hs[1].get<float>();
    }
    int size = (hx >= 32.0f || hy >= 32.0f) ? 64 : 32;
    hx = std::clamp(hx, 0.0f, size - 1.0f);
    hy = std::clamp(hy, 0.0f, size - 1.0f);
    Palette pal = racePalette(job.race);
    return cursorImage(size, hx, hy, pal.alien ? pal.glow : hex(0xE8EEF4), pal.trim);
}

Image drawIcon(const Job& job) {
    std::string family = jsonText(job.meta, "iconFor");
    std::string words = job.name + " " + jsonText(job.meta, "id") + " " + jsonText(job.meta, "effect") + " " + jsonText(job.meta, "type") + " " +
                        jsonText(job.meta, "name");
    int size = family == "tech" ? 128 : 64;
    return symbolIcon(words, family, size, racePalette(job.race).primary);
}

Image drawEffect(const Job& job) {
    const json& anim = job.meta.contains("animation") ? job.meta["animation"] : json();
    int fw = sane(jsonInt(anim, "frameWidth", 0), 64), fh = sane(jsonInt(anim, "frameHeight", 0), 64);
    int frames = std::clamp(jsonInt(anim, "frameCount", 1), 1, 64);
    return effectStrip(job.name, fw, fh, frames);
}

Image drawProjectile(const Job& job) {
    int fw = sane(jsonInt(job.meta, "frameWidth", 0), 32), fh = sane(jsonInt(job.meta, "frameHeight", 0), 32);
    return projectileSheet(job.name, fw, fh, std::clamp(jsonInt(job.meta, "totalFrames", 1), 1, 64));
}

Image drawProjectileHit(const Job& job) {
    int fw = sane(jsonInt(job.meta, "frameWidth", 0), 32), fh = sane(jsonInt(job.meta, "frameHeight", 0), 32);
    return projectileHitStrip(job.name, fw, fh, std::clamp(jsonInt(job.meta, "totalFrames", 1), 1, 64));
}

Image drawSpell(const Job& job) {
    if (job.name == "AbyssalTeleport") return drawTeleport(job);
    return spellStrip(job.name, 4);
}

Image drawMenu(const Job&) { return menuBackground(1280, 720); }

Image drawFixed(const Job& job) { return makeFixed(job.name); }

Image drawNothing(const Job&) { return Image(); }

using JobArt = Image (*)(const Job&);

// Indexed by AssetKind; sounds, music and the font are not images.
const JobArt kArt[] = {drawUnitSheet, drawPortrait,  drawBuildingSheet, drawConstruction, drawMapObject, drawDecoration, drawEffect,
                       drawProjectile, drawProjectileHit, drawSpell, drawIcon, drawTerrain, drawItem, drawCursor,
                       drawMenu, drawFixed, drawNothing, drawNothing, drawNothing};

}  // namespace

int jsonInt(const json& j, const char* key, int fallback) {
    if (!j.is_object()) return fallback;
    auto it = j.find(key);
    if (it == j.end() || !it->is_number()) return fallback;
    double v = it->get<double>();
    if (!std::isfinite(v) || v < -1e6 || v > 1e6) return fallback;
    return static_cast<int>(v);
}

std::string jsonText(const json& j, const char* key) {
    if (!j.is_object()) return "";
    auto it = j.find(key);
    return (it != j.end() && it->is_string()) ? it->get<std::string>() : "";
}

UnitSheetLayout unitSheetLayout(const json& meta) {
    UnitSheetLayout s;
    s.frameWidth = sane(jsonInt(meta, "frameWidth", 32), 32);
    s.frameHeight = sane(jsonInt(meta, "frameHeight", 32), 32);
    s.numFrames = std::clamp(jsonInt(meta, "numFrames", 1), 1, 64);
    s.attackFrames = std::clamp(jsonInt(meta, "attackFrames", 0), 0, 64);
    s.attackRowOffset = std::clamp(jsonInt(meta, "attackRowOffset", 0), 0, 128);
    s.attackFrameHeight = std::clamp(jsonInt(meta, "attackFrameHeight", 0), 0, kMaxSide);
    return s;
}

int UnitSheetLayout::sheetHeight() const {
    int walk = numFrames * frameHeight;
    int attack = attackRowOffset * frameHeight + attackFrames * attackStep();
    return std::max({walk, attack, corpseY() + frameHeight});
}

Image renderUnitFrame(const UnitLook& look, const Pose& pose, int column, int fw, int fh) {
    Scene s;
    float unit = static_cast<float>(std::min(fw, fh)) * 0.74f * look.size;
    float facing = -kPi / 2.0f + column * kPi / 4.0f;
    s.xf = Xform{rotZ(facing), unit, {}};
    s.patternScale = unit;
    buildUnit(s, look, pose);
    View v;
    v.originX = fw * 0.5f;
    v.originY = fh * 0.88f;  // feet near the bottom of the box, where the renderer centres the shadow
    Image img = renderScene(s, fw, fh, v);
    img.outline(kInk, 0.9f);
    return img;
}

Image renderObjectFrame(const std::string& kind, uint32_t seed, int frame, int frames, int fw, int fh) {
    Scene s;
    float unit = static_cast<float>(std::min(fw, fh)) * 0.92f;
    s.xf = Xform{rotZ(kPi / 4.0f), unit, {}};
    s.patternScale = unit;
    buildMapObject(s, kind, seed, frame, frames);
    View v;
    v.originX = fw * 0.5f;
    v.originY = fh * 0.76f;
    v.shadows = true;
    v.groundShadow = true;
    Image img = renderScene(s, fw, fh, v);
    img.outline(kInk, 0.7f);
    return img;
}

Image drawJob(const Job& job) { return kArt[static_cast<int>(job.kind)](job); }
