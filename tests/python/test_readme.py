"""The README's tour must run as written."""
import pathlib
import re

README = pathlib.Path(__file__).resolve().parents[2] / "README.md"


def test_every_python_block_of_the_readme_runs(capsys):
    blocks = re.findall(r"```python\n(.*?)```", README.read_text(encoding="utf-8"), flags=re.S)
    assert len(blocks) >= 3
    for block in blocks:
        exec(compile(block, str(README), "exec"), {})
    assert "MOCK-1 Filled" in capsys.readouterr().out
