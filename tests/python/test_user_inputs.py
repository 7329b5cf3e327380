"""The files a user names to inspect() (config=, contrasts=) follow kelvora's one rule: a file or a
pipe, read up to 1 MiB, anything else a ValueError in kelvora's words; and a config's depth and
globs are bounded as kelvora bounds them."""
import os
import pathlib
import subprocess

import pytest

import kelvora


def test_a_config_from_a_pipe_is_read_as_from_a_file(examples, tmp_path):
    mdm = examples / "study" / "group.mdm"
    text = b'{"ignore": ["ZERO_CONFOUND"]}'
    # As a shell's process substitution passes it: /dev/fd/N of a pipe with its writer.
    read_end, write_end = os.pipe()
    os.write(write_end, text)
    os.close(write_end)
    try:
        piped = kelvora.inspect(mdm, findings_file=False, config=f"/dev/fd/{read_end}")
    finally:
        os.close(read_end)
    (tmp_path / "lab.json").write_bytes(text)
    from_file = kelvora.inspect(mdm, findings_file=False, config=tmp_path / "lab.json")
    codes = list(piped.all_findings["code"])
    assert "ZERO_CONFOUND" not in codes
    assert codes == list(from_file.all_findings["code"])


@pytest.mark.parametrize("argument", ["config", "contrasts"])
def test_what_kelvora_refuses_raises_value_error_in_its_words(examples, tmp_path, argument):
    mdm = examples / "study" / "group.mdm"
    large = tmp_path / "large"
    large.write_bytes(b" " * ((1 << 20) + 1))
    cases = {"/dev/zero": "/dev/zero is neither a file nor a pipe",
             str(tmp_path): f"{tmp_path} is neither a file nor a pipe",
             str(tmp_path / "missing"): f"{tmp_path / 'missing'} cannot be read",
             str(large): f"{large} is larger than 1048576 bytes"}
    for path, said in cases.items():
        with pytest.raises(ValueError) as raised:
            given = path if argument == "config" else pathlib.Path(path)  # a str is an expression
            kelvora.inspect(mdm, findings_file=False, **{argument: given})
        assert str(raised.value) == f"{argument}: {said}"
        option = "--config" if argument == "config" else "--contrasts:"
        cli = subprocess.run([os.environ["KELVORA_CLI"], "--no-prompt", option.rstrip(":"), path,
                              str(mdm)], capture_output=True)
        assert cli.returncode == 64
        assert f"kelvora: {option} {said}".encode() in cli.stderr


def test_deep_configs_and_long_globs_are_value_errors(tmp_path):
    deep = tmp_path / "deep.json"
    deep.write_text('{"ignore":' + "[" * 100_000)
    with pytest.raises(ValueError, match="config: line 1: nested deeper than 32 levels"):
        kelvora.inspect("none.mdm", config=deep)
    nested = []
    for _ in range(2000):
        nested = [nested]
    with pytest.raises(ValueError, match="config: nested deeper than"):
        kelvora.inspect("none.mdm", config={"ignore": nested})
    with pytest.raises(ValueError, match='glob longer than 1024 bytes'):
        kelvora.inspect("none.mdm", config={"ignore": [{"code": "HIGH_VIF", "file": "*" * 1025}]})
