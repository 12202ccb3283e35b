// SPDX-License-Identifier: MIT
// module.cpp: brisel._brisel, the library API as Python objects.
//
// The extension module under the brisel package (src/python/brisel/), which
// gives the public names their Python shape. Everything here calls the
// library API (api/databases.h, api/search.h, api/hit_tables.h,
// brisel-makedb's api/builds.h): no search, build or format of its own.
//
// - Faults: brisel::Error becomes the Python exception of its kind with the
//   message the programs print: FileNotFoundError (a missing database or
//   input), ValueError (a damaged database, a bad pattern or input), OSError
//   (a block that cannot be mapped, a failed write, with its errno),
//   KeyboardInterrupt (a cancelled search). Nothing is printed, nothing exits.
// - The GIL is released while databases are opened and built and while
//   searches run; searches run on a thread of their own so that Ctrl-C stops
//   them (interruptible.h). A database is shared read-only by any number of
//   threads and searches.
// - Texts (names, records, segments) come out as str, decoded from UTF-8 with
//   surrogateescape, so that no byte is lost; str comes in as UTF-8.
//
// Ownership: a MotifDatabase or SequenceDatabase shares the blocks of its
// database; a Hits object shares them too (its names, segments and written
// rows come from them), so closing a SequenceDatabase releases its own share
// and the files are unmapped once no Hits from it remain.
#include <nanobind/nanobind.h>
#include <nanobind/ndarray.h>
#include <nanobind/stl/optional.h>
#include <nanobind/stl/pair.h>
#include <nanobind/stl/string.h>
#include <nanobind/stl/tuple.h>
#include <nanobind/stl/vector.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <climits>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <tuple>
#include <vector>

#include "api/databases.h"
#include "api/hit_tables.h"
#include "api/search.h"
#include "base/error.h"
#include "base/message_text.h"
#include "builds/builds.h"
#include "interruptible.h"
#include "output/output_formats.h"
#include "python_records.h"
#include "staging/build_error.h"

namespace nb = nanobind;
using namespace nb::literals;

namespace brisel::python {

namespace {

// ---- Faults and texts ------------------------------------------------------

// Raises `message` as an exception of `type`, with `error` as its errno
// attribute; str() of it is the message alone.
void SetError(PyObject* type, const std::string& message, int error) {
  const nb::object exception = nb::steal(PyObject_CallFunction(type, "s", message.c_str()));
  if (!exception.is_valid()) return;
  if (error != 0) nb::setattr(exception, "errno", nb::int_(error));
  PyErr_SetObject(type, exception.ptr());
}

void TranslateError(const std::exception_ptr& exception, void*) {
  try {
    std::rethrow_exception(exception);
  } catch (const brisel::Error& error) {
    // A builder's messages are escaped already; the search's as it prints them.
    const std::string message = dynamic_cast<const BuildError*>(&error) != nullptr
                                    ? std::string(error.what())
                                    : EscapedText(error.what());
    switch (error.kind()) {
      case Error::Kind::kNotFound:
        SetError(PyExc_FileNotFoundError, message, ENOENT);
        break;
      case Error::Kind::kCannotMap:
      case Error::Kind::kOutput:
        SetError(PyExc_OSError, message, error.systemError());
        break;
      case Error::Kind::kDamaged:
      case Error::Kind::kUsage:
        SetError(PyExc_ValueError, message, 0);
        break;
      case Error::Kind::kCancelled:
        SetError(PyExc_KeyboardInterrupt, message, 0);
        break;
    }
  }
}

nb::str Text(std::string_view bytes) {
  return nb::steal<nb::str>(
      PyUnicode_DecodeUTF8(bytes.data(), static_cast<Py_ssize_t>(bytes.size()), "surrogateescape"));
}

std::string Utf8(nb::handle text) {
  if (PyBytes_Check(text.ptr())) return nb::cast<std::string>(nb::bytes(nb::borrow(text)));
  Py_ssize_t size = 0;
  const char* bytes = PyUnicode_AsUTF8AndSize(text.ptr(), &size);
  if (bytes == nullptr) throw nb::python_error();
  return {bytes, static_cast<std::size_t>(size)};
}

// The lines a build wrote to its message stream, without the program's name.
class MessageLines final : public OutputStream {
 public:
  bool Write(std::string_view bytes) override {
    text_ += bytes;
    return true;
  }
  std::vector<std::string> lines() const {
    std::vector<std::string> lines;
    std::string_view rest = text_;
    while (!rest.empty()) {
      const std::size_t end = rest.find('\n');
      std::string_view line = rest.substr(0, end);
      if (line.starts_with("brisel-makedb: ")) line.remove_prefix(15);
      lines.emplace_back(line);
      rest.remove_prefix(end == std::string_view::npos ? rest.size() : end + 1);
    }
    return lines;
  }

