// Work spread over the machine's cores: a fixed set of threads that run the
// parts of one job at a time while the caller works beside them.
#pragma once

#include <cstddef>
#include <type_traits>
#include <utility>

namespace facetview {

// How many threads a job may use, the caller's included: FACETVIEW_THREADS
// when it holds a whole number from 1 to kMaxThreads, else the processors
// this process may run on. 1 runs every job on the calling thread alone.
std::size_t thread_count();

inline constexpr std::size_t kMaxThreads = 256;

// Overrides the count for the rest of the process (clamped to 1 ..
// kMaxThreads); 0 goes back to the environment's or the machine's.
void set_thread_count(std::size_t count);

// A part of a job: something callable as part(index, worker), referred to
// without copying it, so that starting a job allocates nothing. It must
// outlive the job, as an argument of run_in_parallel does.
class PartRef {
 public:
  template <class Part>
  requires(!std::is_same_v<std::remove_cvref_t<Part>, PartRef>) PartRef(Part&& part)
      : object_(const_cast<void*>(static_cast<const void*>(&part))),
        call_([](void* object, std::size_t index, std::size_t worker) {
          (*static_cast<std::remove_reference_t<Part>*>(object))(index, worker);
        }) {}

  void operator()(std::size_t index, std::size_t worker) const { call_(object_, index, worker); }

 private:
  void* object_;
  void (*call_)(void*, std::size_t, std::size_t);
};

// Runs part(index, worker) for every index below `parts`, each exactly once,
// and returns when all are done. `worker` is below thread_count() and no two
// parts of the job run at the same time with the same worker, so it can pick
// scratch space. Parts must not depend on their order. When another job holds
// the pool (from another thread, or this one from inside a part) the parts
// run here, one after the other, as worker 0. The first exception a part throws is thrown here
// once every part has finished.
void run_in_parallel(std::size_t parts, PartRef part);

}  // namespace facetview
