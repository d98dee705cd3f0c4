"""voraxextract.compare(): the command-line tool's table as a frame, with its verdict and
the differences of structure; paths or open listings; its refusals and failures."""

import io

import numpy as np
import pandas
import pytest

import voraxextract
from conftest import cli, example


@pytest.fixture(scope="module")
def changed(tmp_path_factory):
    # Node 2's DOF2 at step 2 of the example changed in its fourth digit.
    data = open(example("dynamic3d.out"), "rb").read()
    data = data.replace(b"-0.43278E-04 -0.21355E-03", b"-0.43278E-04 -0.21365E-03")
    path = tmp_path_factory.mktemp("compare") / "changed.out"
    path.write_bytes(data)
    return str(path)


def test_the_frame_is_the_tools_table(changed):
    a = example("dynamic3d.out")
    run = cli("compare", a, changed, "--rtol", "1e-4")
    assert run.returncode == 1, run.stderr
    table = pandas.read_csv(io.StringIO(run.stdout), keep_default_na=False,
                            float_precision="round_trip")
    frame = voraxextract.compare(a, changed, rtol=1e-4)
    assert list(frame.columns) == list(table.columns)
    assert frame.attrs == {"agree": False, "structure": []}
    assert frame["Agree"].tolist() == (table["Agree"] == "yes").tolist()
    assert frame["Item"].isna().tolist() == [True] + [False] * (len(frame) - 1)
    np.testing.assert_array_equal(frame["Max abs diff"].to_numpy(), table["Max abs diff"])
    np.testing.assert_array_equal(frame["A"].to_numpy(), table["A"].to_numpy(np.float32))
    row = frame[~frame["Agree"]].iloc[0]
    assert (row["Variable"], row["Vector"], row["Item"], row["Step"]) == ("Displacements", "DOF2", 2, 2)


def test_open_listings_variables_and_structure(changed):
    with voraxextract.open(example("dynamic3d.out")) as a, voraxextract.open(changed) as b:
        frame = voraxextract.compare(a, b, variables=["Eigen Values"])
        assert frame["Variable"].tolist() == ["Times", "Eigen Values"]
        assert frame.attrs["agree"]
        assert not a.closed and not b.closed
        other = voraxextract.compare(a, example("vibration2d.out"), variables="Displacements")
    assert not other.attrs["agree"]
    assert "Ndim: 3 in A, 2 in B" in other.attrs["structure"]


def test_refusals_and_failures(tmp_path):
    a = example("dynamic3d.out")
    with pytest.raises(ValueError, match="offered by neither listing"):
        voraxextract.compare(a, a, variables=["Temperature"])
    with pytest.raises(ValueError, match="rtol"):
        voraxextract.compare(a, a, rtol=-1)
    with pytest.raises(ValueError, match="atol"):
        voraxextract.compare(a, a, atol=float("nan"))
    with pytest.raises(TypeError):
        voraxextract.compare(a, a, rtol="0.1")
    with pytest.raises(voraxextract.MissingFileError):
        voraxextract.compare(a, tmp_path / "missing.out")
    notes = tmp_path / "notes.out"
    notes.write_text("not a listing\n")
    with pytest.raises(voraxextract.NotAListingError):
        voraxextract.compare(notes, a)
