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
    >>> motifs = brisel.MotifDatabase.build("data/prosite-excerpt.dat")
    >>> hits = brisel.search(motifs, [("seq1", "MKTAYIAKQRQISFVKSHFSRQ")])

Faults raise FileNotFoundError (a missing database or input), ValueError (a
damaged database, a bad pattern or input) or OSError (a failed write), with
the message the programs print.
"""

from __future__ import annotations

import io
import numbers
import os
import warnings
from typing import TYPE_CHECKING, Any, Iterable, Iterator, NamedTuple, Optional, Union

from . import _brisel

if TYPE_CHECKING:  # NumPy is imported when the first arrays are made, not by import brisel
    import numpy as np
    import numpy.typing as npt

__all__ = [
    "BuildWarning",
    "Hit",
    "Hits",
    "MotifDatabase",
    "SequenceDatabase",
    "available_cpus",
    "search",
    "search_chunks",
]

#: The version of the package, of its C++ core and of the programs.
__version__: str = _brisel.version

PathLike = Union[str, "os.PathLike[str]"]
#: A sequence for the scan search or a sequence build: a str or bytes (a raw
#: sequence without a name), a (name, sequence) pair, or an object with ``id``,
#: ``seq`` and optionally ``description`` attributes (Biopython's SeqRecord).
SequenceLike = Any
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


class MotifDatabase:
    """A motif database: opened from a root path, or built.

    Use :meth:`open` or :meth:`build`. A database is read-only and may be
    searched by any number of threads at once.
    """

    def __init__(self, core: _brisel.MotifDatabase) -> None:
        """Wraps a core database; use :meth:`open` or :meth:`build`."""
        self._core = core
        self._records: Optional[list[str]] = None

    @classmethod
    def open(cls, root: PathLike) -> MotifDatabase:
        """Maps and checks the motif database at ``root`` (as ``brisel-search -l -m``)."""
        return cls(_brisel.MotifDatabase.open(os.fspath(root)))

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
        """
        where = None if root is None else os.fspath(root)
        if isinstance(source, (str, os.PathLike)):
            core, messages = _brisel.MotifDatabase.build_file(os.fspath(source), where, keep_order)
        else:
            core, messages = _brisel.MotifDatabase.build_entries(source, where, keep_order)
        _warn(messages)
        return cls(core)

    def __len__(self) -> int:
        """The number of motifs."""
        return len(self._core)

    def __repr__(self) -> str:
        """The root (or memory) and the motif count."""
        where = self.root if self.root is not None else "in memory"
        return f"<brisel.MotifDatabase {where!r}, {len(self)} motifs>"

    @property
    def root(self) -> Optional[str]:
        """The root path, or None for a database held in memory."""
        return self._core.root

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
            self._records = [self._core.record(m) for m in range(len(self._core))]
        return self._records

    @property
    def specificities(self) -> npt.NDArray[np.float64]:
        """The specificity of every motif, a read-only array over the database."""
        return self._core.specificities


