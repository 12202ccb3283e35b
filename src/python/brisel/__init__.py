# SPDX-License-Identifier: MIT
"""Find PROSITE motifs in protein sequences, from Python.

brisel builds motif databases (from PROSITE data files, pattern lists or
patterns you hold) and sequence databases (from FASTA or sequences you hold),
and searches them: a motif database against a sequence database (the indexed
search) or against any Python sequences (the scan search); or, with
``translate=True``, against the six-frame translation of nucleotide FASTA or
sequences, each hit placed on its nucleotide record. The hits come back
as NumPy columns, and are written as ``brisel-search`` writes them, byte for
byte. Searches run on every CPU without the GIL; Ctrl-C stops them.

>>> import brisel
>>> rgd = brisel.MotifDatabase.build(["R-G-D"])
>>> hits = brisel.search(rgd, [("seq1", "MKTAYRGDQRQISFVKSHFSRQ")], cutoff=9)
>>> hits[0].segment, hits[0].start
('RGD', 6)

Faults raise the exceptions of :class:`BriselError`, each a subclass of the
built-in exception that fits (FileNotFoundError, ValueError, OSError), with
the message the programs print and the place as attributes; a wrong argument
type is a TypeError naming the argument.
"""

from __future__ import annotations

import collections.abc as abc
import html
import io
import numbers
import os
import warnings
from typing import (TYPE_CHECKING, Any, BinaryIO, Callable, Iterable, Iterator, Literal, NamedTuple,
                    Optional, Protocol, Union, overload)

from . import _brisel
from ._errors import (BriselError, InvalidInputError, InvalidValueError, MappingError,
                      NotFoundError, OutputError)

if TYPE_CHECKING:  # NumPy and pandas are imported when they are used, not by import brisel
    import numpy as np
    import numpy.typing as npt
    import pandas as pd

__all__ = [
    "BriselError",
    "BuildWarning",
    "Format",
    "Hit",
    "HitChunks",
    "Hits",
    "InvalidInputError",
    "InvalidValueError",
    "MappingError",
    "Motif",
    "MotifDatabase",
    "NotFoundError",
    "OutputError",
    "PatternLike",
    "SeqRecordLike",
    "Sequence",
    "SequenceDatabase",
    "SequenceLike",
    "available_cpus",
    "search",
    "search_chunks",
]

#: The version of the package, of its C++ core and of the programs.
__version__: str = _brisel.version

#: A path: a str or an os.PathLike (pathlib.Path).
PathLike = Union[str, "os.PathLike[str]"]

#: An output format: what ``brisel-search -F`` takes.
Format = Literal["pipe", "tsv", "gff3", "bed"]


class SeqRecordLike(Protocol):
    """What a sequence object needs to be searched or stored: Biopython's SeqRecord.

    ``id`` is the name's first word; ``description``, when the object has one
    (it may be absent or None), the whole FASTA title it was read from; ``seq``
    an object whose ``str()`` is the residues (Biopython's Seq, or a str).
    """

    @property
    def id(self) -> str:
        """The name's first word."""

    @property
    def seq(self) -> object:
        """The residues, or an object whose str() is them."""


#: A sequence for the scan search or a sequence build: a str or bytes (a raw
#: sequence without a name), a (name, sequence) pair of str or bytes, or a
#: SeqRecord-like object.
SequenceLike = Union[str, bytes, "tuple[Union[str, bytes], Union[str, bytes]]", SeqRecordLike]

#: A pattern for a motif build: a PROSITE pattern (its record is the pattern
#: itself) or a (pattern, record) pair.
PatternLike = Union[str, "tuple[str, Optional[str]]"]


class BuildWarning(UserWarning):
    """A warning of a motif build: a pattern skipped, or one of many motifs."""


def available_cpus() -> int:
    """The CPUs this process may run on: the threads of a search by default."""
    return _brisel.available_cpus()


def _warn(messages: list[str]) -> None:
    for message in messages:
        warnings.warn(message, BuildWarning, stacklevel=3)


def _type_name(value: object) -> str:
    return type(value).__name__


def _path(value: object, argument: str, takes: str = "a path (str or os.PathLike)") -> str:
    if isinstance(value, (str, os.PathLike)):
        path = os.fspath(value)
        if isinstance(path, str):
            return path
    raise TypeError(f"{argument} takes {takes}, not {_type_name(value)}")


def _flag(value: object, argument: str) -> bool:
    if not isinstance(value, bool):
        raise TypeError(f"{argument} takes a bool, not {_type_name(value)}")
    return value


def _first_word(text: str) -> str:
    return text.split(None, 1)[0] if text.strip() else ""


# ---- Motifs ----------------------------------------------------------------------


class Motif(NamedTuple):
    """One motif of a database."""

    number: int
    """Its number (from 0) in the database: the hits' ``motif`` column."""
    name: str
    """Its record's first word (the accession of a PROSITE entry), GFF3's Name."""
    record: str
    """Its record, e.g. ``'PS00016 RGD'``."""
    width: int
    """The residues each of its hits matches."""
    specificity: float
    """The probability that a random segment of its width matches it."""


