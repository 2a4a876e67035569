#include "arena/viewer/bounded_thread_pool.h"

namespace botarena {

namespace {

/// Set on the accepting thread while it runs a task that found the queue full.
thread_local bool answeringOverflow = false;

} // namespace

BoundedThreadPool::BoundedThreadPool(std::size_t workers, std::size_t maxWaiting)
    : maxWaiting(maxWaiting) {
    for (std::size_t i = 0; i < workers; ++i) {
        threads.emplace_back([this] { Work(); });
    }
}

void BoundedThreadPool::enqueue(std::function<void()> task) {
    {
        const std::lock_guard<std::mutex> lock(mutex);
        if (jobs.size() < maxWaiting) {
            jobs.push_back(std::move(task));
            ready.notify_one();
            return;
        }
    }
    answeringOverflow = true;
    task();
    answeringOverflow = false;
}

void BoundedThreadPool::shutdown() {
    {
        const std::lock_guard<std::mutex> lock(mutex);
        stopping = true;
    }
    ready.notify_all();
    for (std::thread& thread : threads) {
        thread.join();
    }
}

bool BoundedThreadPool::AnsweringOverflow() {
    return answeringOverflow;
}

void BoundedThreadPool::Work() {
    for (;;) {
        std::function<void()> task;
        {
            std::unique_lock<std::mutex> lock(mutex);
            ready.wait(lock, [this] { return stopping || !jobs.empty(); });
            if (jobs.empty()) {
                return;
            }
            task = std::move(jobs.front());
            jobs.pop_front();
        }
        task();
    }
}

} // namespace botarena
