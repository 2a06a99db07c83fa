#include "records/RecordFile.h"

#include "records/Ranking.h"

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

namespace {

// A record file that loads whole is the master copy, and the runs not saved yet are
// ranked into it; otherwise the state in memory is.
class GameRecordSaver : public RecordSaver {
public:
    explicit GameRecordSaver(Game& game) : game_(game) {}

    std::vector<uint8_t> Merge(const std::optional<std::vector<uint8_t>>& current) override {
        merged_.reset();
        RecordTable table = RecordTableOf(game_.state);
        if (current && CheckRecordFile(*current) == RecordFileDamage::None) {
            table = DecodeRecordFile(*current);
            lastRank_ = 0;
            for (const FinishedRun& run : game_.unsavedRuns) lastRank_ = RankRun(table, run);
            merged_ = table;
        }
        return EncodeRecordFile(table, game_.random);
    }

    std::optional<std::string> Damage(const std::vector<uint8_t>& bytes) const override {
        const RecordFileDamage damage = CheckRecordFile(bytes);
        if (damage == RecordFileDamage::None) return std::nullopt;
        return RecordFileDamageText(damage);
    }

    // The table written when it came from the file, and the place of the last run.
    const std::optional<RecordTable>& Merged() const { return merged_; }
    uint8_t LastRank() const { return lastRank_; }

private:
    Game& game_;
    std::optional<RecordTable> merged_;
    uint8_t lastRank_ = 0;
};

}  // namespace

bool SaveRecords(Game& game) {
    GameRecordSaver saver(game);
    if (!game.platform.SaveRecordFile(saver)) return false;
    if (saver.Merged()) {
        ApplyRecordTable(*saver.Merged(), game.state);
        if (!game.unsavedRuns.empty()) game.run.newRank = saver.LastRank();
    }
    game.unsavedRuns.clear();
    return true;
}

}  // namespace kelo
