#pragma once
// Hands finished runs to the history database without ever holding up the game: on the
// desktop a worker thread writes them, in the simulator they are written at once. A run
// that could not be written stays in memory and goes with the next run's write; every
// failed write is reported once, through `report`, in one line.

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/common/HistoryStore.h"

namespace kelo {

class HistoryWriter {
public:
    // Called from the writing thread after every write: `saved` whether the runs are in
    // the database, `line` empty or one line to tell (why it failed, or that a damaged
    // file was moved aside).
    using Report = std::function<void(const std::string& line, bool saved)>;

    HistoryWriter(std::filesystem::path file, std::string gameVersion, bool background, Report report,
                  int busyTimeoutMs = 2000);
    // Writes what is still queued, then stops the thread; runs whose write failed get
    // one last attempt.
    ~HistoryWriter();
    HistoryWriter(const HistoryWriter&) = delete;
    HistoryWriter& operator=(const HistoryWriter&) = delete;

    void Submit(const RunHistory& run);
    // A replay segment, compressed and written by the writing thread; one that fails is
    // dropped without a report (a later copy of the same segment may still succeed).
    void SubmitReplay(ReplaySegmentData segment);
    // Returns once every run submitted so far has had its write attempted.
    void Flush();
    ProgressAggregate ReadProgress(const ProgressQuery& query);
    // Runs that are waiting for a write that succeeds.
    size_t Unsaved();

private:
    void WriteQueued(std::unique_lock<std::mutex>& lock);
    void Work();
    void WriteReplays(std::deque<ReplaySegmentData>& replays);

    HistoryStore store_;
    std::string gameVersion_;
    Report report_;
    std::mutex mutex_;
    std::condition_variable wake_;
    std::condition_variable idle_;
    std::vector<RunHistory> unsaved_;  // failed before: written first, with the new ones
    std::deque<RunHistory> queued_;
    std::deque<ReplaySegmentData> replays_;
    bool writing_ = false;
    bool stopping_ = false;
    std::thread thread_;
};

}  // namespace kelo
