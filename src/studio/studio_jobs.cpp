// The job queue between the server's thread and the flight loop.
#include <chrono>
#include <deque>
#include <mutex>
#include <utility>

#include "studio/studio_api.h"

namespace {

struct Job {
    std::function<StudioReply()> work;
    std::function<void(StudioReply&&)> answer;
    bool heavy{};
};

// The flight loop spends at most this much of a call on jobs, and at least runs one.
constexpr auto kJobBudget = std::chrono::microseconds(2000);

std::mutex queueLock;
std::deque<Job> queue;  // under queueLock

}  // namespace

bool QueueStudioJob(std::function<StudioReply()> job, std::function<void(StudioReply&&)> answer,
                    bool heavy) {
    std::lock_guard<std::mutex> hold(queueLock);
    if (queue.size() >= kStudioJobLimit) return false;
    queue.push_back(Job{std::move(job), std::move(answer), heavy});
    return true;
}

void RunStudioJobs() {
    // The budget counts from the first job taken: a call that finds none reads no clock.
    std::chrono::steady_clock::time_point deadline;
    for (size_t k = 0; k < kStudioJobLimit; ++k) {
        Job job;
        {
            std::lock_guard<std::mutex> hold(queueLock);
            // A heavy job waits for the next call unless it is this call's first.
            if (queue.empty() || (k > 0 && queue.front().heavy)) return;
            job = std::move(queue.front());
            queue.pop_front();
        }
        if (k == 0) deadline = std::chrono::steady_clock::now() + kJobBudget;
        job.answer(job.work());
        if (job.heavy || std::chrono::steady_clock::now() >= deadline) return;
    }
}

void DropStudioJobs() {
    std::deque<Job> dropped;
    std::lock_guard<std::mutex> hold(queueLock);
    dropped.swap(queue);
}
