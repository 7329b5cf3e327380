// inspect: one inspection through the library's MdmInspection, as kelvora makes it, with the GIL
// released for the run. The log's entries are collected for Outcome.log; Ctrl-C is noticed before
// each SDM is read (the run then stops, its threads joined, and KeyboardInterrupt is raised).
#include <pybind11/stl.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include "analysis/chosen_subject_rule.h"
#include "analysis/contrast_weights.h"
#include "analysis/finding_policy_file.h"
#include "bindings.h"
#include "designmatrix/path_names.h"
#include "inspector/mdm_inspection.h"
#include "inspector/user_paths.h"

namespace py = pybind11;

namespace kelvora::python {
namespace {

struct Interrupted : std::exception {
  const char* what() const noexcept override { return "interrupted"; }
};

// No person to ask: the request answers or nothing does. Checks for Ctrl-C as each SDM is read.
class ScriptFrontEnd : public inspector::InspectionFrontEnd {
 public:
  void showProgress(std::size_t, std::size_t) override {
    py::gil_scoped_acquire held;
    if (PyErr_CheckSignals() != 0) {
      interrupted = true;
      throw Interrupted();
    }
  }
  bool interrupted = false;
};

class Inspection {
 public:
  std::unique_ptr<inspector::MdmInspection> inspection;
  std::vector<std::string> log;

