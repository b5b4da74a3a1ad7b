// Map files: the reader and its section rules, the width check, the writer's round trip and the base count.
#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>
#include <stdexcept>
#include <string>

#include "config.h"
#include "game_state.h"
#include "map.h"
#include "test_files.h"

namespace {

struct MapFile : ::testing::Test {
    TempDir dir;

    void SetUp() override {
        MAP_W = 0;
        MAP_H = 0;
    }

    std::string file(const std::string& text) { return dir.write("maps/test.map", text); }

    std::string errorOf(const std::string& path) {
        try {
            loadMapFromFile(path);
        } catch (const std::runtime_error& e) {
            return e.what();
        }
        return "no error";
    }
    std::string loadError(const std::string& text) { return errorOf(file(text)); }
};

// Refused before a grid is built, with the path named; oversized maps before their rows are even kept.
TEST_F(MapFile, UnusableFilesAreRefusedNamingThePath) {
    const std::string side(MAX_MAP_SIDE, 'G');
    std::string tallMap;
    for (int row = 0; row <= MAX_MAP_SIDE; ++row) tallMap += "G\n";
    const struct {
        std::string text;
        const char* refusal;
    } cases[] = {
        {"# only comments\n\n[Height]\n000\n[Objects]\nTree,1,1\n", "Map file has no terrain section: "},
        {side + "G\n", "Map is larger than 1024 by 1024 tiles: "},
        {tallMap, "Map is larger than 1024 by 1024 tiles: "},
        {std::string(MAX_MAP_FILE_BYTES + 1, '#'), "Map file is larger than 16777216 bytes: "},
    };
    for (const auto& c : cases) EXPECT_EQ(loadError(c.text), c.refusal + file(c.text));
    const std::string absent = (dir.path / "none.map").string();
    EXPECT_EQ(errorOf(absent), "Failed to open map file: " + absent);
    EXPECT_EQ(loadError(side + "\n" + side + "\n"), "no error") << "the largest map loads";
    EXPECT_EQ(MAP_W, MAX_MAP_SIDE);
}

TEST_F(MapFile, RejectsRowsOfUnequalWidthNamingTheTerrainRow) {
    MAP_W = 5;
    EXPECT_EQ(loadError("GGG\nGG\n"), "Inconsistent line width at line 2");
    EXPECT_EQ(loadError("GGG\n# a comment\n\nGG\n"), "Inconsistent line width at line 2");
    EXPECT_EQ(loadError("GGG\nGGG\nGGGG\nG\n"), "Inconsistent line width at line 3");
    EXPECT_EQ(MAP_W, 5);
}

TEST_F(MapFile, OneCarriageReturnPerLineIsRemoved) {
    const MapData map = loadMapFromFile(file("GGG\r\nGGG\n\r\n[Height]\r\n012\r\n"));
    EXPECT_EQ(MAP_W, 3);
    EXPECT_EQ(MAP_H, 2);
    EXPECT_EQ(map.heightRows, (std::vector<std::string>{"012"}));
    EXPECT_EQ(loadError("GGG\nGG\r\r\n"), "no error");
}

TEST_F(MapFile, ByteOrderMarkCountsAsTerrainWidth) {
    EXPECT_EQ(loadError("\xEF\xBB\xBFGG\nGG\n"), "Inconsistent line width at line 2");
}

TEST_F(MapFile, HeadersMatchOnlyInExactCase) {
    EXPECT_EQ(loadError("GG\n[height]\n"), "Inconsistent line width at line 2");
    const MapData map = readMapFile(file("GG\n[Height]\n[Objects] \n [Height]\n"));
    EXPECT_EQ(map.heightRows, (std::vector<std::string>{"[Objects] ", " [Height]"}));
}

TEST_F(MapFile, CommentsNeedTheHashFirstAndBlankLinesAreData) {
    const MapData map = readMapFile(file("#GGGG\n  \n"));
    EXPECT_EQ(map.terrainRows, (std::vector<std::string>{"  "}));
    const MapData height = readMapFile(file("GG\n[Height]\n #1\n#2\n"));
    EXPECT_EQ(height.heightRows, (std::vector<std::string>{" #1"}));
}

TEST_F(MapFile, NoTerrainAfterTheFirstHeaderAndHeadersRepeat) {
    const MapData map = readMapFile(
        file("GG\n[Objects]\nTree,1,1\n[Height]\n01\n[Objects]\nCrystal,0,1\n[Height]\n10\n"));
    EXPECT_EQ(map.terrainRows, (std::vector<std::string>{"GG"}));
    EXPECT_EQ(map.heightRows, (std::vector<std::string>{"01", "10"}));
    ASSERT_EQ(map.pendingObjects.size(), 2u);
    EXPECT_EQ(map.pendingObjects[1].type, "Crystal");
}

TEST_F(MapFile, ShortObjectAndDecorationLinesAreReportedAndSkipped) {
    testing::internal::CaptureStderr();
    const MapData map = readMapFile(
        file("G\n[Objects]\nStartingBase,3\nTree,1,\nTree,2,3\n[Decorations]\nRock1,1,2,3\nRock2,1,2,3,4\n"));
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "Invalid object line: StartingBase,3\nInvalid object line: Tree,1,\n"
              "Invalid decoration line: Rock1,1,2,3\n");
    ASSERT_EQ(map.pendingObjects.size(), 1u);
    EXPECT_EQ(map.pendingObjects[0].type, "Tree");
    ASSERT_EQ(map.pendingDecorations.size(), 1u);
    EXPECT_EQ(map.pendingDecorations[0].name, "Rock2");
}

