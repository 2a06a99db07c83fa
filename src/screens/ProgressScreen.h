#pragma once
// The progress screen, opened from course select with Tab: a keyboard heatmap, the most
// frequent wrong keys as arrows, a plot of the last runs and a line of figures, for the
// selected course and difficulty or for all courses; P starts a practice run, R watches
// the best goal run again.

#include "app/Game.h"
#include "screens/ProgressModel.h"

namespace kelo {

Screen ProgressScreen(Game& game);

// R on the progress screen: the best goal run of the selected course and difficulty
// played again in the window (Platform::WatchBestRun), then back to the progress screen.
Screen WatchScreen(Game& game);

// Everything one frame of the screen shows.
struct ProgressView {
    int course = 0;  // -1 for all courses
    Difficulty difficulty = Difficulty::Normal;
    HeatView heat = HeatView::MissRate;
    KeyLayout layout = kUsQwerty;
    const ProgressSummary* summary = nullptr;
};

// A key's box on the screen, corners included.
struct KeyBox {
    int x1, y1, x2, y2;
    double CentreX() const { return (x1 + x2) / 2.0; }
    double CentreY() const { return (y1 + y2) / 2.0; }
};
KeyBox KeyBoxOf(const KeyLayout& layout, int key);

// A wrong-key arrow: from the target key's centre toward the typed key's, stopping
// short of both keys' letters, moved sideways by `lane` (-1, 0 or 1) lanes of 3 pixels;
// the arrow of rank i (0 the most frequent) takes lane ArrowLane(i).
struct Arrow {
    double x1, y1, x2, y2;
};
Arrow WrongKeyArrow(const KeyLayout& layout, const KeyMixUp& pair, int lane = 0);
constexpr int ArrowLane(int rank) { return rank == 0 ? 0 : rank == 1 ? 1 : -1; }

// The screen's whole frame, into `surface` (400 x 300).
void DrawProgressFrame(Surface& surface, TextRenderer& font, const ProgressView& view);

}  // namespace kelo
