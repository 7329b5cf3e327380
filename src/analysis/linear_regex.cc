#include "analysis/linear_regex.h"

#include <algorithm>
#include <utility>

namespace kelvora::analysis {
namespace {

constexpr std::size_t kUnbounded = static_cast<std::size_t>(-1);
constexpr std::size_t kNoPosition = static_cast<std::size_t>(-1);
// Groups within groups: the parser and the compiler recurse once per level.
constexpr std::size_t kMostNesting = 64;

using ByteSet = std::bitset<256>;

bool isWordByte(unsigned char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_';
}

ByteSet setOf(bool (*member)(unsigned char)) {
  ByteSet set;
  for (int c = 0; c < 256; ++c) set[c] = member(static_cast<unsigned char>(c));
  return set;
}

bool isDigitByte(unsigned char c) { return c >= '0' && c <= '9'; }
bool isLetter(unsigned char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
bool isSpaceByte(unsigned char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

}  // namespace

// Parses a pattern into nodes and writes them as a program. Each refusal sets `error` and
// unwinds by returning false.
class RegexCompiler {
 public:
  RegexCompiler(std::string_view pattern, std::string& error) : pattern(pattern), error(error) {}

  std::optional<LinearRegex> compile() {
    if (pattern.size() > kMostRegexPatternBytes) {
      return refuse("longer than " + std::to_string(kMostRegexPatternBytes) + " bytes");
    }
    Node root;
    if (!parseDisjunction(root, 0)) return std::nullopt;
    if (at < pattern.size()) return refuse("a ')' without its '('");
    emit({LinearRegex::Op::kSave, 0});
    if (!write(root)) return std::nullopt;
    emit({LinearRegex::Op::kSave, 1});
    emit({LinearRegex::Op::kMatch});
    if (regex.program.size() > kMostRegexProgram) return tooLarge();
    regex.groups = groups;
    return std::move(regex);
  }

 private:
  using Op = LinearRegex::Op;
  using Assertion = LinearRegex::Assertion;

  // A node of the parsed expression.
  struct Node {
    enum class Kind { kEmpty, kBytes, kConcat, kAlternate, kGroup, kRepeat, kAssert };
    Kind kind = Kind::kEmpty;
    ByteSet bytes;               // kBytes
    std::vector<Node> children;  // kConcat, kAlternate; kGroup and kRepeat: the one inside
    std::size_t group = 0;       // kGroup: its number, from 1
    std::size_t min = 0;         // kRepeat
    std::size_t max = 0;         // kRepeat: kUnbounded for none
    bool greedy = true;          // kRepeat
    Assertion assertion = Assertion::kBegin;  // kAssert
  };

  std::nullopt_t refuse(const std::string& reason) {
    if (error.empty()) error = reason;
    return std::nullopt;
  }
  bool fail(const std::string& reason) {
    refuse(reason);
    return false;
  }
  std::nullopt_t tooLarge() {
    return refuse("larger than " + std::to_string(kMostRegexProgram) +
                  " steps once its repeats are written out");
  }

  bool atEnd() const { return at >= pattern.size(); }
  char peek(std::size_t ahead = 0) const {
    return at + ahead < pattern.size() ? pattern[at + ahead] : '\0';
  }
  bool accept(char c) {
    if (atEnd() || pattern[at] != c) return false;
    ++at;
    return true;
  }

  bool parseDisjunction(Node& node, std::size_t depth) {
    Node first;
    if (!parseAlternative(first, depth)) return false;
    if (peek() != '|' || atEnd()) {
      node = std::move(first);
      return true;
    }
    node.kind = Node::Kind::kAlternate;
    node.children.push_back(std::move(first));
    while (accept('|')) {
      Node next;
      if (!parseAlternative(next, depth)) return false;
      node.children.push_back(std::move(next));
    }
    return true;
  }

  bool parseAlternative(Node& node, std::size_t depth) {
    node.kind = Node::Kind::kConcat;
    while (!atEnd() && peek() != '|' && peek() != ')') {
      Node term;
      if (!parseTerm(term, depth)) return false;
      node.children.push_back(std::move(term));
    }
    return true;
  }

  bool parseTerm(Node& node, std::size_t depth) {
    const char c = peek();
    if (c == '^' || c == '$' || (c == '\\' && (peek(1) == 'b' || peek(1) == 'B'))) {
      node.kind = Node::Kind::kAssert;
      node.assertion = c == '^'         ? Assertion::kBegin
                       : c == '$'       ? Assertion::kEnd
                       : peek(1) == 'b' ? Assertion::kWordBoundary
                                        : Assertion::kNotWordBoundary;
      at += c == '\\' ? 2 : 1;
      if (isQuantifier()) return fail("a repeat of an anchor or \\b");
      return true;
    }
    if (!parseAtom(node, depth)) return false;
    return parseQuantifier(node);
  }

  bool isQuantifier() const {
    const char c = peek();
    return !atEnd() && (c == '*' || c == '+' || c == '?' || c == '{');
  }

  bool parseAtom(Node& node, std::size_t depth) {
    const char c = pattern[at++];
    switch (c) {
      case '.':
        node.kind = Node::Kind::kBytes;
        node.bytes.set();
        node.bytes['\n'] = node.bytes['\r'] = false;
        return true;
      case '(':
        return parseGroup(node, depth);
      case '[':
        node.kind = Node::Kind::kBytes;
        return parseClass(node.bytes);
      case '\\':
        node.kind = Node::Kind::kBytes;
        return parseEscape(node.bytes, false);
      case '*':
      case '+':
      case '?':
      case '{':
        return fail(std::string("a repeat '") + c + "' with nothing to repeat");
      default:
        node.kind = Node::Kind::kBytes;
        node.bytes[static_cast<unsigned char>(c)] = true;
        return true;
    }
  }

  bool parseGroup(Node& node, std::size_t depth) {
    if (depth + 1 > kMostNesting) {
      return fail("groups nested deeper than " + std::to_string(kMostNesting));
    }
    bool capturing = true;
    if (accept('?')) {
      if (accept(':')) {
        capturing = false;
      } else if (peek() == '=' || peek() == '!' ||
                 (peek() == '<' && (peek(1) == '=' || peek(1) == '!'))) {
        return fail("lookahead and lookbehind ((?=, (?!, (?<=, (?<!) are not supported");
      } else if (peek() == '<') {
        return fail("named groups ((?<name>...)) are not supported");
      } else {
        return fail("an unknown group \"(?" + std::string(1, peek()) + "\"");
      }
    }
    Node inside;
    const std::size_t number = capturing ? ++groups : 0;
    if (!parseDisjunction(inside, depth + 1)) return false;
    if (!accept(')')) return fail("a '(' without its ')'");
    if (!capturing) {
      node = std::move(inside);
      return true;
    }
    node.kind = Node::Kind::kGroup;
    node.group = number;
    node.children.push_back(std::move(inside));
    return true;
  }

  // A whole number of at most kMostRegexRepeat at the current position.
  bool parseCount(std::size_t& count) {
    if (atEnd() || !isDigitByte(static_cast<unsigned char>(peek()))) return false;
    count = 0;
    while (!atEnd() && isDigitByte(static_cast<unsigned char>(peek()))) {
      count = count * 10 + static_cast<std::size_t>(pattern[at++] - '0');
      if (count > kMostRegexRepeat) return false;
    }
    return true;
  }

  bool parseQuantifier(Node& node) {
    if (!isQuantifier()) return true;
    std::size_t min = 0;
    std::size_t max = kUnbounded;
    const char c = pattern[at++];
    if (c == '+') {
      min = 1;
    } else if (c == '?') {
      max = 1;
    } else if (c == '{') {
      const std::string repeatError = "a '{' that is no repeat {m}, {m,} or {m,n} with m <= n <= " +
                                      std::to_string(kMostRegexRepeat) + " (\\{ is the byte)";
      if (!parseCount(min)) return fail(repeatError);
      max = min;
      if (accept(',')) max = peek() == '}' ? kUnbounded : (parseCount(max) ? max : 0);
      if (!accept('}') || max < min) return fail(repeatError);
    }
    Node repeat;
    repeat.kind = Node::Kind::kRepeat;
    repeat.min = min;
    repeat.max = max;
    repeat.greedy = !accept('?');
    repeat.children.push_back(std::move(node));
    node = std::move(repeat);
    if (isQuantifier()) return fail("a repeat of a repeat");
    return true;
  }

  // An escape after its '\'. In a class, \b is a backspace; outside, \b and \B are assertions
  // (parseTerm takes them).
  bool parseEscape(ByteSet& bytes, bool inClass) {
    if (atEnd()) return fail("a '\\' at the end");
    const char c = pattern[at++];
    const auto single = [&bytes](unsigned value) {
      bytes[value] = true;
      return true;
    };
    switch (c) {
      case 'd':
        bytes |= setOf(isDigitByte);
        return true;
      case 'D':
        bytes |= ~setOf(isDigitByte);
        return true;
      case 'w':
        bytes |= setOf(isWordByte);
        return true;
      case 'W':
        bytes |= ~setOf(isWordByte);
        return true;
      case 's':
        bytes |= setOf(isSpaceByte);
        return true;
      case 'S':
        bytes |= ~setOf(isSpaceByte);
        return true;
      case 't':
        return single('\t');
      case 'n':
        return single('\n');
      case 'r':
        return single('\r');
      case 'f':
        return single('\f');
      case 'v':
        return single('\v');
      case 'b':
        return inClass ? single('\b') : fail("\\b here");
      case '0':
        if (isDigitByte(static_cast<unsigned char>(peek()))) break;
        return single(0);
      case 'c':
        if (!isLetter(static_cast<unsigned char>(peek()))) {
          return fail("a \\c without a letter after it");
        }
        return single(static_cast<unsigned char>(pattern[at++]) % 32);
      case 'x':
      case 'u': {
        const std::size_t digits = c == 'x' ? 2 : 4;
        unsigned value = 0;
        for (std::size_t i = 0; i < digits; ++i) {
          const char h = peek();
          const int digit = h >= '0' && h <= '9'   ? h - '0'
                            : h >= 'a' && h <= 'f' ? h - 'a' + 10
                            : h >= 'A' && h <= 'F' ? h - 'A' + 10
                                                   : -1;
          if (digit < 0) return fail(std::string("a \\") + c + " without its hexadecimal digits");
          value = value * 16 + static_cast<unsigned>(digit);
          ++at;
        }
        if (value > 0xFF) return fail("\\u beyond \\u00FF (the expression works on bytes)");
        return single(value);
      }
      case 'k':
        return fail("backreferences (\\k<name>) are not supported");
      default:
        break;
    }
    if (isDigitByte(static_cast<unsigned char>(c))) {
      return fail("backreferences (\\" + std::string(1, c) + ") are not supported");
    }
    if (isLetter(static_cast<unsigned char>(c))) {
      return fail("an unknown escape \\" + std::string(1, c));
    }
    return single(static_cast<unsigned char>(c));
  }

  // A class after its '['.
  bool parseClass(ByteSet& bytes) {
    const bool negated = accept('^');
    while (!accept(']')) {
      if (atEnd()) return fail("a '[' without its ']'");
      if (peek() == '[' && (peek(1) == ':' || peek(1) == '=' || peek(1) == '.')) {
        return fail("POSIX classes ([:name:]) are not supported; \\d, \\w, \\s or a range serve");
      }
      ByteSet first;
      bool firstSingle = true;
      if (!parseClassAtom(first, firstSingle)) return false;
      if (peek() == '-' && peek(1) != ']' && at + 1 < pattern.size()) {
        ++at;
        ByteSet last;
        bool lastSingle = true;
        if (!parseClassAtom(last, lastSingle)) return false;
        if (!firstSingle || !lastSingle)
          return fail("a range in a class from or to a class escape");
        const std::size_t from = lowest(first);
        const std::size_t to = lowest(last);
        if (from > to) return fail("a range in a class whose end comes before its start");
        for (std::size_t b = from; b <= to; ++b) bytes[b] = true;
      } else {
        bytes |= first;
      }
    }
    if (negated) bytes.flip();
    return true;
  }

  bool parseClassAtom(ByteSet& bytes, bool& single) {
    const char c = pattern[at++];
    if (c != '\\') {
      bytes[static_cast<unsigned char>(c)] = true;
      return true;
    }
    if (!parseEscape(bytes, true)) return false;
    single = bytes.count() == 1;
    return true;
  }

  static std::size_t lowest(const ByteSet& bytes) {
    std::size_t b = 0;
    while (b < 256 && !bytes[b]) ++b;
    return b;
  }

  std::size_t emit(LinearRegex::Instruction instruction) {
    regex.program.push_back(instruction);
    return regex.program.size() - 1;
  }

  // Writes `node` at the program's end; false when the program grows past its bound.
  bool write(const Node& node) {
    if (regex.program.size() > kMostRegexProgram) return (tooLarge(), false);
    switch (node.kind) {
      case Node::Kind::kEmpty:
        return true;
      case Node::Kind::kBytes:
        regex.sets.push_back(node.bytes);
        emit({Op::kBytes, regex.sets.size() - 1});
        return true;
      case Node::Kind::kAssert: {
        LinearRegex::Instruction instruction{Op::kAssert};
        instruction.assertion = node.assertion;
        emit(instruction);
        return true;
      }
      case Node::Kind::kConcat:
        for (const Node& child : node.children) {
          if (!write(child)) return false;
        }
        return true;
      case Node::Kind::kGroup:
        emit({Op::kSave, 2 * node.group});
        if (!write(node.children.front())) return false;
        emit({Op::kSave, 2 * node.group + 1});
        return true;
      case Node::Kind::kAlternate:
        return writeAlternate(node.children);
      case Node::Kind::kRepeat:
        return writeRepeat(node);
    }
    return true;
  }

  // a|b|c: split(a, split(b, c)), each but the last jumping past the rest.
  bool writeAlternate(const std::vector<Node>& children) {
    std::vector<std::size_t> jumps;
    for (std::size_t i = 0; i < children.size(); ++i) {
      const bool last = i + 1 == children.size();
      const std::size_t split = last ? 0 : emit({Op::kSplit});
      if (!last) regex.program[split].x = split + 1;
      if (!write(children[i])) return false;
      if (!last) {
        jumps.push_back(emit({Op::kJump}));
        regex.program[split].y = regex.program.size();
      }
    }
    for (const std::size_t jump : jumps) regex.program[jump].x = regex.program.size();
    return true;
  }

  // The split into `onward` (the repeated node) and `past`, in the order the greed asks.
  void aim(std::size_t split, bool greedy, std::size_t onward, std::size_t past) {
    regex.program[split].x = greedy ? onward : past;
    regex.program[split].y = greedy ? past : onward;
  }

  // x{m,n}: x written m times, then n - m times each behind a split that may end the repeat
  // (x{m,}: a loop instead). The loop's split is met again only after its body matched something,
  // or in the same step, where the VM drops the thread: so an iteration matching nothing ends it.
  bool writeRepeat(const Node& node) {
    const Node& body = node.children.front();
    for (std::size_t i = 0; i < node.min; ++i) {
      if (!write(body)) return false;
    }
    if (node.max == kUnbounded) {
      const std::size_t split = emit({Op::kSplit});
      if (!write(body)) return false;
      emit({Op::kJump, split});
      aim(split, node.greedy, split + 1, regex.program.size());
      return true;
    }
    std::vector<std::size_t> splits;
    for (std::size_t i = node.min; i < node.max; ++i) {
      splits.push_back(emit({Op::kSplit}));
      if (!write(body)) return false;
    }
    for (const std::size_t split : splits) {
      aim(split, node.greedy, split + 1, regex.program.size());
    }
    return true;
  }

  std::string_view pattern;
  std::string& error;
  std::size_t at = 0;
  std::size_t groups = 0;
  LinearRegex regex;
};

namespace {

// The threads of one step: each instruction at most once, in the order of priority, with the
// slots of the thread that reached it first.
class ThreadList {
 public:
  ThreadList(std::size_t instructions, std::size_t slotCount)
      : index(instructions, 0), slots(instructions * slotCount), slotCount(slotCount) {
    order.reserve(instructions);
  }
  bool holds(std::size_t pc) const { return index[pc] < order.size() && order[index[pc]] == pc; }
  void add(std::size_t pc) {
    index[pc] = order.size();
    order.push_back(pc);
  }
  std::size_t* slotsOf(std::size_t pc) { return &slots[pc * slotCount]; }
  void clear() { order.clear(); }

  std::vector<std::size_t> order;

 private:
  std::vector<std::size_t> index;  // a sparse set: order[index[pc]] == pc when pc is held
  std::vector<std::size_t> slots;
  std::size_t slotCount;
};

}  // namespace

std::optional<LinearRegex> LinearRegex::compile(std::string_view pattern, std::string& error) {
  error.clear();
  return RegexCompiler(pattern, error).compile();
}

std::optional<std::string_view> LinearRegex::searchGroup(std::string_view text,
                                                         std::size_t group) const {
  const std::size_t slotCount = 2 * (groups + 1);
  ThreadList current(program.size(), slotCount);
  ThreadList next(program.size(), slotCount);
  std::vector<std::size_t> slots(slotCount, kNoPosition);  // of the thread being followed
  std::vector<std::size_t> best;                           // of the match found, if any
  // What is left to do while a thread follows the instructions that take no byte: go to an
  // instruction, or give a slot back its value once the branch that set it is done.
  struct Task {
    bool restore;
    std::size_t target;  // the instruction, or the slot
    std::size_t value;
  };
  std::vector<Task> tasks;

  const auto holdsAt = [text](Assertion assertion, std::size_t position) {
    const bool before = position > 0 && isWordByte(static_cast<unsigned char>(text[position - 1]));
    const bool after =
        position < text.size() && isWordByte(static_cast<unsigned char>(text[position]));
    switch (assertion) {
      case Assertion::kBegin:
        return position == 0;
      case Assertion::kEnd:
        return position == text.size();
      case Assertion::kWordBoundary:
        return before != after;
      case Assertion::kNotWordBoundary:
        return before == after;
    }
    return false;
  };
  // Adds the thread at `pc` with `slots` to `list`, and every thread it becomes without taking a
  // byte, in the order of their priority.
  const auto follow = [&](ThreadList& list, std::size_t pc, std::size_t position) {
    tasks.push_back({false, pc, 0});
    while (!tasks.empty()) {
      const Task task = tasks.back();
      tasks.pop_back();
      if (task.restore) {
        slots[task.target] = task.value;
        continue;
      }
      if (list.holds(task.target)) continue;
      list.add(task.target);
      const Instruction& instruction = program[task.target];
      switch (instruction.op) {
        case Op::kJump:
          tasks.push_back({false, instruction.x, 0});
          break;
        case Op::kSplit:
          tasks.push_back({false, instruction.y, 0});
          tasks.push_back({false, instruction.x, 0});
          break;
        case Op::kSave:
          tasks.push_back({true, instruction.x, slots[instruction.x]});
          slots[instruction.x] = position;
          tasks.push_back({false, task.target + 1, 0});
          break;
        case Op::kAssert:
          if (holdsAt(instruction.assertion, position)) {
            tasks.push_back({false, task.target + 1, 0});
          }
          break;
        case Op::kBytes:
        case Op::kMatch:
          std::copy(slots.begin(), slots.end(), list.slotsOf(task.target));
          break;
      }
    }
  };

  for (std::size_t position = 0; position <= text.size(); ++position) {
    if (best.empty()) {
      // A match may still begin here: at the lowest priority, after every earlier start.
      std::fill(slots.begin(), slots.end(), kNoPosition);
      follow(current, 0, position);
    } else if (current.order.empty()) {
      break;
    }
    next.clear();
    for (const std::size_t pc : current.order) {
      const Instruction& instruction = program[pc];
      if (instruction.op == Op::kMatch) {
        best.assign(current.slotsOf(pc), current.slotsOf(pc) + slotCount);
        break;  // the threads after it have a lower priority
      }
      if (instruction.op == Op::kBytes && position < text.size() &&
          sets[instruction.x][static_cast<unsigned char>(text[position])]) {
        std::copy(current.slotsOf(pc), current.slotsOf(pc) + slotCount, slots.begin());
        follow(next, pc + 1, position + 1);
      }
    }
    std::swap(current, next);
  }
  if (best.empty() || group > groups || best[2 * group] == kNoPosition ||
      best[2 * group + 1] == kNoPosition) {
    return std::nullopt;
  }
  return text.substr(best[2 * group], best[2 * group + 1] - best[2 * group]);
}

}  // namespace kelvora::analysis
