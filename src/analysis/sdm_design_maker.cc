#include "analysis/sdm_design_maker.h"

#include <algorithm>
#include <cstring>
#include <iterator>
#include <stdexcept>
#include <utility>

#include "analysis/cross_products.h"
#include "analysis/design_correlation.h"
#include "analysis/design_rank.h"
#include "analysis/design_warnings.h"

namespace kelvora::analysis {
namespace {

// FNV-1a over 8-byte words (the tail byte by byte): one multiply per word instead of one per
// byte, as the fingerprint reads every value of every SDM on the reading threads.
class WordHash {
 public:
  void add(const void* data, std::size_t size) {
    const auto* bytes = static_cast<const unsigned char*>(data);
    std::size_t at = 0;
    // Long runs of bytes go to four chains at once, each word to the next: a chain's multiply
    // waits for its own last one only.
    if (size >= kChains * sizeof(std::uint64_t)) {
      std::uint64_t chains[kChains] = {hash, hash ^ 1, hash ^ 2, hash ^ 3};
      for (; at + kChains * sizeof(std::uint64_t) <= size; at += kChains * sizeof(std::uint64_t)) {
        for (std::size_t c = 0; c < kChains; ++c) {
          std::uint64_t word;
          std::memcpy(&word, bytes + at + c * sizeof word, sizeof word);
          chains[c] = mixed(chains[c], word);
        }
      }
      for (const std::uint64_t chain : chains) hash = mixed(hash, chain);
    }
    for (; at + sizeof(std::uint64_t) <= size; at += sizeof(std::uint64_t)) {
      std::uint64_t word;
      std::memcpy(&word, bytes + at, sizeof word);
      hash = mixed(hash, word);
    }
    for (; at < size; ++at) hash = mixed(hash, bytes[at]);
  }
  template <typename T>
  void add(const T& value) {
    add(&value, sizeof value);
  }
  std::uint64_t value() const { return hash ^ (hash >> 29); }

