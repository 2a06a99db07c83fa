#pragma once
// The top of the game: start-up and the chain of screens. It stands above every folder
// of the game, since it knows them all; nothing in them includes it.

#include "app/Game.h"

namespace kelo {

// The game's entry point: start-up, then the screens from `firstScreen` (the title
// normally; the simulator may start elsewhere). Returns when the game is closing.
void PlayGame(Game& game, Screen firstScreen = Screen::Title);

// Start-up, named after the load event of the game's window: closes any sounds left
// open, seeds the random generator, sets up the surfaces, the course notes and two open
// courses, loads the records and shows the window. False for a second copy of the game,
// which closes at once and shows nothing.
bool Form_Load(Game& game);

// Runs screens until one returns Screen::None. Screens never run inside each other,
// so any number of runs in a row does not deepen the call stack.
void RunScreens(Game& game, Screen first);

}  // namespace kelo
