// read_sdm, read_mdm, save_mdm and write_sdm. Paths come from Python as bytes (os.fsencode), so
// that every file name the system allows reaches the readers unchanged.
#include <pybind11/numpy.h>
#include <pybind11/stl.h>

#include <memory>
#include <utility>

#include "analysis/reader_findings.h"
#include "analysis/sdm_summary.h"
#include "bindings.h"
#include "designmatrix/mdm_file.h"
#include "designmatrix/sdm_matrix.h"
#include "files/relative_paths.h"
#include "inspection/sdm_predictors.h"
#include "inspector/user_paths.h"

namespace py = pybind11;

namespace kelvora::python {

py::str latin1(const std::string& bytes) {
  PyObject* text =
      PyUnicode_DecodeLatin1(bytes.data(), static_cast<Py_ssize_t>(bytes.size()), nullptr);
  if (text == nullptr) throw py::error_already_set();
  return py::reinterpret_steal<py::str>(text);
}

namespace {

py::list latin1List(const std::vector<std::string>& texts) {
  py::list list;
  for (const std::string& text : texts) list.append(latin1(text));
  return list;
}

// What the reader noticed, as kelvora's further findings of that SDM (code, text).
py::list sdmNotes(const SdmFile& sdm) {
  analysis::SdmSummary summary;
  summary.path = sdm.path;
  summary.read = !sdm.unreadable() && !sdm.tooLargeToRead;
  summary.openFailed = sdm.unreadable();
  summary.dataPoints = sdm.nrOfDataPoints;
  summary.interestCount = interestCountOf(sdm);
  NameListTable names;
  ZeroColumnTable zeros;
  summary.names = names.share(sdm.predictorNames);
  summary.zeroColumns = zeros.share(std::vector<bool>(sdm.predictorNames.size(), false));
  summary.setNotes(sdm.notes);
  std::vector<analysis::FurtherFinding> findings;
  if (summary.read) analysis::addSdmFindings(summary, findings);
  py::list notes;
  for (const analysis::FurtherFinding& finding : findings) {
    notes.append(py::make_tuple(analysis::furtherCodeName(finding.code),
                                analysis::recordSeverityName(finding.severity),
                                latin1(finding.text)));
  }
  return notes;
}

// The SDM's fields; "values" is a Fortran-ordered float32 array of (data points, predictors) over
// the reader's own matrix, which the array's base keeps alive: nothing is copied.
py::dict readSdm(const py::bytes& path) {
  auto matrix = std::make_unique<SdmMatrix>();
  std::string file = path;
  {
    py::gil_scoped_release released;
    *matrix = readSdmMatrix(std::move(file));
  }
  const SdmFile& sdm = matrix->sdm;
  py::dict fields;
  fields["opened"] = !sdm.unreadable();
  fields["too_large"] = sdm.tooLargeToRead;
  fields["file_version"] = sdm.fileVersion;
  fields["n_predictors"] = sdm.nrOfPredictors;
  fields["n_data_points"] = sdm.nrOfDataPoints;
  fields["includes_constant"] = sdm.includesConstant;
  fields["first_confound"] = sdm.firstConfoundPredictor;
  fields["names"] = latin1List(sdm.predictorNames);
  py::list colors;
  for (std::size_t p = 0; p < sdm.colorRed.size(); ++p) {
    colors.append(py::make_tuple(sdm.colorRed[p], sdm.colorGreen[p], sdm.colorBlue[p]));
  }
  fields["colors"] = colors;
  fields["notes"] = sdmNotes(sdm);
  const bool hasValues = !matrix->values.empty() || sdm.tooLargeToRead || sdm.unreadable();
  const py::ssize_t rows = hasValues || sdm.nrOfPredictors > 0 ? sdm.nrOfDataPoints : 0;
  const py::ssize_t columns = static_cast<py::ssize_t>(sdm.predictorNames.size());
  float* data = matrix->values.data();
  py::capsule owner(matrix.release(), [](void* held) { delete static_cast<SdmMatrix*>(held); });
  py::array_t<float> values(
      {columns == 0 ? py::ssize_t{0} : rows, columns},
      {static_cast<py::ssize_t>(sizeof(float)), static_cast<py::ssize_t>(sizeof(float)) * rows},
      data, owner);
  py::detail::array_proxy(values.ptr())->flags &= ~py::detail::npy_api::NPY_ARRAY_WRITEABLE_;
  fields["values"] = values;
  return fields;
}

py::dict readMdm(const py::bytes& path) {
  std::string file = path;
  std::unique_ptr<MdmFile> mdm;
  {
    py::gil_scoped_release released;
    mdm = std::make_unique<MdmFile>(std::move(file));
  }
  py::dict fields;
  fields["opened"] = !mdm->unreadable();
  fields["file_version"] = mdm->fileVersion;
  fields["type_of_functional_data"] = latin1(mdm->typeOfFunctionalData);
  fields["rfx_glm"] = mdm->rfxGlm;
  fields["psc_transformation"] = mdm->pscTransformation;
  fields["z_transformation"] = mdm->zTransformation;
  fields["separate_predictors"] = mdm->separatePredictors;
  fields["n_studies"] = mdm->nrOfStudies;
  std::vector<std::string> functional, sdms;
  for (const std::string_view path : mdm->functionalPaths) functional.emplace_back(path);
  for (const std::string_view path : mdm->sdmPaths) sdms.emplace_back(path);
  fields["functional_paths"] = latin1List(functional);
  fields["sdm_paths"] = latin1List(sdms);
  py::list extra;
  for (const std::optional<std::string>& path : mdm->extraPaths) {
    extra.append(path ? py::object(latin1(*path)) : py::object(py::none()));
  }
  fields["extra_paths"] = extra;
  return fields;
}

// Reads the MDM at `source` again, takes the given study paths and header, and saves it at
// `target` with MdmFile::saveAs, its relative study paths taken in the source's folder (a target
// that is one of the files they name is refused). Returns true when written.
bool saveMdm(const py::bytes& source, const py::dict& fields, const py::bytes& target) {
  MdmFile mdm{std::string(source)};
  mdm.typeOfFunctionalData = fields["type_of_functional_data"].cast<std::string>();
  mdm.rfxGlm = fields["rfx_glm"].cast<std::int32_t>();
  mdm.pscTransformation = fields["psc_transformation"].cast<std::int32_t>();
  mdm.zTransformation = fields["z_transformation"].cast<std::int32_t>();
  mdm.separatePredictors = fields["separate_predictors"].cast<std::int32_t>();
  mdm.functionalPaths.clear();
  mdm.sdmPaths.clear();
  for (const py::handle path : fields["functional_paths"]) {
    mdm.functionalPaths.push_back(path.cast<py::bytes>());
  }
  for (const py::handle path : fields["sdm_paths"]) mdm.sdmPaths.push_back(path.cast<py::bytes>());
  // The rows' own extra paths, not the file's: rows may have been reordered, added or removed.
  mdm.extraPaths.clear();
  for (const py::handle path : fields["extra_paths"]) {
    mdm.extraPaths.push_back(path.is_none() ? std::nullopt
                                            : std::optional<std::string>(path.cast<py::bytes>()));
  }
  mdm.nrOfStudies = static_cast<std::int32_t>(mdm.sdmPaths.size());
  std::string file = inspector::fullPath(target);
  py::gil_scoped_release released;
  // The paths it lists lead where a reader of the source takes them: into the source's folder.
  const RelativePathFolder sourceFolder(inspector::folderOf(inspector::fullPath(source)));
  return mdm.saveAs(std::move(file));
}

// Writes an SDM; "" when written, else why not.
std::string writeSdmFile(
    const py::bytes& path,
    const py::array_t<float, py::array::f_style | py::array::forcecast>& values,
    const std::vector<std::string>& names, const std::vector<std::array<std::int32_t, 3>>& colors,
    std::int32_t firstConfound, bool includesConstant) {
  if (values.ndim() != 2) return "the values are not a 2-dimensional matrix";
  if (static_cast<std::size_t>(values.shape(1)) != names.size()) {
    return "there are " + std::to_string(names.size()) + " names for " +
           std::to_string(values.shape(1)) + " columns";
  }
  SdmToWrite design;
  design.names = names;
  design.colors = colors;
  design.firstConfoundPredictor = firstConfound;
  design.includesConstant = includesConstant;
  design.dataPoints = values.shape(0);
  design.values = values.data();
  std::string file = path;
  py::gil_scoped_release released;
  return writeSdm(file, design);
}

}  // namespace

void bindDesignFiles(py::module_& module) {
  module.def("read_sdm", &readSdm, py::arg("path"));
  module.def("read_mdm", &readMdm, py::arg("path"));
  module.def("save_mdm", &saveMdm, py::arg("source"), py::arg("fields"), py::arg("target"));
  module.def("write_sdm", &writeSdmFile, py::arg("path"), py::arg("values"), py::arg("names"),
             py::arg("colors"), py::arg("first_confound"), py::arg("includes_constant"));
}

}  // namespace kelvora::python
