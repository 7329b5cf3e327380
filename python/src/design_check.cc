// check_design: kelvora's rank check (design_rank.h) and correlations with VIF
// (design_correlation.h) of any matrix, made into an SDM in memory: the same functions on the
// same cross-products as for an SDM of a study, so every number is the command's.
#include <pybind11/numpy.h>
#include <pybind11/stl.h>

#include <cmath>
#include <optional>
#include <string>
#include <vector>

#include "analysis/cross_products.h"
#include "analysis/design_correlation.h"
#include "analysis/design_rank.h"
#include "analysis/design_warnings.h"
#include "analysis/record_severity.h"
#include "analysis/sdm_summary.h"
#include "analysis/study_designs.h"
#include "bindings.h"

namespace py = pybind11;

namespace kelvora::python {
namespace {

// What a finding's text names in place of a file: the matrix has none.
constexpr const char* kDesignLabel = "design";

py::dict checkDesign(const py::array_t<float, py::array::f_style | py::array::forcecast>& values,
                     const std::vector<std::string>& names, std::int64_t interest) {
  if (values.ndim() != 2) throw py::value_error("the design is not a 2-dimensional matrix");
  const py::ssize_t rows = values.shape(0);
  const py::ssize_t columns = values.shape(1);
  if (static_cast<std::size_t>(columns) != names.size()) {
    throw py::value_error("there are " + std::to_string(names.size()) + " names for " +
                          std::to_string(columns) + " columns");
  }
  if (columns > kSdmMaxPredictors || rows > INT32_MAX) {
    throw py::value_error("the design is larger than an SDM may hold");
  }
  SdmFile sdm;
  sdm.fileVersion = 1;
  sdm.nrOfPredictors = static_cast<std::int32_t>(columns);
  sdm.nrOfDataPoints = static_cast<std::int32_t>(rows);
  sdm.firstConfoundPredictor = static_cast<std::int32_t>(interest + 1);
  sdm.predictorNames = names;
  for (py::ssize_t p = 0; p < columns; ++p) {
    const float* column = values.data() + p * rows;
    sdm.values.emplace_back(column, column + rows);
  }
  analysis::SdmDesign design;
  design.path = kDesignLabel;
  analysis::DesignCorrelation correlation;
  {
    py::gil_scoped_release released;
    NameListTable nameLists;
    ZeroColumnTable zeroSets;
    analysis::summarizeSdm(sdm, design, nameLists, zeroSets);
    // The cross-products where kelvora makes them (sdm_design_maker.h), so that every number is
    // made as for an SDM of a study.
    std::optional<analysis::CrossProducts> products;
    if (analysis::withinCorrelationBudget(rows, columns)) {
      products = analysis::crossProductsOf(sdm);
    }
    const analysis::CrossProducts* made = products ? &*products : nullptr;
    design.rank = analysis::checkRank(sdm, made);
    correlation = analysis::correlateDesign(sdm, interest, made);
  }
  py::list findings;
  for (const analysis::Dependency& dependency : design.rank.dependencies) {
    std::vector<std::int64_t> involved(dependency.predictors.begin(), dependency.predictors.end());
    findings.append(py::make_tuple(
        analysis::dependencyCodeName(dependency.kind),
        analysis::recordSeverityName(analysis::dependencySeverity(dependency, interest)), involved,
        dependency.dependent < 0 ? py::object(py::none()) : py::int_(dependency.dependent),
        dependency.conditionIndex == 0.0 ? py::object(py::none())
                                         : py::float_(dependency.conditionIndex),
        latin1(analysis::dependencySentence(design, dependency))));
  }
  py::dict result;
  result["findings"] = findings;
  result["rank"] = design.rank.rank;
  result["columns"] = design.rank.columns;
  const std::optional<double> condition = analysis::shownConditionNumber(design.rank);
  result["condition_number"] =
      condition ? py::object(py::float_(*condition)) : py::object(py::none());
  const char* grade = analysis::shownConditionGrade(design.rank);
  result["condition_grade"] = grade ? py::object(py::str(grade)) : py::object(py::none());
  const std::optional<double> interestCondition =
      analysis::shownInterestConditionNumber(design.rank);
  result["interest_condition_number"] =
      interestCondition ? py::object(py::float_(*interestCondition)) : py::object(py::none());
  const char* interestGrade = analysis::shownInterestConditionGrade(design.rank);
  result["interest_condition_grade"] =
      interestGrade ? py::object(py::str(interestGrade)) : py::object(py::none());
  result["skipped"] = design.rank.skipped;
  result["correlation_side"] = correlation.side;
  result["correlation"] = correlation.r;
  result["vif"] = correlation.varianceInflation;
  return result;
}

}  // namespace

void bindDesignCheck(py::module_& module) {
  module.def("check_design", &checkDesign, py::arg("values"), py::arg("names"),
             py::arg("interest"));
}

}  // namespace kelvora::python
