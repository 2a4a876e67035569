#pragma once

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <httplib.h>
#include <mutex>
#include <thread>
#include <vector>

namespace botarena {

/// The viewer's threads: a fixed number of workers and a bounded queue of accepted
/// connections. cpp-httplib's own pool queues without bound; here a connection that finds
/// the queue full is served by the accepting thread itself, which answers it at once (see
/// AnsweringOverflow) and accepts no more until it is done, so that a flood of connections
/// waits in the system's listen queue rather than in the arena's memory.
class BoundedThreadPool final : public httplib::TaskQueue {
  public:
    /// [Limit: workers >= 1]
    BoundedThreadPool(std::size_t workers, std::size_t maxWaiting);

    /// Queues the task, or runs it here and now when `maxWaiting` tasks are waiting already.
    void enqueue(std::function<void()> task) override;
    /// Runs what is queued, then joins the workers.
    void shutdown() override;

    /// True while this thread runs a task that found the queue full: the server should then
    /// answer its request as quickly as it can ("busy").
    static bool AnsweringOverflow();

  private:
    void Work();

    std::size_t maxWaiting;
    std::vector<std::thread> threads;
    std::deque<std::function<void()>> jobs;
    std::mutex mutex;
    std::condition_variable ready;
    bool stopping = false;
};

} // namespace botarena
