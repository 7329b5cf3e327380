// A regular expression matcher whose time is linear in the text, for the expressions a user gives
// (--subject-rule regex:EXPR): a backtracking engine takes time exponential in the text for an
// expression such as "(a+)+b", and recurses once per byte. This one compiles the expression to a
// small program and runs it as a Pike VM: every thread of the program advances together, one byte
// at a time, and threads that reach one instruction at one position are merged, the one of higher
// priority kept. So a search costs O(program x text) time and O(program x groups) memory, on every
// platform alike (no system library is used).
//
// Syntax, a subset of ECMAScript's with the same meaning, on bytes: literals; escapes \t \n \r \f
// \v \0 \xHH \uHHHH (up to \u00FF) \cX and a backslash before any character that is no letter or
// digit; '.' (any byte but '\n' and '\r'); classes [...] and [^...] with ranges; \d \w \s and
// their negations \D \W \S (ASCII digits, letters, digits and '_', and " \t\n\v\f\r"), also in a
// class; anchors ^ and $ (the text's start and end) and word boundaries \b \B; groups (...) and
// (?:...); alternation |; repeats * + ? {m} {m,} {m,n}, each also lazy with a '?' after it, m and n
// at most kMostRegexRepeat. Refused, with a reason naming what is not supported: backreferences,
// lookahead and lookbehind, named groups, POSIX classes ([:alpha:]). A match is the one
// ECMAScript's search finds: the leftmost, and of those the first by the order of alternatives and
// the greed of repeats; a repeat stops where an iteration would match nothing. One difference: a
// group inside a repeat keeps what it last matched, where ECMAScript forgets it when a later
// iteration passes the group by ("(?:(a)|b)+" on "ab" gives "a").
#pragma once

#include <bitset>
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kelvora::analysis {

inline constexpr std::size_t kMostRegexPatternBytes = 512;
inline constexpr std::size_t kMostRegexRepeat = 1000;
// The most instructions of a compiled expression, its repeats written out: bounds the cost of a
// search to O(kMostRegexProgram x text).
inline constexpr std::size_t kMostRegexProgram = 4096;

class LinearRegex {
 public:
  // The compiled `pattern`, or nothing with `error` saying why in one phrase ("a '(' without its
  // ')'", "backreferences (\1) are not supported", "longer than 512 bytes"). Never throws but
  // std::bad_alloc.
  static std::optional<LinearRegex> compile(std::string_view pattern, std::string& error);

  // The capture groups of the expression, "(...)" but not "(?:...)".
  std::size_t groupCount() const { return groups; }

  // The text group `group` (1 to groupCount()) took in the first match in `text`, viewed in it;
  // nothing when there is no match or the group took no part in it.
  std::optional<std::string_view> searchGroup(std::string_view text, std::size_t group) const;

 private:
  enum class Op { kBytes, kSplit, kJump, kSave, kAssert, kMatch };
  enum class Assertion { kBegin, kEnd, kWordBoundary, kNotWordBoundary };
  struct Instruction {
    Op op;
    std::size_t x = 0;  // kBytes: the set; kSplit, kJump: the target tried first; kSave: the slot
    std::size_t y = 0;  // kSplit: the target tried second
    Assertion assertion = Assertion::kBegin;
  };

  std::vector<Instruction> program;
  std::vector<std::bitset<256>> sets;
  std::size_t groups = 0;

  friend class RegexCompiler;
};

}  // namespace kelvora::analysis
