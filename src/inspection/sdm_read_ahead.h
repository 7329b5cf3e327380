// The SDMs of a run read ahead of their turn, on several threads, while the run takes them one by
// one in study order. Reading is nearly all of a run's work, and the SDMs are independent files.
//
// Each SDM is read silently (readSdmSilently), its names shared through the run's table
// (shareNames), handed to the visitor while its values are at hand, and condensed (letValuesGo)
// on the thread that read it; the run logs and reports it only when it takes it, so the log, the
// findings and the dialogs stay in study order. At most `window` SDMs are read ahead of the one
// the run takes next, and the SDMs being read are bounded by one memory budget whatever the
// number of threads: an SDM is started, in study order, only when its reading cost
// (readingCostOf) fits what the SDMs being read leave of the budget, or when no other is being
// read (so an SDM larger than the budget is read alone, as on one thread). Memory thus holds at
// most `window` condensed SDMs and values of at most the budget, or of one SDM. With one thread
// nothing is read ahead: take() reads the SDM itself, in the very order of work of a run without
// read-ahead.
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

#include "designmatrix/sdm_file.h"
#include "inspection/name_list_table.h"

namespace kelvora {

// Called with an SDM while its values are at hand: see SdmValuesVisitor in inspection_run.h.
using SdmValuesVisitor = std::function<void(std::size_t study, const SdmFile& sdm)>;

// The number of threads that read a run's SDMs: KELVORA_READ_THREADS when it holds a whole number
// from 1 to kMostReadThreads, otherwise the hardware's number of threads, within the same bounds.
inline constexpr unsigned kMostReadThreads = 16;
unsigned readThreadCount();

// The bytes that the SDMs being read together may cost at most: 64 MiB, what one SDM at the
// reader's cap holds in values (kSdmMaxSlots). Study SDMs of a few hundred KiB are read on every
// thread at once; an SDM near the cap is read alone.
inline constexpr std::int64_t kReadAheadBudget = std::int64_t{64} * 1024 * 1024;

// What reading the SDM at `path` may cost at its peak, from its file's size before it is read: the
// values a short file may claim (kSdmValueAllowance slots), and four bytes per byte of the file,
// twice the values that its text can hold (a digit and a separator per 4-byte value), for what a
// visitor makes of them (a copy of the values, e.g.). A file that cannot be sized costs the first
// part alone: the reader then refuses it, or reads it within its caps.
std::int64_t readingCostOf(const std::string& path);

class SdmReadAhead {
 public:
  // Reads paths[first] to the last path, `threads` at a time (1: none ahead), those being read
  // together costing at most `budget` bytes (readingCostOf) unless one is read alone; shares
  // their names through `names`. `paths`, `visit` and `names` must outlive the object and
  // `paths` not change meanwhile. When the system refuses threads, the SDMs are read with those
  // it gave, or by take() itself.
  SdmReadAhead(const std::vector<std::string>& paths, std::size_t first, unsigned threads,
               const SdmValuesVisitor& visit, NameListTable& names,
               std::int64_t budget = kReadAheadBudget);
  ~SdmReadAhead();
  SdmReadAhead(const SdmReadAhead&) = delete;
  SdmReadAhead& operator=(const SdmReadAhead&) = delete;

  // The SDM of `study`, visited and condensed; waits for it when it is still being read. Studies
  // are taken in order, from `first` on, each once. An exception thrown while that SDM was read,
  // visited or condensed is thrown here, at its turn; one of an SDM never taken is dropped.
  SdmFile take(std::size_t study);

  // The number of SDMs held at most: `threads` times kWindowPerThread.
  static constexpr std::size_t kWindowPerThread = 2;

 private:
  struct Slot {
    bool ready = false;
    SdmFile sdm;
    std::exception_ptr failure;
  };

  SdmFile prepare(std::size_t study) const;
  Slot prepareCatching(std::size_t study) const;
  void work();
  // True when study nextToRead may be started now: within the window, and its cost within the
  // budget left (or nothing being read). Called with the mutex held.
  bool nextMayStart();

  const std::vector<std::string>& paths;
  const SdmValuesVisitor& visit;
  NameListTable& names;
  const std::size_t window;
  const std::int64_t budget;
  std::mutex mutex;
  std::condition_variable slotFilled;
  std::condition_variable mayStart;  // a slot or some of the budget was freed, or stopping
  std::vector<Slot> slots;           // study s in slots[s % window]
  std::size_t nextToRead;
  std::size_t nextToTake;
  std::int64_t nextCost = -1;  // readingCostOf(paths[nextToRead]); -1: not known yet
  std::int64_t costBeingRead = 0;
  std::size_t beingRead = 0;
  bool stopping = false;
  std::vector<std::thread> workers;
};

}  // namespace kelvora
