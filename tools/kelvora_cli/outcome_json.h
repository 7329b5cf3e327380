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
#include <nlohmann/json.hpp>
#include <string>
#include <string_view>

#include "inspection/run_outcome.h"
#include "study_designs.h"

namespace kelvora::cli {

// Objects keep their members in the order written, so that a line reads as documented.
using Json = nlohmann::ordered_json;

// The JSON string of `bytes`, each byte one code point.
Json latin1String(std::string_view bytes);

// Stable upper-case names of how a run ended: "COMPLETE", "MDM_UNREADABLE", "NO_STUDIES",
// "SDM_UNREADABLE", "SDM_TOO_LARGE", "RUN_TOO_LARGE", "NOT_RELOCATED", "STILL_UNREADABLE",
// "SAVE_CANCELLED", "PREDICTOR_COUNT_MISMATCH", "PREDICTOR_NAME_MISMATCH".
const char* endName(RunEnd end);

// Writes the line of one run to `out`: its object, with the design findings of `designs` (none
// when null) as the last member, "designFindings". The findings are rendered and written one at
// a time, so that the output costs the memory of one finding, not a second copy of all of them
// (a run may have hundreds of thousands).
void writeOutcomeLine(const RunOutcome& outcome, const report::StudyDesigns* designs,
                      std::FILE* out);

// The line of a run that stopped on an unexpected failure (end "INTERRUPTED") before it could say
// how it ended: no findings, no design findings.
void writeInterruptedRunLine(const std::string& mdmPath, std::FILE* out);

}  // namespace kelvora::cli
