#include "platform/common/HistoryWriter.h"

#include <utility>

namespace kelo {

HistoryWriter::HistoryWriter(std::filesystem::path file, std::string gameVersion, bool background, Report report,
                             int busyTimeoutMs)
    : store_(std::move(file), busyTimeoutMs), gameVersion_(std::move(gameVersion)), report_(std::move(report)) {
    if (background) thread_ = std::thread([this] { Work(); });
}

HistoryWriter::~HistoryWriter() {
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    wake_.notify_all();
    if (thread_.joinable()) thread_.join();
    // Runs whose write failed get one more attempt as the game closes.
    std::unique_lock lock(mutex_);
    if (!unsaved_.empty() || !replays_.empty()) WriteQueued(lock);
}

// Called with the lock held; writes with it released, so Submit never waits on the disk.
void HistoryWriter::WriteQueued(std::unique_lock<std::mutex>& lock) {
    if (queued_.empty() && unsaved_.empty() && replays_.empty()) return;
    writing_ = true;
    std::deque<ReplaySegmentData> replays = std::move(replays_);
    replays_.clear();
    if (queued_.empty() && unsaved_.empty()) {
        lock.unlock();
        WriteReplays(replays);
        lock.lock();
        writing_ = false;
        idle_.notify_all();
        return;
    }
    for (RunHistory& run : queued_) unsaved_.push_back(std::move(run));
    queued_.clear();
    std::vector<RunHistory> batch = std::move(unsaved_);
    unsaved_.clear();
    lock.unlock();
    WriteReplays(replays);
    const bool saved = store_.Save(batch, gameVersion_);
    const std::string line = store_.LastError();
    lock.lock();
    if (!saved)
        unsaved_.insert(unsaved_.begin(), std::make_move_iterator(batch.begin()), std::make_move_iterator(batch.end()));
    writing_ = false;
    lock.unlock();
    if (report_) report_(line, saved);
    lock.lock();
    idle_.notify_all();
}

// Without the lock.
void HistoryWriter::WriteReplays(std::deque<ReplaySegmentData>& replays) {
    for (const ReplaySegmentData& segment : replays) {
        // A replay that cannot be written is dropped without a word: the runs, which the
        // writer keeps and retries, say that the database cannot be written. A damaged file
        // moved aside is said as for runs.
        if (store_.SaveReplay(segment) && !store_.LastError().empty() && report_) report_(store_.LastError(), true);
    }
    replays.clear();
}

void HistoryWriter::SubmitReplay(ReplaySegmentData segment) {
    std::unique_lock lock(mutex_);
    replays_.push_back(std::move(segment));
    if (thread_.joinable()) {
        wake_.notify_all();
    } else {
        WriteQueued(lock);
    }
}

void HistoryWriter::Work() {
    std::unique_lock lock(mutex_);
    for (;;) {
        wake_.wait(lock, [this] { return stopping_ || !queued_.empty() || !replays_.empty(); });
        if (!queued_.empty() || !replays_.empty()) {
            WriteQueued(lock);
        } else if (stopping_) {
            return;
        }
    }
}

void HistoryWriter::Submit(const RunHistory& run) {
    std::unique_lock lock(mutex_);
    queued_.push_back(run);
    if (thread_.joinable()) {
        wake_.notify_all();
    } else {
        WriteQueued(lock);
    }
}

void HistoryWriter::Flush() {
    std::unique_lock lock(mutex_);
    idle_.wait(lock, [this] { return queued_.empty() && replays_.empty() && !writing_; });
}

ProgressAggregate HistoryWriter::ReadProgress(const ProgressQuery& query) {
    std::unique_lock lock(mutex_);
    idle_.wait(lock, [this] { return queued_.empty() && replays_.empty() && !writing_; });
    return store_.ReadProgress(query);
}

size_t HistoryWriter::Unsaved() {
    std::lock_guard lock(mutex_);
    return unsaved_.size() + queued_.size();
}

}  // namespace kelo
