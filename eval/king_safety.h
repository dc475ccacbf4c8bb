// King safety: the king's own term, fading as the opponent's pieces come off.
#pragma once

int kingSafety(int s);
