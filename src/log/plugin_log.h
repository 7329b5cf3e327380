// The library-wide log stream. Text inserted into `pluginLog` collects in its buffer; each flush
// hands the collected text, as one piece, to the log-text sink (the host's log pane) and, while a
// findings file is attached, writes it to that file as one line. One flush is one log entry.
//
// Every message is built by inserting texts and numbers and ends with a flush; std::endl is never
// inserted. Where threads may log at once, they log through logLine, which keeps each entry whole;
// attaching and closing the findings file keep to the same order. Numbers are formatted in the
// classic locale whatever the process's global locale is. Nothing here throws on purpose; a
// findings file that cannot be written loses its text while the sink still receives every entry. An
// entry for which memory runs out is lost to both (the file then counts as not saved), and the
// entries after it arrive as usual.
#pragma once

#include <functional>
#include <memory>
#include <ostream>
#include <sstream>
#include <string>
#include <string_view>

#include "files/native_file.h"

namespace kelvora {

// Receives each flushed text. Installed by whoever hosts the library (the plug-in frame binds it to
// the host's log function). Without a sink, texts are dropped.
using LogTextSink = void (*)(const char* text);
void setLogTextSink(LogTextSink sink);

// Receives, in place of the process's sink, every entry flushed on the thread that made it, for the
// object's lifetime: one inspection's log belongs to its caller (kelvora prints it, Python collects
// it for Outcome.log), however many threads log meanwhile. A findings file attached on that thread
// receives that thread's entries only. Objects nest; destroy them on the thread that made them, in
// reverse order. `receive` must not log.
class ThreadLogSink {
 public:
  explicit ThreadLogSink(std::function<void(const char* text)> receive);
  ~ThreadLogSink();
  ThreadLogSink(const ThreadLogSink&) = delete;
  ThreadLogSink& operator=(const ThreadLogSink&) = delete;

  // Hands one entry to `receive` (the log's flush calls it).
  void deliver(const char* text) const { receive(text); }

 private:
  std::function<void(const char* text)> receive;
  const ThreadLogSink* replaced;
};

class HVZRLog : public std::ostream {
 public:
  HVZRLog();
  ~HVZRLog() override;
  HVZRLog(const HVZRLog&) = delete;
  HVZRLog& operator=(const HVZRLog&) = delete;

  // Makes the file at `path` anew with createFileAnew (safe_file.h; text mode, so each line ends
  // as the platform's text files do; a file or link of that name is replaced, never written
  // through; a folder, pipe or device of that name is left alone) and writes every later entry to
  // it, each flushed as it comes, so that others can read it while the run goes on. A file
  // attached before is closed first. A file that cannot be created is attached in its failed
  // state: its text is lost, which closeFile() reports.
  void attachFile(std::string path);

  // Attaches the findings file in its failed state without making anything: for a name that must
  // not be replaced (an input of the run). closeFile() then reports it as not saved.
  void attachRefusedFile();

  // Closes and drops the attached file; does not flush the stream. Returns false when a file was
  // attached and it could not be created, or a write, flush or the close failed; true otherwise,
  // also when no file was attached.
  bool closeFile();

  bool hasFile() const { return attached; }

  // True when a file is attached and `path` names that very file, however spelled or linked: a
  // writer must not replace the file the run is writing its findings to.
  bool writesTo(const std::string& path) const { return namesOpenFile(file.get(), path); }

 private:
  class HVZRBuf;

  FilePtr file;  // null while none is attached, or when it could not be created
  // The ThreadLogSink of the thread that attached the file (null: none); only the entries flushed
  // under it reach the file.
  const ThreadLogSink* fileOwner = nullptr;
  bool attached = false;
  bool fileWriteFailed = false;
  HVZRBuf* buffer;
};

// Constructed at library load, destroyed at unload; its end hands the last collected text and
// "Destructor of HVZRLog never called" to the sink. An attached file is closed before that.
extern HVZRLog pluginLog;

// Inserts `text` into pluginLog and flushes: one log entry, whole even when other threads log at
// the same time (the library's readers and writers log through here only).
void logLine(std::string_view text);

}  // namespace kelvora
