// The --json rendering of one inspection run: one object per MDM, written as one line. The
// object's layout is published (doc/kelvora-json.schema.json, README); its names and codes are
// never renamed once released.
//
// Paths, subject identifiers, predictor names and log lines are 8-bit byte strings in no
// particular encoding. In JSON each byte becomes the code point of the same number (ISO 8859-1,
// "Latin-1"): the byte 0xC4 is U+00C4. Strings are written with \u escapes for everything outside
// printable ASCII, so every line is plain ASCII; a reader that decodes the JSON and encodes each
// string as Latin-1 gets the original bytes back.
#pragma once

#include <cstdio>
#include <functional>
#include <nlohmann/json.hpp>
#include <string>
#include <string_view>
#include <vector>

#include "analysis/finding_policy.h"
#include "analysis/finding_record.h"
#include "analysis/study_designs.h"
#include "inspection/run_outcome.h"

namespace kelvora::report {

// Objects keep their members in the order written, so that a line reads as documented.
using Json = nlohmann::ordered_json;

// The JSON string of `bytes`, each byte one code point.
Json latin1String(std::string_view bytes);

// Stable upper-case names of how a run ended: "COMPLETE", "MDM_UNREADABLE", "NO_STUDIES",
// "SDM_UNREADABLE", "SDM_TOO_LARGE", "NOT_RELOCATED", "STILL_UNREADABLE",
// "SAVE_CANCELLED", "PREDICTOR_COUNT_MISMATCH", "PREDICTOR_NAME_MISMATCH".
const char* endName(RunEnd end);

// A member of the line that follows "designFindings": an array whose elements are handed, one at a
// time, to the function that writes them; or, when that function is empty, the one `value`.
struct LineMember {
  const char* name;
  std::function<void(const std::function<void(const Json&)>& write)> forEachElement;
  Json value = nullptr;
};

// Writes the line of one run to `out`: its object, with the run's findings, each with the
// severity that `record` (made of `outcome`) gives it after its policy (null: ignored) and
// whether it ended the run ("endsRun"); the design findings of `designs` (none when null) after
// `policy` (design_json.h) as the member "designFindings"; then the members `further`. Every
// element is rendered and written one at a time, so that the output costs the memory of one
// finding, not a second copy of all of them (a run may have hundreds of thousands).
void writeOutcomeLine(const RunOutcome& outcome, const analysis::FindingRecord& record,
                      const analysis::StudyDesigns* designs, const std::vector<LineMember>& further,
                      std::FILE* out, const analysis::FindingPolicy* policy = nullptr);

// The line of a run that stopped on an unexpected failure (end "INTERRUPTED") before it could say
// how it ended: no findings, no design findings, and the members `further` as they give them.
void writeInterruptedRunLine(const std::string& mdmPath, const std::vector<LineMember>& further,
                             std::FILE* out);

}  // namespace kelvora::report
