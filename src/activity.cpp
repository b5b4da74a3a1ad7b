// The activity feed: short notices posted by the world and the input, aged by the simulation tick.
#include "activity.h"

std::deque<Activity> activityQueue;

void postActivity(const std::string& text, SDL_Texture* icon, float duration, const SDL_Rect& frame) {
    activityQueue.push_back(Activity{text, icon, duration, 0.0f, frame});
    if (activityQueue.size() > MAX_ACTIVITIES) activityQueue.pop_front();
}

void updateActivities(float dt) {
    for (Activity& a : activityQueue) a.elapsed += dt;
    while (!activityQueue.empty() && activityQueue.front().elapsed > activityQueue.front().duration)
        activityQueue.pop_front();
}
