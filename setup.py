"""Builds the compiled module _kelvora with the project's CMake build (python/CMakeLists.txt) for
the Python that runs this, and puts it into the package. Configuration is in pyproject.toml."""
import os
import subprocess
import sys

from setuptools import Extension, setup
from setuptools.command.build_ext import build_ext

ROOT = os.path.dirname(os.path.abspath(__file__))


class CMakeBuild(build_ext):
    def build_extension(self, ext):
        import pybind11

        build = os.path.abspath(os.path.join(self.build_temp, "cmake"))
        target = os.path.dirname(os.path.abspath(self.get_ext_fullpath(ext.name)))
        subprocess.check_call([
            "cmake", "-S", ROOT, "-B", build, "-G", "Ninja", "-DCMAKE_BUILD_TYPE=Release",
            "-DKELVORA_BUILD_TESTS=OFF", f"-DKELVORA_PYTHON={sys.executable}",
            f"-Dpybind11_DIR={pybind11.get_cmake_dir()}"])
        subprocess.check_call(["cmake", "--build", build, "--target", "_kelvora"])
        os.makedirs(target, exist_ok=True)
        built = os.path.join(build, "python", "kelvora", os.path.basename(
            self.get_ext_fullpath(ext.name)))
        self.copy_file(built, self.get_ext_fullpath(ext.name))


setup(ext_modules=[Extension("kelvora._kelvora", sources=[])], cmdclass={"build_ext": CMakeBuild})
