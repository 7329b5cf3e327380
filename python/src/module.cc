// _kelvora: the compiled part of the Python package `kelvora` (python/kelvora/__init__.py is the
// public layer). Each function here calls the library as kelvora does and hands plain data to
// Python; no C++ exception leaves it except through pybind11's translation (std::exception ->
// RuntimeError), and the library itself throws nothing but std::bad_alloc (MemoryError). Work that
// reads files runs with the GIL released.
#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include "bindings.h"
#include "kelvora_version.h"

namespace py = pybind11;

PYBIND11_MODULE(_kelvora, module) {
  module.doc() = "The compiled core of the kelvora package; use `kelvora` instead.";
  module.attr("VERSION") = kelvora::kKelvoraVersion;
  kelvora::python::bindDesignFiles(module);
  kelvora::python::bindInspection(module);
  kelvora::python::bindDesignCheck(module);
  kelvora::python::bindUserFiles(module);
  kelvora::python::bindFindingGuide(module);
}
