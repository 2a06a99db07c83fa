#pragma once
// The two hands' target letters and the keys of a run: hits polled once a frame, wrong
// keys reported by PicMain's key events, the key latch and the rhythm rule.

#include <cstdint>
#include <string_view>

#include "app/Game.h"

namespace kelo {

// Ordered row by row (home, upper, lower), so a prefix is a set of whole keyboard rows.
inline constexpr std::string_view kLeftHandKeys = "FASDGQWERTZXCVB";
inline constexpr std::string_view kRightHandKeys = "JHKLYUIOPNM,.";
inline constexpr int kQueueLength = 10;

std::string_view HandKeys(int hand);

// Key code of a target letter: the upper-case character code, 188 for ",", 190 for ".".
uint8_t TargetKeyCode(char letter);

// A letter drawn at random from the first keyPoolSize(hand) letters of the hand's keys,
// by the practice weights during a practice run.
char DrawLetter(Game& game, int hand);

// Both queues get ten letters (no letter twice in a row unless the pool has one
// letter) and both target keys are set.
void FillTargetQueues(Game& game);

// Frees the latch of a correct key once that key no longer reads as pressed. Queries
// the held key every call, since a query also clears its pressed-since flag.
void ReleaseHeldKey(Game& game);

// Once a frame per hand: shake, rhythm period adoption, hit-flash decay, then the poll
// of the hand's target key, scoring a hit when the hand may type.
void HandStep(Game& game, int hand);

// A correct key of `hand`: sounds, clock start, queue refill, rhythm, tallies, flash,
// speed and streak charge.
void ScoreHit(Game& game, int hand);

// The run's wrong-key input: the window's key events while the run is the active screen,
// which PlayRun has Game::OnKeyDown and Game::OnKeyUp pass on (named after the events of
// the shown surface, PicMain). A key-down that is not swallowed by the latch or left to
// a free hand's poll is a wrong key; any key-up frees a wrong-key latch.
void PicMain_KeyDown(Game& game, int vk);
void PicMain_KeyUp(Game& game, int vk);

// Which hand a wrong key is tallied for: 0, 1, or -1 for neither.
int MissedHand(int vk);

// Speed after a wrong key, and after a correct key.
float SpeedAfterMiss(float speed);
float SpeedAfterHit(float speed);

// Both letter columns, growing upward from the current targets.
void DrawLetterColumns(Game& game);

}  // namespace kelo
