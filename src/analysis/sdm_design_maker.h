// What kelvora makes of each SDM while its values are at hand: its design (the summary that the
// diagnostics need and the rank check) and, for a report, where its pictures can be drawn from
// (DesignPictures: the report draws only the few it shows, design_drawing.h). The inspection run
// hands it every SDM it reads (visitor()), on the threads that read them; loadStudyDesigns hands
// it those the run did not read. No SDM's values are kept, and an SDM listed again with the same
// content (same path, same fingerprint) is not checked again: its rank check is reused. The
// designs are held in one vector indexed by study, which takeDesigns hands over whole, so a
// study's designs are never held twice; what each SDM costs here besides its design is its reuse
// record (one hash of its path and content, and its study: one small hash-table node).
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "analysis/contrast_study.h"
#include "analysis/contrast_weights.h"
#include "analysis/study_designs.h"
#include "designmatrix/sdm_file.h"
#include "inspection/name_list_table.h"
#include "inspection/sdm_read_ahead.h"
#include "inspection/zero_column_set.h"

namespace kelvora::analysis {

// The pictures of one SDM, by where they come from: the SDM as the run read it. The report draws
// them (design_drawing.h) only for the SDMs it shows; an SDM listed again with the same content
// is drawn once, and its other listings refer to that picture.
struct DesignPictures {
  std::size_t study = 0;          // index into StudyDesigns::sdms
  std::string path;               // the SDM's path as the run read it
  std::uint64_t fingerprint = 0;  // fingerprintOf what the run read
  std::int64_t columns = 0;
  std::int64_t interestCount = 0;
};

// A 64-bit hash of what the checks and pictures see of `sdm`: its counts, names and values.
std::uint64_t fingerprintOf(const SdmFile& sdm);

// What else is asked of each SDM while its values are at hand.
struct DesignQuestions {
  bool allCorrelations = false;  // PREDICTOR_CORRELATION also for pairs of two confounds
  // The contrasts asked (contrast_study.h): each SDM keeps the information of the names they weigh.
  std::vector<Contrast> contrasts;
  double lowEfficiency = kLowEfficiencyFraction;  // CONTRAST_LOW_EFFICIENCY below this share
};

class SdmDesignMaker {
 public:
  // `withPictures`: also where to draw each SDM's pictures from (a path and a few numbers), for
  // the report to choose from.
  explicit SdmDesignMaker(bool withPictures, DesignQuestions questions = {})
      : withPictures(withPictures),
        questions(std::move(questions)),
        contrasted(contrastedNames(this->questions.contrasts)) {}

  // Makes and keeps the design of `study` from `sdm`, replacing one made before. Safe to call for
  // different studies at once. Never throws except std::bad_alloc.
  void make(std::size_t study, const SdmFile& sdm);

  // The run's visitor: calls make. The maker must outlive the run.
  SdmValuesVisitor visitor();

  // True when the design of `study` was made and not taken yet.
  bool made(std::size_t study) const;
  // Takes the designs of studies 0 to `count` - 1, every one of them made, in study order; the
  // maker then holds none. Throws std::logic_error when one was not made.
  std::vector<SdmDesign> takeDesigns(std::size_t count);
  // Takes where the pictures of a study come from, when it was read with pictures asked for.
  std::optional<DesignPictures> takePictures(std::size_t study);
  // Takes the contrast information of a study, shared with the other listings of its content; null
  // when none was made or asked.
  SharedContrastInformation takeContrastInformation(std::size_t study);

  const DesignQuestions& asked() const { return questions; }

 private:
  const bool withPictures;
  const DesignQuestions questions;
  const std::vector<std::string> contrasted;  // contrastedNames(questions.contrasts)
  // Shares the names of the SDMs the run did not share (those read after it) as the run does.
  NameListTable nameLists;
  // The all-zero columns of every SDM's summary, each pattern held once.
  ZeroColumnTable zeroSets;
  mutable std::mutex mutex;
  // By study, grown as studies come (the run hands them nearly in order); `isMade` tells which.
  std::vector<SdmDesign> designs;
  std::vector<bool> isMade;
  std::map<std::size_t, DesignPictures> pictures;
  std::map<std::size_t, SharedContrastInformation> contrastInformation;  // empty without contrasts
  // The study whose design holds the rank check of each SDM content made so far, by one 64-bit
  // hash of its path and its fingerprint (two SDMs of a study colliding: about n^2 / 2^65).
  std::unordered_map<std::uint64_t, std::uint32_t> checked;
};

}  // namespace kelvora::analysis
