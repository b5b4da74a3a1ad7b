// The tower defence world on the fight map with a script of the test's own, and a way to ask the script things.
#pragma once

#include <gtest/gtest.h>

#include <lua.hpp>
#include <string>

#include "../tools/tower_defense_match.h"
#include "session_fixture.h"

struct ModWorld : ShippedGame {
    TempDir scripts;

    void SetUp() override {
        ShippedGame::SetUp();
        ASSERT_TRUE(contentLoaded);
        basePath = std::string(CORVALE_SOURCE_DIR) + "/";
    }
    void TearDown() override {
        headless::endTowerDefense();
        ShippedGame::TearDown();
    }

    // Starts the match with the script as the mod; what the start wrote to the error stream.
    std::string start(const std::string& script) {
        scripts.write("tower_defense.lua", script);
        ::testing::internal::CaptureStderr();
        EXPECT_TRUE(headless::startTowerDefense(true, scripts.path.string() + "/"));
        return ::testing::internal::GetCapturedStderr();
    }
    // Runs the ticks; what they wrote to the error stream.
    static std::string tick(int ticks) {
        ::testing::internal::CaptureStderr();
        for (int i = 0; i < ticks; ++i) advanceOneTurn(grid);
        return ::testing::internal::GetCapturedStderr();
    }
    // A Lua expression evaluated in the script's state, as text: "nil", "false", "true" or the number.
    static std::string evaluate(const std::string& expression) { return evaluateIn(modManager.L, expression); }
    // The same in another state.
    static std::string evaluateIn(lua_State* L, const std::string& expression) {
        EXPECT_EQ(luaL_dostring(L, ("result = " + expression).c_str()), LUA_OK) << expression;
        lua_getglobal(L, "result");
        const std::string text = luaL_tolstring(L, -1, nullptr);
        lua_pop(L, 2);
        return text;
    }
};
