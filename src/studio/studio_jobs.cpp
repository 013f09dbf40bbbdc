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
};

// The flight loop spends at most this much of a call on jobs, and at least runs one.
constexpr auto kJobBudget = std::chrono::microseconds(2000);

std::mutex queueLock;
std::deque<Job> queue;  // under queueLock

}  // namespace

bool QueueStudioJob(std::function<StudioReply()> job, std::function<void(StudioReply&&)> answer) {
    std::lock_guard<std::mutex> hold(queueLock);
    if (queue.size() >= kStudioJobLimit) return false;
    queue.push_back(Job{std::move(job), std::move(answer)});
    return true;
}

void RunStudioJobs() {
    const auto deadline = std::chrono::steady_clock::now() + kJobBudget;
    for (size_t k = 0; k < kStudioJobLimit; ++k) {
        Job job;
        {
            std::lock_guard<std::mutex> hold(queueLock);
            if (queue.empty()) return;
            job = std::move(queue.front());
            queue.pop_front();
        }
        job.answer(job.work());
        if (std::chrono::steady_clock::now() >= deadline) return;
    }
}

void DropStudioJobs() {
    std::deque<Job> dropped;
    std::lock_guard<std::mutex> hold(queueLock);
    dropped.swap(queue);
}
