// Writing an MDM: MdmFile::write and saveAs. The whole file is formatted in memory (an MDM is a
// few kilobytes) and stored with replaceFileContents, so a failure never damages the file it
// would replace. It refuses to write what could not be read back, and to replace the findings
// file the run is writing or an SDM of the study.
#include <algorithm>
#include <charconv>
#include <cstdint>
#include <string_view>
#include <utility>

#include "designmatrix/mdm_file.h"
#include "files/safe_file.h"
#include "log/plugin_log.h"

namespace kelvora {
namespace {

// Every line ends with CR LF on every platform; the file is written in binary mode.
constexpr std::string_view kLineEnd = "\r\n";
// Labels are padded so that every value starts in column 23.
constexpr std::size_t kLabelWidth = 22;

template <typename Integer>
void appendNumber(std::string& out, Integer value) {
  char digits[24];
  const auto result = std::to_chars(digits, digits + sizeof digits, value);
  out.append(digits, result.ptr);
}

void appendLabel(std::string& out, std::string_view key) {
  out += key;
  out.append(kLabelWidth - key.size(), ' ');
}

template <typename Value>
void appendSetting(std::string& out, std::string_view key, const Value& value) {
  appendLabel(out, key);
  if constexpr (std::is_same_v<Value, std::string>) {
    out += value;
  } else {
    appendNumber(out, value);
  }
  out += kLineEnd;
}

void appendQuoted(std::string& out, std::string_view text) {
  out += '"';
  out += text;
  out += '"';
}

// Entry i of a list, or an empty path where the list is shorter than sdmPaths.
std::string_view entryOrEmpty(const PathList& list, std::size_t i) {
  return i < list.size() ? list[i] : std::string_view();
}

// A quote ends a path on reading, and a CR or LF ends its study line: a path holding one would
// be written as lines that read back as other studies, or as none.
bool canBeReadBack(std::string_view path) {
  return path.find_first_of("\"\r\n") == std::string_view::npos;
}

bool allPathsCanBeReadBack(const MdmFile& mdm) {
  const auto readable = [](std::string_view path) { return canBeReadBack(path); };
  const auto extraReadable = [](const std::optional<std::string>& path) {
    return !path || canBeReadBack(*path);
  };
  const auto& extras = mdm.extraPaths;
  return (!mdm.isMtcDesign() || std::all_of(extras.begin(), extras.end(), extraReadable)) &&
         std::all_of(mdm.functionalPaths.begin(), mdm.functionalPaths.end(), readable) &&
         std::all_of(mdm.sdmPaths.begin(), mdm.sdmPaths.end(), readable);
}

// True when one of the files the MDM lists (an SDM, a functional data file, an extra path) is the
// file `key`: all of them are the study's data, which no file written may replace.
bool listsFile(const MdmFile& mdm, const FileKey& key) {
  const auto isKey = [&key](std::string_view path) { return hasFileKey(std::string(path), key); };
  const auto isExtraKey = [&key](const std::optional<std::string>& path) {
    return path && hasFileKey(*path, key);
  };
  return std::any_of(mdm.sdmPaths.begin(), mdm.sdmPaths.end(), isKey) ||
         std::any_of(mdm.functionalPaths.begin(), mdm.functionalPaths.end(), isKey) ||
         std::any_of(mdm.extraPaths.begin(), mdm.extraPaths.end(), isExtraKey);
}

std::string formatMdm(const MdmFile& mdm) {
  const std::size_t studies = mdm.sdmPaths.size();
  std::string out;
  out += kLineEnd;
  appendSetting(out, "FileVersion:", mdm.fileVersion);
  appendSetting(out, "TypeOfFunctionalData:", mdm.typeOfFunctionalData);
  out += kLineEnd;
  appendSetting(out, "RFX-GLM:", mdm.rfxGlm);
  out += kLineEnd;
  appendSetting(out, "PSCTransformation:", mdm.pscTransformation);
  appendSetting(out, "zTransformation:", mdm.zTransformation);
  appendSetting(out, "SeparatePredictors:", mdm.separatePredictors);
  out += kLineEnd;
  appendSetting(out, "NrOfStudies:", static_cast<std::uint64_t>(studies));
  for (std::size_t i = 0; i < studies; ++i) {
    // A study whose line had no extra path is written as a two-path line, and reads back so.
    if (mdm.isMtcDesign() && i < mdm.extraPaths.size() && mdm.extraPaths[i].has_value()) {
      appendQuoted(out, *mdm.extraPaths[i]);
      out += ' ';
    }
    appendQuoted(out, entryOrEmpty(mdm.functionalPaths, i));
    out += ' ';
    appendQuoted(out, mdm.sdmPaths[i]);
    out += kLineEnd;
  }
  return out;
}

}  // namespace

bool MdmFile::write() const {
  bool stored = false;
  try {
    stored = allPathsCanBeReadBack(*this) && !pluginLog.writesTo(path) &&
             !listsFile(*this, fileKeyOf(path)) && replaceFileContents(path, formatMdm(*this));
  } catch (...) {
    stored = false;  // memory ran out while formatting
  }
  if (!stored) {
    try {
      logLine(kMdmCreateFailure + path);
    } catch (...) {
    }
  }
  return stored;
}

bool MdmFile::readsFile(const std::string& other) const {
  const FileKey key = fileKeyOf(other);
  return fileKeyOf(path) == key || listsFile(*this, key);
}

bool MdmFile::saveAs(std::string newPath) {
  path = std::move(newPath);
  return write();
}

}  // namespace kelvora