 private:
  std::string text_;
};

// An OutputStream that calls a Python `write(bytes)`, taking the GIL for each
// piece; a Python error fails the stream and waits in `errors`.
class PythonWriter final : public OutputStream {
 public:
  PythonWriter(nb::handle write, PythonErrorSlot& errors)
      : write_(nb::borrow(write)), errors_(errors) {}
  ~PythonWriter() override {
    nb::gil_scoped_acquire gil;
    write_.reset();
  }

  bool Write(std::string_view bytes) override {
    if (failed()) return false;
    nb::gil_scoped_acquire gil;
    try {
      // A raw file may take fewer bytes than it is given.
      while (!bytes.empty()) {
        const nb::object written = write_(nb::bytes(bytes.data(), bytes.size()));
        std::size_t count = bytes.size();
        if (nb::isinstance<nb::int_>(written)) count = nb::cast<std::size_t>(written);
        bytes.remove_prefix(std::min(count, bytes.size()));
        if (count == 0) throw nb::python_error();
      }
    } catch (nb::python_error& error) {
      errors_.Keep(std::move(error));
      Fail(EIO);
      return false;
    }
    return true;
  }

 private:
  nb::object write_;
  PythonErrorSlot& errors_;
};

OutputFormat FormatNamed(const std::string& name) {
  const std::optional<OutputFormat> format = ParseOutputFormat(name);
  if (!format) {
    throw nb::value_error(
        ("unknown output format '" + name + "' (format takes " + OutputFormatNames(" or ") + ")")
            .c_str());
  }
  return *format;
}

// ---- Databases -------------------------------------------------------------

// A sequence database that can be closed.
class Sequences {
 public:
  explicit Sequences(SequenceDatabase database) : database_(std::move(database)) {}
  const SequenceDatabase& get() const {
    if (!database_) throw nb::value_error("the sequence database is closed");
    return *database_;
  }
  bool closed() const { return !database_; }
  void Close() { database_.reset(); }

