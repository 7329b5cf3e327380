#include "study_generator.h"

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <memory>
#include <mutex>
#include <random>
#include <stdexcept>
#include <thread>

namespace kelvora::bench {
namespace {

constexpr std::int64_t kMicro = 1'000'000;

// Six decimals from an integer count of millionths, so the text depends on no floating-point
// library: -1234567 is "-1.234567". Written digit by digit: the large study has 173 million values.
void appendMicros(std::string& out, std::int64_t micros) {
  char text[24];  // a sign, 19 digits, the point
  char* const end = text + sizeof text;
  char* first = end;
  std::uint64_t magnitude =
      micros < 0 ? 0 - static_cast<std::uint64_t>(micros) : static_cast<std::uint64_t>(micros);
  for (int decimal = 0; decimal < 6; ++decimal) {
    *--first = static_cast<char>('0' + magnitude % 10);
    magnitude /= 10;
  }
  *--first = '.';
  do {
    *--first = static_cast<char>('0' + magnitude % 10);
    magnitude /= 10;
  } while (magnitude != 0);
  if (micros < 0) *--first = '-';
  out.append(first, end);
}

class Random {
 public:
  explicit Random(std::uint64_t seed) : engine(seed) {}
  // Uniform in [low, high]; mt19937_64's output is the same on every platform.
  std::int64_t between(std::int64_t low, std::int64_t high) {
    return low + static_cast<std::int64_t>(engine() % static_cast<std::uint64_t>(high - low + 1));
  }
  bool chance(int inOf) { return between(1, inOf) == 1; }

