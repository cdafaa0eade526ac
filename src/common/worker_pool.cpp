#include "common/worker_pool.hpp"

#include <pthread.h>
#include <sched.h>
#include <signal.h>

#include <algorithm>
#include <atomic>
#include <charconv>
#include <condition_variable>
#include <cstdlib>
#include <exception>
#include <mutex>
#include <string_view>
#include <thread>
#include <utility>
#include <vector>

namespace facetview {
namespace {

std::size_t processors_available() {
  cpu_set_t set;
  if (sched_getaffinity(0, sizeof set, &set) == 0) {
    const int count = CPU_COUNT(&set);
    if (count > 0) return static_cast<std::size_t>(count);
  }
  return std::max(1u, std::thread::hardware_concurrency());
}

std::size_t default_thread_count() {
  if (const char* text = std::getenv("FACETVIEW_THREADS")) {
    const std::string_view view(text);
    std::size_t count = 0;
    const auto [end, error] = std::from_chars(view.data(), view.data() + view.size(), count);
    if (error == std::errc() && end == view.data() + view.size() && count >= 1 &&
        count <= kMaxThreads) {
      return count;
    }
  }
  return std::clamp<std::size_t>(processors_available(), 1, kMaxThreads);
}

std::atomic<std::size_t> chosen_count{0};

// Set on the pool's threads, and on a caller while its job runs: a job
// started from inside a part runs on its own thread.
thread_local bool inside_job = false;

// Threads that wait for the parts of a job. The caller of run() works too, as
// worker 0; the threads are workers 1 and up.
class WorkerPool {
 public:
  explicit WorkerPool(std::size_t threads) {
    // The threads start with every signal blocked: signals are for the
    // threads that run Python's handlers.
    sigset_t all, previous;
    sigfillset(&all);
    pthread_sigmask(SIG_BLOCK, &all, &previous);
    try {
      for (std::size_t worker = 1; worker <= threads; ++worker) {
        threads_.emplace_back([this, worker] { serve(worker); });
      }
    } catch (...) {
      pthread_sigmask(SIG_SETMASK, &previous, nullptr);
      stop();
      throw;
    }
    pthread_sigmask(SIG_SETMASK, &previous, nullptr);
  }
  WorkerPool(const WorkerPool&) = delete;
  WorkerPool& operator=(const WorkerPool&) = delete;

  ~WorkerPool() { stop(); }

  std::size_t threads() const { return threads_.size(); }

  void run(std::size_t parts, PartRef part) {
    std::unique_lock lock(mutex_);
    part_ = &part;
    parts_ = parts;
    next_ = 0;
    unfinished_ = parts;
    failure_ = nullptr;
    lock.unlock();
    wake_.notify_all();
    lock.lock();
    work_while_parts_remain(lock, 0);
    finished_.wait(lock, [&] { return unfinished_ == 0; });
    part_ = nullptr;
    if (failure_) std::rethrow_exception(std::exchange(failure_, nullptr));
  }

 private:
  void stop() {
    {
      const std::lock_guard lock(mutex_);
      stopping_ = true;
    }
    wake_.notify_all();
    for (std::thread& thread : threads_) thread.join();
  }

  void serve(std::size_t worker) {
    inside_job = true;
    std::unique_lock lock(mutex_);
    while (true) {
      wake_.wait(lock, [&] { return stopping_ || (part_ != nullptr && next_ < parts_); });
      if (stopping_) return;
      work_while_parts_remain(lock, worker);
    }
  }

  // Takes parts one by one until none is left to start; `lock` holds mutex_
  // except while a part runs.
  void work_while_parts_remain(std::unique_lock<std::mutex>& lock, std::size_t worker) {
    while (next_ < parts_) {
      const std::size_t index = next_++;
      const auto* part = part_;
      lock.unlock();
      std::exception_ptr failure;
      try {
        (*part)(index, worker);
      } catch (...) {
        failure = std::current_exception();
      }
      lock.lock();
      if (failure && !failure_) failure_ = failure;
      if (--unfinished_ == 0) finished_.notify_all();
    }
  }

  std::mutex mutex_;
  std::condition_variable wake_;
  std::condition_variable finished_;
  const PartRef* part_ = nullptr;
  std::size_t parts_ = 0;
  std::size_t next_ = 0;
  std::size_t unfinished_ = 0;
  std::exception_ptr failure_;
  bool stopping_ = false;
  std::vector<std::thread> threads_;
};

// One job at a time uses the pool; it lives until the process ends (its
// threads would otherwise be joined while the interpreter shuts down).
std::mutex pool_mutex;
WorkerPool* pool = nullptr;

// A forked child has none of the parent's threads: it starts a pool of its
// own when it needs one. Holding pool_mutex across fork() means no job is
// half-way in the child.
void lock_pool_before_fork() {
  pool_mutex.lock();
}
void unlock_pool_after_fork() {
  pool_mutex.unlock();
}
void forget_pool_in_child() {
  pool = nullptr;  // its threads are gone; the memory is left as it is
  pool_mutex.unlock();
}
const int fork_handlers_registered =
    pthread_atfork(lock_pool_before_fork, unlock_pool_after_fork, forget_pool_in_child);

void run_here(std::size_t parts, PartRef part) {
  for (std::size_t index = 0; index < parts; ++index) part(index, 0);
}

}  // namespace

std::size_t thread_count() {
  std::size_t count = chosen_count.load(std::memory_order_relaxed);
  if (count == 0) {
    count = default_thread_count();
    chosen_count.store(count, std::memory_order_relaxed);
  }
  return count;
}

void set_thread_count(std::size_t count) {
  chosen_count.store(count == 0 ? default_thread_count() : std::min(count, kMaxThreads),
                     std::memory_order_relaxed);
}

void run_in_parallel(std::size_t parts, PartRef part) {
  (void)fork_handlers_registered;
  const std::size_t threads = std::min(thread_count(), parts);
  if (threads <= 1 || inside_job) return run_here(parts, part);
  std::unique_lock lock(pool_mutex, std::try_to_lock);
  if (!lock) return run_here(parts, part);
  inside_job = true;
  struct JobEnd {
    ~JobEnd() { inside_job = false; }
  } job_end;
  const std::size_t wanted = thread_count() - 1;
  if (pool == nullptr || pool->threads() != wanted) {
    delete pool;
    pool = nullptr;
    try {
      pool = new WorkerPool(wanted);
    } catch (const std::exception&) {
      // No threads to be had (a limit, or memory): the job runs here.
      return run_here(parts, part);
    }
  }
  pool->run(parts, part);
}

}  // namespace facetview
