/*
 * A fixed pool of threads that runs one job over a range of indices: the
 * calling thread works too, the indices are handed out in small chunks so
 * that jobs of uneven cost spread over the threads, and Run returns when
 * every index is done. The threads are created once and wait between jobs.
 */
#ifndef VESKSIM_POOL_H
#define VESKSIM_POOL_H

#include <atomic>
#include <barrier>
#include <cstddef>
#include <exception>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

namespace vesksim {

class CWorkerPool {
public:
  // un_threads counts the calling thread: 1 runs every job on the caller
  // and starts no thread; 0 is taken as 1.
  explicit CWorkerPool(unsigned un_threads);
  // Stops and joins the threads.
  ~CWorkerPool();
  CWorkerPool(const CWorkerPool &) = delete;
  CWorkerPool &operator=(const CWorkerPool &) = delete;

  unsigned GetThreads() const { return m_unThreads; }

  // Calls fn_job(i) once for every i in [0, un_count), spread over the
  // threads, and returns when all calls have returned. Calls for different
  // indices may run at the same time. When calls throw, the exception of
  // the lowest index is rethrown here once all calls are done, and
  // GetFailedIndex() gives that index (un_count when nothing threw).
  void Run(size_t un_count, const std::function<void(size_t)> &fn_job);
  size_t GetFailedIndex() const { return m_unFailed; }

private:
  void Worker();
  void Work();

  const unsigned m_unThreads;
  std::barrier<> m_cStart; // a job is ready (or the pool stops)
  std::barrier<> m_cDone;  // every thread has finished the job
  const std::function<void(size_t)> *m_pfnJob = nullptr;
  size_t m_unCount = 0;
  size_t m_unChunk = 1;
  std::atomic<size_t> m_unNext{0};
  bool m_bStop = false;
  std::mutex m_cErrorLock;
  std::exception_ptr m_pcError;
  size_t m_unFailed = 0;
  std::vector<std::jthread> m_vecThreads; // last: started once all else is set
};

} // namespace vesksim

#endif
