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

#include <nlohmann/json.hpp>
#include <string>
#include <string_view>

#include "inspection/run_outcome.h"

namespace kelvora::cli {

// Objects keep their members in the order written, so that a line reads as documented.
using Json = nlohmann::ordered_json;

// The JSON string of `bytes`, each byte one code point.
Json latin1String(std::string_view bytes);

// Stable upper-case names of how a run ended: "COMPLETE", "MDM_UNREADABLE", "NO_STUDIES",
// "SDM_UNREADABLE", "SDM_TOO_LARGE", "RUN_TOO_LARGE", "NOT_RELOCATED", "STILL_UNREADABLE",
// "SAVE_CANCELLED", "PREDICTOR_COUNT_MISMATCH", "PREDICTOR_NAME_MISMATCH".
const char* endName(RunEnd end);

Json outcomeJson(const RunOutcome& outcome);

// The object for a run that stopped on an unexpected failure (end "INTERRUPTED") before it could
// say how it ended.
Json interruptedRunJson(const std::string& mdmPath);

// One line of output: the object in ASCII, followed by a line end.
std::string jsonLine(const Json& object);

}  // namespace kelvora::cli
