// A small drop-down: a box showing the chosen option that opens into one row per option.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include <SDL2/SDL.h>

class Select {
public:
    std::function<void(int)> onChange;
    std::vector<std::string> options;
    int selected = 0;
    bool open = false;
    SDL_FRect box{0, 0, 0, 0};

    // Stores the box, then draws.
    void draw(float x, float y, float w, float h);
    void draw();
    void handle_event(const SDL_Event& e);
    // The chosen option, empty without options.
    const std::string& get_selected() const;
    // Chooses the first option and closes.
    void set_items(std::vector<std::string> items);

private:
    SDL_Rect row(int i) const;
};