class MotifDatabase(abc.Sequence[Motif]):
    """A motif database: opened from a root path, or built; a sequence of :class:`Motif`.

    ``len(db)``, ``db[m]`` (an int or a slice) and iteration give the motifs in
    database order, the most specific first. A database is read-only, may be
    searched by any number of threads at once, and pickles: by its root, or,
    held in memory, with its blocks. :meth:`close` (or leaving a ``with``
    block) releases this object's share of it; the hits of its searches keep
    their own.
    """

    def __init__(self, core: _brisel.MotifDatabase) -> None:
        """Wraps a core database; use :meth:`open` or :meth:`build`."""
        self._core_or_none: Optional[_brisel.MotifDatabase] = core
        self._root = core.root
        self._records: Optional[list[str]] = None
        self._saved: Optional[bytes] = None

    @property
    def _core(self) -> _brisel.MotifDatabase:
        if self._core_or_none is None:
            raise InvalidValueError("the motif database is closed")
        return self._core_or_none

    @classmethod
    def open(cls, root: PathLike) -> MotifDatabase:
        """Maps and checks the motif database at ``root`` (as ``brisel-search -l -m``)."""
        return cls(_brisel.MotifDatabase.open(_path(root, "root")))

    @classmethod
    def build(
        cls,
        source: Union[PathLike, Iterable[PatternLike]],
        root: Optional[PathLike] = None,
        *,
        keep_order: bool = False,
    ) -> MotifDatabase:
        """Builds a motif database.

        ``source`` is the path of a PROSITE data file or pattern list (plain or
        compressed), or an iterable of patterns: pattern strings, or
        (pattern, record) pairs (an empty or None record is the pattern's own
        text). Without ``root`` the database is held in memory and no file is
        written; with it, it is written there exactly as ``brisel-makedb
        motifs`` writes it, replacing what was there all at once, and mapped.
        ``keep_order`` keeps the input order instead of the most specific
        motifs first. Warnings (skipped patterns) are issued as BuildWarning;
        faults name the file and line, or ``<patterns>:N`` for the Nth pattern.

        >>> db = brisel.MotifDatabase.build([("R-G-D", "PS00016 RGD"), "N-{P}-[ST]-{P}"])
        >>> [(motif.name, motif.width) for motif in db]
        [('PS00016', 3), ('N-{P}-[ST]-{P}', 4)]
        """
        where = None if root is None else _path(root, "root")
        _flag(keep_order, "keep_order")
        if isinstance(source, (str, os.PathLike)):
            core, messages = _brisel.MotifDatabase.build_file(_path(source, "source"), where,
                                                              keep_order)
        elif isinstance(source, (bytes, bytearray)) or not isinstance(source, abc.Iterable):
            raise TypeError("source takes a path (str or os.PathLike) or an iterable of patterns, "
                            f"not {_type_name(source)}")
        else:
            core, messages = _brisel.MotifDatabase.build_entries(source, where, keep_order)
        _warn(messages)
        return cls(core)

    def __len__(self) -> int:
        """The number of motifs."""
        return len(self._core)

    def _motif(self, m: int) -> Motif:
        core = self._core
        return Motif(m, core.name(m), core.record(m), core.width(m),
                     float(core.specificities[m]))

    @overload
    def __getitem__(self, m: int) -> Motif: ...

    @overload
    def __getitem__(self, m: slice) -> list[Motif]: ...

    def __getitem__(self, m: Union[int, slice]) -> Union[Motif, list[Motif]]:
        """Motif ``m`` (negative counts from the end), or a list of the motifs of a slice."""
        if isinstance(m, slice):
            return [self._motif(k) for k in range(*m.indices(len(self)))]
        if not isinstance(m, numbers.Integral) or isinstance(m, bool):
            raise TypeError(f"motifs are indexed by int or slice, not {_type_name(m)}")
        index = int(m) + (len(self) if m < 0 else 0)
        if not 0 <= index < len(self):
            raise IndexError("motif index out of range")
        return self._motif(index)

    def __iter__(self) -> Iterator[Motif]:
        """Every motif, in database order."""
        core = self._core
        specificities = core.specificities.tolist()
        for m, record in enumerate(self.records):
            yield Motif(m, core.name(m), record, core.width(m), specificities[m])

    def __repr__(self) -> str:
        """The root (or memory) and the motif count."""
        if self.closed:
            return "<brisel.MotifDatabase, closed>"
        where = self.root if self.root is not None else "in memory"
        return f"<brisel.MotifDatabase {where!r}, {len(self)} motifs>"

    def __enter__(self) -> MotifDatabase:
        """The database itself."""
        return self

    def __exit__(self, *exc: object) -> None:
        """Closes the database."""
        self.close()

    def __reduce__(self) -> tuple[Callable[..., MotifDatabase], tuple[Any, ...]]:
        """Pickled by its root, or, held in memory, with its blocks."""
        if self._root is not None:
            return (MotifDatabase.open, (self._root,))
        return (_load_motifs, (self._bytes(),))

    def _bytes(self) -> bytes:
        if self._saved is None:
            self._saved = self._core.save()
        return self._saved

    def _same(self, other: MotifDatabase) -> bool:
        """Whether ``other`` holds the same motifs (the same root or the same blocks)."""
        if self is other or (self._core_or_none is not None and self._core_or_none is
                             other._core_or_none):
            return True
        if self._root is not None or other._root is not None:
            return self._root == other._root
        return self._bytes() == other._bytes()

    @property
    def root(self) -> Optional[str]:
        """The root path, or None for a database held in memory."""
        return self._root

    @property
    def closed(self) -> bool:
        """Whether :meth:`close` was called."""
        return self._core_or_none is None

    def close(self) -> None:
        """Releases this object's share of the database; further use raises InvalidValueError."""
        self._core_or_none = None

    def record(self, m: int) -> str:
        """The record of motif ``m`` (from 0), e.g. ``'PS00237 G_PROTEIN_RECEP_F1_1'``."""
        return self._core.record(m)

    def width(self, m: int) -> int:
        """The width of motif ``m``: the residues of each of its hits."""
        return self._core.width(m)

    @property
    def records(self) -> list[str]:
        """The record of every motif, in database order."""
        if self._records is None:
            core = self._core
            self._records = [core.record(m) for m in range(len(core))]
        return self._records

    @property
    def specificities(self) -> npt.NDArray[np.float64]:
        """The specificity of every motif, a read-only array over the database."""
        return self._core.specificities


def _load_motifs(saved: bytes) -> MotifDatabase:
    database = MotifDatabase(_brisel.MotifDatabase.load(saved))
    database._saved = saved
    return database


# ---- Sequences --------------------------------------------------------------------


class Sequence(NamedTuple):
    """One sequence of a database."""

    number: int
    """Its number (from 0) in the database: the hits' ``sequence`` column."""
    name: str
    """The first word of its FASTA title (an identifier), GFF3's seqid."""
    description: str
    """The rest of the title, after the name and the white space that follows it."""
    residues: str
    """Its residues, as stored."""

    @property
    def title(self) -> str:
        """The whole FASTA title, without the '>': what the hits call its name."""
        return f"{self.name} {self.description}" if self.description else self.name


