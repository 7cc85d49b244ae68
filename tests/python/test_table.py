"""The package against the driver's own table: the export written from the registry, and
the public header."""

import os
import re

import hnvqr
from hnvqr import _attributes
from hnvqr._properties import Attribute

_PYTHON_TYPES = {"ViInt32": int, "ViReal64": float, "ViBoolean": bool, "ViSession": int, "ViString": str}


def _header_macros(prefix: str) -> dict:
    with open(os.environ["HNVQR_HEADER"], encoding="utf-8") as f:
        text = f.read()
    return {name: int(value) for name, value in re.findall(rf"#define\s+({prefix}\w+)\s+(\d+)", text)}


def test_every_registered_attribute_is_a_property_with_its_row(export):
    rows = export["attributes"]
    assert len(rows) == 65
    assert [tuple(row[k] for k in ("id", "name", "type", "access", "per_output", "enum")) for row in rows] == \
        [tuple(row) for row in _attributes.ATTRIBUTE_TABLE]
    for row in rows:
        name = row["name"][len("HNVQR_ATTR_"):].lower()
        prop = getattr(hnvqr.Session, name)
        assert isinstance(prop, Attribute), name
        assert (prop.id, prop.macro, prop.value_type) == (row["id"], row["name"], row["type"])
        assert prop.writable == (row["access"] == "RW")
        assert (prop.enum.__name__ if prop.enum else None) == row["enum"]
        assert prop.__doc__.startswith(row["description"]) and row["description"]
        # Per-output attributes, and only those, are on the output too.
        assert (getattr(hnvqr.Output, name, None) is not None) == row["per_output"], name


def test_ids_and_values_agree_with_the_header(export):
    header_attributes = _header_macros("HNVQR_ATTR_")
    assert {row["name"]: row["id"] for row in export["attributes"]} == header_attributes
    header_values = _header_macros("HNVQR_VAL_")
    for enum_name, members in export["enums"].items():
        cls = getattr(hnvqr, enum_name)
        assert [m.value for m in cls] == [m["value"] for m in members]
        for member in members:
            assert header_values[member["name"]] == member["value"]
            assert member["name"].endswith(cls(member["value"]).name), (enum_name, member)


def test_enum_member_names_read_as_python():
    assert hnvqr.ControlSource.REMOTE_WITH_LOCK == 2
    assert [m.name for m in hnvqr.AnalogScalingLevel] == ["VOLT_3", "VOLT_5", "VOLT_10"]
    assert hnvqr.MeasurementType.VOLTAGE == 1 and hnvqr.OutputState.OVER_CURRENT == 3
    assert hnvqr.CurrentLimitBehavior.TRIP == 1 and hnvqr.RangeType.VOLTAGE == 1


def test_package_is_typed():
    assert os.path.isfile(os.path.join(os.path.dirname(hnvqr.__file__), "py.typed"))


def test_every_exported_function_has_its_prototype():
    from hnvqr import _library
    with open(os.environ["HNVQR_HEADER"], encoding="utf-8") as f:
        declared = {name: len(parameters.split(","))
                    for name, parameters in re.findall(r"_VI_FUNC\s+(HnVQR_\w+)\s*\(([^)]*)\)", f.read())}
    assert len(declared) == 66
    assert declared == {name: len(argtypes) for name, argtypes in _library._PROTOTYPES.items()}


def test_generator_refuses_member_names_that_collide():
    import generate_attributes
    assert generate_attributes.member_names(["HNVQR_VAL_X_ON", "HNVQR_VAL_X_OFF"]) == ["ON", "OFF"]
    try:
        generate_attributes.member_names(["HNVQR_VAL_A_B", "HNVQR_VAL_A_B"])
    except ValueError:
        return
    raise AssertionError("colliding member names accepted")