  // The JSON line, rendered in memory (the module is built on POSIX systems only): no file is
  // made for it.
  std::string json() const {
    char* bytes = nullptr;
    std::size_t size = 0;
    std::FILE* memory = open_memstream(&bytes, &size);
    if (memory == nullptr) throw std::bad_alloc();
    try {
      inspection->writeJsonLine(memory);
    } catch (...) {
      std::fclose(memory);
      std::free(bytes);
      throw;
    }
    const bool written = std::fclose(memory) == 0;
    const std::unique_ptr<char, decltype(&std::free)> held(bytes, &std::free);
    if (!written || bytes == nullptr) throw std::bad_alloc();
    return std::string(bytes, size);
  }
};

std::optional<std::string> noFindingsFile(const std::string&) { return std::nullopt; }

// The policy of a config's text and the codes to ignore, as kelvora's --config and --ignore;
// ValueError with the line and the reason when kelvora would refuse them.
analysis::FindingPolicy policyOf(const std::optional<py::bytes>& config,
                                 const std::vector<std::string>& ignore) {
  analysis::FindingPolicy policy;
  std::string error;
  if (config && !analysis::addPolicyConfig(std::string(*config), policy, error)) {
    throw py::value_error("config: " + error);
  }
  for (const std::string& code : ignore) {
    if (!analysis::addIgnoredCode(code, policy, error)) throw py::value_error("ignore: " + error);
  }
  return policy;
}

// A contrast table as a data frame's cells: the predictors' names, then per row the contrast's
// name and one weight per predictor (NaN: an empty cell); names as bytes, each as it is.
using ContrastCells =
    std::pair<std::vector<py::bytes>, std::vector<std::pair<py::bytes, std::vector<double>>>>;

// The contrasts of `expressions`, of a contrast table's text and of a table's cells, as kelvora's
// --contrast and --contrasts; ValueError with the parser's reason otherwise.
std::vector<analysis::Contrast> contrastsOf(const std::vector<std::string>& expressions,
                                            const std::optional<py::bytes>& table,
                                            const std::optional<ContrastCells>& cells) {
  std::vector<analysis::Contrast> contrasts;
  std::string error;
  for (const std::string& expression : expressions) {
    std::optional<analysis::Contrast> contrast =
        analysis::parseContrastExpression(expression, error);
    if (!contrast) throw py::value_error("contrast: " + error);
    contrasts.push_back(std::move(*contrast));
  }
  std::optional<std::vector<analysis::Contrast>> rows;
  if (table) {
    const std::string text(*table);
    if (text.size() > analysis::kMostContrastTableBytes) {
      throw py::value_error("contrasts: larger than a contrast table can be");
    }
    rows = analysis::parseContrastTable(text, error);
  } else if (cells) {
    const std::vector<std::string> predictors(cells->first.begin(), cells->first.end());
    std::vector<analysis::ContrastRow> weights;
    weights.reserve(cells->second.size());
    for (const auto& [name, row] : cells->second) weights.push_back({std::string(name), row});
    rows = analysis::contrastsOfCells(predictors, weights, error);
  }
  if ((table || cells) && !rows) throw py::value_error("contrasts: " + error);
  if (rows) contrasts.insert(contrasts.end(), rows->begin(), rows->end());
  if (const std::optional<std::string> refused = analysis::contrastSetError(contrasts)) {
    throw py::value_error(*refused);
  }
  return contrasts;
}

// The severity of --fail-on's word; ValueError for another, as kelvora refuses it.
analysis::RecordSeverity failOnOf(const std::string& word) {
  for (const analysis::RecordSeverity severity :
       {analysis::RecordSeverity::kError, analysis::RecordSeverity::kWarning,
        analysis::RecordSeverity::kNote}) {
    if (word == analysis::recordSeverityName(severity)) return severity;
  }
  throw py::value_error("fail_on: " + word + " is none of error, warning, note");
}

std::unique_ptr<Inspection> inspect(
    const py::bytes& mdmFile, std::optional<py::bytes> locate, std::optional<py::bytes> saveMdm,
    bool findingsFile, std::optional<py::bytes> findingsDir, unsigned threads,
    std::optional<py::bytes> config, const std::vector<std::string>& ignore,
    const std::vector<std::string>& contrastExpressions, std::optional<py::bytes> contrastTable,
    std::optional<ContrastCells> contrastCells, double lowEfficiency,
    const std::optional<std::string>& subjectRule, const std::optional<std::string>& failOn) {
  inspector::InspectionRequest request;
  request.policy = policyOf(config, ignore);
  if (subjectRule) {
    std::string error;
    std::optional<analysis::SubjectRule> rule = analysis::parseSubjectRule(*subjectRule, error);
    if (!rule) throw py::value_error("subject_rule: " + error);
    request.subjectRule = std::move(*rule);
  }
  if (failOn) request.failOn = failOnOf(*failOn);
  request.questions.contrasts = contrastsOf(contrastExpressions, contrastTable, contrastCells);
  if (!(lowEfficiency > 0.0 && lowEfficiency <= 1.0)) {
    throw py::value_error("low_efficiency: not a number in (0, 1]");
  }
  request.questions.lowEfficiency = lowEfficiency;
  request.mdmFile = inspector::fullPath(mdmFile);
  if (locate) request.repair.locate = inspector::fullPath(*locate);
  if (saveMdm) request.repair.saveMdm = inspector::fullPath(*saveMdm);
  if (!findingsFile) {
    request.findingsFile = noFindingsFile;
  } else if (findingsDir) {
    request.findingsFile = [folder = inspector::fullPath(*findingsDir)](const std::string& mdm) {
      return std::optional<std::string>(
          inspector::pathInFolder(folder, fileNameOf(*findingsBesideMdm(mdm))));
    };
  }
  request.withPictures = true;
  request.readThreads = threads;
  auto result = std::make_unique<Inspection>();
  // This call's entries only: the sink receives those logged on the thread that inspects.
  request.logSink = [log = &result->log](const char* text) { log->push_back(text); };
  ScriptFrontEnd frontEnd;
  {
    py::gil_scoped_release released;
    result->inspection = inspector::MdmInspection::perform(std::move(request), frontEnd);
    if (!frontEnd.interrupted) result->inspection->addFindingsSection();
  }
  if (frontEnd.interrupted) throw py::error_already_set();
  const analysis::InspectedStudy* study = result->inspection->study();
  if (study != nullptr && study->contrastUsageError)
    throw py::value_error(*study->contrastUsageError);
  return result;
}

}  // namespace

void bindInspection(py::module_& module) {
  py::class_<Inspection>(module, "Inspection")
      .def_property_readonly("log",
                             [](const Inspection& self) {
                               py::list lines;
                               for (const std::string& line : self.log) lines.append(latin1(line));
                               return lines;
                             })
      .def_property_readonly(
          "complete", [](const Inspection& self) { return self.inspection->outcome().complete; })
      .def_property_readonly("exit_status",
                             [](const Inspection& self) { return int(self.inspection->status()); })
      .def_property_readonly("stop_reason",
                             [](const Inspection& self) { return self.inspection->stopReason(); })
      .def("to_json", [](const Inspection& self) { return latin1(self.json()); })
      .def("report", [](const Inspection& self, const py::bytes& path) {
        std::string error;
        const std::string target = inspector::fullPath(path);
        bool written = false;
        {
          py::gil_scoped_release released;
          written = self.inspection->writeReport(target, error);
        }
        return written ? std::string() : error;
      });
  module.attr("MOST_CONTRASTS") = analysis::kMostContrasts;
  module.def("inspect", &inspect, py::arg("mdm_file"), py::arg("locate"), py::arg("save_mdm"),
             py::arg("findings_file"), py::arg("findings_dir"), py::arg("threads"),
             py::arg("config"), py::arg("ignore"), py::arg("contrasts"), py::arg("contrast_table"),
             py::arg("contrast_cells"), py::arg("low_efficiency"), py::arg("subject_rule"),
             py::arg("fail_on"));
}

}  // namespace kelvora::python