class SequenceDatabase(abc.Sequence[Sequence]):
    """A mapped sequence database; a sequence of :class:`Sequence` and a context manager.

    Use :meth:`open`, :meth:`build` or :meth:`build_shards`. ``len(db)``,
    ``db[s]`` (an int or a slice) and iteration give the sequences in
    database order; ``db.find(name)`` looks one up by its name's first word.
    Closing releases this object's mapping; the hits of its searches keep
    theirs (their names and segments come from it) until they go. Pickled, a
    database is its root, mapped again when it is loaded.
    """

    def __init__(self, core: _brisel.SequenceDatabase) -> None:
        """Wraps a core database; use :meth:`open` or :meth:`build`."""
        self._core = core
        self._root = core.root
        self._index: Optional[dict[str, int]] = None

    @classmethod
    def open(cls, root: PathLike) -> SequenceDatabase:
        """Maps and checks the sequence database at ``root`` (as ``brisel-search -l -s``).

        ``root`` may also name a shard set: its manifest ``<set>.shards``, or a
        root ``<set>`` with a manifest and no database of its own. The set is
        then one database, its shards mapped together as one build, searched
        byte for byte as one database of the same records.
        """
        return cls(_brisel.SequenceDatabase.open(_path(root, "root")))

    @classmethod
    def open_shards(cls, root: PathLike) -> list[SequenceDatabase]:
        """Opens each shard that the manifest ``<root>.shards`` lists, in order.

        Each is a database of its own, opened at its own moment; to search the
        set as one build, open it with :meth:`open` instead.
        """
        manifest = _path(root, "root") + ".shards"
        directory = os.path.dirname(manifest)
        with open(manifest, encoding="utf-8", newline=None) as lines:
            names = [line.strip("\r\n") for line in lines
                     if line.strip("\r\n") and not line.startswith("#")]
        return [cls.open(os.path.join(directory, name)) for name in names]

    @staticmethod
    def _build(
        source: Union[PathLike, Iterable[SequenceLike]],
        root: PathLike,
        shards: int,
        shard_size: int,
    ) -> None:
        where = _path(root, "root")
        if isinstance(source, (str, os.PathLike)):
            _brisel.SequenceDatabase.build_file(_path(source, "source"), where, shards, shard_size)
            return
        if isinstance(source, (bytes, bytearray)) or not isinstance(source, abc.Iterable):
            raise TypeError("source takes a path (str or os.PathLike) or an iterable of sequences, "
                            f"not {_type_name(source)}")
        if (shards or shard_size) and iter(source) is source:
            raise InvalidValueError(
                "shards and shard_size read the sequences twice: give a collection "
                "(a list, say), not an iterator")
        _brisel.SequenceDatabase.build_objects(source, where, shards, shard_size)

    @classmethod
    def build(
        cls, source: Union[PathLike, Iterable[SequenceLike]], root: PathLike
    ) -> SequenceDatabase:
        """Builds the sequence database at ``root`` and opens it.

        ``source`` is the path of a FASTA file (plain or compressed), or an
        iterable of sequences: str or bytes (no name), (name, sequence) pairs,
        or objects with ``id``, ``seq`` and ``description`` (Biopython's
        SeqRecord: the name is the FASTA title it was read from). The files are
        those ``brisel-makedb sequences`` writes for the same records, and a
        rebuild replaces the database all at once. Faults name the file and
        line, or ``<sequences>:N`` for the Nth sequence.
        """
        cls._build(source, root, 0, 0)
        return cls.open(root)

    @classmethod
    def build_shards(
        cls,
        source: Union[PathLike, Iterable[SequenceLike]],
        root: PathLike,
        *,
        shards: Optional[int] = None,
        shard_size: Optional[int] = None,
    ) -> list[SequenceDatabase]:
        """Builds the shards ``<root>.1`` ... and their manifest, and opens them.

        As ``brisel-makedb sequences --shards N`` (``shards``) or
        ``--shard-size SIZE`` (``shard_size``, in residues); give exactly one.
        The input is read twice: a file, or a collection of sequences.
        """
        for argument, value in (("shards", shards), ("shard_size", shard_size)):
            if value is not None and (isinstance(value, bool) or
                                      not isinstance(value, numbers.Integral)):
                raise TypeError(f"{argument} takes an int, not {_type_name(value)}")
        if (shards is None) == (shard_size is None):
            raise InvalidValueError("give one of shards and shard_size")
        count = int(shards or 0)
        size = int(shard_size or 0)
        if count < 0 or size < 0 or (shards is not None and count == 0) or (
                shard_size is not None and size == 0):
            raise InvalidValueError("shards and shard_size must be positive")
        cls._build(source, root, count, size)
        return cls.open_shards(root)

    def __len__(self) -> int:
        """The number of sequences."""
        return len(self._core)

    def _sequence(self, s: int) -> Sequence:
        title = self._core.name(s)
        name = _first_word(title)
        description = title.lstrip()[len(name):].lstrip()
        return Sequence(s, name, description, self._core.residues(s))

    @overload
    def __getitem__(self, s: int) -> Sequence: ...

    @overload
    def __getitem__(self, s: slice) -> list[Sequence]: ...

    def __getitem__(self, s: Union[int, slice]) -> Union[Sequence, list[Sequence]]:
        """Sequence ``s`` (negative counts from the end), or a list of those of a slice."""
        if isinstance(s, slice):
            return [self._sequence(k) for k in range(*s.indices(len(self)))]
        if not isinstance(s, numbers.Integral) or isinstance(s, bool):
            raise TypeError(f"sequences are indexed by int or slice, not {_type_name(s)}")
        index = int(s) + (len(self) if s < 0 else 0)
        if not 0 <= index < len(self):
            raise IndexError("sequence index out of range")
        return self._sequence(index)

    def __iter__(self) -> Iterator[Sequence]:
        """Every sequence, in database order."""
        for s in range(len(self)):
            yield self._sequence(s)

    def find(self, name: str) -> Optional[Sequence]:
        """The first sequence whose name's first word is ``name``, or None.

        The index of names is made at the first call (a second or so for a
        million sequences) and kept.
        """
        if not isinstance(name, str):
            raise TypeError(f"name takes a str, not {_type_name(name)}")
        if self._index is None:
            index: dict[str, int] = {}
            for s, word in enumerate(self._core.first_words()):
                index.setdefault(word, s)
            self._index = index
        found = self._index.get(name)
        return None if found is None else self._sequence(found)

    def __repr__(self) -> str:
        """The root and the sequence count."""
        if self.closed:
            return "<brisel.SequenceDatabase, closed>"
        return f"<brisel.SequenceDatabase {self.root!r}, {len(self)} sequences>"

    def __enter__(self) -> SequenceDatabase:
        """The database itself."""
        return self

    def __exit__(self, *exc: object) -> None:
        """Closes the database."""
        self.close()

    def __reduce__(self) -> tuple[Callable[..., SequenceDatabase], tuple[str]]:
        """Pickled as its root: loading maps the database again."""
        return (SequenceDatabase.open, (self._root,))

    @property
    def root(self) -> str:
        """The root path."""
        return self._root

    @property
    def shards(self) -> int:
        """The number of shards of a shard set; 0 for a single database."""
        return self._core.shards

    @property
    def build_identity(self) -> Optional[str]:
        """The build identity that a shard set's manifest names (16 hex digits), if any."""
        return self._core.build_identity

    @property
    def closed(self) -> bool:
        """Whether the database was closed."""
        return self._core.closed

    def close(self) -> None:
        """Releases this object's mapping; further use raises InvalidValueError."""
        self._core.close()

    def name(self, s: int) -> str:
        """The name of sequence ``s`` (from 0): its FASTA title without the '>'."""
        return self._core.name(s)

    def sequence(self, s: int) -> str:
        """The residues of sequence ``s``, as stored."""
        return self._core.residues(s)


