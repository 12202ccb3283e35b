// SPDX-License-Identifier: MIT
// module.cpp: brisel._brisel, the library API as Python objects.
//
// The extension module under the brisel package (src/python/brisel/), which
// gives the public names their Python shape. Everything here calls the
// library API (api/databases.h, api/search.h, api/hit_tables.h,
// brisel-makedb's api/builds.h): no search, build or format of its own.
//
// - Faults: brisel::Error becomes the package's exception of its kind with
//   the message the programs print and the place as attributes
//   (python_errors.h); a wrong argument type is a TypeError naming the
//   argument. Nothing is printed, nothing exits.
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
#include "api/search_reports.h"
#include "base/error.h"
#include "builds/builds.h"
#include "interruptible.h"
#include "output/output_formats.h"
#include "python_errors.h"
#include "python_records.h"

namespace nb = nanobind;
using namespace nb::literals;

namespace brisel::python {

namespace {

// ---- Faults and texts ------------------------------------------------------

void TranslateError(const std::exception_ptr& exception, void*) {
  try {
    std::rethrow_exception(exception);
  } catch (const brisel::Error& error) {
    SetPythonError(error);
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
    throw Error(Error::Kind::kUsage, "unknown output format '" + name + "' (format takes " +
                                         OutputFormatNames(" or ") + ")");
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

std::uint64_t Index(std::int64_t i, std::uint64_t size, const char* what) {
  if (i < 0) i += static_cast<std::int64_t>(size);
  if (i < 0 || static_cast<std::uint64_t>(i) >= size)
    throw nb::index_error((std::string(what) + " index out of range").c_str());
  return static_cast<std::uint64_t>(i);
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
  const auto text = [](nb::handle value) {
    return PyUnicode_Check(value.ptr()) || PyBytes_Check(value.ptr());
  };
  for (nb::handle entry : entries) {
    if (text(entry)) {
      held.push_back({Utf8(entry), {}});
      continue;
    }
    const bool pair = (PyTuple_Check(entry.ptr()) || PyList_Check(entry.ptr())) &&
                      PySequence_Size(entry.ptr()) == 2;
    const nb::object pattern = pair ? nb::object(entry[0]) : nb::object();
    const nb::object record = pair ? nb::object(entry[1]) : nb::object();
    if (!pair || !text(pattern) || !(record.is_none() || text(record))) {
      throw nb::type_error(("source: pattern " + std::to_string(held.size() + 1) +
                            " is a str or a (pattern, record) pair of str, not " +
                            nb::cast<std::string>(nb::repr(entry)))
                               .c_str());
    }
    held.push_back({Utf8(pattern), record.is_none() ? std::string() : Utf8(record)});
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

  // The HTML report of the hits within `limits` (api/search_reports.h), the
  // page of brisel-search --report: written to `path` when given, else
  // returned. Lengths come from the sequence database; a scan's are unknown.
  // `searched` counts the sequences searched (none: not known, a chunk of a
  // streamed search); `cutoff` is N of the search's cut-off.
  std::string Report(const std::optional<std::string>& path, std::optional<std::uint64_t> searched,
                     std::optional<std::int32_t> cutoff, const ReportLimits& limits) const {
    nb::gil_scoped_release released;
    ReportCollector collector(limits);
    CollectHitTable(table, motifs, sequences ? &*sequences : nullptr, searched.value_or(0),
                    collector);
    const std::vector<std::string> inputs = {
        "motifs: " + (motifs.rootPath().empty() ? std::string("held in memory")
                                                : motifs.rootPath() + " (motif database)"),
        "sequences: " + (sequences ? sequences->rootPath() + " (sequence database)"
                                   : std::string("Python sequences"))};
    std::vector<std::string> options = {sequences ? "indexed search" : "scan search"};
    if (cutoff) options.push_back("cutoff=" + std::to_string(*cutoff));
    if (!searched) options.emplace_back("one chunk of search_chunks: its sequences with hits");
    const std::vector<std::string_view> inputViews(inputs.begin(), inputs.end());
    const std::vector<std::string_view> optionViews(options.begin(), options.end());
    ReportContext context;
    context.program = "brisel (Python)";
    context.nucleotides = table.translated();
    context.version = BRISEL_VERSION;
    context.inputs = inputViews;
    context.options = optionViews;
    const ReportMotifs shown = ReportMotifsOf(motifs);
    collector.RenumberMotifs(shown.of);
    if (!path) return RenderReport(collector, shown.shown, context);
    ReportFile file(*path);
    file.Commit(collector, shown.shown, context);
    return {};
  }

  // The hits of `rows`, in that order, of the same search.
  template <typename Rows>
  Hits Gathered(std::size_t count, Rows rows) const {
    HitTable gathered;
    gathered.Clear(table.hasTexts(), table.translated());
    for (std::size_t k = 0; k < count; ++k)
      gathered.AppendFrom(table, rows(k));
    return {std::move(gathered), motifs, sequences};
  }
};

// The hits of several searches or pieces of them as one table: part k's
// sequence numbers raised by offsets[k]; with `texts`, names and segments
// taken from each part's sequence database where it has no texts.
Hits JoinedHits(const nb::typed<nb::list, Hits>& parts, const std::vector<std::uint64_t>& offsets,
                bool texts) {
  if (parts.size() == 0 || offsets.size() != parts.size()) {
    throw nb::value_error("join takes one offset per part, and at least one part");
  }
  const Hits& first = nb::cast<const Hits&>(parts[0]);
  std::vector<const Hits*> held;
  for (nb::handle part : parts)
    held.push_back(&nb::cast<const Hits&>(part));
  for (const Hits* part : held) {
    if (part->table.translated() != first.table.translated()) {
      throw Error(Error::Kind::kUsage,
                  "join takes the hits of translated searches, or of "
                  "protein searches, not both");
    }
  }
  HitTable joined;
  joined.Clear(texts, first.table.translated());
  {
    nb::gil_scoped_release released;
    for (std::size_t k = 0; k < held.size(); ++k) {
      const Hits& part = *held[k];
      if (texts && !part.table.hasTexts()) {
        if (!part.sequences) throw Error(Error::Kind::kDamaged, "the hits have no texts");
        const HitTable withTexts = WithTexts(part.table, *part.sequences);
        for (std::size_t i = 0; i < withTexts.size(); ++i)
          joined.AppendFrom(withTexts, i, offsets[k]);
      } else {
        for (std::size_t i = 0; i < part.table.size(); ++i)
          joined.AppendFrom(part.table, i, offsets[k]);
      }
    }
  }
  return {std::move(joined), first.motifs, texts ? std::nullopt : first.sequences};
}

nb::bytes SavedHits(const Hits& hits) {
  const std::size_t size = hits.table.SavedSize();
  nb::object bytes = nb::steal(PyBytes_FromStringAndSize(nullptr, static_cast<Py_ssize_t>(size)));
  if (!bytes.is_valid()) throw nb::python_error();
  char* out = PyBytes_AS_STRING(bytes.ptr());
  {
    nb::gil_scoped_release released;
    hits.table.Save(out);
  }
  return nb::borrow<nb::bytes>(bytes);
}

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

// A chunk size of at least 1 hit.
std::size_t ChunkHits(nb::handle chunkSize) {
  const std::int64_t hits = WholeNumber(chunkSize, "chunk_size", "a positive int");
  if (hits < 1) {
    throw Error(Error::Kind::kUsage, "invalid chunk size '" + std::to_string(hits) +
                                         "' (chunk_size takes a positive integer)");
  }
  return static_cast<std::size_t>(hits);
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

// The hits, and the number of sequences searched.
std::pair<Hits, std::uint64_t> ScanPy(const MotifDatabase& motifs, nb::object sequences,
                                      nb::handle cutoff, nb::handle threads) {
  std::atomic<bool> cancel{false};
  const SearchOptions options = OptionsOf(cutoff, threads, &cancel);
  PythonErrorSlot errors;
  HitTableStream stream(true);
  std::uint64_t searched = 0;
  {
    PythonRecords source(sequences, errors);
    RunInterruptible([&] { ScanRecords(motifs, source, options, RecordsTo(stream, true)); },
                     cancel);
    searched = source.count();
  }
  errors.RaiseIfHeld();
  return {Hits{std::move(stream.table()), motifs, std::nullopt}, searched};
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
            nb::handle threads, nb::handle chunkSize)
      : motifs_(motifs), sequences_(sequences.get()) {
    const SearchOptions options = OptionsOf(cutoff, threads, nullptr);
    const std::size_t chunkHits = ChunkHits(chunkSize);
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
            nb::handle threads, nb::handle chunkSize)
      : motifs_(motifs) {
    const SearchOptions options = OptionsOf(cutoff, threads, nullptr);
    const std::size_t chunkHits = ChunkHits(chunkSize);
    source_ = std::make_unique<PythonRecords>(sequences, errors_);
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
            nb::handle threads, nb::handle chunkSize, const TranslationOptions& translation)
      : motifs_(motifs) {
    const SearchOptions options = OptionsOf(cutoff, threads, nullptr);
    const std::size_t chunkHits = ChunkHits(chunkSize);
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
            return Text(self.Record(static_cast<std::uint32_t>(Index(m, self.size(), "motif"))));
          },
          "m"_a, "The record of motif m.")
      .def(
          "width",
          [](const MotifDatabase& self, std::int64_t m) {
            return self.Width(static_cast<std::uint32_t>(Index(m, self.size(), "motif")));
          },
          "m"_a, "The width of motif m.")
      .def(
          "name",
          [](const MotifDatabase& self, std::int64_t m) {
            return Text(FirstWord(self.Record(Index(m, self.size(), "motif"))));
          },
          "m"_a, "The name of motif m: its record's first word, as GFF3's Name attribute.")
      .def(
          "save",
          [](const MotifDatabase& self) {
            const std::string bytes = self.Save();
            return nb::bytes(bytes.data(), bytes.size());
          },
          "The database's blocks as bytes.")
      .def_static(
          "load",
          [](nb::bytes bytes) {
            return MotifDatabase::Load(std::string_view(bytes.c_str(), bytes.size()));
          },
          "bytes"_a, "A database in memory from the bytes of save().")
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
          "root"_a,
          "Maps and checks the sequence database at `root`, or the shard set that `root` "
          "names (its manifest, or a root with a manifest and no database of its own).")
      .def_static("build_file", &BuildSequencesFromFile, "path"_a, "root"_a, "shards"_a,
                  "shard_size"_a,
                  "Builds from FASTA; returns the counts of sequences, residues and shards.")
      .def_static("build_objects", &BuildSequencesFromObjects, "sequences"_a, "root"_a, "shards"_a,
                  "shard_size"_a,
                  "Builds from Python sequences; returns the counts of sequences, residues "
                  "and shards.")
      .def("__len__", [](const Sequences& self) { return self.get().size(); })
      .def_prop_ro("root", [](const Sequences& self) { return self.get().rootPath(); })
      .def_prop_ro("shards", [](const Sequences& self) { return self.get().shardCount(); })
      .def_prop_ro("build_identity",
                   [](const Sequences& self) -> std::optional<std::string> {
                     const std::optional<std::uint64_t> build = self.get().build();
                     if (!build) return std::nullopt;
                     return BuildIdentityText(*build);
                   })
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
          "s"_a)
      .def(
          "first_words",
          [](const Sequences& self) {
            const SequenceDatabase& database = self.get();
            TextList words;
            for (std::uint32_t s = 0; s < database.size(); ++s)
              words.append(Text(FirstWord(database.Name(s))));
            return words;
          },
          "The first word of every sequence's name, as GFF3's seqid takes it.");

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
      .def_prop_ro(
          "motifs", [](const Hits& self) { return self.motifs; },
          "The motif database searched (a share of its own).")
      .def_prop_ro(
          "sequences",
          [](const Hits& self) -> std::optional<Sequences> {
            if (!self.sequences) return std::nullopt;
            return Sequences(*self.sequences);
          },
          "The sequence database of an indexed search (a share of its own), or None.")
      .def("record",
           [](const Hits& self, std::int64_t i) {
             return Text(self.motifs.Record(self.table.motif[self.Checked(i)]));
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
          "format"_a, "header"_a)
      .def(
          "report",
          [](const Hits& self, std::optional<std::string> path,
             std::optional<std::uint64_t> searched, std::optional<std::int32_t> cutoff,
             std::size_t sequences, std::size_t hitsPerSequence,
             std::size_t hits) -> std::optional<nb::str> {
            const std::string page =
                self.Report(path, searched, cutoff, {sequences, hitsPerSequence, hits});
            if (path) return std::nullopt;
            return Text(page);
          },
          "path"_a.none(), "searched"_a.none(), "cutoff"_a.none(),
          "sequences"_a = ReportLimits{}.sequences,
          "hits_per_sequence"_a = ReportLimits{}.hitsPerSequence, "hits"_a = ReportLimits{}.hits,
          "Writes the HTML report of the hits to `path`, all or nothing, or returns its page "
          "without a path; within the limits given (by default brisel-search --report's).")
      .def(
          "sequence_length",
          [](const Hits& self, std::int64_t s) -> std::optional<std::uint64_t> {
            if (!self.sequences) return std::nullopt;
            return self.sequences->Residues(Index(s, self.sequences->size(), "sequence")).size();
          },
          "s"_a, "The residues of sequence s of the database searched; None after a scan.")
      .def_prop_ro("has_texts", [](const Hits& self) { return self.table.hasTexts(); })
      .def(
          "slice",
          [](const Hits& self, std::int64_t start, std::int64_t step, std::int64_t count) {
            return self.Gathered(
                static_cast<std::size_t>(std::max<std::int64_t>(count, 0)), [&](std::size_t k) {
                  return static_cast<std::size_t>(start + step * static_cast<std::int64_t>(k));
                });
          },
          "start"_a, "step"_a, "count"_a, "The hits start, start + step, ... (count of them).")
      .def(
          "take",
          [](const Hits& self, nb::ndarray<const std::int64_t, nb::ndim<1>, nb::c_contig> rows) {
            const std::int64_t* at = rows.data();
            for (std::size_t k = 0; k < rows.shape(0); ++k) {
              if (at[k] < 0 || static_cast<std::size_t>(at[k]) >= self.table.size())
                throw nb::index_error("hit index out of range");
            }
            return self.Gathered(rows.shape(0),
                                 [&](std::size_t k) { return static_cast<std::size_t>(at[k]); });
          },
          "rows"_a, "The hits of the indexes `rows`, in that order.")
      .def("save", &SavedHits, "The table as bytes.")
      .def_static(
          "load",
          [](nb::bytes bytes, const MotifDatabase& motifs, const Sequences* sequences) {
            std::optional<SequenceDatabase> database;
            if (sequences != nullptr) database = sequences->get();
            const std::string_view saved(bytes.c_str(), bytes.size());
            HitTable table;
            {
              nb::gil_scoped_release released;
              table = HitTable::Load(saved);
              if (!table.hasTexts() && !database && table.size() > 0) {
                throw Error(Error::Kind::kDamaged,
                            "the saved hits have no texts and no sequence database");
              }
              CheckHitTable(table, &motifs, database ? &*database : nullptr);
            }
            return Hits{std::move(table), motifs, table.hasTexts() ? std::nullopt : database};
          },
          "bytes"_a, "motifs"_a, "sequences"_a.none(),
          "A table from the bytes of save(), checked against its databases.");
  m.def(
      "report_palette",
      [] { return std::vector<std::string>(kReportPalette.begin(), kReportPalette.end()); },
      "The colours of the report's motifs, in the order motifs take them (Okabe-Ito).");
  m.def("join", &JoinedHits, "parts"_a, "offsets"_a, "texts"_a,
        "The hits of the parts as one table, part k's sequence numbers raised by offsets[k].");

  m.def("search_database", &SearchDatabasePy, "motifs"_a, "sequences"_a, "cutoff"_a,
        "threads"_a.none(), "The indexed search of a sequence database.");
  m.def("scan", &ScanPy, "motifs"_a, "sequences"_a, "cutoff"_a, "threads"_a.none(),
        "The scan search of Python sequences.");
  m.def("search_translated", &SearchTranslatedPy, "motifs"_a, "sequences"_a, "cutoff"_a,
        "threads"_a.none(), "table"_a.none(), "frames"_a.none(), "min_length"_a.none(),
        "The translated search of a nucleotide FASTA file (a path) or of Python sequences.");

  nb::class_<HitChunks>(m, "HitChunks", "A streamed search: its hits a table at a time.")
      .def(nb::init<const MotifDatabase&, const Sequences&, nb::handle, nb::handle, nb::handle>(),
           "motifs"_a, "sequences"_a, "cutoff"_a, "threads"_a.none(), "chunk_size"_a)
      .def(nb::init<const MotifDatabase&, nb::object, nb::handle, nb::handle, nb::handle>(),
           "motifs"_a, "sequences"_a, "cutoff"_a, "threads"_a.none(), "chunk_size"_a)
      .def(
          "__init__",
          [](HitChunks* self, const MotifDatabase& motifs, nb::object sequences, nb::handle cutoff,
             nb::handle threads, nb::handle chunkSize, nb::handle table, nb::handle frames,
             nb::handle minLength) {
            new (self) HitChunks(motifs, std::move(sequences), cutoff, threads, chunkSize,
                                 TranslationOf(table, frames, minLength));
          },
          "motifs"_a, "sequences"_a, "cutoff"_a, "threads"_a.none(), "chunk_size"_a,
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