 private:
  std::optional<SequenceDatabase> database_;
};

std::uint32_t Index(std::int64_t i, std::uint32_t size, const char* what) {
  if (i < 0) i += size;
  if (i < 0 || i >= size)
    throw nb::index_error((std::string(what) + " index out of range").c_str());
  return static_cast<std::uint32_t>(i);
}

template <typename T>
nb::ndarray<nb::numpy, const T, nb::ndim<1>> ArrayView(const T* data, std::size_t size,
                                                       nb::handle owner) {
  static const T kNothing{};
  return nb::ndarray<nb::numpy, const T, nb::ndim<1>>(size == 0 ? &kNothing : data, {size}, owner);
}

using MotifBuildResult = std::pair<MotifDatabase, std::vector<std::string>>;

MotifBuildResult BuildMotifs(const std::function<MotifDatabase(const MotifBuildOptions&)>& build,
                             bool keepOrder) {
  MessageLines messages;
  MotifBuildOptions options;
  options.keepOrder = keepOrder;
  options.messages = &messages;
  std::optional<MotifDatabase> database;
  {
    nb::gil_scoped_release released;
    database = build(options);
  }
  return {std::move(*database), messages.lines()};
}

MotifBuildResult BuildMotifsFromFile(const std::string& path, std::optional<std::string> root,
                                     bool keepOrder) {
  return BuildMotifs(
      [&](const MotifBuildOptions& options) {
        if (!root) return BuildMotifDatabaseInMemory(path, options);
        BuildMotifDatabase(path, *root, options);
        return MotifDatabase::Open(*root);
      },
      keepOrder);
}

MotifBuildResult BuildMotifsFromEntries(nb::typed<nb::iterable, nb::object> entries,
                                        std::optional<std::string> root, bool keepOrder) {
  std::vector<PatternEntry> held;
  for (nb::handle entry : entries) {
    if (PyUnicode_Check(entry.ptr()) || PyBytes_Check(entry.ptr())) {
      held.push_back({Utf8(entry), {}});
    } else {
      const nb::sequence pair = nb::borrow<nb::sequence>(entry);
      if (nb::len(pair) != 2) {
        throw nb::type_error("a pattern is a str or a (pattern, record) pair");
      }
      const nb::object record = pair[1];
      held.push_back({Utf8(pair[0]), record.is_none() ? std::string() : Utf8(record)});
    }
  }
  return BuildMotifs(
      [&](const MotifBuildOptions& options) {
        if (!root) return BuildMotifDatabaseInMemory(held, "<patterns>", options);
        BuildMotifDatabase(held, "<patterns>", *root, options);
        return MotifDatabase::Open(*root);
      },
      keepOrder);
}

using SequenceBuildResult = std::tuple<std::uint64_t, std::uint64_t, std::uint64_t>;

SequenceBuildOptions SequenceOptions(std::uint64_t shards, std::uint64_t shardSize) {
  SequenceBuildOptions options;
  options.shards = shards;
  options.shardSize = shardSize;
  return options;
}

SequenceBuildResult BuildSequencesFromFile(const std::string& path, const std::string& root,
                                           std::uint64_t shards, std::uint64_t shardSize) {
  SequenceBuild built;
  {
    nb::gil_scoped_release released;
    built = BuildSequenceDatabase(path, root, SequenceOptions(shards, shardSize));
  }
  return {built.sequences, built.residues, built.shards};
}

// `sequences` is iterated once, twice when sharded.
SequenceBuildResult BuildSequencesFromObjects(nb::object sequences, const std::string& root,
                                              std::uint64_t shards, std::uint64_t shardSize) {
  PythonErrorSlot errors;
  SequenceBuild built;
  try {
    nb::gil_scoped_release released;
    built = BuildSequenceDatabase(
        [&]() -> std::unique_ptr<RecordSource> {
          nb::gil_scoped_acquire gil;
          return std::make_unique<ThrowingRecords>(sequences, errors);
        },
        "<sequences>", root, SequenceOptions(shards, shardSize));
  } catch (const ReadFailed&) {
    errors.RaiseIfHeld();
    throw;
  }
  return {built.sequences, built.residues, built.shards};
}

// ---- Hits --------------------------------------------------------------------

struct Hits {
  HitTable table;
  MotifDatabase motifs;
  std::optional<SequenceDatabase> sequences;  // an indexed search's

  // The name of hit i's sequence as the search saw it, and how.
  std::pair<std::string_view, NameKind> RawName(std::size_t i) const {
    if (sequences) {
      return {sequences->Name(static_cast<std::uint32_t>(table.sequence[i])), NameKind::kDatabase};
    }
    const std::string_view name = table.Name(i);
    return {name, name.empty() ? NameKind::kNone : NameKind::kFastaLine};
  }
  std::string_view Name(std::size_t i) const {
    const auto [name, kind] = RawName(i);
    return PlainName(name, kind);
  }
  std::string_view Segment(std::size_t i) const {
    if (!sequences) return table.Segment(i);
    const std::string_view residues =
        sequences->Residues(static_cast<std::uint32_t>(table.sequence[i]));
    return residues.substr(table.start[i] - 1, table.end[i] - table.start[i] + 1);
  }
  std::size_t Checked(std::int64_t i) const {
    if (i < 0) i += static_cast<std::int64_t>(table.size());
    if (i < 0 || static_cast<std::size_t>(i) >= table.size())
      throw nb::index_error("hit index out of range");
    return static_cast<std::size_t>(i);
  }