# ---- Hits ---------------------------------------------------------------------------


class Hit(NamedTuple):
    """One hit: the fields of a hit line, and the indexes of its sequence and motif."""

    sequence: int
    """The sequence's index (from 0) in the database or in the sequences searched."""
    name: str
    """The sequence's name (the FASTA title without '>'); empty for a raw sequence."""
    motif: int
    """The motif's index (from 0) in the motif database."""
    record: str
    """The motif's record."""
    segment: str
    """The residues matched."""
    start: int
    """The 1-based position of the first residue matched."""
    end: int
    """The 1-based position of the last residue matched."""
    specificity: float
    """The probability that a random segment of the motif's width matches it."""
    expectation: float
    """The expected random hits in the sequence, of the motifs tried so far."""
    p_no_random_hit: float
    """The probability that none of those motifs matches the sequence at random."""
    strand: str = "."
    """Of a translated search's hit, the strand of its frame, '+' or '-'; '.' otherwise."""
    frame: int = 0
    """Of a translated search's hit, its frame, 1 to 3 or -1 to -3; 0 otherwise."""


def _search_id() -> bytes:
    return os.urandom(8)


class Hits(abc.Sequence[Hit]):
    """The hits of a search, in the order of ``brisel-search``'s hit lines; a sequence of :class:`Hit`.

    The columns are read-only NumPy arrays: :attr:`sequence`, :attr:`motif`,
    :attr:`start`, :attr:`end` (1-based, inclusive), :attr:`specificity`,
    :attr:`expectation` and :attr:`p_no_random_hit`, and :attr:`strand` and
    :attr:`frame`; :meth:`names`, :meth:`records` and :meth:`segments` give
    the texts. The hits of a translated search lie on their nucleotide
    records: ``start`` and ``end`` are bases of the record's forward strand
    (start <= end on both strands), and the segments are amino acids. ``hits[i]`` and
    iteration give :class:`Hit` objects; ``hits[a:b:c]``, ``hits[mask]`` and
    ``hits[indexes]`` (NumPy arrays of bools or ints) give new Hits, copies of
    those rows (about 50 bytes a hit), of the same search. :meth:`join` makes
    one Hits of several; :meth:`write` writes the hits as ``brisel-search``
    does, :meth:`to_pandas` makes a DataFrame, :meth:`to_html` writes the HTML
    report of ``brisel-search --report`` and :meth:`plot` draws one sequence's
    hit map; in Jupyter the hits show as that report (:meth:`_repr_html_`).
    Hits pickle (see :meth:`__reduce__`).

    The search's settings are kept: :attr:`motifs`, :attr:`sequences`,
    :attr:`cutoff` and :attr:`searched`.
    """

    #: The limits of the report a notebook shows (:meth:`_repr_html_`): the
    #: sequences, the hits of each and the hits in all; a file's are
    #: brisel-search's, 1,000, 300 and 150,000.
    notebook_report_limits: tuple[int, int, int] = (50, 100, 2000)

    def __init__(self, core: _brisel.HitTable, *, cutoff: Optional[int],
                 searched: Optional[int] = None, search: Optional[bytes] = None) -> None:
        """Wraps a core table; searches make them."""
        self._core = core
        self._cutoff = cutoff
        self._searched = searched
        self._search = search if search is not None else _search_id()
        self._motifs: Optional[MotifDatabase] = None
        self._sequences: Optional[SequenceDatabase] = None

    def _like(self, core: _brisel.HitTable) -> Hits:
        """Hits of the same search."""
        return Hits(core, cutoff=self._cutoff, searched=self._searched, search=self._search)

    def __len__(self) -> int:
        """The number of hits."""
        return len(self._core)

    def __repr__(self) -> str:
        """The hit count and the cut-off."""
        return f"<brisel.Hits, {len(self)} hits, cutoff {self._cutoff}>"

    # -- The search ------------------------------------------------------------------

    @property
    def motifs(self) -> MotifDatabase:
        """The motif database searched (a handle of its own, open while the hits are)."""
        if self._motifs is None:
            self._motifs = MotifDatabase(self._core.motifs)
        return self._motifs

    @property
    def sequences(self) -> Optional[SequenceDatabase]:
        """The sequence database of an indexed search; None for a scan search or joined searches."""
        if self._sequences is None and self._core.sequences is not None:
            self._sequences = SequenceDatabase(self._core.sequences)
        return self._sequences

    @property
    def cutoff(self) -> Optional[int]:
        """N of the cut-off 10^N the search ran with (None for joined searches of several)."""
        return self._cutoff

    @property
    def searched(self) -> Optional[int]:
        """The number of sequences searched (None for a chunk of a streamed search)."""
        return self._searched

    # -- Columns ---------------------------------------------------------------------

    @property
    def sequence(self) -> npt.NDArray[np.int64]:
        """The index (from 0) of each hit's sequence."""
        return self._core.sequence

    @property
    def motif(self) -> npt.NDArray[np.uint32]:
        """The index (from 0) of each hit's motif."""
        return self._core.motif

    @property
    def start(self) -> npt.NDArray[np.int64]:
        """The 1-based position of each hit's first residue."""
        return self._core.start

    @property
    def end(self) -> npt.NDArray[np.int64]:
        """The 1-based position of each hit's last residue."""
        return self._core.end

    @property
    def expectation(self) -> npt.NDArray[np.float64]:
        """The expectation of random hits (the hit line's first field)."""
        return self._core.expectation

    @property
    def translated(self) -> bool:
        """Whether these are the hits of a translated search."""
        return self._core.translated

    @property
    def frame(self) -> npt.NDArray[np.int8]:
        """Each hit's frame, 1 to 3 or -1 to -3 (all 0 when not translated)."""
        if self._core.translated:
            return self._core.frame
        import numpy as np

        return np.zeros(len(self), dtype=np.int8)

    @property
    def strand(self) -> npt.NDArray[np.str_]:
        """Each hit's strand: '+' or '-' (all '.' when not translated)."""
        import numpy as np

        return np.array([".", "+", "-"])[np.sign(self.frame)]

    @property
    def p_no_random_hit(self) -> npt.NDArray[np.float64]:
        """The probability of no random hit (the hit line's second field)."""
        return self._core.p_no_random_hit

    @property
    def specificity(self) -> npt.NDArray[np.float64]:
        """The specificity of each hit's motif (the hit line's third field)."""
        return self._core.motifs.specificities[self.motif]

    def name(self, i: int) -> str:
        """The name of hit ``i``'s sequence."""
        return self._core.name(i)

    def segment(self, i: int) -> str:
        """The residues hit ``i`` matched."""
        return self._core.segment(i)

    def names(self) -> list[str]:
        """The name of each hit's sequence (one str per sequence, shared)."""
        return self._core.names()

    def records(self) -> list[str]:
        """The record of each hit's motif (one str per motif, shared)."""
        return self._core.records()

    def segments(self) -> list[str]:
        """The residues each hit matched."""
        return self._core.segments()

    # -- The sequence protocol ----------------------------------------------------------

    @overload
    def __getitem__(self, i: int) -> Hit: ...

    @overload
    def __getitem__(self, i: Union[slice, npt.NDArray[Any], list[int]]) -> Hits: ...

    def __getitem__(self, i: Union[int, slice, npt.NDArray[Any], list[int]]) -> Union[Hit, Hits]:
        """Hit ``i`` (negative counts from the end); or, for a slice, a boolean mask
        or an array of indexes, a new Hits of those rows (a copy, in that order)."""
        if isinstance(i, slice):
            start, stop, step = i.indices(len(self))
            return self._like(self._core.slice(start, step, len(range(start, stop, step))))
        if isinstance(i, numbers.Integral) and not isinstance(i, bool):
            index = int(i) + (len(self) if i < 0 else 0)
            if not 0 <= index < len(self):
                raise IndexError("hit index out of range")
            return self._hit(index)
        if isinstance(i, (list, tuple)) or type(i).__module__ == "numpy":
            import numpy as np
            rows = np.asarray(i)
            if rows.dtype == np.bool_:
                if rows.shape != (len(self),):
                    raise IndexError(f"a mask of {len(self)} hits takes {len(self)} bools")
                rows = np.flatnonzero(rows)
            elif rows.size == 0:
                rows = rows.astype(np.int64)
            if rows.ndim != 1 or not np.issubdtype(rows.dtype, np.integer):
                raise TypeError("hits are indexed by int, slice, or a 1-d array of ints or bools")
            rows = np.where(rows < 0, rows + len(self), rows).astype(np.int64)
            return self._like(self._core.take(np.ascontiguousarray(rows)))
        raise TypeError(f"hits are indexed by int, slice, or an array of ints or bools, "
                        f"not {_type_name(i)}")

    def _hit(self, i: int) -> Hit:
        core = self._core
        m = int(self.motif[i])
        frame = int(core.frame[i]) if core.translated else 0
        return Hit(int(self.sequence[i]), core.name(i), m, core.record(i), core.segment(i),
                   int(self.start[i]), int(self.end[i]), float(core.motifs.specificities[m]),
                   float(self.expectation[i]), float(self.p_no_random_hit[i]),
                   ".+-"[(frame > 0) - (frame < 0)], frame)

    def __iter__(self) -> Iterator[Hit]:
        """Every hit, in order."""
        columns = zip(self.sequence.tolist(), self.names(), self.motif.tolist(),
                      self.records(), self.segments(), self.start.tolist(),
                      self.end.tolist(), self.specificity.tolist(),
                      self.expectation.tolist(), self.p_no_random_hit.tolist(),
                      self.strand.tolist(), self.frame.tolist())
        return (Hit(*row) for row in columns)

    def _span(self) -> int:
        """How many sequence numbers this search took."""
        if self._searched is not None:
            return self._searched
        return int(self.sequence.max()) + 1 if len(self) else 0

    @classmethod
    def join(cls, parts: Iterable[Hits]) -> Hits:
        """The hits of ``parts`` as one Hits, in order.

        Pieces of one search (the chunks of :func:`search_chunks`, slices) keep
        their sequence numbers and database. The hits of separate searches
        (the shards of a database, or several lists of sequences) are numbered
        on: a search's sequence numbers follow those its predecessors
        searched, so that the shards of a database joined in manifest order
        are the single search's hits, column for column and byte for byte;
        their names and segments are then held by the result, which has no
        sequence database. Every part must come from the same motifs (a
        ValueError otherwise).

        >>> first, second = brisel.search(motifs, ["MRGDK"]), brisel.search(motifs, ["RGDRGD"])
        >>> joined = brisel.Hits.join([first, second])
        >>> joined.sequence.tolist(), joined.start.tolist()
        ([0, 1, 1], [2, 1, 4])
        """
        if isinstance(parts, Hits):
            raise TypeError("parts takes an iterable of Hits, not one Hits")
        held = list(parts)
        if not held:
            raise InvalidValueError("join needs at least one Hits")
        for part in held:
            if not isinstance(part, Hits):
                raise TypeError(f"parts takes an iterable of Hits, not of {_type_name(part)}")
        first = held[0]
        for part in held[1:]:
            if not first.motifs._same(part.motifs):
                raise InvalidValueError("the hits to join come from different motif databases")
        one_search = all(part._search == first._search for part in held)
        offsets: list[int] = []
        offset, span, previous = 0, 0, first._search
        for part in held:
            if part._search != previous:
                offset, span, previous = offset + span, 0, part._search
            span = max(span, part._span())
            offsets.append(offset)
        texts = not one_search or first._core.has_texts
        core = _brisel.join([part._core for part in held], offsets, texts)
        cutoffs = {part._cutoff for part in held}
        if one_search:
            return first._like(core)
        return Hits(core, cutoff=cutoffs.pop() if len(cutoffs) == 1 else None,
                    searched=offset + span)

    def __reduce__(self) -> tuple[Callable[..., Hits], tuple[Any, ...]]:
        """Pickled as its table's columns (44 bytes a hit, and the names and segments
        of a scan search), its motif database (by root, or its blocks) and the
        root of its sequence database, mapped again and checked on loading."""
        return (_load_hits, (self._core.save(), self.motifs, self.sequences, self._cutoff,
                             self._searched, self._search))

    # -- Output ---------------------------------------------------------------------------

    def write(self, file: Union[PathLike, BinaryIO, io.TextIOBase], format: Format = "pipe", *,
              header: bool = True) -> None:
        """Writes the hits as ``brisel-search -F FORMAT`` writes them, byte for byte.

        ``file`` is a path or a file object (binary, or text with a binary
        buffer, such as sys.stdout). ``format`` is ``pipe``, ``tsv``,
        ``gff3`` or ``bed``; ``header=False`` leaves out the header line of tsv and gff3
        (``--no-header``), to append to another search's output. A failed write
        raises OutputError (an OSError).
        """
        name = _format(format)
        _flag(header, "header")
        if isinstance(file, (str, os.PathLike)):
            with open(_path(file, "file"), "wb") as out:
                self._core.write(out.write, name, header)
            return
        if isinstance(file, io.TextIOBase):
            buffer = getattr(file, "buffer", None)
            if buffer is None:
                raise TypeError(f"file takes a path or a binary file; a {_type_name(file)} has "
                                "no binary buffer (use to_bytes() and decode)")
            file.flush()
            file = buffer
        write = getattr(file, "write", None)
        if not callable(write):
            raise TypeError(f"file takes a path or a binary file, not {_type_name(file)}")
        self._core.write(write, name, header)
        flush = getattr(file, "flush", None)
        if callable(flush):
            flush()

    def to_bytes(self, format: Format = "pipe", *, header: bool = True) -> bytes:
        """The bytes :meth:`write` writes."""
        return self._core.to_bytes(_format(format), _flag(header, "header"))

    def to_pandas(self) -> pd.DataFrame:
        """A pandas DataFrame of the hits, one row per hit (needs pandas).

        Its columns are the fields of :class:`Hit`; ``name`` and ``record`` are
        categoricals (one string per sequence and per motif).
        """
        try:
            import pandas as pd
        except ImportError as error:  # pragma: no cover - depends on the environment
            raise ImportError("Hits.to_pandas needs pandas: pip install pandas") from error
        import numpy as np

        def categorical(codes_of: npt.NDArray[Any], texts: Callable[[int], str]) -> Any:
            unique, first, codes = np.unique(codes_of, return_index=True, return_inverse=True)
            categories = [texts(int(i)) for i in first]
            if len(set(categories)) == len(categories):
                return pd.Categorical.from_codes(codes.reshape(-1), categories=pd.Index(categories))
            return pd.Categorical(np.asarray(categories, dtype=object)[codes.reshape(-1)])

        return pd.DataFrame({
            "sequence": self.sequence,
            "name": categorical(self.sequence, self._core.name),
            "motif": self.motif,
            "record": categorical(self.motif, self._core.record),
            "segment": self.segments(),
            "start": self.start,
            "end": self.end,
            "specificity": self.specificity,
            "expectation": self.expectation,
            "p_no_random_hit": self.p_no_random_hit,
            "strand": self.strand,
            "frame": self.frame,
        })

    def to_html(self, path: PathLike) -> None:
        """Writes the HTML report of the hits to ``path``.

        The page of ``brisel-search --report``, written by the same C++
        writer within the same limits (the 1,000 sequences of lowest E, 300
        hits of each, 150,000 in all; the summary counts every hit): a
        summary, a hit map per sequence and a table of the hits, in one file
        that reads offline. It is written under a temporary name and renamed
        onto ``path`` once complete. The maps of an indexed search have the
        sequences' lengths; a scan keeps none, so its maps span each
        sequence up to its last hit. The hits of one chunk of
        :func:`search_chunks` count only their own sequences. A failed
        write raises OSError.
        """
        self._core.report(os.fspath(path), self._searched, self._cutoff)

    def _repr_html_(self) -> str:
        """The report as a notebook shows it: within :attr:`notebook_report_limits`,
        in a sandboxed frame of its own, so that its ids, styles and script
        stay apart from the notebook's."""
        page = self._core.report(None, self._searched, self._cutoff,
                                 *self.notebook_report_limits)
        assert page is not None
        return ('<iframe title="brisel report" sandbox="allow-scripts" '
                'style="width: 100%; height: 640px; border: 1px solid #d0d7de" '
                f'srcdoc="{html.escape(page, quote=True)}"></iframe>')

    def plot(self, sequence: Union[int, str], ax: Any = None) -> Any:
        """Draws the hit map of one sequence with matplotlib; returns the Axes.

        ``sequence`` is a sequence index (the :attr:`sequence` column) or a
        name (its first sequence of that name with hits). Each hit is a box
        at its positions, coloured by motif as the HTML report colours it
        (the motifs of one record are one motif, and the motifs ranked by
        their hit counts in these hits take the report's palette, Okabe-Ito,
        in turn), in lanes by the report's rule: boxes taken by start, end
        and order, each into the first lane whose last box ends before it
        starts (the report also keeps boxes a pixel apart); the motif's name
        on a box where it fits, and a legend. The track is the sequence's
        length after an indexed search, else it ends at the last hit.
        ``ax``: the Axes to draw into (default: a new figure). Needs
        matplotlib (``pip install brisel[plot]``).
        """
        try:
            import matplotlib.pyplot as plt  # type: ignore[import-untyped, unused-ignore]
            from matplotlib.patches import Patch, Rectangle  # type: ignore[import-untyped, unused-ignore]
        except ImportError as error:
            raise ImportError(
                "Hits.plot needs matplotlib: pip install 'brisel[plot]' (or matplotlib)") from error
        import numpy as np

        column = self.sequence
        if isinstance(sequence, str):
            named = [i for i, name in enumerate(self.names()) if name == sequence]
            if not named:
                raise ValueError(f"no hit of a sequence named {sequence!r}")
            number = int(column[named[0]])
        else:
            number = int(sequence)
        rows = np.flatnonzero(column == number)
        if rows.size == 0:
            raise ValueError(f"sequence {number} has no hits here")

        # The report's motifs: one per record (a pattern's expansions are one),
        # numbered in database order, ranked by hit count, then by number.
        group: dict[str, int] = {}
        of = [group.setdefault(record, len(group)) for record in self.motifs.records]
        counts = np.bincount(np.asarray(of)[self.motif], minlength=len(group))
        ranked = sorted(np.flatnonzero(counts).tolist(), key=lambda g: (-int(counts[g]), g))
        palette = _brisel.report_palette()
        colour = {g: palette[rank % len(palette)] for rank, g in enumerate(ranked)}

        starts = self.start[rows].tolist()
        ends = self.end[rows].tolist()
        motifs = [of[m] for m in self.motif[rows].tolist()]
        records = list(group)
        lanes = [0] * len(rows)
        lane_ends: list[int] = []
        for k in sorted(range(len(rows)), key=lambda k: (starts[k], ends[k], k)):
            lane = next((n for n, end in enumerate(lane_ends) if end < starts[k]), len(lane_ends))
            if lane == len(lane_ends):
                lane_ends.append(0)
            lanes[k] = lane
            lane_ends[lane] = ends[k]
        known = self._core.sequence_length(number)
        length = int(known) if known else max(ends)

        if ax is None:
            _, ax = plt.subplots(figsize=(10, 1.2 + 0.35 * len(lane_ends)))
        ax.add_patch(Rectangle((0, len(lane_ends) + 0.15), length, 0.25, facecolor="#c9d1d9",
                               edgecolor="none"))
        points = ax.get_position().width * ax.figure.get_figwidth() * 72  # the track's width
        for k in range(len(rows)):
            fill = colour[motifs[k]]
            ax.add_patch(Rectangle((starts[k] - 1, lanes[k] + 0.1), ends[k] - starts[k] + 1, 0.8,
                                   facecolor=fill, edgecolor="#24292f", linewidth=0.6))
            record = records[motifs[k]]
            words = record.split(" ")
            width = (ends[k] - starts[k] + 1) / length * points
            for label in (record, words[1] if len(words) > 1 else "", words[0]):
                if label and 5.2 * len(label) + 4 <= width:  # 8-point text fits on the box
                    ax.text(starts[k] - 1 + (ends[k] - starts[k] + 1) / 2, lanes[k] + 0.5, label,
                            ha="center", va="center", fontsize=8, color=_ink_on(fill))
                    break
        ax.set_xlim(0, length)
        ax.set_ylim(len(lane_ends) + 0.5, 0)
        ax.set_yticks([])
        ax.set_xlabel("position" + ("" if known else " (length unknown: drawn to the last hit)"))
        ax.set_title(self._core.name(int(rows[0])) or "(no name)", loc="left", fontsize=10)
        shown = sorted(set(motifs), key=ranked.index)
        ax.legend(handles=[Patch(facecolor=colour[m], edgecolor="#24292f", label=records[m])
                           for m in shown],
                  loc="upper left", bbox_to_anchor=(1.01, 1), fontsize=8, frameon=False)
        return ax


