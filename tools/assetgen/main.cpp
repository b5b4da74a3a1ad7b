// Generates every image and sound the content data names, then packs them with the font into the archive.
#include <SDL.h>
#include <SDL_image.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <thread>

#include "art.h"
#include "audio.h"
#include "contact.h"
#include "plan.h"
#include "zip.h"

namespace fs = std::filesystem;

namespace {

struct Options {
    std::string data = ".";
    std::string out = ".";
    std::string archive;
    std::string font = "/usr/share/fonts/truetype/jetbrains-mono/JetBrainsMono-Bold.ttf";
    std::string contactSheet;
    int threads = 0;
};

bool parseArgs(int argc, char** argv, Options& o) {
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        auto next = [&](std::string& dst) {
            if (i + 1 >= argc) return false;
            dst = argv[++i];
            return true;
        };
        std::string threads;
        bool ok = true;
        if (a == "--data") ok = next(o.data);
        else if (a == "--out") ok = next(o.out);
        else if (a == "--archive") ok = next(o.archive);
        else if (a == "--font") ok = next(o.font);
        else if (a == "--contact-sheet") ok = next(o.contactSheet);
        else if (a == "--threads" && next(threads)) o.threads = std::atoi(threads.c_str());
        else ok = false;
        if (!ok) return false;
    }
    return true;
}

std::vector<uint8_t> readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

bool writeFile(const std::string& path, const std::vector<uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    return static_cast<bool>(out);
}

bool endsWith(const std::string& s, const std::string& t) { return s.size() >= t.size() && s.compare(s.size() - t.size(), t.size(), t) == 0; }

bool saveBmp(const Image& img, const std::string& path) {
    std::vector<uint8_t> bytes = img.rgba8();
    SDL_Surface* s = SDL_CreateRGBSurfaceWithFormatFrom(bytes.data(), img.w, img.h, 32, img.w * 4, SDL_PIXELFORMAT_RGBA32);
    if (!s) return false;
    bool ok = SDL_SaveBMP(s, path.c_str()) == 0;
    SDL_FreeSurface(s);
    return ok;
}

// Produces one file; returns an error text, empty on success.
std::string generateFile(const Job& job, const std::string& outPath) {
    switch (job.kind) {
        case AssetKind::Font: {
            std::vector<uint8_t> bytes = readFile(job.meta.value("source", ""));
            if (bytes.empty()) return "font source missing: " + job.meta.value("source", std::string());
            return writeFile(outPath, bytes) ? "" : "cannot write";
        }
        case AssetKind::Sound:
        case AssetKind::Music: {
            Wave w = job.kind == AssetKind::Music ? synthMusic(job.race, job.name, job.meta.value("index", 0))
                                                  : synthEffect(job.meta.value("category", ""), job.name, job.race, job.meta.value("variant", 0));
            bool ogg = endsWith(job.path, ".ogg") || endsWith(job.path, ".OGG");
            std::vector<uint8_t> bytes = ogg ? encodeOgg(w, job.kind == AssetKind::Music ? 0.1f : 0.3f, hashString(job.path)) : encodeWav(w);
            if (bytes.empty()) return "sound encoding failed";
            return writeFile(outPath, bytes) ? "" : "cannot write";
        }
        default: {
            Image img = drawJob(job);
            if (img.w <= 0 || img.h <= 0) return "nothing to draw";
            bool bmp = endsWith(job.path, ".bmp") || endsWith(job.path, ".BMP");
            return (bmp ? saveBmp(img, outPath) : savePng(img, outPath)) ? "" : std::string("cannot write image: ") + SDL_GetError();
        }
    }
}

std::string generateWhole(const Job& job, const std::string& outPath) {
    try {
        return generateFile(job, outPath);
    } catch (const std::exception& e) {
        return e.what();
    }
}

// Two builds may write one tree at once: each file appears whole, by a rename of its own partial file.
std::string generate(const Job& job, const std::string& outPath) {
    const std::string part = partialPath(outPath);
    std::string error = generateWhole(job, part);
    std::error_code ec;
    if (error.empty()) fs::rename(part, outPath, ec);
    if (ec) error = "cannot rename " + part + ": " + ec.message();
    if (!error.empty()) fs::remove(part, ec);
    return error;
}

