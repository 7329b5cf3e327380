// The contents of one multi-study design matrix (MDM): its header settings, its own path, and the
// studies as parallel lists of paths. Reading happens at construction; `write` and `saveAs` store
// the file in its exact layout.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "designmatrix/path_list.h"
#include "designmatrix/user_dialogs.h"

namespace kelvora {

// The starts of the lines logged for an MDM that cannot be opened or written; the path follows.
inline constexpr char kMdmOpenFailure[] = "!!!  Failed opening MDM for reading: ";
inline constexpr char kMdmCreateFailure[] = "!! Cannot Create file: ";

// What the reader noticed while reading an opened MDM that the record itself does not show. Plain
// data; the inspection run does not look at it, the command-line inspector reports it.
struct MdmReadNotes {
  std::int64_t studyLinesRead = 0;  // lines read after the header, up to NrOfStudies of them
  // Those of them that held no study (not 4 quotes, or 6 in an "MTC" design), 0-based among the
  // lines read, with their text (at most kMostSkippedTextKept bytes).
  std::vector<std::int64_t> skippedLines;
  std::vector<std::string> skippedTexts;
  // A line that is not blank follows those (it is not read). The reader looks no further than
  // that line, so that a long tail costs nothing.
  bool textAfterStudies = false;
};

inline constexpr std::size_t kMostSkippedTextKept = 80;

struct MdmFile {
  // Reads the MDM at `path` at once (format and leniency rules: doc/file-formats.md). Never
  // throws. A file that cannot be opened (missing, a folder, a device, a pipe, a path holding a
  // NUL byte) logs "!!!  Failed opening MDM for reading: " and the path, and leaves fileVersion
  // -1 with the path set and every other field at its default; so does running out of memory
  // while reading. Integers the file does not give are 0, the type is empty.
  explicit MdmFile(std::string path);

  std::int32_t fileVersion = 0;
  std::string path;
  std::string typeOfFunctionalData;
  std::int32_t rfxGlm = 0;
  std::int32_t pscTransformation = 0;
  std::int32_t zTransformation = 0;
  std::int32_t separatePredictors = 0;
  std::int32_t nrOfStudies = 0;
  // One entry per study in an "MTC" design (empty where the study's line had no extra path);
  // empty in every other design.
  std::vector<std::optional<std::string>> extraPaths;
  // Held compactly (path_list.h): a study of thousands of SDMs costs little more than their bytes.
  PathList functionalPaths;
  PathList sdmPaths;  // its length is the number of studies
  MdmReadNotes notes;

  bool unreadable() const;
  bool isMtcDesign() const { return typeOfFunctionalData == "MTC"; }

  // Stores the file at `path` with CR LF line ends, replacing an existing file only once every
  // byte is written (through a temporary beside it, safe_file.h); the studies written are those
  // sdmPaths holds, and their number follows "NrOfStudies:". Refuses a path list holding a '"', CR
  // or LF (it could not be read back), a target that is the findings file attached to pluginLog
  // and a target that is one of the files it lists: an SDM, a functional data file or an extra
  // path (see readsFile). On any
  // failure, such a refusal and a target that is no regular file included, logs "!! Cannot Create
  // file: " and the path, leaves an existing file untouched and returns false.
  bool write() const;

  // True when `other` names the MDM at `path` or one of the files it lists (its SDMs, functional
  // data files and extra paths): the same file however spelled or linked, or the same full path
  // where nothing exists (fileKeyOf); relative paths are taken as the readers take them
  // (relative_paths.h). Up to three look-ups per study.
  bool readsFile(const std::string& other) const;

  // Sets `path` to `newPath` (whatever happens next) and returns write().
  bool saveAs(std::string newPath);

  // Asks the user for the first study's SDM and re-bases every study path on the answer. True
  // when the paths were re-based; false, with nothing changed, when the user cancelled or chose a
  // path shorter than the expected file name.
  bool relocateStudyPaths(UserDialogs& dialogs);
};

}  // namespace kelvora
