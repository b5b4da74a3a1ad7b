// The networked mode of the match runner: peers of one battle over TCP on 127.0.0.1, and the same orders in one
// process for comparison.
#pragma once

int runNetMatch(int argc, char** argv);