def _ink_on(colour: str) -> str:
    """Black or white, whichever reads better on ``colour`` (the report's rule)."""
    def channel(i: int) -> float:
        c = int(colour[i:i + 2], 16) / 255
        return c / 12.92 if c <= 0.03928 else ((c + 0.055) / 1.055) ** 2.4
    luminance = 0.2126 * channel(1) + 0.7152 * channel(3) + 0.0722 * channel(5)
    return "#000" if (luminance + 0.05) / 0.05 >= 1.05 / (luminance + 0.05) else "#fff"


def _load_hits(saved: bytes, motifs: MotifDatabase, sequences: Optional[SequenceDatabase],
               cutoff: Optional[int], searched: Optional[int], search: bytes) -> Hits:
    core = _brisel.HitTable.load(saved, motifs._core,
                                 None if sequences is None else sequences._core)
    return Hits(core, cutoff=cutoff, searched=searched, search=search)


def _format(format: object) -> str:
    if not isinstance(format, str):
        raise TypeError(f"format takes 'pipe', 'tsv' or 'gff3', not {_type_name(format)}")
    return format


# ---- Searches -----------------------------------------------------------------------

Sequences = Union[SequenceDatabase, Iterable[SequenceLike], PathLike, bytes]


def _checked_search(motifs: object, sequences: object) -> Any:
    if not isinstance(motifs, MotifDatabase):
        raise TypeError(f"motifs takes a brisel.MotifDatabase, not {_type_name(motifs)}")
    if isinstance(sequences, SequenceDatabase):
        return sequences
    # A lone str or bytes is one raw sequence, not an iterable of letters.
    if isinstance(sequences, (str, bytes, bytearray)):
        return (sequences,)
    if not isinstance(sequences, abc.Iterable):
        raise TypeError("sequences takes a brisel.SequenceDatabase, a str or bytes, or an "
                        f"iterable of sequences, not {_type_name(sequences)}")
    return sequences


