// The contrasts a call asks about, as weights on predictor names: never on column numbers, so each
// SDM's weights are placed by name and runs whose predictors are ordered differently agree. Parsed
// from the two forms kelvora and the Python module accept; nothing here knows the study.
//
// Expression grammar (one --contrast), blanks being spaces and tabs:
//   expression := [sign] term (sign term)*
//   sign       := "+" or "-" at the start or right after a blank
//   term       := [number "*"] name         (blanks around "*" allowed)
// A name is everything else of the term, blanks at its ends dropped: it may hold blanks and a
// "+" or "-" that follows no blank ("Rot-X", "Faces+Houses"), never " + " or " - ". A "*" whose
// left side is not a number belongs to the name. A name given twice has the sum of its weights.
//
// Table grammar (a --contrasts file): lines end with LF or CRLF; cells are separated by tabs; the
// first line is the header: "contrast", then one predictor name per cell (distinct, not empty).
// Every other line not empty is one contrast: its name, then a weight (a number) or nothing (0)
// under each predictor; no more cells than the header. A contrast whose weights are all 0 is an
// error in both forms, as are a name given twice and a number that is not finite. Blanks at the
// ends of a cell are dropped.
//
// Memory. The contrasts of one table share one copy of its header's names: each weight is a view
// into it, so a table costs of the order of its own bytes however many rows weigh a long name; a
// table is refused at its (kMostContrasts + 1)th contrast, before it is read further.
#pragma once

#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace kelvora::analysis {

// The largest contrast table read (bytes): far beyond any real table, so a wrong file given as
// one (a volume) is refused rather than read.
inline constexpr std::size_t kMostContrastTableBytes = 1 << 20;

struct Contrast {
  std::string name;  // the expression as given, or the table row's first cell
  // Non-zero weights by predictor name, each name once, in the order first given. The names view
  // `names`, which a copy of the contrast shares.
  std::vector<std::pair<std::string_view, double>> weights;
  std::shared_ptr<const std::string> names;
};

// The contrast `text` states; nullopt with `error` (one sentence) when it does not parse.
std::optional<Contrast> parseContrastExpression(std::string_view text, std::string& error);

// The contrasts of a table's text, in row order; nullopt with `error` ("line N: reason") when it
// does not parse or holds no contrast. O(bytes log bytes) time, O(bytes) memory.
std::optional<std::vector<Contrast>> parseContrastTable(std::string_view text, std::string& error);

// One row of a table given as cells (a data frame): the contrast's name and one weight per
// predictor, NaN for an empty cell.
struct ContrastRow {
  std::string name;
  std::vector<double> weights;
};

// The contrasts of a table given as cells, `predictors` being the header's names after
// "contrast": the table's rules, the names taken as they are (blanks, tabs, line ends and quotes
// included), a weight not finite but NaN an error. nullopt with `error` ("row N: reason", N
// counting from 1, or "header: reason") otherwise. O(cells log cells).
std::optional<std::vector<Contrast>> contrastsOfCells(const std::vector<std::string>& predictors,
                                                      const std::vector<ContrastRow>& rows,
                                                      std::string& error);

// The most contrasts, and the most predictor names all of them weigh together, that one call asks.
// A run may keep a matrix of the weighed names it holds (contrast_information.h), and every
// contrast makes a row per run and per subject: so bounded, a study of thousands of runs keeps a
// few MiB for them even from a hostile table, where real analyses ask a dozen contrasts of a dozen
// conditions.
inline constexpr std::size_t kMostContrasts = 100;
inline constexpr std::size_t kMostContrastedNames = 64;

// Why `contrasts` cannot be asked together, in one sentence: a contrast name given twice (each
// contrast is reported by name), more than kMostContrasts contrasts, or more than
// kMostContrastedNames names weighed. nullopt when they can.
std::optional<std::string> contrastSetError(const std::vector<Contrast>& contrasts);

// Every predictor name `contrasts` weigh, each once, in the order first named.
std::vector<std::string> contrastedNames(const std::vector<Contrast>& contrasts);

}  // namespace kelvora::analysis
