#include "log/plugin_log.h"

#include <cstdio>
#include <locale>
#include <new>
#include <utility>

#include "files/safe_file.h"

namespace kelvora {
namespace {

LogTextSink logTextSink = nullptr;

void deliverToSink(const char* text) {
  if (logTextSink != nullptr) logTextSink(text);
}

}  // namespace

void setLogTextSink(LogTextSink sink) { logTextSink = sink; }

// Collects inserted text; its sync is the flush of one log entry. Writes to whatever file the
// owning log has attached at the moment of the flush.
class HVZRLog::HVZRBuf : public std::stringbuf {
 public:
  HVZRBuf(FilePtr& fileRef, bool& writeFailedRef)
      : std::stringbuf(std::ios_base::in | std::ios_base::out),
        fileRef(fileRef),
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
    if (!lost) {
      try {
        const std::string text = str();
        deliverToSink(text.c_str());
        if (fileRef != nullptr) {
          std::FILE* file = fileRef.get();
          const bool written = std::fwrite(text.data(), 1, text.size(), file) == text.size() &&
                               std::fputc('\n', file) != EOF && std::fflush(file) == 0;
          if (!written) writeFailedRef = true;
        }
      } catch (...) {
        lost = true;
      }
    }
    if (lost && fileRef != nullptr) writeFailedRef = true;
    entryLost = false;
    str(std::string());
    return 0;
  }

 private:
  FilePtr& fileRef;
  bool& writeFailedRef;
  bool entryLost = false;
};

// Constructed while the library loads, where an exception would end the host's process: memory
// too short even for the buffer leaves the stream without one, silent but harmless.
HVZRLog::HVZRLog()
    : std::ostream(nullptr), buffer(new (std::nothrow) HVZRBuf(file, fileWriteFailed)) {
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
  file = createFileAnew(path, WriteMode::kText);
  attached = true;
  fileWriteFailed = file == nullptr;
}

void HVZRLog::attachRefusedFile() {
  closeFile();
  attached = true;
  fileWriteFailed = true;
}

bool HVZRLog::closeFile() {
  if (!attached) return true;
  if (file != nullptr && std::fclose(file.release()) != 0) fileWriteFailed = true;
  file.reset();
  attached = false;
  return !fileWriteFailed;
}

HVZRLog pluginLog;

void logLine(std::string_view text) { pluginLog << text << std::flush; }

}  // namespace kelvora
