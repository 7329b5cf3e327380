#include "log/plugin_log.h"

#include <atomic>
#include <cstdio>
#include <locale>
#include <mutex>
#include <new>
#include <utility>

#include "files/safe_file.h"

namespace kelvora {
namespace {

LogTextSink logTextSink = nullptr;

// Keeps each entry logged through logLine whole, and the findings file's attachment apart from
// the flushes of other threads.
std::mutex entryOrder;

std::atomic<bool> threadSinkEverMade{false};
thread_local const ThreadLogSink* threadSink = nullptr;

// The ThreadLogSink of the calling thread, null when none. A process that never made one (the
// plug-in's) never touches the thread-local slot, which some runtimes allocate at first use.
const ThreadLogSink* currentThreadSink() {
  return threadSinkEverMade.load(std::memory_order_acquire) ? threadSink : nullptr;
}

void deliverToSink(const char* text) {
  if (const ThreadLogSink* own = currentThreadSink()) {
    own->deliver(text);
  } else if (logTextSink != nullptr) {
    logTextSink(text);
  }
}

}  // namespace

void setLogTextSink(LogTextSink sink) { logTextSink = sink; }

ThreadLogSink::ThreadLogSink(std::function<void(const char* text)> receive)
    : receive(std::move(receive)) {
  threadSinkEverMade.store(true, std::memory_order_release);
  replaced = threadSink;
  threadSink = this;
}

ThreadLogSink::~ThreadLogSink() { threadSink = replaced; }

// Collects inserted text; its sync is the flush of one log entry. Writes to whatever file the
// owning log has attached at the moment of the flush.
class HVZRLog::HVZRBuf : public std::stringbuf {
 public:
  HVZRBuf(FilePtr& fileRef, const ThreadLogSink*& fileOwnerRef, bool& writeFailedRef)
      : std::stringbuf(std::ios_base::in | std::ios_base::out),
        fileRef(fileRef),
        fileOwnerRef(fileOwnerRef),
        writeFailedRef(writeFailedRef) {}

  ~HVZRBuf() override { sync(); }

 protected:
  // Insertion never fails as the stream sees it: text that cannot be stored for lack of memory
  // marks the entry as lost instead. A failed insertion would set the stream's badbit, and a bad
  // stream skips every later insertion and flush, so the log would fall silent for good.
  int_type overflow(int_type c) override {
    if (!entryLost) {
      try {
        return std::stringbuf::overflow(c);
      } catch (...) {
        entryLost = true;
      }
    }
    return traits_type::not_eof(c);
  }

  std::streamsize xsputn(const char* text, std::streamsize count) override {
    if (!entryLost) {
      try {
        return std::stringbuf::xsputn(text, count);
      } catch (...) {
        entryLost = true;
      }
    }
    return count;
  }

  // Serves the sink first, then the file; never puts the stream into a failed state, so one lost
  // entry cannot silence the entries after it. A lost entry reaches neither, and the findings
  // file then counts as not saved.
  int sync() override {
    bool lost = entryLost;
    const bool toFile = fileRef != nullptr && fileOwnerRef == currentThreadSink();
    if (!lost) {
      try {
        const std::string text = str();
        deliverToSink(text.c_str());
        if (toFile) {
          std::FILE* file = fileRef.get();
          const bool written = std::fwrite(text.data(), 1, text.size(), file) == text.size() &&
                               std::fputc('\n', file) != EOF && std::fflush(file) == 0;
          if (!written) writeFailedRef = true;
        }
      } catch (...) {
        lost = true;
      }
    }
    if (lost && toFile) writeFailedRef = true;
    entryLost = false;
    str(std::string());
    return 0;
  }

 private:
  FilePtr& fileRef;
  const ThreadLogSink*& fileOwnerRef;
  bool& writeFailedRef;
  bool entryLost = false;
};

// Constructed while the library loads, where an exception would end the host's process: memory
// too short even for the buffer leaves the stream without one, silent but harmless.
HVZRLog::HVZRLog()
    : std::ostream(nullptr), buffer(new (std::nothrow) HVZRBuf(file, fileOwner, fileWriteFailed)) {
  rdbuf(buffer);
  imbue(std::locale::classic());
}

HVZRLog::~HVZRLog() {
  closeFile();
  rdbuf(nullptr);
  delete buffer;
  deliverToSink("Destructor of HVZRLog never called");
}

void HVZRLog::attachFile(std::string path) {
  closeFile();
  FilePtr made = createFileAnew(path, WriteMode::kText);
  const std::lock_guard<std::mutex> order(entryOrder);
  file = std::move(made);
  fileOwner = currentThreadSink();
  attached = true;
  fileWriteFailed = file == nullptr;
}

void HVZRLog::attachRefusedFile() {
  closeFile();
  const std::lock_guard<std::mutex> order(entryOrder);
  fileOwner = currentThreadSink();
  attached = true;
  fileWriteFailed = true;
}

bool HVZRLog::closeFile() {
  const std::lock_guard<std::mutex> order(entryOrder);
  if (!attached) return true;
  if (file != nullptr && std::fclose(file.release()) != 0) fileWriteFailed = true;
  file.reset();
  attached = false;
  return !fileWriteFailed;
}

HVZRLog pluginLog;

void logLine(std::string_view text) {
  const std::lock_guard<std::mutex> order(entryOrder);
  pluginLog << text << std::flush;
}

}  // namespace kelvora
