// The SDMs of a run read ahead of their turn, on several threads, while the run takes them one by
// one in study order. Reading is nearly all of a run's work, and the SDMs are independent files.
//
// Each SDM is read silently (readSdmSilently), its names shared through the run's table
// (shareNames), handed to the visitor while its values are at hand, and condensed (condense)
// on the thread that read it; the run logs and reports it only when it takes it, so the log, the
// findings and the dialogs stay in study order. At most `window` SDMs are read ahead of the one
// the run takes next, and the SDMs whose values are at hand are bounded by one memory budget
// whatever the number of threads: once a thread has read an SDM's header, it makes the SDM's
// lists only when their cost (kCostPerListByte x sdmListBytes) fits what the others leave of the
// budget, or when no other SDM's lists are at hand (so an SDM larger than the budget is read
// alone, as on one thread). Memory thus holds at most `window` condensed SDMs, `threads` scanner
// buffers and headers, and values within the budget or of one SDM. With one thread nothing is
// read ahead: take() reads the SDM itself, in the very order of work of a run without read-ahead.
//
// No thread outlives the object: the destructor stops the reading ahead and waits for every
// thread, so a run leaves no thread behind, whatever way it ends. Every shared field is guarded
// by one mutex; a thread reads an SDM outside it and publishes the result under it.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <exception>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "designmatrix/path_list.h"
#include "designmatrix/sdm_file.h"
#include "inspection/name_list_table.h"
#include "inspection/sdm_predictors.h"
#include "inspection/zero_column_set.h"

namespace kelvora {

// Called with an SDM while its values are at hand: see SdmValuesVisitor in inspection_run.h.
using SdmValuesVisitor = std::function<void(std::size_t study, const SdmFile& sdm)>;

// The number of threads that read a run's SDMs: KELVORA_READ_THREADS when it holds a whole number
// from 1 to kMostReadThreads, otherwise the hardware's number of threads, within the same bounds.
inline constexpr unsigned kMostReadThreads = 16;
unsigned readThreadCount();

// The bytes that the SDMs whose values are at hand together may cost at most: 64 MiB, what one
// SDM at the reader's cap holds in values (kSdmMaxSlots). Study SDMs (36 predictors x 1,200 data
// points cost 0.5 MiB) are read on every thread at once; an SDM of 5 Mi values or more is read
// alone.
inline constexpr std::int64_t kReadAheadBudget = std::int64_t{64} * 1024 * 1024;

// An SDM's cost per byte of its lists: the lists, and twice as much for what a visitor makes of
// its values (kelvora's rank check works on a copy in doubles).
inline constexpr std::int64_t kCostPerListByte = 3;

// From this cost on, an SDM condensed on a reading thread hands the heap's free memory back to
// the system (heap_release.h), so that what each thread's heap keeps stays within the budget too.
inline constexpr std::int64_t kReleaseHeapFromCost = std::int64_t{8} * 1024 * 1024;

class SdmReadAhead {
 public:
  // Reads paths[first] to the last path, `threads` at a time (1: none ahead), the values at hand
  // costing at most `budget` bytes together unless one SDM's are alone; shares
  // their names and zero columns through `names` and `zeros`. `paths`, `visit`, `names` and
  // `zeros` must outlive the object, and `paths` every SDM taken, and not change meanwhile. When
  // the system refuses threads, the SDMs are read with those it gave, or by take() itself. The
  // threads take relative paths in the folder the constructing thread anchored (relative_paths.h).
  SdmReadAhead(const PathList& paths, std::size_t first, unsigned threads,
               const SdmValuesVisitor& visit, NameListTable& names, ZeroColumnTable& zeros,
               std::int64_t budget = kReadAheadBudget);
  ~SdmReadAhead();
  SdmReadAhead(const SdmReadAhead&) = delete;
  SdmReadAhead& operator=(const SdmReadAhead&) = delete;

  // The SDM of `study`, visited and condensed (its path a view of paths[study]); waits for it when
  // it is still being read. Studies are taken in order, from `first` on, each once. An exception
  // thrown while that SDM was read, visited or condensed is thrown here, at its turn; one of an SDM
  // never taken is dropped.
  CondensedSdm take(std::size_t study);

  // The number of SDMs held at most: `threads` times kWindowPerThread.
  static constexpr std::size_t kWindowPerThread = 2;

 private:
  struct Slot {
    bool ready = false;
    CondensedSdm sdm;
    std::exception_ptr failure;
  };

  // Reads, visits and condenses the SDM of `study`; `beforeLists` (null: none) as readSdmSilently.
  CondensedSdm prepare(std::size_t study, const SdmListGate& beforeLists) const;
  Slot prepareCatching(std::size_t study, const SdmListGate& beforeLists) const;
  void work();
  // Waits until lists of `cost` fit the budget left (or none are at hand), then counts them.
  void admit(std::int64_t cost);

  const PathList& paths;
  const SdmValuesVisitor& visit;
  NameListTable& names;
  ZeroColumnTable& zeros;
  const std::size_t window;
  const std::int64_t budget;
  const std::string pathFolder;  // relativePathFolder() of the constructing thread
  std::mutex mutex;
  std::condition_variable slotFilled;
  std::condition_variable mayGoOn;  // a slot or some of the budget was freed, or stopping
  std::vector<Slot> slots;          // study s in slots[s % window]
  std::size_t nextToRead;
  std::size_t nextToTake;
  std::int64_t costAtHand = 0;  // of the SDMs admitted and not yet condensed
  std::size_t atHand = 0;
  bool stopping = false;
  std::vector<std::thread> workers;
};

}  // namespace kelvora
