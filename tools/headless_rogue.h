// A hostile client for the networked runner: it floods the host with connections and breaks every rule of the
// lobby and of the match once, each on a connection of its own.
#pragma once

namespace rogue {

// Floods the host on 127.0.0.1:port, joins as players firstId onwards (guests of them), and has each guest break
// one rule of the match as the host's turns go on. Prints how many refusals the host must have written.
int play(int port, int firstId, int guests);

}  // namespace rogue
