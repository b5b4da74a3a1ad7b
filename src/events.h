// The input handler's interface: one per-frame drain of the event queue for a match, one for the map editor.
#pragma once

struct Grid;

class EventHandler {
public:
    virtual ~EventHandler() = default;
    virtual void handleGameEvents(Grid&) {}
    virtual void handleEditorEvents(Grid&) {}
};
