// The match input handler: every event offered to the dialogs, then keys and mouse turned into commands.
#include "events_iso.h"

IsoEventHandler eventHandler;

bool ctrl = false;
bool shift = false;
std::vector<std::string> chatHistory;
int historyIndex = -1;

void IsoEventHandler::handleGameEvents(Grid&) {}
