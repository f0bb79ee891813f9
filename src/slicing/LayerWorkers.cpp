#include "slicing/LayerWorkers.h"

LayerWorkers::LayerWorkers(int threads)
{
    for (int k = 0; k < threads; ++k)
        m_threads.emplace_back([this]() { work(); });
}

LayerWorkers::~LayerWorkers()
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_stopping = true;
    }
    m_wake.notify_all();
    for (std::thread &t : m_threads)
        t.join();
}

void LayerWorkers::post(std::function<void()> task)
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_queue.push_back(std::move(task));
    }
    m_wake.notify_one();
}

void LayerWorkers::work()
{
    for (;;) {
        std::function<void()> task;
        {
            std::unique_lock<std::mutex> lock(m_mutex);
            m_wake.wait(lock, [this]() { return m_stopping || !m_queue.empty(); });
            if (m_queue.empty())
                return;   // stopping, and nothing left to do
            task = std::move(m_queue.front());
            m_queue.pop_front();
        }
        task();
    }
}
