"""The descriptor behind every attribute property of a session or an output."""

import enum
from typing import Any, Generic, Optional, Type, TypeVar, overload

T = TypeVar("T")


class Attribute(Generic[T]):
    """One driver attribute as a typed property.

    The owner (a session or one of its outputs) provides ``_get_attribute(attribute)`` and
    ``_set_attribute(attribute, value)``; this class only knows the attribute's row of the
    driver's table."""

    def __init__(self, attribute_id: int, macro: str, value_type: str, *, writable: bool,
                 per_output: bool, enum: Optional[Type[enum.IntEnum]], doc: str) -> None:
        self.id = attribute_id
        self.macro = macro
        self.value_type = value_type
        self.writable = writable
        self.per_output = per_output
        self.enum = enum
        self.name = macro
        access = "read/write" if writable else "read-only"
        kind = enum.__name__ if enum is not None else value_type
        self.__doc__ = f"{doc}\n\n{macro} ({attribute_id}), {kind}, {access}."

    def __set_name__(self, owner: type, name: str) -> None:
        self.name = name

    @overload
    def __get__(self, instance: None, owner: type) -> "Attribute[T]": ...

    @overload
    def __get__(self, instance: Any, owner: type) -> T: ...

    def __get__(self, instance: Any, owner: type) -> Any:
        if instance is None:
            return self
        return instance._get_attribute(self)

    def __set__(self, instance: Any, value: T) -> None:
        if not self.writable:
            raise AttributeError(f"{self.name} is read-only ({self.macro})")
        instance._set_attribute(self, value)

    def __repr__(self) -> str:
        return f"<Attribute {self.name} {self.macro} ({self.id})>"
