// What the frame's overlay pass draws of the HUD besides the DrawHUD hook: the activity feed, the status lines and
// the in-game dialogs. Apart from hud.h, so the renderer needs no widget headers.
#pragma once

// The activity feed at the lower left, newest lowest.
void drawActivities();
// FPS, map name, ping and APM, in that order.
void drawStatusLines();
// The game-over dialog once the match is decided, the Extraction dialog in its mode, and the in-game menu.
void drawDialogs();
