// The benchmark's check of what it measured: readSdm gives every SDM of the study exactly the
// reference reader's record (tests/designmatrix/reference_sdm_reader.h, floats bit for bit), and
// kelvora's findings files hold exactly the lines that the run's checks give on the reference
// reader's records.
//
// The SDMs are read one at a time and each reference record is kept only with what the checks
// read (header, names, and which columns are all zero), so the check of a study of thousands of
// SDMs holds a few KiB per SDM.
#pragma once

#include <string>
#include <vector>

#include "study_generator.h"

namespace kelvora::bench {

// True when every record and every findings file in `findingsPaths` agree. Prints one line on
// the records, one per findings file, and the first record that differs.
bool findingsMatchReference(const GeneratedStudy& study,
                            const std::vector<std::string>& findingsPaths);

}  // namespace kelvora::bench
