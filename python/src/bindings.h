// The parts of the _kelvora module, each in its own file: the design-matrix files (read_sdm,
// read_mdm, save_mdm, write_sdm), the inspection (inspect), the design check (check_design), the
// findings guide (explain) and the files a user names for a call's settings (read_user_file).
#pragma once

#include <pybind11/pybind11.h>

namespace kelvora::python {

void bindDesignFiles(pybind11::module_& module);
void bindInspection(pybind11::module_& module);
void bindDesignCheck(pybind11::module_& module);
void bindUserFiles(pybind11::module_& module);
void bindFindingGuide(pybind11::module_& module);

// `bytes` as a Python str, each byte one code point (Latin-1), as kelvora's JSON writes them.
pybind11::str latin1(const std::string& bytes);

}  // namespace kelvora::python
