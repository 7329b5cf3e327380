// explain(code): the findings guide's entry of a code, as `kelvora --explain` prints it.
#include "analysis/finding_guide.h"

#include <pybind11/pybind11.h>

#include <string>

#include "bindings.h"

namespace py = pybind11;

namespace kelvora::python {

void bindFindingGuide(py::module_& module) {
  module.def(
      "explain",
      [](const std::string& code) {
        const analysis::GuideEntry* entry = analysis::guideEntryOf(code);
        if (entry == nullptr) throw py::value_error(analysis::unknownCodeSentence(code));
        return analysis::explanation(*entry);
      },
      py::arg("code"));
}

}  // namespace kelvora::python
