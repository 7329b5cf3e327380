// Reading an MDM: the MdmFile constructor. The header is read word by word with the shared
// TextScanner; its failure state, once set by a header value that is not an integer, is never
// cleared, so such a file yields no studies.
#include <cstring>
#include <string_view>
#include <utility>

#include "designmatrix/mdm_file.h"
#include "designmatrix/sdm_file.h"
#include "designmatrix/text_scanner.h"
#include "files/native_file.h"
#include "log/plugin_log.h"

namespace kelvora {
namespace {

constexpr std::string_view kNrOfStudiesKey = "NrOfStudies:";
constexpr int kHeaderWords = 7;

// At most seven words besides the values; the header ends after the value of "NrOfStudies:". A
// failed read leaves `word` as it was, as a stream does.
void readHeader(TextScanner& scanner, MdmFile& mdm) {
  std::string word;
  for (int count = 0; word != kNrOfStudiesKey && count < kHeaderWords; ++count) {
    scanner.readWord(word);
    if (word == "FileVersion:") {
      scanner.readInt(mdm.fileVersion);
    } else if (word == "TypeOfFunctionalData:") {
      scanner.readWord(mdm.typeOfFunctionalData);
    } else if (word == "RFX-GLM:") {
      scanner.readInt(mdm.rfxGlm);
    } else if (word == "PSCTransformation:") {
      scanner.readInt(mdm.pscTransformation);
    } else if (word == "zTransformation:") {
      scanner.readInt(mdm.zTransformation);
    } else if (word == "SeparatePredictors:") {
      scanner.readInt(mdm.separatePredictors);
    } else if (word == kNrOfStudiesKey) {
      scanner.readInt(mdm.nrOfStudies);
    }
  }
}

// Adds the paths of one study line: three quoted paths in an "MTC" design, two otherwise. A line
// with another number of quotes adds nothing, and gives false. In an "MTC" design a two-path line
// adds an empty extra path, so that extraPaths stays aligned with the studies.
bool addStudyLine(std::string_view line, MdmFile& mdm) {
  constexpr int kMostQuotesUsed = 6;
  std::size_t quotes[kMostQuotesUsed + 1];
  int count = 0;
  for (std::size_t at = line.find('"'); at != std::string_view::npos && count <= kMostQuotesUsed;
       at = line.find('"', at + 1)) {
    quotes[count++] = at;
  }
  const auto between = [&](int opening) {
    return line.substr(quotes[opening] + 1, quotes[opening + 1] - quotes[opening] - 1);
  };
  const bool mtc = mdm.isMtcDesign();
  if (mtc && count == 6) {
    mdm.extraPaths.emplace_back(std::string(between(0)));
    mdm.functionalPaths.push_back(between(2));
    mdm.sdmPaths.push_back(between(4));
  } else if (count == 4) {
    if (mtc) mdm.extraPaths.emplace_back(std::nullopt);
    mdm.functionalPaths.push_back(between(0));
    mdm.sdmPaths.push_back(between(2));
  } else {
    return false;
  }
  return true;
}

bool isBlank(std::string_view line) {
  return line.find_first_not_of(" \t\r\v\f") == std::string_view::npos;
}

void readOpenedMdm(std::FILE* file, MdmFile& mdm) {
  TextScanner scanner(file);
  readHeader(scanner, mdm);
  mdm.fileVersion = openedFileVersion(mdm.fileVersion);
  scanner.skipLine();
  // Up to nrOfStudies lines, and never past the end of the file, however many were announced.
  std::string_view line;
  MdmReadNotes& notes = mdm.notes;
  for (std::int32_t i = 0; i < mdm.nrOfStudies && scanner.readLine(line); ++i) {
    ++notes.studyLinesRead;
    if (!addStudyLine(line, mdm)) {
      notes.skippedLines.push_back(i);
      notes.skippedTexts.emplace_back(line.substr(0, kMostSkippedTextKept));
    }
  }
  mdm.functionalPaths.shrinkToFit();
  mdm.sdmPaths.shrinkToFit();
  while (!notes.textAfterStudies && scanner.readLine(line)) notes.textAfterStudies = !isBlank(line);
}

}  // namespace

MdmFile::MdmFile(std::string path) : path(std::move(path)) {
  try {
    std::uint64_t fileSize = 0;
    const FilePtr file = openRegularFileForReading(this->path, fileSize);
    if (file != nullptr) {
      readOpenedMdm(file.get(), *this);
      return;
    }
  } catch (...) {
    // Only memory can run out here; the file then reads as one that could not be opened.
  }
  fileVersion = kUnreadableFileVersion;
  rfxGlm = pscTransformation = zTransformation = separatePredictors = nrOfStudies = 0;
  typeOfFunctionalData.clear();
  std::vector<std::optional<std::string>>().swap(extraPaths);
  functionalPaths.clear();
  sdmPaths.clear();
  notes = MdmReadNotes();
  try {
    logLine(kMdmOpenFailure + this->path);
  } catch (...) {
  }
}

bool MdmFile::unreadable() const { return fileVersion == kUnreadableFileVersion; }

}  // namespace kelvora
