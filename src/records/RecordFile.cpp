#include "records/RecordFile.h"

namespace kelo {

RecordTable RecordTableOf(const GameState& state) {
    return RecordTable{state.openCourses, state.clearMark, state.courseRecords};
}

void ApplyRecordTable(const RecordTable& table, GameState& state) {
    state.openCourses = table.openCourses;
    state.clearMark = table.clearMark;
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
