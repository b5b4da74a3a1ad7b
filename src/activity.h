// The activity feed: short notices posted by the world and the input, aged by the simulation tick.
#pragma once

#include <cstddef>
#include <deque>
#include <string>

#include <SDL2/SDL.h>

struct Activity {
    std::string text;
    SDL_Texture* icon = nullptr;  // not owned: textures live in the caches for the run
    float duration = 5.0f;        // seconds
    float elapsed = 0.0f;
    SDL_Rect frame{};             // the part of the icon shown; empty for the whole texture
};

// Oldest at the front; producers append at the back.
extern std::deque<Activity> activityQueue;

// Seconds a completion notice stays.
constexpr float ACTIVITY_DURATION = 5.0f;

// Most notices the feed keeps; posting past it drops the oldest, so no flood of notices (a peer's chat) can grow
// the feed, or the frames that draw it, without bound.
constexpr size_t MAX_ACTIVITIES = 32;

void postActivity(const std::string& text, SDL_Texture* icon, float duration = ACTIVITY_DURATION,
                  const SDL_Rect& frame = {});

// Per tick: ages every notice, then drops expired notices from the front only, so an expired notice behind a
// live one waits until it reaches the front.
void updateActivities(float dt);