#: The frames of a translated search: "all", "forward", "reverse", a list such
#: as "1,-2", or ints from -3 to 3 (not 0).
FramesLike = Union[str, Iterable[int]]


def _no_translation(table: Optional[int], frames: Optional[FramesLike],
                    min_length: Optional[int]) -> None:
    if table is not None or frames is not None or min_length is not None:
        raise ValueError("table, frames and min_length apply to translate=True")


def _translation(motifs: object, sequences: object, table: Optional[int],
                 frames: Optional[FramesLike], min_length: Optional[int]) -> Any:
    # The nucleotide input of a translated search: a path (str or PathLike),
    # one raw sequence (bytes), or an iterable of sequences.
    if not isinstance(motifs, MotifDatabase):
        raise TypeError(f"motifs takes a brisel.MotifDatabase, not {_type_name(motifs)}")
    if isinstance(sequences, SequenceDatabase):
        raise TypeError("a translated search reads nucleotide FASTA or sequences, "
                        "not a SequenceDatabase")
    if isinstance(sequences, (str, os.PathLike)):
        return os.fspath(sequences)
    if isinstance(sequences, (bytes, bytearray)):
        return (sequences,)
    if not isinstance(sequences, abc.Iterable):
        raise TypeError("with translate=True, sequences takes a path, bytes or an iterable of "
                        f"sequences, not {_type_name(sequences)}")
    return sequences


