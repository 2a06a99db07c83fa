#include "records/RecordFile.h"

namespace kelo {

RecordTable RecordTableOf(const GameState& state) {
    RecordTable table{state.openCourses, {}, state.courseRecords};
    for (int c = 0; c < kCourseCount; ++c) table.clearMark[c] = static_cast<uint8_t>(state.clearMark[c]);
    return table;
}

void ApplyRecordTable(const RecordTable& table, GameState& state) {
    state.openCourses = table.openCourses;
    for (int c = 0; c < kCourseCount; ++c) state.clearMark[c] = static_cast<ClearMark>(table.clearMark[c]);
    state.courseRecords = table.courseRecords;
}

void LoadRecords(Game& game) {
    std::optional<std::vector<uint8_t>> bytes = game.platform.ReadRecordFile();
    if (!bytes) return;
    ApplyRecordTable(DecodeRecordFile(*bytes), game.state);
}

bool SaveRecords(Game& game) {
    return game.platform.WriteRecordFile(EncodeRecordFile(RecordTableOf(game.state), game.random));
}

}  // namespace kelo
