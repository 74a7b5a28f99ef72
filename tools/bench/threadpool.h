#ifndef THREADPOOL_H
#define THREADPOOL_H

#include <atomic>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

// A fixed set of worker threads that share out numbered tasks. Idle
// workers block instead of spinning, so they take no processor time from
// an OpenCL driver that runs on the same cores between two host runs.
class ThreadPool
{
public:
    // threads = 0: one thread per hardware thread. The calling thread
    // works too, so threads - 1 workers are started.
    explicit ThreadPool(unsigned threads = 0);
    ~ThreadPool();

    ThreadPool(const ThreadPool &) = delete;
    ThreadPool &operator=(const ThreadPool &) = delete;

    unsigned threadCount() const { return unsigned(workers.size()) + 1; }

    // Calls task(i) once for every i in [0, count) and returns when all
    // have returned. Not reentrant.
    void run(int count, const std::function<void(int)> &task);

private:
    void workerLoop();
    void drain();

    std::vector<std::thread> workers;
    std::mutex mutex;
    std::condition_variable wake;
    std::condition_variable done;
    const std::function<void(int)> *current = nullptr;
    int taskCount = 0;
    std::atomic<int> nextTask{0};
    unsigned busyWorkers = 0;
    unsigned long generation = 0;
    bool stopping = false;
};

#endif
