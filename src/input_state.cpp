// What the match and editor input hold between events.
#include "input_state.h"

bool chatActive = false;
std::string chatInput;
bool dragging = false;
SDL_Point dragStartRawScreen{0, 0};
bool typingFilename = false;
std::string filenameInput;
std::string filenameRefusal;
bool placingBuilding = false;
bool placingObject = false;
bool placingTile = false;
bool placingDecoration = false;
std::string ghostBuildingType;
std::string ghostObjectType;
Sprite ghostSprite;
V2i ghostTile{0, 0};
