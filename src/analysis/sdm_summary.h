// What the study diagnostics need of one SDM once its values are gone: its names, which columns are
// all zero, and what the reader noticed. Made from one SdmFile while its values are at hand, so a
// study of any size is diagnosed from summaries alone. The names are the run's own list of them
// (PredictorNameList), which every SDM and summary with the same names shares, and so are its
// all-zero columns (ZeroColumnSet): a summary costs a few pointers, its names and zeros none.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "designmatrix/predictor_name_list.h"
#include "designmatrix/sdm_file.h"
#include "inspection/name_list_table.h"
#include "inspection/zero_column_set.h"

namespace kelvora::analysis {

struct SdmSummary {
  // Views, not copies: a study of thousands of SDMs would otherwise hold every path and subject
  // twice (in the MDM's lists and here). Whoever fills them keeps what they view alive and in
  // place as long as the summary (loadStudyDesigns: the StudyDesigns that holds both).
  std::string_view path;     // as the MDM lists it (after the repair's relocation, if any)
  std::string_view subject;  // the identifier the run gives its study
  bool read = false;         // false: the file could not be opened, or was too large to read
  bool openFailed = false;   // the file could not be opened
  std::int32_t dataPoints = 0;
  std::int64_t interestCount = 0;  // firstConfoundPredictor - 1, as the file says
  PredictorNameList names;         // one per column
  ZeroColumnSet zeroColumns;       // per column: all-zero, as the zero checks define it

  // What the reader noticed. Of most SDMs nothing that `names` and `dataPoints` do not already
  // say (every name found, every value read, nothing else): such notes are not held, and a
  // summary costs a null pointer for them.
  // setNotes after `names` and `dataPoints` are set: clean notes are told from them, and so told
  // again by notes(). May throw std::bad_alloc.
  SdmReadNotes notes() const;
  void setNotes(const SdmReadNotes& noticed);

 private:
  std::shared_ptr<const SdmReadNotes> unusualNotes;  // null: the notes of a clean read
};

// Fills every field but `path` and `subject` from `sdm`. The names are the SDM's shared list, or,
// when the run did not share them (an SDM it did not read), `nameLists`' list of them; the zero
// columns are `zeroSets`' set of them.
void summarizeSdm(const SdmFile& sdm, SdmSummary& summary, NameListTable& nameLists,
                  ZeroColumnTable& zeroSets);

// The values announced (columns x data points) of an SDM that was read.
std::int64_t announcedValues(const SdmSummary& sdm);

// True when reading stopped before every announced value: the rest read as 0.
bool readIncompletely(const SdmSummary& sdm);

}  // namespace kelvora::analysis
