// The contents of one single-study design matrix (SDM): its header, one colour triple and one name
// per predictor, and the values, one column of 32-bit floats per predictor. The file format and
// every leniency rule of the reader are described in doc/file-formats.md.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "designmatrix/predictor_name_list.h"

namespace kelvora {

// The start of the line logged for an SDM that cannot be opened; the path follows.
inline constexpr char kSdmOpenFailure[] = "!!!  Failed opening SDM for reading: ";
// The name of a predictor whose name could not be read.
inline constexpr char kUnreadPredictorName[] = "NoName";

// `fileVersion` of a file that could not be opened. No other value is reserved.
inline constexpr std::int32_t kUnreadableFileVersion = -1;

// The version an opened file reads as: a stated -1 is a value the reader cannot use, so it reads
// as 0, like a missing one. Otherwise an opened file would pass for one that could not be opened,
// and the run would go on without the failure line that such a file gets.
constexpr std::int32_t openedFileVersion(std::int32_t stated) {
  return stated == kUnreadableFileVersion ? 0 : stated;
}

// The reader's memory caps, counted in 32-bit value slots. An SDM's values and its predictors'
// bookkeeping are bounded by a fixed cap, whatever its header announces and however large its file
// is (a sparse or zero-filled file is no exception): 16 Mi slots, 64 MiB, room for 8,000 data
// points of 2,000 predictors. Within that cap, a header announcing more values than its file can
// hold (a short value matrix) may claim only 1 Mi slots, 4 MiB: beyond that the file is damaged
// or hostile, not a design. Claims beyond either are refused (see sdmTooLargeToRead).
inline constexpr std::int64_t kSdmMaxSlots = std::int64_t{16} * 1024 * 1024;
inline constexpr std::int64_t kSdmValueAllowance = std::int64_t{1} * 1024 * 1024;

// The most predictors an SDM may announce. Each predictor may cause a finding line of its own, so
// this also bounds the findings one SDM can cause.
inline constexpr std::int32_t kSdmMaxPredictors = 65536;

// The memory of one predictor's colour triple, name and column bookkeeping (68 bytes), counted in
// value slots, so that a header announcing many predictors and no data points is bounded too.
inline constexpr std::int64_t kSdmSlotsPerPredictor = 17;

// The header fields of an SDM, as bits of SdmReadNotes' masks.
enum SdmHeaderField : std::uint8_t {
  kFileVersionField = 1,
  kNrOfPredictorsField = 2,
  kNrOfDataPointsField = 4,
  kIncludesConstantField = 8,
  kFirstConfoundPredictorField = 16,
};

// The longest text of an unreadable value that the notes keep.
inline constexpr std::size_t kMostUnreadTextKept = 40;

// What the reader noticed while reading an opened SDM that the record itself does not show. Plain
// data gathered on the way at no measurable cost; the inspection run does not look at it, the
// command-line inspector reports it.
struct SdmReadNotes {
  std::uint8_t headerMissing = 0;     // SdmHeaderField bits: the key was not found (value 0)
  std::uint8_t headerUnreadable = 0;  // the key was found, its value could not be read (0)
  std::int64_t namesFound = 0;        // quoted names on the names line, also beyond the predictors
  std::int64_t valuesRead = 0;        // of nrOfPredictors * nrOfDataPoints announced
  // When reading stopped before every value was read on a value it could not read: that value's
  // 0-based index in row order and its text (the whole word, at most kMostUnreadTextKept bytes).
  // Empty text: the file ended first. `unreadInWord`: the word's start was read as the value
  // before it ("1,5" gives 1, then stops on ",5").
  std::int64_t unreadIndex = -1;
  std::string unreadText;
  bool unreadInWord = false;
  bool textAfterMatrix = false;  // text follows the last announced value
};

struct SdmFile {
  std::int32_t fileVersion = 0;
  std::string path;
  std::int32_t nrOfPredictors = 0;
  std::int32_t nrOfDataPoints = 0;
  std::int32_t includesConstant = 0;
  std::int32_t firstConfoundPredictor = 0;
  std::vector<std::int32_t> colorRed;
  std::vector<std::int32_t> colorGreen;
  std::vector<std::int32_t> colorBlue;
  // As read. A run moves them to `sharedNames` (shareNames in inspection/sdm_predictors.h), one
  // list for every SDM of the run with the same names; `predictorNames` is then empty.
  std::vector<std::string> predictorNames;
  PredictorNameList sharedNames;
  // values[p][t]: predictor p (0-based) at data point t (0-based). A run keeps of them only which
  // columns are all zero (CondensedSdm in inspection/sdm_predictors.h).
  std::vector<std::vector<float>> values;
  // The header announced more than the reader's caps allow (or the memory ran out while
  // reading): nothing is kept, the lists are empty, and the counts
  // hold what the header announced.
  bool tooLargeToRead = false;
  SdmReadNotes notes;

  bool unreadable() const { return fileVersion == kUnreadableFileVersion; }
};

// Reads the SDM at `path`. Never throws. A file that cannot be opened (missing, a folder, a
// device, a pipe, a path holding a NUL byte) logs "!!!  Failed opening SDM for reading: " and the
// path, and yields fileVersion -1, the path and empty lists. Anything malformed inside an opened
// file is not reported: what cannot be read keeps its default (0, 0.0, "NoName"); header fields
// that the file does not give are 0, negative counts are taken as 0. Whenever the file was opened
// and is not too large, every per-predictor list has nrOfPredictors entries and every column
// nrOfDataPoints values. Memory stays within the caps above, plus a line of the file.
SdmFile readSdm(std::string path);

// What the lists of an SDM of `nrOfPredictors` x `nrOfDataPoints` (within the caps) hold at most,
// in bytes: per predictor its colours, name, column bookkeeping and values, as the heap counts
// them.
std::int64_t sdmListBytes(std::int32_t nrOfPredictors, std::int32_t nrOfDataPoints);

// Called by the reader with sdmListBytes of an opened SDM that is not too large, once its header
// is read and before its lists are made; may wait (for memory to be free, e.g.). May throw only
// what an allocation throws.
using SdmListGate = std::function<void(std::int64_t listBytes)>;

// The same, but logs nothing: for an SDM read on another thread, ahead of its turn. Whoever takes
// it logs its failure with logSdmOpenFailure when its turn comes. `beforeLists`, when given, is
// called as SdmListGate says.
SdmFile readSdmSilently(std::string path, const SdmListGate& beforeLists = nullptr);

// Logs kSdmOpenFailure and the path of an SDM that cannot be opened. Never throws: when memory
// runs out the line is lost, as any log entry is then.
void logSdmOpenFailure(const std::string& path);

// The reader's size rule (counts already non-negative): true when the header announces more
// than kSdmMaxPredictors predictors, or claims more than kSdmMaxSlots value slots,
// nrOfPredictors * (nrOfDataPoints + kSdmSlotsPerPredictor), or claims more than
// kSdmValueAllowance slots and also more values, nrOfPredictors * max(nrOfDataPoints, 1), than a
// file of `fileSize` bytes can hold at two bytes per value (a digit and a separator).
bool sdmTooLargeToRead(std::int32_t nrOfPredictors, std::int32_t nrOfDataPoints,
                       std::uint64_t fileSize);

}  // namespace kelvora
