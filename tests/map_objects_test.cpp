// Map objects: creation from map lines, the id and tile indexes, sectors, deferred removal, selection and the
// editor's deletion; decorations and their selection.
#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

#include <SDL2/SDL.h>

#include "game_state.h"
#include "static_world_fixture.h"
#include "test_files.h"

namespace {

struct MapObjects : StaticWorld {
    void SetUp() override {
        StaticWorld::SetUp();
        addKind("Crystal", 2, 2, 500);
        addKind("Tree", 1, 1, 0);
        addKind("AmberOil", 3, 3, 800);
        addKind("ExtractionPoint", 1, 1, 0);
        addKind("StartingBase", 3, 3, 0);
    }
    static void addKind(const std::string& name, int w, int h, int capacity) {
        MapObjectInfo info;
        info.name = name;
        info.displayName = name;
        info.wTiles = w;
        info.hTiles = h;
        info.maxCapacity = capacity;
        mapObjectInfo[name] = info;
        MapObjectSpriteMeta meta;
        meta.frameWidth = 64;
        meta.frameHeight = 48;
        meta.sprite.dst = SDL_FRect{0, 0, 7, 9};
        mapObjectsSprites[name] = meta;
    }

    static std::vector<int> sectorIds(int sx, int sy) { return spatialGrid[sx][sy].objectIds; }
};

TEST_F(MapObjects, CrystalBlocksItsFootprintAndIsListedUnderItsFourTilesInBothIndexes) {
    createObjects({{"Crystal", 10, 4}}, grid);
    ASSERT_EQ(mapObjects.size(), 1u);
    const MapObject& o = mapObjects[0];
    EXPECT_EQ(o.amount, 500);
    EXPECT_FLOAT_EQ(o.worldY, 560.0f);
    EXPECT_EQ(o.tiles, (std::vector<V2i>{{10, 4}, {10, 5}, {11, 4}, {11, 5}}));
    for (const V2i& t : o.tiles) {
        EXPECT_EQ(grid.at(t.x, t.y).walkable, 0);
        EXPECT_EQ(objectGrid.at(t), std::vector<int>{0});
        EXPECT_EQ(tileToMapObjects.at(packTile(t.x, t.y)), std::vector<int>{0});
    }
    EXPECT_EQ(grid.at(12, 4).walkable, 1);
    EXPECT_EQ(sectorIds(0, 0), std::vector<int>{0});
    // Without a texture the catalogue's drawn size stays.
    EXPECT_FLOAT_EQ(o.sprite.dst.w, 7.0f);
}

TEST_F(MapObjects, TexturedSpriteIsStretchedOverTheFootprint) {
    SDL_Surface* surface = SDL_CreateRGBSurfaceWithFormat(0, 8, 8, 32, SDL_PIXELFORMAT_RGBA32);
    SDL_Renderer* renderer = SDL_CreateSoftwareRenderer(surface);
    ASSERT_NE(renderer, nullptr);
    SDL_Texture* texture =
        SDL_CreateTexture(renderer, SDL_PIXELFORMAT_RGBA32, SDL_TEXTUREACCESS_STATIC, 70, 35);
    mapObjectsSprites["Crystal"].sprite.texture = texture;
    createObjects({{"Crystal", 1, 1}}, grid);
    const Sprite& s = mapObjects[0].sprite;
    EXPECT_FLOAT_EQ(s.dst.w, 280.0f);
    EXPECT_FLOAT_EQ(s.dst.h, 280.0f);
    mapObjectsSprites["Crystal"].sprite.texture = nullptr;
    SDL_DestroyTexture(texture);
    SDL_DestroyRenderer(renderer);
    SDL_FreeSurface(surface);
}

TEST_F(MapObjects, ExtractionPointStaysWalkableAndIsPublished) {
    createObjects({{"Tree", 0, 0}, {"ExtractionPoint", 3, 3}, {"ExtractionPoint", 5, 5}}, grid);
    EXPECT_EQ(extractionsMapObjectId, 2);
    EXPECT_EQ(grid.at(5, 5).walkable, 1);
    EXPECT_EQ(grid.at(0, 0).walkable, 0);
}

TEST_F(MapObjects, UnknownKindRefusesTheWholeMapWithOneMessage) {
    mapObjectsSprites.erase("Tree");
    try {
        createObjects({{"Crystal", 1, 1}, {"Dragonstone", 2, 2}}, grid);
        FAIL() << "a map naming an unknown kind was accepted";
    } catch (const std::runtime_error& e) {
        EXPECT_STREQ(e.what(), "Unknown map object type: Dragonstone");
    }
    EXPECT_THROW(createObjects({{"Tree", 1, 1}}, grid), std::runtime_error);
    EXPECT_TRUE(mapObjects.empty());
    EXPECT_EQ(nextMapObjectId, 0);
    EXPECT_EQ(grid.at(1, 1).walkable, 1);
    // Coordinates beyond the indexable range are refused too.
    EXPECT_THROW(createObjects({{"Crystal", 2147483647, 0}}, grid), std::runtime_error);
    EXPECT_THROW(createObjects({{"Crystal", 0, -2147483647}}, grid), std::runtime_error);
    EXPECT_TRUE(mapObjects.empty());
}

TEST_F(MapObjects, ObjectsOffTheMapAreMadeButBlockAndListOnlyWhatTheGridHas) {
    setMapSize(70, 70);
    createObjects({{"Crystal", -1, -1}, {"Tree", 69, 69}, {"Tree", 200, 3}}, grid);
    EXPECT_EQ(mapObjects.size(), 3u);
    EXPECT_EQ(grid.at(0, 0).walkable, 0);
    EXPECT_EQ(sectorIds(1, 1), std::vector<int>{1});
    for (const auto& column : spatialGrid)
        for (const Sector& s : column)
            for (int id : s.objectIds) EXPECT_NE(id, 2);
}

TEST_F(MapObjects, RemovingIndexZeroOfThreeKeepsTheIdIndexAndTheSectors) {
    setMapSize(130, 70);
    createObjects({{"Crystal", 2, 2}, {"Tree", 70, 3}, {"AmberOil", 5, 66}}, grid);
    mapObjectsToRemove = {0, 0, 7, 0};
    processMapObjectsRemovals(grid);
    ASSERT_EQ(mapObjects.size(), 2u);
    EXPECT_EQ(mapObjects[0].id, 1);
    EXPECT_EQ(mapObjects[1].id, 2);
    EXPECT_EQ(mapObjectIdToIndex.count(0), 0u);
    EXPECT_EQ(mapObjectIdToIndex.at(1), 0u);
    EXPECT_EQ(mapObjectIdToIndex.at(2), 1u);
    EXPECT_TRUE(sectorIds(0, 0).empty());
    EXPECT_EQ(sectorIds(0, 1), std::vector<int>{2});
    EXPECT_TRUE(mapObjectsToRemove.empty());
    EXPECT_EQ(objectGrid.count(V2i{2, 2}), 0u);
    EXPECT_EQ(tileToMapObjects.count(packTile(3, 3)), 0u);
    EXPECT_EQ(getMapObjectAtTile({7, 68}, grid)->id, 2);
}

TEST_F(MapObjects, RemovalFreesLandButNotWaterAndAnEmptyQueueChangesNothing) {
    grid.at(4, 4).type = Tile::Water;
    grid.at(4, 4).walkable = 0;
    createObjects({{"Crystal", 3, 3}}, grid);
    mapObjectsToRemove.push_back(0);
    processMapObjectsRemovals(grid);
    EXPECT_EQ(grid.at(3, 3).walkable, 1);
    EXPECT_EQ(grid.at(4, 3).walkable, 1);
    EXPECT_EQ(grid.at(4, 4).walkable, 0);

    // An empty queue leaves the index alone.
    mapObjectIdToIndex[42] = 9;
    processMapObjectsRemovals(grid);
    EXPECT_EQ(mapObjectIdToIndex.at(42), 9u);
}

TEST_F(MapObjects, TileQueriesListEachObjectOnceAndTryOnlyTheFirstListedId) {
    createObjects({{"AmberOil", 4, 4}, {"Tree", 5, 5}}, grid);
    const auto inTiles = getObjectsInTiles(computeNearbyTiles(5, 5), 0);
    ASSERT_EQ(inTiles.size(), 2u);
    EXPECT_EQ(inTiles[0]->id, 0);
    EXPECT_EQ(inTiles[1]->id, 1);

    addMapObjectToSelection(0);
    EXPECT_TRUE(deleteMapObjects());
    EXPECT_EQ(getMapObjectAtTile({5, 5}, grid), nullptr);
    EXPECT_EQ(getMapObjectById(1)->id, 1);
}

TEST_F(MapObjects, ContainmentIncludesTheFarEdge) {
    createObjects({{"Crystal", 1, 2}}, grid);
    const MapObject& o = mapObjects[0];
    EXPECT_TRUE(mapObjectContains(o, SDL_FPoint{140 + 280, 280 + 280}, 2, 2));
    EXPECT_FALSE(mapObjectContains(o, SDL_FPoint{139.5f, 300}, 2, 2));
}

TEST_F(MapObjects, SelectionKeepsOrderAndTheFirstSelectedIsFoundByIndex) {
    createObjects({{"Tree", 1, 1}, {"Tree", 2, 2}, {"Tree", 3, 3}}, grid);
    addMapObjectToSelection(2);
    addMapObjectToSelection(0);
    addMapObjectToSelection(2);
    EXPECT_EQ(selectMapObjects, (std::vector<int>{2, 0}));
    EXPECT_EQ(getFirstSelectedMapObject(), &mapObjects[2]);
    clearMapObjectSelection();
    EXPECT_EQ(getFirstSelectedMapObject(), nullptr);
}

TEST_F(MapObjects, EditorDeletionDropsSelectedObjectsFromSectorsAndVector) {
    createObjects({{"Tree", 1, 1}, {"Tree", 2, 2}, {"Tree", 3, 3}}, grid);
    EXPECT_FALSE(deleteMapObjects());
    EXPECT_EQ(mapObjects.size(), 3u);

    addMapObjectToSelection(0);
    addMapObjectToSelection(99);
    EXPECT_TRUE(deleteMapObjects());
    EXPECT_TRUE(selectMapObjects.empty());
    ASSERT_EQ(mapObjects.size(), 2u);
    EXPECT_EQ(sectorIds(0, 0), (std::vector<int>{1, 2}));
    EXPECT_EQ(mapObjectIdToIndex.at(2), 1u);

    clearMapObjectSelection();
    addMapObjectToSelection(99);
    EXPECT_FALSE(deleteMapObjects());
}

TEST_F(MapObjects, InTheEditorAStartingBaseIsAnOrdinaryObject) {
    mode = GameMode::MapEditor;
    addPlayer(1);
    createObjects({{"StartingBase", 6, 6}}, grid);
    ASSERT_EQ(mapObjects.size(), 1u);
    EXPECT_EQ(mapObjects[0].type, "StartingBase");
    EXPECT_TRUE(buildings.empty());
    EXPECT_EQ(grid.at(8, 8).walkable, 0);
}

TEST_F(MapObjects, EditorSaveWritesTheLiveObjectsAndDecorationsInTheirOrder) {
    TempDir dir;
    const std::string savedBase = basePath;
    basePath = dir.path.string() + "/";
    setMapSize(2, 1);
    createObjects({{"Tree", 1, 0}, {"Crystal", 0, 0}}, grid);
    createDecorations({{"Bush", 1, 0, 64, 48}}, grid);
    const bool saved = saveMap(grid, "mine.map");
    basePath = savedBase;
    ASSERT_TRUE(saved);
    const std::string text = readWholeFile(dir.path / "maps/mine.map");
    EXPECT_NE(text.find("[Objects]\nTree,1,0,1,1\nCrystal,0,0,2,2\n"), std::string::npos) << text;
    EXPECT_NE(text.find("[Decorations]\nBush,1,0,64,48\n"), std::string::npos) << text;
}

using Decorations = StaticWorld;

TEST_F(Decorations, IdsContinueAcrossSessions) {
    createDecorations({{"Rock1", 1, 2, 30, 40}, {"Bush", -5, 99, 1, 2}}, grid);
    const int first = decorations[0].id;
    EXPECT_EQ(decorations[1].id, first + 1);
    decorations.clear();
    createDecorations({{"Rock1", 0, 0, 1, 1}}, grid);
    EXPECT_EQ(decorations[0].id, first + 2);
    EXPECT_EQ(getDecorationById(first), nullptr);
}

TEST_F(Decorations, SelectionAndDeletion) {
    createDecorations({{"A", 0, 0, 1, 1}, {"B", 1, 1, 1, 1}, {"C", 2, 2, 1, 1}}, grid);
    const int a = decorations[0].id;
    const int c = decorations[2].id;
    EXPECT_FALSE(deleteDecorations());
    EXPECT_EQ(decorations.size(), 3u);

    addDecorationToSelection(c);
    addDecorationToSelection(a);
    addDecorationToSelection(c);
    removeDecorationFromSelection(a + 1);
    EXPECT_EQ(selectedDecorations, (std::vector<int>{c, a}));
    removeDecorationFromSelection(c);
    EXPECT_TRUE(deleteDecorations());
    ASSERT_EQ(decorations.size(), 2u);
    EXPECT_EQ(decorations[0].name, "B");
    EXPECT_TRUE(selectedDecorations.empty());

    clearDecorationSelection();
    addDecorationToSelection(a);
    EXPECT_FALSE(deleteDecorations());
    EXPECT_TRUE(selectedDecorations.empty());
}

}  // namespace
