// Deals a new, always clearable game.
#pragma once

// Fills the board with a new deal; plays "snd1.wav" at the end.
void deal_board();