// Expensive jobs first, so the threads finish together.
int cost(AssetKind k) {
    switch (k) {
        case AssetKind::Music: return 5;
        case AssetKind::UnitSheet:
        case AssetKind::MenuBackground: return 4;
        case AssetKind::BuildingSheet:
        case AssetKind::BuildingConstruction:
        case AssetKind::SpellTexture: return 3;
        default: return 1;
    }
}

bool generateAll(const Plan& plan, const Options& o) {
    std::vector<const Job*> jobs;
    for (const auto& [path, job] : plan.jobs) jobs.push_back(&job);
    std::stable_sort(jobs.begin(), jobs.end(), [](const Job* a, const Job* b) { return cost(a->kind) > cost(b->kind); });
    std::vector<std::string> errors(jobs.size());
    for (const Job* j : jobs) fs::create_directories(fs::path(o.out) / fs::path(j->path).parent_path());
    std::atomic<size_t> next{0};
    auto worker = [&]() {
        for (size_t i = next++; i < jobs.size(); i = next++) errors[i] = generate(*jobs[i], (fs::path(o.out) / jobs[i]->path).string());
    };
    unsigned n = o.threads > 0 ? static_cast<unsigned>(o.threads) : std::max(1u, std::thread::hardware_concurrency());
    std::vector<std::thread> pool;
    for (unsigned i = 0; i < n; ++i) pool.emplace_back(worker);
    for (std::thread& t : pool) t.join();
    bool ok = true;
    for (size_t i = 0; i < jobs.size(); ++i)
        if (!errors[i].empty()) {
            std::cerr << "assetgen: " << jobs[i]->path << ": " << errors[i] << "\n";
            ok = false;
        }
    return ok;
}

// Generated folders hold only what the plan names: files left from older data are removed.
void removeStale(const Plan& plan, const Options& o) {
    for (const char* root : {"core/assets", "core/tiles"}) {
        fs::path dir = fs::path(o.out) / root;
        std::error_code ec;
        if (!fs::is_directory(dir, ec)) continue;
        std::vector<fs::path> stale;
        for (const auto& e : fs::recursive_directory_iterator(dir, ec)) {
            if (!e.is_regular_file() || isPartialPath(e.path().string())) continue;
            std::string rel = fs::relative(e.path(), o.out, ec).generic_string();
            if (!plan.jobs.count(rel)) stale.push_back(e.path());
        }
        for (const fs::path& p : stale) fs::remove(p, ec);
    }
}

bool pack(const Plan& plan, const Options& o) {
    std::vector<ZipEntry> entries;
    for (const auto& [path, job] : plan.jobs) {
        ZipEntry e;
        e.name = path;
        e.data = readFile((fs::path(o.out) / path).string());
        // PNG and Vorbis are compressed already; WAV and the font shrink.
        e.compress = !(endsWith(path, ".png") || endsWith(path, ".ogg"));
        entries.push_back(std::move(e));
    }
    std::string error;
    if (!writeZip(o.archive, entries, error)) {
        std::cerr << "assetgen: " << o.archive << ": " << error << "\n";
        return false;
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    Options o;
    if (!parseArgs(argc, argv, o)) {
        std::cerr << "usage: corvale_assetgen --data ROOT --out ROOT [--archive FILE] [--font TTF] [--contact-sheet PNG] [--threads N]\n";
        return 2;
    }
    auto start = std::chrono::steady_clock::now();
    Plan plan = buildPlan(o.data, o.font);
    for (const std::string& w : plan.warnings) std::cerr << "assetgen: warning: " << w << "\n";
    if (!generateAll(plan, o)) return 1;
    removeStale(plan, o);
    auto generated = std::chrono::steady_clock::now();
    if (!o.archive.empty() && !pack(plan, o)) return 1;
    auto packed = std::chrono::steady_clock::now();
    if (!o.contactSheet.empty() && !writeContactSheet(plan, o.out, o.font, o.contactSheet)) {
        std::cerr << "assetgen: cannot write contact sheet " << o.contactSheet << "\n";
        return 1;
    }
    auto ms = [](auto a, auto b) { return static_cast<long>(std::chrono::duration_cast<std::chrono::milliseconds>(b - a).count()); };
    std::printf("assetgen: %zu files generated in %ld ms, packed in %ld ms\n", plan.jobs.size(), ms(start, generated), ms(generated, packed));
    return 0;
}
