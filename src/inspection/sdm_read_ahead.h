// The SDMs of a run read ahead of their turn, on several threads, while the run takes them one by
// one in study order. Reading is nearly all of a run's work, and the SDMs are independent files.
//
// Each SDM is read silently (readSdmSilently), handed to the visitor while its values are at hand,
// and condensed (letValuesGo) on the thread that read it; the run logs and reports it only when it
// takes it, so the log, the findings and the dialogs stay in study order. At most `window` SDMs
// are read ahead of the one the run takes next: memory holds at most that many SDMs, `threads` of
// them with their values. With one thread nothing is read ahead: take() reads the SDM itself, in
// the very order of work of a run without read-ahead.
//
// No thread outlives the object: the destructor stops the reading ahead and waits for every
// thread, so a run leaves no thread behind, whatever way it ends.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <exception>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "designmatrix/sdm_file.h"

namespace kelvora {

// Called with an SDM while its values are at hand: see SdmValuesVisitor in inspection_run.h.
using SdmValuesVisitor = std::function<void(std::size_t study, const SdmFile& sdm)>;

// The number of threads that read a run's SDMs: KELVORA_READ_THREADS when it holds a whole number
// from 1 to kMostReadThreads, otherwise the hardware's number of threads, within the same bounds.
inline constexpr unsigned kMostReadThreads = 16;
unsigned readThreadCount();

class SdmReadAhead {
 public:
  // Reads paths[first] to the last path, `threads` at a time (1: none ahead). `paths` and `visit`
  // must outlive the object and not change meanwhile. When the system refuses threads, the SDMs
  // are read with those it gave, or by take() itself.
  SdmReadAhead(const std::vector<std::string>& paths, std::size_t first, unsigned threads,
               const SdmValuesVisitor& visit);
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

  const std::vector<std::string>& paths;
  const SdmValuesVisitor& visit;
  const std::size_t window;
  std::mutex mutex;
  std::condition_variable slotFilled;
  std::condition_variable slotFreed;
  std::vector<Slot> slots;  // study s in slots[s % window]
  std::size_t nextToRead;
  std::size_t nextToTake;
  bool stopping = false;
  std::vector<std::thread> workers;
};

}  // namespace kelvora
