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
    if (!unsaved_.empty()) WriteQueued(lock);
}

// Called with the lock held; writes with it released, so Submit never waits on the disk.
void HistoryWriter::WriteQueued(std::unique_lock<std::mutex>& lock) {
    if (queued_.empty() && unsaved_.empty()) return;
    writing_ = true;
    for (RunHistory& run : queued_) unsaved_.push_back(std::move(run));
    queued_.clear();
    std::vector<RunHistory> batch = std::move(unsaved_);
    unsaved_.clear();
    lock.unlock();
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

void HistoryWriter::Work() {
    std::unique_lock lock(mutex_);
    for (;;) {
        wake_.wait(lock, [this] { return stopping_ || !queued_.empty(); });
        if (!queued_.empty()) {
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
    idle_.wait(lock, [this] { return queued_.empty() && !writing_; });
}

ProgressAggregate HistoryWriter::ReadProgress(const ProgressQuery& query) {
    std::unique_lock lock(mutex_);
    idle_.wait(lock, [this] { return queued_.empty() && !writing_; });
    return store_.ReadProgress(query);
}

size_t HistoryWriter::Unsaved() {
    std::lock_guard lock(mutex_);
    return unsaved_.size() + queued_.size();
}

}  // namespace kelo
