"""The built package (KELVORA_PYTHON_PATH, set by CTest) and kelvora (KELVORA_CLI) for the tests."""
import os
import shutil
import sys

import pytest

sys.path.insert(0, os.environ.get("KELVORA_PYTHON_PATH", ""))
ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))


@pytest.fixture
def examples(tmp_path):
    """A copy of the example studies (kelvora writes findings files beside each MDM)."""
    shutil.copytree(os.path.join(ROOT, "examples"), tmp_path / "examples")
    return tmp_path / "examples"