  void Write(OutputStream& out, const std::string& format, bool header) const {
    const OutputFormat chosen = FormatNamed(format);
    nb::gil_scoped_release released;
    WriteHitTable(table, motifs, sequences ? &*sequences : nullptr, chosen, header, out);
  }
};

// One str per run of a value: the names of one sequence's hits share one.
using TextList = nb::typed<nb::list, nb::str>;

template <typename Key, typename Make>
TextList SharedTexts(std::size_t size, Key key, Make make) {
  TextList texts;
  nb::object last;
  std::optional<decltype(key(0))> lastKey;
  for (std::size_t i = 0; i < size; ++i) {
    if (!lastKey || key(i) != *lastKey) {
      lastKey = key(i);
      last = make(i);
    }
    texts.append(last);
  }
  return texts;
}

// A whole number of Python (an int, or anything with __index__ but a bool),
// saturated to 64 bits; a TypeError naming the argument for anything else.
std::int64_t WholeNumber(nb::handle value, const char* argument, const char* takes) {
  if (PyBool_Check(value.ptr()) || !PyIndex_Check(value.ptr())) {
    throw nb::type_error((std::string(argument) + " takes " + takes + ", not " +
                          nb::cast<std::string>(nb::repr(value)))
                             .c_str());
  }
  const nb::object index = nb::steal(PyNumber_Index(value.ptr()));
  if (!index.is_valid()) throw nb::python_error();
  int overflow = 0;
  const long long number = PyLong_AsLongLongAndOverflow(index.ptr(), &overflow);
  if (overflow != 0) return overflow > 0 ? INT64_MAX : INT64_MIN;
  return number;
}

// The options of a search from its Python arguments: `cutoff` an int, N of
// 10^N; `threads` an int, or None for every CPU. The values are checked as
// the programs check them.
SearchOptions OptionsOf(nb::handle cutoff, nb::handle threads, const std::atomic<bool>* cancel) {
  SearchOptions options;
  options.cutoffExpectation = CutoffFromExponent(
      ClampedCutoffExponent(WholeNumber(cutoff, "cutoff", "the whole-number exponent N of 10^N")));
  if (!threads.is_none()) {
    options.threads = CheckedThreadCount(WholeNumber(threads, "threads", "an int or None"),
                                         nb::cast<std::string>(nb::repr(threads)), "threads");
  }
  options.cancel = cancel;
  return options;
}

SearchOutput RecordsTo(OutputStream& hits, bool texts) {
  SearchOutput output{hits};
  output.records = true;
  output.recordTexts = texts;
  return output;
}

Hits SearchDatabasePy(const MotifDatabase& motifs, const Sequences& sequences, nb::handle cutoff,
                      nb::handle threads) {
  // A copy: another thread may close `sequences` while this one searches.
  const SequenceDatabase database = sequences.get();
  std::atomic<bool> cancel{false};
  const SearchOptions options = OptionsOf(cutoff, threads, &cancel);
  HitTableStream stream(false);
  RunInterruptible([&] { SearchDatabase(motifs, database, options, RecordsTo(stream, false)); },
                   cancel);
  return {std::move(stream.table()), motifs, database};
}

Hits ScanPy(const MotifDatabase& motifs, nb::object sequences, nb::handle cutoff,
            nb::handle threads) {
  std::atomic<bool> cancel{false};
  const SearchOptions options = OptionsOf(cutoff, threads, &cancel);
  PythonErrorSlot errors;
  HitTableStream stream(true);
  {
    PythonRecords source(sequences, errors);
    RunInterruptible([&] { ScanRecords(motifs, source, options, RecordsTo(stream, true)); },
                     cancel);
  }
  errors.RaiseIfHeld();
  return {std::move(stream.table()), motifs, std::nullopt};
}

// The options of a translated search from its Python arguments, each None
// for its default: `table` an int, `frames` a str ("all", "1,-2") or an
// iterable of ints, `minLength` an int. Checked as the program checks them.
TranslationOptions TranslationOf(nb::handle table, nb::handle frames, nb::handle minLength) {
  TranslationOptions translation;
  if (!table.is_none()) {
    translation.table = CheckedGeneticCode(
        std::to_string(WholeNumber(table, "table", "an int (an NCBI genetic code)")), "table");
  }
  if (!frames.is_none()) {
    std::string word;
    if (PyUnicode_Check(frames.ptr())) {
      word = Utf8(frames);
    } else {
      for (nb::handle frame : nb::iter(frames)) {
        if (!word.empty()) word += ',';
        word += std::to_string(WholeNumber(frame, "frames", "a str or ints from -3 to 3"));
      }
    }
    translation.frames = CheckedFrames(word, "frames");
  }
  if (!minLength.is_none()) {
    const std::int64_t length = WholeNumber(minLength, "min_length", "an int");
    translation.minLength = CheckedMinLength(length, std::to_string(length), "min_length");
  }
  return translation;
}

// The translated search of `sequences`: the path of a nucleotide FASTA file
// (a str), or Python sequences (`records`, read from the search's threads).
void SearchTranslated(const MotifDatabase& motifs, const std::optional<std::string>& path,
                      PythonRecords* records, const TranslationOptions& translation,
                      const SearchOptions& options, OutputStream& hits) {
  if (path) {
    SearchTranslatedFile(motifs, *path, translation, options, RecordsTo(hits, true));
  } else {
    SearchTranslatedSequences(motifs, *records, translation, options, RecordsTo(hits, true));
  }
}

std::optional<std::string> PathOf(nb::handle sequences) {
  if (!PyUnicode_Check(sequences.ptr())) return std::nullopt;
  return Utf8(sequences);
}

Hits SearchTranslatedPy(const MotifDatabase& motifs, nb::object sequences, nb::handle cutoff,
                        nb::handle threads, nb::handle table, nb::handle frames,
                        nb::handle minLength) {
  std::atomic<bool> cancel{false};
  const SearchOptions options = OptionsOf(cutoff, threads, &cancel);
  const TranslationOptions translation = TranslationOf(table, frames, minLength);
  const std::optional<std::string> path = PathOf(sequences);
  PythonErrorSlot errors;
  HitTableStream stream(true, true);
  {
    std::unique_ptr<PythonRecords> records;
    if (!path) records = std::make_unique<PythonRecords>(sequences, errors);
    try {
      RunInterruptible(
          [&] { SearchTranslated(motifs, path, records.get(), translation, options, stream); },
          cancel);
    } catch (const Error&) {
      errors.RaiseIfHeld();
      throw;
    }
  }
  errors.RaiseIfHeld();
  return {std::move(stream.table()), motifs, std::nullopt};
}

// A search taken a chunk at a time, and what it reads from. The search's
// thread may wait for the GIL (a scan reads Python objects), so the search is
// stopped without it.
class HitChunks {
 public:
  // The most chunks that wait for the caller.
  static constexpr std::size_t kQueuedChunks = 2;

