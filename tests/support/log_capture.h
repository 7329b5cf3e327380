// Captures what the log hands to its sink, for tests of anything that logs.
#pragma once

#include <string>
#include <vector>

#include "log/plugin_log.h"

namespace kelvora::testing {

// Installs itself as the log's sink for its lifetime and records every entry.
class LogCapture {
 public:
  LogCapture() {
    entries().clear();
    setLogTextSink(&record);
  }
  ~LogCapture() { setLogTextSink(nullptr); }
  LogCapture(const LogCapture&) = delete;
  LogCapture& operator=(const LogCapture&) = delete;

  const std::vector<std::string>& lines() const { return entries(); }

 private:
  static std::vector<std::string>& entries() {
    static std::vector<std::string> recorded;
    return recorded;
  }
  static void record(const char* text) { entries().push_back(text); }
};

}  // namespace kelvora::testing
