// The name lists of one run's SDMs, each held once: an SDM whose names equal those of a list in the
// table gets that list (PredictorNameList, a shared compact buffer) instead of a copy. In a real
// study nearly every SDM names the same predictors, so the names cost the memory of one SDM's
// names, however many SDMs the study has.
//
// Lists are found by a hash of their content and compared name by name, so different names never
// share a list. Safe to use from several threads at once (the read-ahead threads share one table).
// The table holds its lists until it ends; a list lives on in every copy handed out.
#pragma once

#include <cstdint>
#include <mutex>
#include <string>
#include <unordered_map>
#include <vector>

#include "designmatrix/predictor_name_list.h"

namespace kelvora {

class NameListTable {
 public:
  // The table's list of `names`, made and added when it holds none with these names. Costs the
  // names' bytes once to compare. May throw std::bad_alloc (the table is then unchanged).
  PredictorNameList share(const std::vector<std::string>& names);

 private:
  std::mutex mutex;
  std::unordered_multimap<std::uint64_t, PredictorNameList> lists;  // by contentHash()
};

}  // namespace kelvora