  // Of an indexed search.
  HitChunks(const MotifDatabase& motifs, const Sequences& sequences, nb::handle cutoff,
            nb::handle threads, std::size_t chunkHits)
      : motifs_(motifs), sequences_(sequences.get()) {
    const SearchOptions options = OptionsOf(cutoff, threads, nullptr);
    search_ = std::make_unique<ChunkedSearch>(
        false, chunkHits, kQueuedChunks,
        [motifs = motifs_, sequences = *sequences_, options](OutputStream& hits,
                                                             const std::atomic<bool>& cancel) {
          SearchOptions cancellable = options;
          cancellable.cancel = &cancel;
          SearchDatabase(motifs, sequences, cancellable, RecordsTo(hits, false));
        });
  }
  // Of a scan search.
  HitChunks(const MotifDatabase& motifs, nb::object sequences, nb::handle cutoff,
            nb::handle threads, std::size_t chunkHits)
      : motifs_(motifs), source_(std::make_unique<PythonRecords>(sequences, errors_)) {
    const SearchOptions options = OptionsOf(cutoff, threads, nullptr);
    search_ = std::make_unique<ChunkedSearch>(
        true, chunkHits, kQueuedChunks,
        [motifs = motifs_, source = source_.get(), options](OutputStream& hits,
                                                            const std::atomic<bool>& cancel) {
          SearchOptions cancellable = options;
          cancellable.cancel = &cancel;
          ScanRecords(motifs, *source, cancellable, RecordsTo(hits, true));
        });
  }
  // Of a translated search.
  HitChunks(const MotifDatabase& motifs, nb::object sequences, nb::handle cutoff,
            nb::handle threads, std::size_t chunkHits, const TranslationOptions& translation)
      : motifs_(motifs) {
    const SearchOptions options = OptionsOf(cutoff, threads, nullptr);
    const std::optional<std::string> path = PathOf(sequences);
    if (!path) source_ = std::make_unique<PythonRecords>(sequences, errors_);
    search_ = std::make_unique<ChunkedSearch>(
        true, chunkHits, kQueuedChunks,
        [motifs = motifs_, path, source = source_.get(), options, translation](
            OutputStream& hits, const std::atomic<bool>& cancel) {
          SearchOptions cancellable = options;
          cancellable.cancel = &cancel;
          SearchTranslated(motifs, path, source, translation, cancellable, hits);
        },
        true);
  }
  ~HitChunks() { Close(); }

