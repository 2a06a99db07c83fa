#include "records/Ranking.h"
namespace kelo {
// Not built yet.
int32_t RunTypingSpeed(int32_t, int32_t) { return 0; }
void InsertRunRecord(Game&) {}
}  // namespace kelo
