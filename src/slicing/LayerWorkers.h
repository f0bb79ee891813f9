#pragma once

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

// A fixed set of threads that run posted tasks, oldest first. The slicing run hands layers to
// it; results come back through futures, so the tasks themselves need no locks.
class LayerWorkers
{
public:
    explicit LayerWorkers(int threads);
    // Runs what is still queued, then joins the threads.
    ~LayerWorkers();
    LayerWorkers(const LayerWorkers &) = delete;
    LayerWorkers &operator=(const LayerWorkers &) = delete;

    int threadCount() const { return int(m_threads.size()); }
    void post(std::function<void()> task);

private:
    void work();

    std::mutex m_mutex;                 // guards m_queue and m_stopping
    std::condition_variable m_wake;
    std::deque<std::function<void()>> m_queue;
    bool m_stopping = false;
    std::vector<std::thread> m_threads;
};