  // The next chunk; nothing after the last. Ctrl-C stops the search.
  std::optional<Hits> Next() {
    if (!search_) return std::nullopt;
    HitTable chunk;
    ChunkedSearch::Taken taken = ChunkedSearch::Taken::kPending;
    try {
      WaitInterruptibly([&](std::chrono::milliseconds wait) {
        taken = search_->Next(chunk, wait);
        return taken != ChunkedSearch::Taken::kPending;
      });
    } catch (...) {
      Close();
      errors_.RaiseIfHeld();
      throw;
    }
    if (taken == ChunkedSearch::Taken::kEnded) {
      Close();
      errors_.RaiseIfHeld();
      return std::nullopt;
    }
    return Hits{std::move(chunk), motifs_, sequences_};
  }

  // Stops the search (called with the GIL held).
  void Close() {
    if (search_) {
      nb::gil_scoped_release released;
      search_.reset();
    }
    source_.reset();
  }

 private:
  MotifDatabase motifs_;
  std::optional<SequenceDatabase> sequences_;
  PythonErrorSlot errors_;
  std::unique_ptr<PythonRecords> source_;
  std::unique_ptr<ChunkedSearch> search_;
};

}  // namespace

}  // namespace brisel::python

using namespace brisel;
using namespace brisel::python;