def search(
    motifs: MotifDatabase,
    sequences: Sequences,
    *,
    cutoff: int = _brisel.default_cutoff_exponent,
    threads: Optional[int] = None,
    translate: bool = False,
    table: Optional[int] = None,
    frames: Optional[FramesLike] = None,
    min_length: Optional[int] = None,
) -> Hits:
    """Searches ``motifs`` against ``sequences`` and returns every hit.

    ``sequences`` is a SequenceDatabase (the indexed search, as
    ``brisel-search``), or the scan search's sequences (as ``brisel-search
    -b``): an iterable of str, bytes, (name, sequence) pairs or SeqRecord-like
    objects, or one str or bytes. ``cutoff`` is N of ``-e N``: a sequence's
    motifs are tried until its expectation of random hits exceeds 10^N.
    ``threads`` is ``-j``: by default every CPU the process may use; the hits
    are the same for every count. The GIL is released while searching, and
    Ctrl-C stops the search within a second (KeyboardInterrupt).

    >>> hits = brisel.search(motifs, [("a", "MKRGDAKNASTW")], cutoff=9)
    >>> [(hit.record, hit.start) for hit in hits]
    [('PS00016 RGD', 3), ('N-{P}-[ST]-{P}', 8)]

    With ``translate=True`` the sequences are nucleotide sequences, searched
    as ``brisel-search --translate`` searches them: ``sequences`` is then the
    path of a nucleotide FASTA file (a str or os.PathLike, plain or
    compressed), or an iterable of sequences as above (one raw sequence: a
    bytes, or a list of one str). ``table`` is the NCBI genetic code
    (``--table``, default 1; 11 for bacteria), ``frames`` the frames searched
    (``--frames``: "all", the default, "forward", "reverse", "1,-2", or ints
    such as ``[1, -2]``) and ``min_length`` the shortest stretch between stops
    searched, in amino acids (``--min-length``, default 1). The hits' ``start``
    and ``end`` are bases of the nucleotide record's forward strand, with
    :attr:`Hits.strand` and :attr:`Hits.frame`; :meth:`Hits.write` writes the
    program's bytes. A letter that is no IUPAC nucleotide raises ValueError,
    naming the file and line, or the sequence's number.
    """
    if translate:
        nucleotides = _translation(motifs, sequences, table, frames, min_length)
        core = _brisel.search_translated(motifs._core, nucleotides, cutoff, threads, table,
                                         frames, min_length)
        return Hits(core, cutoff=int(cutoff), searched=None)
    _no_translation(table, frames, min_length)
    checked = _checked_search(motifs, sequences)
    if isinstance(checked, SequenceDatabase):
        core = _brisel.search_database(motifs._core, checked._core, cutoff, threads)
        return Hits(core, cutoff=int(cutoff), searched=len(checked))
    core, searched = _brisel.scan(motifs._core, checked, cutoff, threads)
    return Hits(core, cutoff=int(cutoff), searched=searched)


