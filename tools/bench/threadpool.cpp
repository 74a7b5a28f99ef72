#include "threadpool.h"

ThreadPool::ThreadPool(unsigned threads)
{
    if (threads == 0)
        threads = std::thread::hardware_concurrency();
    if (threads == 0)
        threads = 1;
    for (unsigned i = 1; i < threads; ++i)
        workers.emplace_back(&ThreadPool::workerLoop, this);
}

ThreadPool::~ThreadPool()
{
    {
        std::lock_guard<std::mutex> lock(mutex);
        stopping = true;
    }
    wake.notify_all();
    for (std::thread &worker : workers)
        worker.join();
}

void ThreadPool::drain()
{
    for (int i = nextTask.fetch_add(1); i < taskCount; i = nextTask.fetch_add(1))
        (*current)(i);
}

void ThreadPool::run(int count, const std::function<void(int)> &task)
{
    if (count <= 0)
        return;
    {
        std::lock_guard<std::mutex> lock(mutex);
        current = &task;
        taskCount = count;
        nextTask = 0;
        busyWorkers = unsigned(workers.size());
        ++generation;
    }
    wake.notify_all();
    drain();
    std::unique_lock<std::mutex> lock(mutex);
    done.wait(lock, [this] { return busyWorkers == 0; });
    current = nullptr;
}

void ThreadPool::workerLoop()
{
    unsigned long seen = 0;
    for (;;) {
        {
            std::unique_lock<std::mutex> lock(mutex);
            wake.wait(lock, [&] { return stopping || generation != seen; });
            if (stopping)
                return;
            seen = generation;
        }
        drain();
        std::lock_guard<std::mutex> lock(mutex);
        if (--busyWorkers == 0)
            done.notify_one();
    }
}
