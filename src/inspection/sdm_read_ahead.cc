#include "inspection/sdm_read_ahead.h"

#include <algorithm>
#include <charconv>
#include <cstdlib>
#include <cstring>
#include <system_error>
#include <utility>

#include "inspection/sdm_predictors.h"

namespace kelvora {

unsigned readThreadCount() {
  if (const char* given = std::getenv("KELVORA_READ_THREADS")) {
    const char* const end = given + std::strlen(given);
    unsigned count = 0;
    const auto [stop, error] = std::from_chars(given, end, count);
    if (error == std::errc() && stop == end && count >= 1 && count <= kMostReadThreads) {
      return count;
    }
  }
  return std::clamp(std::thread::hardware_concurrency(), 1u, kMostReadThreads);
}

SdmReadAhead::SdmReadAhead(const std::vector<std::string>& paths, std::size_t first,
                           unsigned threads, const SdmValuesVisitor& visit)
    : paths(paths),
      visit(visit),
      window(std::max(threads, 1u) * kWindowPerThread),
      nextToRead(first),
      nextToTake(first) {
  if (threads <= 1 || first >= paths.size()) return;
  const std::size_t wanted = std::min<std::size_t>(threads, paths.size() - first);
  try {
    slots.resize(window);
    workers.reserve(wanted);
    while (workers.size() < wanted) workers.emplace_back(&SdmReadAhead::work, this);
  } catch (...) {
    // Fewer threads than asked for still read everything; none at all leaves it to take().
  }
}

SdmReadAhead::~SdmReadAhead() {
  {
    const std::lock_guard<std::mutex> lock(mutex);
    stopping = true;
  }
  slotFreed.notify_all();
  for (std::thread& worker : workers) worker.join();
}

SdmFile SdmReadAhead::prepare(std::size_t study) const {
  SdmFile sdm = readSdmSilently(paths[study]);
  if (visit) visit(study, sdm);
  letValuesGo(sdm);
  return sdm;
}

SdmReadAhead::Slot SdmReadAhead::prepareCatching(std::size_t study) const {
  Slot slot;
  try {
    slot.sdm = prepare(study);
  } catch (...) {
    slot.failure = std::current_exception();
  }
  slot.ready = true;
  return slot;
}

void SdmReadAhead::work() {
  std::unique_lock<std::mutex> lock(mutex);
  for (;;) {
    slotFreed.wait(lock, [this] {
      return stopping || nextToRead == paths.size() || nextToRead < nextToTake + window;
    });
    if (stopping || nextToRead == paths.size()) return;
    const std::size_t study = nextToRead++;
    lock.unlock();
    Slot prepared = prepareCatching(study);
    lock.lock();
    slots[study % window] = std::move(prepared);
    slotFilled.notify_all();
  }
}

SdmFile SdmReadAhead::take(std::size_t study) {
  if (workers.empty()) return prepare(study);
  Slot taken;
  {
    std::unique_lock<std::mutex> lock(mutex);
    Slot& slot = slots[study % window];
    slotFilled.wait(lock, [&slot] { return slot.ready; });
    taken = std::move(slot);
    slot = Slot{};
    nextToTake = study + 1;
  }
  slotFreed.notify_all();
  if (taken.failure) std::rethrow_exception(taken.failure);
  return std::move(taken.sdm);
}

}  // namespace kelvora
