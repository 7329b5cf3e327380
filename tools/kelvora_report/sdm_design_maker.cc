#include "sdm_design_maker.h"

#include <utility>

#include "design_drawing.h"
#include "design_rank.h"

namespace kelvora::report {
void SdmDesignMaker::make(std::size_t study, const SdmFile& sdm) {
  Made made;
  diagnostics::summarizeSdm(sdm, made.design, nameLists);
  if (made.design.read) {
    const std::pair<std::string, std::uint64_t> key(sdm.path, fingerprintOf(sdm));
    std::optional<RankCheck> known;
    {
      const std::lock_guard<std::mutex> lock(mutex);
      const auto found = checked.find(key);
      if (found != checked.end()) known = found->second;
    }
    made.design.rank = known ? std::move(*known) : checkRank(sdm);
    if (withPictures) {
      made.pictures =
          DesignPictures{study, sdm.path, key.second, static_cast<std::int64_t>(sdm.values.size()),
                         made.design.interestCount};
    }
    if (!known) {
      const std::lock_guard<std::mutex> lock(mutex);
      checked.emplace(key, made.design.rank);
    }
  }
  const std::lock_guard<std::mutex> lock(mutex);
  byStudy[study] = std::move(made);
}

SdmValuesVisitor SdmDesignMaker::visitor() {
  return [this](std::size_t study, const SdmFile& sdm) { make(study, sdm); };
}

bool SdmDesignMaker::made(std::size_t study) const {
  const std::lock_guard<std::mutex> lock(mutex);
  return byStudy.count(study) > 0;
}

SdmDesign SdmDesignMaker::takeDesign(std::size_t study) {
  const std::lock_guard<std::mutex> lock(mutex);
  return std::move(byStudy.at(study).design);
}

std::optional<DesignPictures> SdmDesignMaker::takePictures(std::size_t study) {
  const std::lock_guard<std::mutex> lock(mutex);
  const auto found = byStudy.find(study);
  if (found == byStudy.end()) return std::nullopt;
  return std::move(found->second.pictures);
}

}  // namespace kelvora::report
