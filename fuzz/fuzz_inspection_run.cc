// Fuzz target: a whole inspection run on a fuzzed study, with the user's answers taken from the
// input too. The input is split at lines that hold only "%%" (the bytes "\n%%\n"):
//
//   section 0   the user's answers, one per line; each dialog takes the next line of its kind:
//                 "locate PATH"  the open dialog that locates the first SDM chooses PATH
//                 "answer yes"   a yes/no question is answered yes ("answer" anything else: no)
//                 "save K"       the save dialog chooses target K (0-4, below)
//               a dialog without a line of its kind is cancelled, a question is answered no
//   section 1   the MDM, written as group.mdm (the run's first dialog chooses it)
//   sections 2+ up to four SDMs, written as 0.sdm to 3.sdm
//
// Everything lives in a scratch folder that is also the working directory, so the MDM's relative
// paths name the SDMs (libFuzzer's own relative paths are made absolute at the start). The save
// targets are fixed names in it: saved.mdm, group.mdm (over the original), missing/saved.mdm (a
// folder that does not exist), folder (a folder), folder/ (no file name): a fuzzed path never
// decides where the run writes.
//
// Properties checked after each run: no findings file stays attached; every line has one of the
// log's three forms; every finding's line was logged, in order; the findings file holds exactly
// the lines logged from ">  Start inspecting " on (a complete run: all but the last, which says
// where they were saved); the MDM is byte-for-byte what it was unless the run saved over it; no
// temporary file is left behind.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <string>
#include <string_view>
#include <vector>

#include "designmatrix/user_dialogs.h"
#include "fuzz_support.h"
#include "inspection/inspection_run.h"
#include "log/plugin_log.h"

namespace {

using kelvora::FileDialogAnswer;
using kelvora::fuzz::require;

constexpr std::string_view kSeparator = "\n%%\n";
constexpr std::size_t kMostSdms = 4;
const char* const kSaveTargets[] = {"saved.mdm", "group.mdm", "missing/saved.mdm", "folder",
                                    "folder/"};

std::vector<std::string_view> sectionsOf(std::string_view input) {
  std::vector<std::string_view> sections;
  for (;;) {
    const std::size_t at = input.find(kSeparator);
    sections.push_back(input.substr(0, at));
    if (at == std::string_view::npos) return sections;
    input.remove_prefix(at + kSeparator.size());
  }
}

bool startsWith(std::string_view text, std::string_view prefix) {
  return text.substr(0, prefix.size()) == prefix;
}

class ScriptedUser : public kelvora::UserDialogs {
 public:
  ScriptedUser(std::string mdmPath, std::string_view script)
      : mdmPath(std::move(mdmPath)) {
    while (!script.empty()) {
      const std::size_t end = script.find('\n');
      const std::string_view line = script.substr(0, end);
      if (startsWith(line, "locate ")) {
        locations.emplace_back(line.substr(7));
      } else if (startsWith(line, "answer ")) {
        answers.push_back(line.substr(7) == "yes");
      } else if (startsWith(line, "save ")) {
        const std::string_view k = line.substr(5);
        const std::size_t target = k.empty() ? 0 : static_cast<unsigned char>(k[0] - '0') % 5;
        saves.emplace_back(kSaveTargets[target]);
      }
      if (end == std::string_view::npos) break;
      script.remove_prefix(end + 1);
    }
  }

  FileDialogAnswer chooseFileToOpen(const std::string&, const std::string&,
                                    const std::string&) override {
    if (!mdmChosen) {
      mdmChosen = true;
      return {true, mdmPath};
    }
    return next(locations);
  }
  FileDialogAnswer chooseFileToSave(const std::string&, const std::string&,
                                    const std::string&) override {
    return next(saves);
  }
  bool askYesNo(const std::string&) override {
    if (answers.empty()) return false;
    const bool yes = answers.front();
    answers.pop_front();
    return yes;
  }
  void showMessage(const std::string&) override {}

 private:
  static FileDialogAnswer next(std::deque<std::string>& queue) {
    if (queue.empty()) return {};
    FileDialogAnswer answer{true, std::move(queue.front())};
    queue.pop_front();
    return answer;
  }

