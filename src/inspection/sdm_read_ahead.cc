#include "inspection/sdm_read_ahead.h"

#include <algorithm>
#include <charconv>
#include <cstdlib>
#include <cstring>
#include <filesystem>
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

std::int64_t readingCostOf(const std::string& path) {
  constexpr std::int64_t kClaimable = kSdmValueAllowance * 4;
  std::error_code error;
  const std::uintmax_t size = std::filesystem::file_size(path, error);
  if (error) return kClaimable;
  constexpr std::uintmax_t kMostCounted = std::uintmax_t{1} << 60;  // no overflow below
  return kClaimable + static_cast<std::int64_t>(std::min(size, kMostCounted)) * 4;
}

SdmReadAhead::SdmReadAhead(const std::vector<std::string>& paths, std::size_t first,
                           unsigned threads, const SdmValuesVisitor& visit, NameListTable& names,
                           std::int64_t budget)
    : paths(paths),
      visit(visit),
      names(names),
      window(std::max(threads, 1u) * kWindowPerThread),
      budget(budget),
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
  mayStart.notify_all();
  for (std::thread& worker : workers) worker.join();
}

SdmFile SdmReadAhead::prepare(std::size_t study) const {
  SdmFile sdm = readSdmSilently(paths[study]);
  shareNames(sdm, names);
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

bool SdmReadAhead::nextMayStart() {
  if (nextToRead >= nextToTake + window) return false;
  if (beingRead == 0) return true;
  // Sized once per study, by whichever thread asks first; a file's size is a quick system call.
  if (nextCost < 0) nextCost = readingCostOf(paths[nextToRead]);
  return costBeingRead + nextCost <= budget;
}

void SdmReadAhead::work() {
  std::unique_lock<std::mutex> lock(mutex);
  for (;;) {
    mayStart.wait(lock,
                  [this] { return stopping || nextToRead == paths.size() || nextMayStart(); });
    if (stopping || nextToRead == paths.size()) return;
    const std::size_t study = nextToRead++;
    const std::int64_t cost = nextCost >= 0 ? nextCost : readingCostOf(paths[study]);
    nextCost = -1;
    costBeingRead += cost;
    ++beingRead;
    lock.unlock();
    Slot prepared = prepareCatching(study);
    lock.lock();
    costBeingRead -= cost;
    --beingRead;
    slots[study % window] = std::move(prepared);
    slotFilled.notify_all();
    mayStart.notify_all();
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
  mayStart.notify_all();
  if (taken.failure) std::rethrow_exception(taken.failure);
  return std::move(taken.sdm);
}

}  // namespace kelvora