 private:
  std::mt19937_64 engine;
};

enum class Kind { kCondition, kMotion, kWide, kConstant };

struct Layout {
  int interest = 0;
  std::vector<Kind> kinds;
  std::vector<std::string> names;
};

Layout layoutOf(int predictors) {
  Layout layout;
  layout.interest = std::max(1, predictors / 3);
  for (int p = 0; p < predictors; ++p) {
    if (p < layout.interest) {
      layout.kinds.push_back(Kind::kCondition);
      layout.names.push_back("Condition " + std::to_string(p + 1));
    } else if (p == predictors - 1) {
      layout.kinds.push_back(Kind::kConstant);
      layout.names.push_back("Constant");
    } else if (p == predictors - 2 && predictors - layout.interest >= 3) {
      layout.kinds.push_back(Kind::kWide);
      layout.names.push_back("Global signal");
    } else {
      layout.kinds.push_back(Kind::kMotion);
      layout.names.push_back("Motion " + std::to_string(p - layout.interest + 1));
    }
  }
  return layout;
}

// One column of one SDM, in millionths.
std::vector<std::int64_t> columnOf(Kind kind, int predictor, int sdm, int dataPoints, bool zero,
                                   Random& random) {
  std::vector<std::int64_t> column(static_cast<std::size_t>(dataPoints), 0);
  if (zero) return column;
  switch (kind) {
    case Kind::kCondition: {
      // Blocks: half of each period on, with a response rising and falling over six points.
      const int period = 40 + 4 * predictor;
      const int offset = (sdm * 7 + predictor * 13) % period;
      const std::int64_t amplitude = random.between(800'000, 1'200'000);
      for (int t = 0; t < dataPoints; ++t) {
        const int k = (t + offset) % period;
        const int on = period / 2;
        if (k >= on) continue;
        const int ramp = std::min({k + 1, on - k, 6});
        column[static_cast<std::size_t>(t)] = amplitude * ramp / 6 + random.between(0, 20'000);
      }
      break;
    }
    case Kind::kMotion: {
      std::int64_t value = random.between(-500'000, 500'000);
      for (auto& v : column) {
        value = std::clamp<std::int64_t>(value + random.between(-10'000, 10'000), -2'500'000,
                                         2'500'000);
        v = value;
      }
      break;
    }
    case Kind::kWide: {
      // A triangle wave of amplitude 20 with noise: above 16.777216 it needs more digits than a
      // float's significand holds exactly.
      const int period = 200;
      for (int t = 0; t < dataPoints; ++t) {
        const int k = (t + sdm) % period;
        const std::int64_t triangle = (k < period / 2 ? k : period - k) - period / 4;
        column[static_cast<std::size_t>(t)] =
            triangle * 20 * kMicro / (period / 4) + random.between(-300'000, 300'000);
      }
      break;
    }
    case Kind::kConstant:
      std::fill(column.begin(), column.end(), kMicro);
      break;
  }
  return column;
}

void writeFile(const std::string& path, const std::string& bytes) {
  std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(std::fopen(path.c_str(), "wb"),
                                                       &std::fclose);
  if (file == nullptr || std::fwrite(bytes.data(), 1, bytes.size(), file.get()) != bytes.size()) {
    throw std::runtime_error("cannot write " + path);
  }
}

std::string sdmText(const StudyShape& shape, const Layout& layout, int sdm, Random& random) {
  const int subject = sdm / shape.runsPerSubject;
  // Some subjects never saw one condition; some runs lack one; some runs have a flat motion trace.
  const int absentForSubject = subject % 10 == 3 ? subject % layout.interest : -1;
  const int absentInRun =
      random.chance(12) ? static_cast<int>(random.between(0, layout.interest - 1)) : -1;
  const bool flatMotion = random.chance(50);

  std::vector<std::vector<std::int64_t>> columns;
  for (int p = 0; p < shape.predictors; ++p) {
    const Kind kind = layout.kinds[static_cast<std::size_t>(p)];
    const bool zero = p == absentForSubject || p == absentInRun ||
                      (flatMotion && kind == Kind::kMotion && p == layout.interest);
    columns.push_back(columnOf(kind, p, sdm, shape.dataPoints, zero, random));
  }

  std::string text =
      "FileVersion: 1\r\n\r\nNrOfPredictors: " + std::to_string(shape.predictors) +
      "\r\nNrOfDataPoints: " + std::to_string(shape.dataPoints) +
      "\r\nIncludesConstant: 1\r\nFirstConfoundPredictor: " + std::to_string(layout.interest + 1) +
      "\r\n\r\n";
  for (int p = 0; p < shape.predictors; ++p) {
    text += std::to_string(p * 37 % 256) + " " + std::to_string(p * 91 % 256) + " " +
            std::to_string(p * 53 % 256) + "\r\n";
  }
  for (int p = 0; p < shape.predictors; ++p) {
    text += (p ? " \"" : "\"") + layout.names[static_cast<std::size_t>(p)] + "\"";
  }
  text += "\r\n";
  text.reserve(text.size() + static_cast<std::size_t>(shape.dataPoints) *
                                 static_cast<std::size_t>(shape.predictors) * 11);
  for (int t = 0; t < shape.dataPoints; ++t) {
    for (int p = 0; p < shape.predictors; ++p) {
      if (p > 0) text += ' ';
      appendMicros(text, columns[static_cast<std::size_t>(p)][static_cast<std::size_t>(t)]);
    }
    text += "\r\n";
  }
  return text;
}

// Each SDM draws from an engine of its own, so that the SDMs can be written in any order and still
// be the same bytes, and the first SDMs of a larger study are those of a smaller one.
std::uint64_t seedOf(std::uint64_t studySeed, int sdm) {
  return studySeed + 0x9E3779B97F4A7C15u * static_cast<std::uint64_t>(sdm + 1);
}

std::string runName(const StudyShape& shape, int sdm) {
  char name[64];
  std::snprintf(name, sizeof name, "sub-%03d_run-%d", sdm / shape.runsPerSubject + 1,
                sdm % shape.runsPerSubject + 1);
  return name;
}

}  // namespace

GeneratedStudy generateStudy(const std::string& folder, const StudyShape& shape) {
  if (shape.sdms < 1 || shape.dataPoints < 1 || shape.predictors < 2 || shape.runsPerSubject < 1) {
    throw std::runtime_error("a study needs an SDM, a data point and two predictors");
  }
  const Layout layout = layoutOf(shape.predictors);
  GeneratedStudy study;
  std::string mdm =
      "\r\nFileVersion:          3\r\nTypeOfFunctionalData: VTC\r\n\r\n"
      "RFX-GLM:              1\r\n\r\nPSCTransformation:    1\r\nzTransformation:      0\r\n"
      "SeparatePredictors:   0\r\n\r\nNrOfStudies:          " +
      std::to_string(shape.sdms) + "\r\n";
  for (int sdm = 0; sdm < shape.sdms; ++sdm) {
    const std::string base = folder + "/" + runName(shape, sdm);
    study.sdmPaths.push_back(base + ".sdm");
    mdm += "\"" + base + ".vtc\" \"" + base + ".sdm\"\r\n";
  }
  study.mdmPath = folder + "/study.mdm";
  writeFile(study.mdmPath, mdm);
  for (int first = 0; first + 1 < layout.interest && study.contrasts.size() < 5; first += 2) {
    study.contrasts.push_back(layout.names[static_cast<std::size_t>(first)] + " - " +
                              layout.names[static_cast<std::size_t>(first + 1)]);
  }

  // Written on every core: the large study is 1.5 GiB of text.
  std::vector<std::uint64_t> sizes(study.sdmPaths.size(), 0);
  std::atomic<int> next{0};
  std::mutex failureLock;
  std::string failure;
  const auto writeSdms = [&] {
    for (int sdm = next++; sdm < shape.sdms; sdm = next++) {
      const auto index = static_cast<std::size_t>(sdm);
      try {
        Random random(seedOf(shape.seed, sdm));
        const std::string text = sdmText(shape, layout, sdm, random);
        writeFile(study.sdmPaths[index], text);
        sizes[index] = text.size();
      } catch (const std::exception& error) {
        const std::lock_guard<std::mutex> lock(failureLock);
        if (failure.empty()) failure = error.what();
        next = shape.sdms;
      }
    }
  };
  std::vector<std::thread> helpers;
  for (unsigned helper = 1; helper < std::thread::hardware_concurrency(); ++helper) {
    helpers.emplace_back(writeSdms);
  }
  writeSdms();
  for (std::thread& helper : helpers) helper.join();
  if (!failure.empty()) throw std::runtime_error(failure);

  for (const std::uint64_t size : sizes) study.sdmBytes += size;
  study.largestSdmValues =
      static_cast<std::uint64_t>(shape.dataPoints) * static_cast<std::uint64_t>(shape.predictors);
  study.valueCount = study.largestSdmValues * static_cast<std::uint64_t>(shape.sdms);
  return study;
}

}  // namespace kelvora::bench
