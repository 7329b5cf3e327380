#include "inspection/sdm_read_ahead.h"

#include <algorithm>
#include <charconv>
#include <cstdlib>
#include <cstring>
#include <system_error>
#include <utility>

#include "files/relative_paths.h"
#include "inspection/heap_release.h"
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

SdmReadAhead::SdmReadAhead(const PathList& paths, std::size_t first, unsigned threads,
                           const SdmValuesVisitor& visit, NameListTable& names,
                           ZeroColumnTable& zeros, std::int64_t budget)
    : paths(paths),
      visit(visit),
      names(names),
      zeros(zeros),
      window(std::max(threads, 1u) * kWindowPerThread),
      budget(budget),
      pathFolder(relativePathFolder()),
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
  mayGoOn.notify_all();
  for (std::thread& worker : workers) worker.join();
}

CondensedSdm SdmReadAhead::prepare(std::size_t study, const SdmListGate& beforeLists) const {
  SdmFile sdm = readSdmSilently(std::string(paths[study]), beforeLists);
  shareNames(sdm, names);
  if (visit) visit(study, sdm);
  CondensedSdm condensed = condense(sdm, names, zeros);
  condensed.path = paths[study];  // outlives the record read, which ends here
  return condensed;
}

SdmReadAhead::Slot SdmReadAhead::prepareCatching(std::size_t study,
                                                 const SdmListGate& beforeLists) const {
  Slot slot;
  try {
    slot.sdm = prepare(study, beforeLists);
  } catch (...) {
    slot.failure = std::current_exception();
  }
  slot.ready = true;
  return slot;
}

void SdmReadAhead::admit(std::int64_t cost) {
  std::unique_lock<std::mutex> lock(mutex);
  // A stopping run drops the SDM anyway; it is read to its end as if alone.
  mayGoOn.wait(lock, [&] { return stopping || atHand == 0 || costAtHand + cost <= budget; });
  costAtHand += cost;
  ++atHand;
}

void SdmReadAhead::work() {
  const RelativePathFolder anchored(pathFolder);
  std::unique_lock<std::mutex> lock(mutex);
  for (;;) {
    mayGoOn.wait(lock, [this] {
      return stopping || nextToRead == paths.size() || nextToRead < nextToTake + window;
    });
    if (stopping || nextToRead == paths.size()) return;
    const std::size_t study = nextToRead++;
    lock.unlock();
    std::int64_t admitted = -1;  // none: the SDM made no lists (unreadable, too large)
    Slot prepared = prepareCatching(study, [&](std::int64_t listBytes) {
      const std::int64_t cost = listBytes * kCostPerListByte;
      admit(cost);
      admitted = cost;
    });
    if (admitted >= kReleaseHeapFromCost) releaseFreeHeapMemory();
    lock.lock();
    if (admitted >= 0) {
      costAtHand -= admitted;
      --atHand;
    }
    slots[study % window] = std::move(prepared);
    slotFilled.notify_all();
    mayGoOn.notify_all();
  }
}

CondensedSdm SdmReadAhead::take(std::size_t study) {
  if (workers.empty()) return prepare(study, nullptr);
  Slot taken;
  {
    std::unique_lock<std::mutex> lock(mutex);
    Slot& slot = slots[study % window];
    slotFilled.wait(lock, [&slot] { return slot.ready; });
    taken = std::move(slot);
    slot = Slot{};
    nextToTake = study + 1;
  }
  mayGoOn.notify_all();
  if (taken.failure) std::rethrow_exception(taken.failure);
  return std::move(taken.sdm);
}

}  // namespace kelvora