TEST_F(MapFile, ExtraFieldsAreIgnoredAndNumbersReadLikeStoi) {
    const MapData map = readMapFile(file("G\n[Objects]\nCrystal,4,5,2,2\nTree, 7 ,-3,\nAmberOil,+8px,9\n"
                                         "[Decorations]\nBush,1,2,30,40,extra\n"));
    ASSERT_EQ(map.pendingObjects.size(), 3u);
    EXPECT_EQ(map.pendingObjects[0].x, 4);
    EXPECT_EQ(map.pendingObjects[0].y, 5);
    EXPECT_EQ(map.pendingObjects[1].x, 7);
    EXPECT_EQ(map.pendingObjects[1].y, -3);
    EXPECT_EQ(map.pendingObjects[2].x, 8);
    ASSERT_EQ(map.pendingDecorations.size(), 1u);
    const PendingDeco& d = map.pendingDecorations[0];
    EXPECT_EQ(d.tileX, 1);
    EXPECT_EQ(d.tileY, 2);
    EXPECT_EQ(d.width, 30);
    EXPECT_EQ(d.height, 40);
}

TEST_F(MapFile, NumbersWithoutDigitsOrBeyond32BitsThrow) {
    EXPECT_THROW(readMapFile(file("G\n[Objects]\nTree,1,x\n")), std::invalid_argument);
    EXPECT_THROW(readMapFile(file("G\n[Objects]\nTree,,1\n")), std::invalid_argument);
    EXPECT_THROW(readMapFile(file("G\n[Decorations]\nBush,1,2,3,-\n")), std::invalid_argument);
    EXPECT_THROW(readMapFile(file("G\n[Objects]\nTree,99999999999,1\n")), std::out_of_range);
}

TEST_F(MapFile, BaseCountTakesEveryLineStartingWithTheMarker) {
    const std::string path = file("StartingBase\nGG\n[Objects]\nStartingBase,1,1\nStartingBase,5\n"
                                  "#StartingBase,2,2\n StartingBase,3,3\nStartingBaseX,4,4\n");
    EXPECT_EQ(getBasesCountFromMap(path), 4);
    EXPECT_THROW(getBasesCountFromMap((dir.path / "none.map").string()), std::runtime_error);
}

// The count reads the file a block at a time and keeps only a line's first bytes: a marker across the end of a
// block still counts, one split by a line break does not, and a line longer than any block counts once.
TEST_F(MapFile, BaseCountJudgesEachLineByItsStartWhateverItsLength) {
    const std::string pad(4090, 'G');
    const struct {
        const char* what;
        std::string text;
        int bases;
    } cases[] = {
        {"a marker across the end of the first block", pad + "\nStartingBase,1,1\n", 1},
        {"a marker ending the block exactly", std::string(4083, 'G') + "\nStartingBase", 1},
        {"a marker split by a line break", "StartingBa\nse,1,1\n", 0},
        {"a marker opening a line of 100000 bytes, then another", "StartingBase" + std::string(100000, ',') +
                                                                       "StartingBase\nStartingBase\n", 2},
    };
    for (const auto& c : cases) EXPECT_EQ(getBasesCountFromMap(file(c.text)), c.bases) << c.what;
}

// One cell of every type in a row, with heights, a ramp and an over-high level.
struct MapWriter : ::testing::Test {
    TempDir dir;
    Grid g;
    std::vector<MapObjectLine> objects{{"StartingBase", 1, 0, 4, 4}, {"Tree", 8, 1, 1, 1}};
    std::vector<PendingDeco> decorations{{"Bush", 2, 1, 64, 32}};

