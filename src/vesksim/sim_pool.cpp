/*
 * The worker pool: two barriers per job, one to start it and one to end it;
 * the indices are taken from an atomic counter, a chunk at a time.
 */
#include "sim_pool.h"
#include <algorithm>

namespace vesksim {

namespace {

// Chunks per thread and job: enough for robots of uneven cost to even out,
// few enough that the shared counter stays cold.
constexpr size_t CHUNKS_PER_THREAD = 16;
constexpr size_t MAX_CHUNK = 64;

} // namespace

CWorkerPool::CWorkerPool(unsigned un_threads)
    : m_unThreads(std::max(un_threads, 1u)), m_cStart(m_unThreads), m_cDone(m_unThreads) {
  m_vecThreads.reserve(m_unThreads - 1);
  for (unsigned i = 1; i < m_unThreads; ++i)
    m_vecThreads.emplace_back([this] { Worker(); });
}

CWorkerPool::~CWorkerPool() {
  if (m_vecThreads.empty()) return;
  m_bStop = true;
  m_cStart.arrive_and_wait();
  m_vecThreads.clear(); // joins
}

void CWorkerPool::Run(size_t un_count, const std::function<void(size_t)> &fn_job) {
  m_pfnJob = &fn_job;
  m_unCount = un_count;
  m_unChunk =
      std::clamp<size_t>(un_count / (m_unThreads * CHUNKS_PER_THREAD), 1, MAX_CHUNK);
  m_unNext.store(0, std::memory_order_relaxed);
  m_pcError = nullptr;
  m_unFailed = un_count;
  if (!m_vecThreads.empty()) m_cStart.arrive_and_wait();
  Work();
  if (!m_vecThreads.empty()) m_cDone.arrive_and_wait();
  m_pfnJob = nullptr;
  if (m_pcError) std::rethrow_exception(m_pcError);
}

void CWorkerPool::Worker() {
  for (;;) {
    m_cStart.arrive_and_wait();
    if (m_bStop) return;
    Work();
    m_cDone.arrive_and_wait();
  }
}

void CWorkerPool::Work() {
  for (;;) {
    const size_t unBegin = m_unNext.fetch_add(m_unChunk, std::memory_order_relaxed);
    if (unBegin >= m_unCount) return;
    const size_t unEnd = std::min(unBegin + m_unChunk, m_unCount);
    for (size_t i = unBegin; i < unEnd; ++i) {
      try {
        (*m_pfnJob)(i);
      } catch (...) {
        std::lock_guard<std::mutex> cLock(m_cErrorLock);
        if (i < m_unFailed) {
          m_unFailed = i;
          m_pcError = std::current_exception();
        }
      }
    }
  }
}

} // namespace vesksim
