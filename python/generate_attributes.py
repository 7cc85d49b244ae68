#!/usr/bin/env python3
"""Generates hnvqr/_attributes.py from the driver's attribute export (JSON).

    generate_attributes.py ATTRIBUTES.json OUTPUT.py

The export is written by hnvqr-attribute-export from the driver's own attribute registry;
this script only turns it into Python: one IntEnum per value set, and one property per
attribute on the session class (all attributes) and on the output class (the ones that are
addressed per output).
"""

import json
import keyword
import sys
from typing import Dict, List

_PYTHON_TYPES = {
    "ViInt32": "int",
    "ViReal64": "float",
    "ViBoolean": "bool",
    "ViSession": "int",
    "ViString": "str",
}


def property_name(macro: str) -> str:
    """HNVQR_ATTR_VOLTAGE_LEVEL -> voltage_level."""
    prefix = "HNVQR_ATTR_"
    if not macro.startswith(prefix):
        raise ValueError(f"attribute name {macro!r} does not start with {prefix}")
    return macro[len(prefix):].lower()


def member_names(macros: List[str]) -> List[str]:
    """The enum member names: the macro names without the words they all share at the front.

    HNVQR_VAL_CONTROL_SOURCE_LOCAL, ..._REMOTE -> LOCAL, REMOTE. A member that would start
    with a digit keeps the last shared word (VOLT_3, VOLT_5, VOLT_10)."""
    words = [m.split("_") for m in macros]
    shared = 0
    while all(len(w) > shared + 1 and w[shared] == words[0][shared] for w in words):
        shared += 1
    names = []
    for w in words:
        rest = w[shared:]
        if rest[0][:1].isdigit():
            rest = [w[shared - 1]] + rest
        name = "_".join(rest)
        if not name.isidentifier() or keyword.iskeyword(name):
            raise ValueError(f"no member name for {'_'.join(w)}")
        names.append(name)
    if len(set(names)) != len(names):
        raise ValueError(f"member names collide: {names}")
    return names


def docstring(text: str) -> str:
    return text.replace("\\", "\\\\").replace('"""', '\\"\\"\\"')


def generate(export: Dict) -> str:
    out = [
        "# Generated from the driver's attribute table by generate_attributes.py; do not edit.",
        '"""The attributes of the HnVQR driver and the values of its enumerated ones."""',
        "",
        "import enum",
        "",
        "from ._properties import Attribute",
        "",
        "__all__ = [",
    ]
    enum_names = sorted(export["enums"])
    out += [f"    {name!r}," for name in enum_names]
    out += ["]", ""]

    for name in enum_names:
        values = export["enums"][name]
        members = member_names([v["name"] for v in values])
        out += ["", f"class {name}(enum.IntEnum):", f'    """Values of {name}."""', ""]
        for member, value in zip(members, values):
            out.append(f"    {member} = {int(value['value'])}  # {value['name']}")
        out.append("")

    def attribute_line(a: Dict) -> List[str]:
        enum_class = a["enum"] if a["enum"] else "None"
        return [
            f"    {property_name(a['name'])}: Attribute[{a['enum'] or _PYTHON_TYPES[a['type']]}] = Attribute(",
            f"        {a['id']}, {a['name']!r}, {a['type']!r}, writable={a['access'] == 'RW'},",
            f"        per_output={a['per_output']}, enum={enum_class},",
            f'        doc="""{docstring(a["description"])}""")',
        ]

    out += ["", "class SessionAttributes:",
            '    """Every attribute of the driver, as a property of the session."""', ""]
    for a in export["attributes"]:
        out += attribute_line(a)
    out += ["", "", "class OutputAttributes:",
            '    """The attributes addressed per output, as properties of an output."""', ""]
    for a in export["attributes"]:
        if a["per_output"]:
            out += attribute_line(a)

    out += ["", "", "# (ID, macro name, type, access, per output, enum) of every attribute, as exported.",
            "ATTRIBUTE_TABLE = ("]
    for a in export["attributes"]:
        out.append(f"    ({a['id']}, {a['name']!r}, {a['type']!r}, {a['access']!r}, {a['per_output']}, "
                   f"{a['enum']!r}),")
    out += [")", ""]
    return "\n".join(out)


def main(argv: List[str]) -> int:
    if len(argv) != 3:
        print(__doc__.strip().splitlines()[2].strip(), file=sys.stderr)
        return 2
    with open(argv[1], encoding="utf-8") as f:
        export = json.load(f)
    text = generate(export)
    with open(argv[2], "w", encoding="utf-8") as f:
        f.write(text)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