    void SetUp() override {
        basePath = dir.path.string() + "/";
        MAP_W = 9;
        MAP_H = 2;
        g.tiles.assign(18, TileInstance{Tile::Grass, 0, 0, 1, 0, {}});
        for (int t = 0; t <= 8; ++t) g.set(t, 0, static_cast<Tile>(t), 0, static_cast<uint8_t>(t));
        g.at(1, 0).variant = 1;
        g.at(2, 1).ramp = 1;
        g.at(2, 1).heightLevel = 5;
        g.at(3, 1).heightLevel = 12;
        g.at(4, 0).walkable = 0;
    }
};

const char* const expectedMapText =
    "?GDMW.R??\n"
    "GGGGGGGGG\n"
    "\n[Height]\n"
    "012345678\n"
    "00R900000\n"
    "\n[Objects]\n"
    "StartingBase,1,0,4,4\n"
    "Tree,8,1,1,1\n"
    "\n[Decorations]\n"
    "Bush,2,1,64,32\n";

TEST_F(MapWriter, WritesTheTabulatedCharacters) {
    std::ostringstream out;
    writeMap(out, g, objects, decorations);
    EXPECT_EQ(out.str(), expectedMapText);
}

TEST_F(MapWriter, SavedMapReadsBackAsWritten) {
    ASSERT_TRUE(saveMap(g, "round.map", objects, decorations));
    const std::string path = basePath + "maps/round.map";
    EXPECT_EQ(readWholeFile(path), expectedMapText);
    const MapData map = loadMapFromFile(path);
    EXPECT_EQ(MAP_W, 9);
    EXPECT_EQ(MAP_H, 2);
    EXPECT_EQ(map.terrainRows, (std::vector<std::string>{"?GDMW.R??", "GGGGGGGGG"}));
    EXPECT_EQ(map.heightRows, (std::vector<std::string>{"012345678", "00R900000"}));
    ASSERT_EQ(map.pendingObjects.size(), 2u);
    EXPECT_EQ(map.pendingObjects[0].type, "StartingBase");
    EXPECT_EQ(map.pendingObjects[0].x, 1);
    EXPECT_EQ(map.pendingObjects[1].y, 1);
    ASSERT_EQ(map.pendingDecorations.size(), 1u);
    EXPECT_EQ(map.pendingDecorations[0].width, 64);
    EXPECT_EQ(getBasesCountFromMap(path), 1);
}

TEST_F(MapWriter, SaveReplacesTheOldFileAndLeavesNoTemporary) {
    dir.write("maps/old.map", "stale contents that are longer than nothing\n");
    ASSERT_TRUE(saveMap(g, "old.map", {}, {}));
    EXPECT_EQ(readWholeFile(basePath + "maps/old.map").substr(0, 10), "?GDMW.R??\n");
    EXPECT_FALSE(std::filesystem::exists(basePath + "maps/old.map.tmp"));
}

TEST_F(MapWriter, NamesThatLeaveTheMapFolderAreRefused) {
    dir.makeDir("maps");
    testing::internal::CaptureStderr();
    for (const std::string name : {"../escape.map", "sub/inner.map", "..", ".", "", "a\\b.map"})
        EXPECT_FALSE(saveMap(g, name, {}, {})) << name;
    EXPECT_NE(testing::internal::GetCapturedStderr().find("Invalid map file name: ../escape.map"), std::string::npos);
    EXPECT_FALSE(std::filesystem::exists(dir.path / "escape.map"));
    EXPECT_TRUE(std::filesystem::is_empty(dir.path / "maps"));
}

TEST_F(MapWriter, FailedOpenIsReportedAndKeepsNothing) {
    dir.write("maps", "a file where the folder should be");
    testing::internal::CaptureStderr();
    EXPECT_FALSE(saveMap(g, "x.map", {}, {}));
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "Failed to open file for writing: " + basePath + "maps/x.map\n");
}

TEST_F(MapWriter, FailedReplaceKeepsWhatWasThere) {
    dir.write("maps/taken.map/keep.txt", "kept");
    testing::internal::CaptureStderr();
    EXPECT_FALSE(saveMap(g, "taken.map", {}, {}));
    EXPECT_NE(testing::internal::GetCapturedStderr().find("Failed to replace map file: "), std::string::npos);
    EXPECT_EQ(readWholeFile(dir.path / "maps/taken.map/keep.txt"), "kept");
    EXPECT_FALSE(std::filesystem::exists(dir.path / "maps/taken.map.tmp"));
}

}  // namespace
