# SPDX-License-Identifier: MIT
"""The exceptions of brisel: one class for each kind of fault.

Each subclasses the built-in exception that the package raised before it had
classes of its own, so that ``except ValueError`` and ``except OSError`` keep
working, and :class:`BriselError`, which carries where the fault lies. The
message is the one ``brisel-search`` and ``brisel-makedb`` print for the same
fault, without the program's name.
"""

from __future__ import annotations

from typing import Any, Optional


class BriselError(Exception):
    """A fault of a database, an input, an output or a value.

    :attr:`path`, :attr:`line` and :attr:`record` tell where it lies, as far
    as the library knows (None where it does not).
    """

    path: Optional[str]
    """The input file, the input's name (``<patterns>``, ``<sequences>``) or the database root."""
    line: Optional[int]
    """The line of the input (from 1), or the number of the pattern or sequence given from Python."""
    record: Optional[str]
    """The name of the record at fault, or the pattern."""

    def __init__(self, message: str, *, path: Optional[str] = None, line: Optional[int] = None,
                 record: Optional[str] = None) -> None:
        """The fault ``message``, at ``path``, ``line`` and ``record``."""
        super().__init__(message)
        self.path = path
        self.line = line
        self.record = record

    def __str__(self) -> str:
        """The message alone."""
        return str(self.args[0]) if self.args else ""

    def __reduce__(self) -> Any:
        """Pickled with its message and place (and errno), for other processes."""
        return (_rebuilt, (type(self), str(self), self.path, self.line, self.record,
                           getattr(self, "errno", None)))


def _rebuilt(cls: type[BriselError], message: str, path: Optional[str], line: Optional[int],
             record: Optional[str], errno: Optional[int]) -> BriselError:
    error = cls(message, path=path, line=line, record=record)
    if errno is not None:
        error.errno = errno  # type: ignore[attr-defined]
    return error


class NotFoundError(BriselError, FileNotFoundError):
    """A database or input file that does not exist (a FileNotFoundError)."""


class MappingError(BriselError, OSError):
    """A block file of a database that cannot be opened or mapped (an OSError)."""


class InvalidInputError(BriselError, ValueError):
    """A database or input that is not what it must be (a ValueError).

    A damaged database, a FASTA or PROSITE file that cannot be right, a bad
    pattern, a sequence that holds a NUL byte, saved hits that do not fit
    their databases.
    """


class OutputError(BriselError, OSError):
    """A write of the hits that failed (an OSError, with its errno)."""


class InvalidValueError(BriselError, ValueError):
    """A value that an argument does not take, such as ``threads=0`` (a ValueError)."""


# Shown and pickled as the package's own names.
for _class in (BriselError, NotFoundError, MappingError, InvalidInputError, OutputError,
               InvalidValueError):
    _class.__module__ = "brisel"