class HitChunks(Iterator[Hits]):
    """The hits of a streamed search, a :class:`Hits` at a time (see :func:`search_chunks`).

    An iterator and a context manager: leaving the loop and calling
    :meth:`close` (or leaving the ``with`` block) stops the search.
    """

    def __init__(self, core: _brisel.HitChunks, cutoff: int) -> None:
        """Wraps a core stream; :func:`search_chunks` makes them."""
        self._core: Optional[_brisel.HitChunks] = core
        self._cutoff = cutoff
        self._search = _search_id()

    def __iter__(self) -> HitChunks:
        """The stream itself."""
        return self

    def __next__(self) -> Hits:
        """The next chunk."""
        if self._core is None:
            raise StopIteration
        try:
            core = next(self._core)
        except BaseException:
            self.close()
            raise
        return Hits(core, cutoff=self._cutoff, searched=None, search=self._search)

    def close(self) -> None:
        """Stops the search."""
        if self._core is not None:
            self._core.close()
            self._core = None

    def __enter__(self) -> HitChunks:
        """The stream itself."""
        return self

    def __exit__(self, *exc: object) -> None:
        """Stops the search."""
        self.close()

    def __del__(self) -> None:
        """Stops the search."""
        self.close()


def search_chunks(
    motifs: MotifDatabase,
    sequences: Sequences,
    *,
    cutoff: int = _brisel.default_cutoff_exponent,
    threads: Optional[int] = None,
    chunk_size: int = 65536,
    translate: bool = False,
    table: Optional[int] = None,
    frames: Optional[FramesLike] = None,
    min_length: Optional[int] = None,
) -> HitChunks:
    """The hits of :func:`search` as Hits of about ``chunk_size`` hits each.

    A chunk never splits the hits of one sequence: it holds at most
    ``chunk_size`` hits, unless one sequence alone has more, whose hits then
    make a chunk of their own. So the chunks written one after the other (the
    first with its header, the rest with ``header=False``) are byte for byte
    the output of one search in every format, and :meth:`Hits.join` of them
    is :func:`search`'s Hits. The search runs ahead of the loop by at most two
    chunks, so memory stays bounded whatever the hit count. Leaving the loop
    early and closing the stream (or a ``with`` block) stops the search. The
    arguments are checked at the call. ``translate``, ``table``, ``frames``
    and ``min_length`` are those of :func:`search`.
    """
    if translate:
        nucleotides = _translation(motifs, sequences, table, frames, min_length)
        core = _brisel.HitChunks(motifs._core, nucleotides, cutoff, threads, chunk_size, table,
                                 frames, min_length)
        return HitChunks(core, int(cutoff))
    _no_translation(table, frames, min_length)
    checked = _checked_search(motifs, sequences)
    if isinstance(checked, SequenceDatabase):
        core = _brisel.HitChunks(motifs._core, checked._core, cutoff, threads, chunk_size)
    else:
        core = _brisel.HitChunks(motifs._core, checked, cutoff, threads, chunk_size)
    return HitChunks(core, int(cutoff))
