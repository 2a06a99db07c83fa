#include "run/CourseEvents.h"
namespace kelo {
void RunCourseEvents(GameState&) {}  // Not built yet.
}  // namespace kelo