class SequenceDatabase:
    """A mapped sequence database; a context manager whose exit closes it.

    Use :meth:`open`, :meth:`build` or :meth:`build_shards`. Closing releases
    this object's mapping; the hits of its searches keep theirs (their names and
    segments come from it) until they go.
    """

    def __init__(self, core: _brisel.SequenceDatabase) -> None:
        """Wraps a core database; use :meth:`open` or :meth:`build`."""
        self._core = core

    @classmethod
    def open(cls, root: PathLike) -> SequenceDatabase:
        """Maps and checks the sequence database at ``root`` (as ``brisel-search -l -s``)."""
        return cls(_brisel.SequenceDatabase.open(os.fspath(root)))

    @classmethod
    def open_shards(cls, root: PathLike) -> list[SequenceDatabase]:
        """Opens the shards that the manifest ``<root>.shards`` lists, in order."""
        manifest = os.fspath(root) + ".shards"
        directory = os.path.dirname(manifest)
        with open(manifest, encoding="utf-8", newline=None) as lines:
            names = [line.strip("\r\n") for line in lines if line.strip("\r\n")]
        return [cls.open(os.path.join(directory, name)) for name in names]

    @staticmethod
    def _build(
        source: Union[PathLike, Iterable[SequenceLike]],
        root: PathLike,
        shards: int,
        shard_size: int,
    ) -> None:
        where = os.fspath(root)
        if isinstance(source, (str, os.PathLike)):
            _brisel.SequenceDatabase.build_file(os.fspath(source), where, shards, shard_size)
            return
        if isinstance(source, (bytes, bytearray)):
            raise TypeError("give a path as str or os.PathLike, or an iterable of sequences")
        if (shards or shard_size) and iter(source) is source:
            raise ValueError(
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
        if (shards is None) == (shard_size is None):
            raise ValueError("give one of shards and shard_size")
        count = shards or 0
        size = shard_size or 0
        if count < 0 or size < 0 or (shards is not None and count == 0) or (
                shard_size is not None and size == 0):
            raise ValueError("shards and shard_size must be positive")
        cls._build(source, root, count, size)
        return cls.open_shards(root)

    def __len__(self) -> int:
        """The number of sequences."""
        return len(self._core)

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

    @property
    def root(self) -> str:
        """The root path."""
        return self._core.root

    @property
    def closed(self) -> bool:
        """Whether the database was closed."""
        return self._core.closed

    def close(self) -> None:
        """Releases this object's mapping; further use raises ValueError."""
        self._core.close()

    def name(self, s: int) -> str:
        """The name of sequence ``s`` (from 0): its FASTA title without the '>'."""
        return self._core.name(s)

    def sequence(self, s: int) -> str:
        """The residues of sequence ``s``, as stored."""
        return self._core.residues(s)


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


class Hits:
    """The hits of a search, in the order of ``brisel-search``'s hit lines.

    The columns are read-only NumPy arrays: :attr:`sequence`, :attr:`motif`,
    :attr:`start`, :attr:`end` (1-based, inclusive), :attr:`specificity`,
    :attr:`expectation` and :attr:`p_no_random_hit`, and :attr:`strand` and
    :attr:`frame`; :meth:`names`, :meth:`records` and :meth:`segments` give
    the texts. The hits of a translated search lie on their nucleotide
    records: ``start`` and ``end`` are bases of the record's forward strand
    (start <= end on both strands), and the segments are amino acids. Iterating gives
    :class:`Hit` objects; :meth:`write` writes the hits as ``brisel-search``
    does, :meth:`to_pandas` makes a DataFrame.
    """

    def __init__(self, core: _brisel.HitTable, motifs: MotifDatabase) -> None:
        """Wraps a core table; searches make them."""
        self._core = core
        self._motifs = motifs

    def __len__(self) -> int:
        """The number of hits."""
        return len(self._core)

    def __repr__(self) -> str:
        """The hit count."""
        return f"<brisel.Hits, {len(self)} hits>"

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
        return self._motifs.specificities[self.motif]

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

    def __getitem__(self, i: int) -> Hit:
        """Hit ``i`` (negative counts from the end)."""
        if not isinstance(i, numbers.Integral):
            raise TypeError("hits are indexed by int")
        i = int(i)
        if i < 0:
            i += len(self)
        if not 0 <= i < len(self):
            raise IndexError("hit index out of range")
        m = int(self.motif[i])
        frame = int(self._core.frame[i]) if self._core.translated else 0
        return Hit(int(self.sequence[i]), self._core.name(i), m, self._motifs.record(m),
                   self._core.segment(i), int(self.start[i]), int(self.end[i]),
                   float(self._motifs.specificities[m]), float(self.expectation[i]),
                   float(self.p_no_random_hit[i]), ".+-"[(frame > 0) - (frame < 0)], frame)

    def __iter__(self) -> Iterator[Hit]:
        """Every hit, in order."""
        columns = zip(self.sequence.tolist(), self.names(), self.motif.tolist(),
                      self.records(), self.segments(), self.start.tolist(),
                      self.end.tolist(), self.specificity.tolist(),
                      self.expectation.tolist(), self.p_no_random_hit.tolist(),
                      self.strand.tolist(), self.frame.tolist())
        return (Hit(*row) for row in columns)

    def write(self, file: Union[PathLike, Any], format: str = "pipe", *,
              header: bool = True) -> None:
        """Writes the hits as ``brisel-search -F FORMAT`` writes them, byte for byte.

        ``file`` is a path or a file object (binary, or text with a binary
        buffer, such as sys.stdout). ``format`` is ``pipe``, ``tsv``,
        ``gff3`` or ``bed``; ``header=False`` leaves out the header line of tsv and gff3
        (``--no-header``), to append to another search's output. A failed write
        raises OSError.
        """
        if isinstance(file, (str, os.PathLike)):
            with open(file, "wb") as out:
                self._core.write(out.write, format, header)
            return
        if isinstance(file, io.TextIOBase):
            file.flush()
            file = file.buffer  # type: ignore[attr-defined]
        self._core.write(file.write, format, header)
        if hasattr(file, "flush"):
            file.flush()

    def to_bytes(self, format: str = "pipe", *, header: bool = True) -> bytes:
        """The bytes :meth:`write` writes."""
        return self._core.to_bytes(format, header)

    def to_pandas(self) -> Any:
        """A pandas DataFrame of the hits, one row per hit (needs pandas).

        Its columns are the fields of :class:`Hit`.
        """
        try:
            import pandas as pd  # type: ignore[import-untyped, unused-ignore]
        except ImportError as error:  # pragma: no cover - depends on the environment
            raise ImportError("Hits.to_pandas needs pandas: pip install pandas") from error
        return pd.DataFrame({
            "sequence": self.sequence,
            "name": self.names(),
            "motif": self.motif,
            "record": self.records(),
            "segment": self.segments(),
            "start": self.start,
            "end": self.end,
            "specificity": self.specificity,
            "expectation": self.expectation,
            "p_no_random_hit": self.p_no_random_hit,
            "strand": self.strand,
            "frame": self.frame,
        })


def _scanned(sequences: Any) -> Any:
    # A lone str or bytes is one raw sequence, not an iterable of letters.
    if isinstance(sequences, (str, bytes, bytearray)):
        return (sequences,)
    return sequences


#: The frames of a translated search: "all", "forward", "reverse", a list such
#: as "1,-2", or ints from -3 to 3 (not 0).
FramesLike = Union[str, Iterable[int]]


def _translation(sequences: Any, translate: bool, table: Optional[int],
                 frames: Optional[FramesLike], min_length: Optional[int]) -> Any:
    # The nucleotide input of a translated search: a path (str or PathLike),
    # one raw sequence (bytes), or an iterable of sequences.
    if not translate:
        if table is not None or frames is not None or min_length is not None:
            raise ValueError("table, frames and min_length apply to translate=True")
        return None
    if isinstance(sequences, SequenceDatabase):
        raise TypeError("a translated search reads nucleotide FASTA or sequences, "
                        "not a SequenceDatabase")
    if isinstance(sequences, (str, os.PathLike)):
        return os.fspath(sequences)
    if isinstance(sequences, (bytes, bytearray)):
        return (sequences,)
    return sequences


def search(
    motifs: MotifDatabase,
    sequences: Union[SequenceDatabase, Iterable[SequenceLike], PathLike, bytes],
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
    nucleotides = _translation(sequences, translate, table, frames, min_length)
    if translate:
        core = _brisel.search_translated(motifs._core, nucleotides, cutoff, threads, table,
                                         frames, min_length)
    elif isinstance(sequences, SequenceDatabase):
        core = _brisel.search_database(motifs._core, sequences._core, cutoff, threads)
    else:
        core = _brisel.scan(motifs._core, _scanned(sequences), cutoff, threads)
    return Hits(core, motifs)


def search_chunks(
    motifs: MotifDatabase,
    sequences: Union[SequenceDatabase, Iterable[SequenceLike], PathLike, bytes],
    *,
    cutoff: int = _brisel.default_cutoff_exponent,
    threads: Optional[int] = None,
    chunk_size: int = 65536,
    translate: bool = False,
    table: Optional[int] = None,
    frames: Optional[FramesLike] = None,
    min_length: Optional[int] = None,
) -> Iterator[Hits]:
    """The hits of :func:`search` as Hits of at most ``chunk_size`` hits each.

    ``translate``, ``table``, ``frames`` and ``min_length`` are those of
    :func:`search`. The search runs ahead of the loop by at most two chunks, so memory stays
    bounded whatever the hit count. Leaving the loop early stops the search.
    The chunks joined are the hits of :func:`search`; to write them as one
    output, write the first with the header and the rest with ``header=False``.
    """
    if chunk_size < 1:
        raise ValueError("chunk_size must be positive")
    nucleotides = _translation(sequences, translate, table, frames, min_length)
    if translate:
        chunks = _brisel.HitChunks(motifs._core, nucleotides, cutoff, threads, chunk_size,
                                   table, frames, min_length)
    elif isinstance(sequences, SequenceDatabase):
        chunks = _brisel.HitChunks(motifs._core, sequences._core, cutoff, threads,
                                   chunk_size)
    else:
        chunks = _brisel.HitChunks(motifs._core, _scanned(sequences), cutoff, threads,
                                   chunk_size)
    try:
        for core in chunks:
            yield Hits(core, motifs)
    finally:
        chunks.close()
