// The command loop: the first line chooses the protocol for the rest of the
// run, UCI after "uci", otherwise the xboard dialect from that line on.
#pragma once

#include "engine/protocol_words.h"
#include "engine/session.h"
#include "engine/xboard.h"

void runCommandLoop(CommandLoop& loop);