NB_MODULE(_brisel, m) {
  m.doc() = "The C++ core of the brisel package; use the names of brisel itself.";
  m.attr("version") = BRISEL_VERSION;
  // The interpreter owns the signals: SIGINT is KeyboardInterrupt, SIGPIPE
  // ignored. Builds must not take them over.
  LeaveSignalsAlone();
  nb::register_exception_translator(TranslateError);

  m.attr("default_cutoff_exponent") = kDefaultCutoffExponent;
  m.def("available_cpus", &AvailableCpuCount,
        "The CPUs this process may run on: the thread count of a search by default.");

  nb::class_<MotifDatabase>(m, "MotifDatabase", "A motif database, mapped or held in memory.")
      .def_static(
          "open",
          [](const std::string& root) {
            nb::gil_scoped_release released;
            return MotifDatabase::Open(root);
          },
          "root"_a, "Maps and checks the motif database at `root`.")
      .def_static("build_file", &BuildMotifsFromFile, "path"_a, "root"_a.none(), "keep_order"_a,
                  "Builds from a PROSITE data file or pattern list; returns the database and "
                  "the warnings.")
      .def_static("build_entries", &BuildMotifsFromEntries, "entries"_a, "root"_a.none(),
                  "keep_order"_a,
                  "Builds from patterns or (pattern, record) pairs; returns the database and "
                  "the warnings.")
      .def("__len__", &MotifDatabase::size, "The number of motifs.")
      .def_prop_ro(
          "root",
          [](const MotifDatabase& self) -> std::optional<std::string> {
            if (self.rootPath().empty()) return std::nullopt;
            return self.rootPath();
          },
          "The root path, or None for a database in memory.")
      .def(
          "record",
          [](const MotifDatabase& self, std::int64_t m) {
            return Text(self.Record(Index(m, self.size(), "motif")));
          },
          "m"_a, "The record of motif m.")
      .def(
          "width",
          [](const MotifDatabase& self, std::int64_t m) {
            return self.Width(Index(m, self.size(), "motif"));
          },
          "m"_a, "The width of motif m.")
      .def_prop_ro(
          "specificities",
          [](nb::handle_t<MotifDatabase> self) {
            const MotifDatabase& database = nb::cast<const MotifDatabase&>(self);
            return ArrayView(database.blocks().specificities, database.size(), self);
          },
          "The specificity of every motif, a read-only view of the database.");

  nb::class_<Sequences>(m, "SequenceDatabase", "A mapped sequence database.")
      .def_static(
          "open",
          [](const std::string& root) {
            nb::gil_scoped_release released;
            return Sequences(SequenceDatabase::Open(root));
          },
          "root"_a, "Maps and checks the sequence database at `root`.")
      .def_static("build_file", &BuildSequencesFromFile, "path"_a, "root"_a, "shards"_a,
                  "shard_size"_a,
                  "Builds from FASTA; returns the counts of sequences, residues and shards.")
      .def_static("build_objects", &BuildSequencesFromObjects, "sequences"_a, "root"_a, "shards"_a,
                  "shard_size"_a,
                  "Builds from Python sequences; returns the counts of sequences, residues "
                  "and shards.")
      .def("__len__", [](const Sequences& self) { return self.get().size(); })
      .def_prop_ro("root", [](const Sequences& self) { return self.get().rootPath(); })
      .def_prop_ro("closed", &Sequences::closed)
      .def("close", &Sequences::Close, "Releases the mapping.")
      .def(
          "name",
          [](const Sequences& self, std::int64_t s) {
            const SequenceDatabase& database = self.get();
            return Text(database.Name(Index(s, database.size(), "sequence")));
          },
          "s"_a)
      .def(
          "residues",
          [](const Sequences& self, std::int64_t s) {
            const SequenceDatabase& database = self.get();
            return Text(database.Residues(Index(s, database.size(), "sequence")));
          },
          "s"_a);

  nb::class_<Hits>(m, "HitTable", "The hits of a search, as columns.")
      .def("__len__", [](const Hits& self) { return self.table.size(); })
      .def_prop_ro("sequence",
                   [](nb::handle_t<Hits> self) {
                     const HitTable& t = nb::cast<const Hits&>(self).table;
                     return ArrayView(reinterpret_cast<const std::int64_t*>(t.sequence.data()),
                                      t.size(), self);
                   })
      .def_prop_ro("motif",
                   [](nb::handle_t<Hits> self) {
                     const HitTable& t = nb::cast<const Hits&>(self).table;
                     return ArrayView(t.motif.data(), t.size(), self);
                   })
      .def_prop_ro("start",
                   [](nb::handle_t<Hits> self) {
                     const HitTable& t = nb::cast<const Hits&>(self).table;
                     return ArrayView(reinterpret_cast<const std::int64_t*>(t.start.data()),
                                      t.size(), self);
                   })
      .def_prop_ro("end",
                   [](nb::handle_t<Hits> self) {
                     const HitTable& t = nb::cast<const Hits&>(self).table;
                     return ArrayView(reinterpret_cast<const std::int64_t*>(t.end.data()), t.size(),
                                      self);
                   })
      .def_prop_ro("expectation",
                   [](nb::handle_t<Hits> self) {
                     const HitTable& t = nb::cast<const Hits&>(self).table;
                     return ArrayView(t.expectation.data(), t.size(), self);
                   })
      .def_prop_ro("translated", [](const Hits& self) { return self.table.translated(); })
      .def_prop_ro("frame",
                   [](nb::handle_t<Hits> self) {
                     const HitTable& t = nb::cast<const Hits&>(self).table;
                     return ArrayView(t.frame.data(), t.frame.size(), self);
                   })
      .def_prop_ro("p_no_random_hit",
                   [](nb::handle_t<Hits> self) {
                     const HitTable& t = nb::cast<const Hits&>(self).table;
                     return ArrayView(t.probability.data(), t.size(), self);
                   })
      .def("name",
           [](const Hits& self, std::int64_t i) { return Text(self.Name(self.Checked(i))); })
      .def("segment",
           [](const Hits& self, std::int64_t i) { return Text(self.Segment(self.Checked(i))); })
      .def("names",
           [](const Hits& self) {
             return SharedTexts(
                 self.table.size(), [&](std::size_t i) { return self.table.sequence[i]; },
                 [&](std::size_t i) { return Text(self.Name(i)); });
           })
      .def("records",
           [](const Hits& self) {
             return SharedTexts(
                 self.table.size(), [&](std::size_t i) { return self.table.motif[i]; },
                 [&](std::size_t i) { return Text(self.motifs.Record(self.table.motif[i])); });
           })
      .def("segments",
           [](const Hits& self) {
             TextList segments;
             for (std::size_t i = 0; i < self.table.size(); ++i)
               segments.append(Text(self.Segment(i)));
             return segments;
           })
      .def(
          "write",
          [](const Hits& self, nb::handle write, const std::string& format, bool header) {
            PythonErrorSlot errors;
            try {
              PythonWriter out(write, errors);
              self.Write(out, format, header);
            } catch (const Error&) {
              errors.RaiseIfHeld();
              throw;
            }
          },
          "write"_a, "format"_a, "header"_a)
      .def(
          "to_bytes",
          [](const Hits& self, const std::string& format, bool header) {
            StringStream out;
            self.Write(out, format, header);
            return nb::bytes(out.text().data(), out.text().size());
          },
          "format"_a, "header"_a);

  m.def("search_database", &SearchDatabasePy, "motifs"_a, "sequences"_a, "cutoff"_a,
        "threads"_a.none(), "The indexed search of a sequence database.");
  m.def("scan", &ScanPy, "motifs"_a, "sequences"_a, "cutoff"_a, "threads"_a.none(),
        "The scan search of Python sequences.");
  m.def("search_translated", &SearchTranslatedPy, "motifs"_a, "sequences"_a, "cutoff"_a,
        "threads"_a.none(), "table"_a.none(), "frames"_a.none(), "min_length"_a.none(),
        "The translated search of a nucleotide FASTA file (a path) or of Python sequences.");

  nb::class_<HitChunks>(m, "HitChunks", "A streamed search: its hits a table at a time.")
      .def(nb::init<const MotifDatabase&, const Sequences&, nb::handle, nb::handle, std::size_t>(),
           "motifs"_a, "sequences"_a, "cutoff"_a, "threads"_a.none(), "chunk_hits"_a)
      .def(nb::init<const MotifDatabase&, nb::object, nb::handle, nb::handle, std::size_t>(),
           "motifs"_a, "sequences"_a, "cutoff"_a, "threads"_a.none(), "chunk_hits"_a)
      .def(
          "__init__",
          [](HitChunks* self, const MotifDatabase& motifs, nb::object sequences, nb::handle cutoff,
             nb::handle threads, std::size_t chunkHits, nb::handle table, nb::handle frames,
             nb::handle minLength) {
            new (self) HitChunks(motifs, std::move(sequences), cutoff, threads, chunkHits,
                                 TranslationOf(table, frames, minLength));
          },
          "motifs"_a, "sequences"_a, "cutoff"_a, "threads"_a.none(), "chunk_hits"_a,
          "table"_a.none(), "frames"_a.none(), "min_length"_a.none(),
          "A translated search (a nucleotide FASTA file's path, or Python sequences).")
      .def(
          "__iter__", [](nb::handle self) { return nb::borrow(self); },
          nb::sig("def __iter__(self) -> HitChunks"))
      .def("__next__",
           [](HitChunks& self) {
             std::optional<Hits> chunk = self.Next();
             if (!chunk) throw nb::stop_iteration();
             return std::move(*chunk);
           })
      .def("close", &HitChunks::Close, "Stops the search.");
}
