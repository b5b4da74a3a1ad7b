// The real program started in-process in a scratch folder holding a copy of the shipped content tree.
#pragma once

#include <gtest/gtest.h>

#include <physfs.h>
#include <unistd.h>

#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>

#include "game_loop.h"
#include "game_startup.h"
#include "game_state.h"
#include "network_manager.h"
#include "session_fixture.h"
#include "test_files.h"
#include "ui/host_page.h"
#include "ui/lan_page.h"
#include "ui/lobby_view_page.h"
#include "ui/main_menu.h"
#include "ui/main_page.h"

// The program in a folder holding the shipped content tree without the archive (only the folders are there to
// read) and the shipped maps, on ports of this process's own and broadcasting to loopback only; what it writes to
// the error stream is captured.
struct ProgramInFolders : ::testing::Test {
    TempDir dir;
    const std::string shippedConfig = readWholeFile(std::string(CORVALE_SOURCE_DIR) + "/src/config.txt");
    std::optional<WorkingDirectory> inRoot;
    uint16_t savedTcp = netTcpPort;
    std::string savedBroadcast = netBroadcastAddress;

    // A program starts with no file system mounted, whatever the tests before left.
    void SetUp() override {
        if (PHYSFS_isInit()) PHYSFS_deinit();
    }

    // breakPiece changes the copied tree before the program starts on it.
    void start(const std::function<void()>& breakPiece = [] {}) {
        for (const char* folder : {"core", "maps"})
            std::filesystem::copy(std::string(CORVALE_SOURCE_DIR) + "/" + folder, dir.path / folder,
                                  std::filesystem::copy_options::recursive);
        dir.write("src/config.txt", shippedConfig);
        breakPiece();
        inRoot.emplace(dir.path);
        // Another program on this machine may hold the game's own ports: these are this process's.
        const uint16_t base = static_cast<uint16_t>(50000 + (getpid() % 3000) * 4);
        netUdpPorts[0] = base;
        netUdpPorts[1] = base + 1;
        netTcpPort = 0;  // any free port: the player hosts alone
        netBroadcastAddress = "127.0.0.1";
        ::testing::internal::CaptureStderr();
        if (!startUp("corvale")) FAIL() << "start-up failed: " << ::testing::internal::GetCapturedStderr();
    }
    // The lobby's own way into a match against the computer, as a player clicks it.
    static void hostAMatchAgainstTheComputer() {
        clickOn(shown<MainPage>().lanButton.rect);
        clickOn(shown<LANPage>().hostGameButton.rect);
        clickOn(shown<HostPage>().startLobbyButton.rect);
        ASSERT_EQ(mainMenu.current, MenuPage::LobbyViewPage);
        clickOn(shown<LobbyViewPage>().addAIButton.rect);
        clickOn(shown<LobbyViewPage>().startButton.rect);
        ASSERT_EQ(gameState, GameState::Match);
    }

    void TearDown() override {
        netUdpPorts[0] = 54000;
        netUdpPorts[1] = 54001;
        netTcpPort = savedTcp;
        netBroadcastAddress = savedBroadcast;
        frameClock = sdlFrameClock();
    }
};