  const std::string mdmPath;
  bool mdmChosen = false;
  std::deque<std::string> locations;
  std::deque<std::string> saves;
  std::deque<bool> answers;
};

// The log's entries, recorded until the recorder ends: the log outlives it (it hands over a last
// text when the program ends), so the recorder takes itself out of the log first.
struct LogRecorder {
  std::vector<std::string> lines;
  ~LogRecorder() { kelvora::setLogTextSink(nullptr); }
};

std::vector<std::string>& loggedLines() {
  static LogRecorder recorder;
  return recorder.lines;
}

void recordLine(const char* text) { loggedLines().emplace_back(text); }

bool hasLogForm(const std::string& line) {
  return startsWith(line, "Kelvora>  ") || startsWith(line, "!!!  ") || startsWith(line, "!! ");
}

// A line as the host receives it: a C string, so a NUL byte (a name or path can hold one) ends it.
// The findings file holds the whole line.
std::string asHostSees(const std::string& line) { return line.substr(0, line.find('\0')); }

// True when every finding's line appears among the logged lines, in the findings' order.
bool findingsWereLogged(const kelvora::RunOutcome& outcome, const std::vector<std::string>& lines) {
  auto from = lines.begin();
  for (const kelvora::Finding& found : outcome.findings) {
    from = std::find(from, lines.end(), asHostSees(found.line));
    if (from == lines.end()) return false;
    ++from;
  }
  return true;
}

// The findings file's lines; on Windows the file is written in text mode, with CR LF line ends.
std::vector<std::string> fileLines(const std::string& bytes) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  for (std::size_t end; (end = bytes.find('\n', start)) != std::string::npos; start = end + 1) {
    std::size_t length = end - start;
#ifdef _WIN32
    if (length > 0 && bytes[end - 1] == '\r') --length;
#endif
    lines.push_back(asHostSees(bytes.substr(start, length)));
  }
  if (start != bytes.size()) lines.push_back("unterminated: " + bytes.substr(start));
  return lines;
}

bool leftTemporaryFiles() {
  for (const auto& entry : std::filesystem::recursive_directory_iterator(".")) {
    if (entry.path().extension() == ".tmp") return true;
  }
  return false;
}

// The scratch folder, with the log recorded from its first use on.
const kelvora::fuzz::ScratchFolder& scratchFolder() {
  static const bool recording = [] {
    loggedLines();  // the recorder exists before the sink points to it
    kelvora::setLogTextSink(&recordLine);
    return true;
  }();
  (void)recording;
  return kelvora::fuzz::scratchFolder();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const kelvora::fuzz::ScratchFolder& scratch = scratchFolder();
  scratch.empty();
  std::filesystem::create_directory("folder");

  const std::vector<std::string_view> sections = sectionsOf(kelvora::fuzz::bytesOf(data, size));
  const std::string_view mdmBytes = sections.size() > 1 ? sections[1] : std::string_view();
  const std::string mdmPath = scratch.write("group.mdm", mdmBytes);
  for (std::size_t i = 2; i < sections.size() && i - 2 < kMostSdms; ++i) {
    scratch.write(std::to_string(i - 2) + ".sdm", sections[i]);
  }

  std::vector<std::string>& lines = loggedLines();
  lines.clear();
  ScriptedUser user(mdmPath, sections[0]);
  // One thread: SDMs read ahead beyond a study that ends the run would add coverage that depends
  // on the threads' timing, and the same seed would explore other inputs on every run.
  kelvora::RunSettings oneThread;
  oneThread.readThreads = 1;
  const kelvora::RunOutcome outcome = kelvora::runInspection(user, oneThread);

  require(!kelvora::pluginLog.hasFile(), "the findings file is closed at the end of a run");
  require(std::all_of(lines.begin(), lines.end(), hasLogForm), "every line has a log form");
  require(findingsWereLogged(outcome, lines), "every finding's line was logged, in order");
  require(!leftTemporaryFiles(), "no temporary file is left behind");
  if (outcome.savedMdmPath != mdmPath) {
    require(scratch.read("group.mdm") == mdmBytes, "the MDM stays as it was unless saved over");
  }
  if (outcome.findingsPath) {
    const std::string start = "Kelvora>  Start inspecting " + mdmPath;
    const auto first = std::find(lines.begin(), lines.end(), start);
    require(first != lines.end(), "a run with a findings file logs its start");
    const auto last = outcome.complete ? lines.end() - 1 : lines.end();
    require(!outcome.complete ||
                lines.back() == "Kelvora>  Saved findings to: " + *outcome.findingsPath,
            "a complete run ends by saying where its findings are");
    require(fileLines(scratch.read("group_log.txt")) == std::vector<std::string>(first, last),
            "the findings file holds exactly the run's lines");
  }
  return 0;
}
