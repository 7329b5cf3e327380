// read_user_file: the files a user names for a call's settings (config=, contrasts=) read by the
// library's one rule for them (files/user_file.h), so that Python accepts and refuses the same
// files as kelvora's --config and --contrasts, in the same words.
#include <optional>
#include <string>

#include "bindings.h"
#include "files/user_file.h"

namespace py = pybind11;

namespace kelvora::python {
namespace {

// The bytes of the file or pipe `path`; ValueError "ARGUMENT: PATH cannot be read" (or another
// reason of readUserFile) otherwise. The GIL is released while it reads: a pipe may be slow.
py::bytes readUserFileFor(const std::string& argument, const py::bytes& path) {
  const std::string name(path);
  std::string error;
  std::optional<std::string> text;
  {
    py::gil_scoped_release released;
    text = readUserFile(name, error);
  }
  if (!text) throw py::value_error(argument + ": " + std::string(latin1(name)) + error);
  return py::bytes(*text);
}

}  // namespace

void bindUserFiles(py::module_& module) {
  module.def("read_user_file", &readUserFileFor, py::arg("argument"), py::arg("path"));
}

}  // namespace kelvora::python