 private:
  static constexpr std::size_t kChains = 4;
  static std::uint64_t mixed(std::uint64_t hash, std::uint64_t word) {
    return (hash ^ word) * 0x100000001b3ULL;
  }
  std::uint64_t hash = 0xcbf29ce484222325ULL;
};

// The reuse map's key of an SDM's content read from `path`.
std::uint64_t contentKey(const std::string& path, std::uint64_t fingerprint) {
  WordHash hash;
  hash.add(fingerprint);
  hash.add(path.data(), path.size());
  return hash.value();
}

std::int64_t shortestColumnOf(const SdmFile& sdm) {
  std::size_t rows = sdm.values.empty() ? 0 : sdm.values.front().size();
  for (const std::vector<float>& column : sdm.values) rows = std::min(rows, column.size());
  return static_cast<std::int64_t>(rows);
}

}  // namespace

std::uint64_t fingerprintOf(const SdmFile& sdm) {
  WordHash hash;
  for (const std::int32_t field :
       {sdm.nrOfPredictors, sdm.nrOfDataPoints, sdm.includesConstant, sdm.firstConfoundPredictor}) {
    hash.add(field);
  }
  // The names as read or as shared by the run: the same fingerprint either way.
  for (std::size_t i = 0; i < nameCountOf(sdm); ++i) {
    const std::string_view name = predictorNameAt(sdm, static_cast<std::int64_t>(i));
    hash.add(name.size());
    hash.add(name.data(), name.size());
  }
  for (const std::vector<float>& column : sdm.values) {
    hash.add(column.size());
    hash.add(column.data(), column.size() * sizeof(float));
  }
  return hash.value();
}

void SdmDesignMaker::make(std::size_t study, const SdmFile& sdm) {
  SdmDesign design;
  std::optional<DesignPictures> source;
  SharedContrastInformation contrastSource;
  std::optional<std::uint64_t> newContent;
  summarizeSdm(sdm, design, nameLists, zeroSets);
  if (design.read) {
    const std::uint64_t fingerprint = fingerprintOf(sdm);
    const std::uint64_t key = contentKey(sdm.path, fingerprint);
    // The same content read before (an SDM listed again): its analysis is taken over whole.
    std::optional<RankCheck> known;
    {
      const std::lock_guard<std::mutex> lock(mutex);
      const auto found = checked.find(key);
      if (found != checked.end()) {
        known = designs[found->second].rank;
        design.warnings = designs[found->second].warnings;
        const auto information = contrastInformation.find(found->second);
        if (information != contrastInformation.end()) contrastSource = information->second;
      }
    }
    if (known) {
      design.rank = std::move(*known);
    } else {
      newContent = key;
      // The cross-products first: they settle the rank check of most designs without its QR.
      // What is made of them takes up to O(p^3) time whatever the rows, so it is made only where
      // that stays within the rank check's own O(n p^2): within withinCorrelationBudget. A wider
      // design (never a real run) has its rank check alone, whose dependencies say what there is
      // to say of it.
      const std::int64_t rows = shortestColumnOf(sdm);
      const auto columns = static_cast<std::int64_t>(sdm.values.size());
      std::optional<CrossProducts> products;
      if (withinCorrelationBudget(rows, columns)) products = crossProductsOf(sdm);
      design.rank = checkRank(sdm, products ? &*products : nullptr);
      if (products) {
        design.warnings =
            warnDesign(*products, design.interestCount, design.rank, questions.allCorrelations);
        if (!contrasted.empty()) {
          contrastSource = std::make_shared<const ContrastInformation>(
              contrastInformationOf(*products, sdm, contrasted, design.rank));
        }
      }
      keepListedDependencies(design.rank);
    }
    if (withPictures) {
      source = DesignPictures{study, sdm.path, fingerprint,
                              static_cast<std::int64_t>(sdm.values.size()), design.interestCount};
    }
  }
  const std::lock_guard<std::mutex> lock(mutex);
  if (study >= designs.size()) {
    designs.resize(study + 1);
    isMade.resize(study + 1);
  }
  if (isMade[study]) {
    // The rank check replaced may be another content's record: forget it (the run replaces the
    // first SDM at most, after its repair, so this pass is rare).
    for (auto record = checked.begin(); record != checked.end();) {
      record = record->second == study ? checked.erase(record) : std::next(record);
    }
  }
  designs[study] = std::move(design);
  isMade[study] = true;
  if (newContent) checked.emplace(*newContent, static_cast<std::uint32_t>(study));
  if (source) {
    pictures[study] = std::move(*source);
  } else {
    pictures.erase(study);
  }
  if (contrastSource) {
    contrastInformation[study] = std::move(contrastSource);
  } else {
    contrastInformation.erase(study);
  }
}

SdmValuesVisitor SdmDesignMaker::visitor() {
  return [this](std::size_t study, const SdmFile& sdm) { make(study, sdm); };
}

bool SdmDesignMaker::made(std::size_t study) const {
  const std::lock_guard<std::mutex> lock(mutex);
  return study < isMade.size() && isMade[study];
}

std::vector<SdmDesign> SdmDesignMaker::takeDesigns(std::size_t count) {
  const std::lock_guard<std::mutex> lock(mutex);
  for (std::size_t study = 0; study < count; ++study) {
    if (study >= isMade.size() || !isMade[study]) {
      throw std::logic_error("no design made for study " + std::to_string(study));
    }
  }
  std::vector<SdmDesign> taken = std::move(designs);
  taken.resize(count);
  designs = {};
  isMade = {};
  checked.clear();  // its records name studies of the designs taken
  return taken;
}

std::optional<DesignPictures> SdmDesignMaker::takePictures(std::size_t study) {
  const std::lock_guard<std::mutex> lock(mutex);
  auto node = pictures.extract(study);
  if (node.empty()) return std::nullopt;
  return std::move(node.mapped());
}

SharedContrastInformation SdmDesignMaker::takeContrastInformation(std::size_t study) {
  const std::lock_guard<std::mutex> lock(mutex);
  auto node = contrastInformation.extract(study);
  if (node.empty()) return nullptr;
  return std::move(node.mapped());
}

}  // namespace kelvora::analysis
