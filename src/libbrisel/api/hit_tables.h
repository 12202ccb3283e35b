// SPDX-License-Identifier: MIT
// hit_tables.h: a search's hits held as columns of numbers, and written back
// as the text of any output format.
//
// Part of the library API, for front ends that keep hits in memory (the
// Python module). A HitTableStream is the hit stream of a search that writes
// HitRecords (search.h): it decodes them, piece by piece as the search writes
// them, into the columns of a HitTable, with the texts of each hit (its
// sequence's name and its segment) when the search writes them, as the scan
// search must, its sequences being gone once searched. It can hand the table
// over whenever it holds a chunk of hits, so that a front end may take the
// hits of a search of any size in bounded memory.
//
// ChunkedSearch runs a search on a thread of its own into such a stream and
// hands its tables to the caller one by one through a queue of a few: while
// the queue is full the search waits (its own buffers are bounded too,
// parallel_search.h), so the memory of a search taken a chunk at a time is
// bounded whatever its hit count.
//
// A stream that hands tables over never splits the hits of one sequence
// between two of them, so that the tables written one after the other (the
// first with its header) are byte for byte the search's output in every
// format: a table is handed over before the hit that would make it larger
// than `chunkHits`, with the hits of the sequence it was filling moved on to
// the next one; only a sequence with more hits than that gets a table that
// is larger, holding its hits alone.
//
// Tables are sliced, gathered and joined hit by hit (AppendFrom), saved as
// bytes and loaded again (for a front end that sends them to another
// process), given the texts of a sequence database (WithTexts, to join the
// hits of several databases) and checked against the databases they are
// written with (CheckHitTable).
//
// WriteHitTable writes a table in any output format through the output
// room's row writers: the bytes are those the search writes in that format,
// given the same motif database and, for an indexed search whose table has no
// texts, the same sequence database, from which the names and segments come.
//
// Ownership: a table owns its columns and texts. The writer only reads the
// table and the databases.
#ifndef BRISEL_API_HIT_TABLES_H
#define BRISEL_API_HIT_TABLES_H

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <exception>
#include <functional>
#include <mutex>
#include <new>
#include <string>
#include <string_view>
#include <thread>
#include <type_traits>
#include <utility>
#include <vector>

#include "api/databases.h"
#include "api/search.h"
#include "output/output_formats.h"
#include "output/output_streams.h"

namespace brisel {

// A column of numbers grown by realloc. A large column then grows in place or
// moves by remapping its pages, where a std::vector would copy it into fresh
// memory at every doubling (for millions of hits, twice the page faults of
// the final size). Moves only; owns its memory.
template <typename T>
class HitColumn {
  static_assert(std::is_trivially_copyable_v<T>);

 public:
  HitColumn() = default;
  HitColumn(const HitColumn&) = delete;
  HitColumn& operator=(const HitColumn&) = delete;
  HitColumn(HitColumn&& other) noexcept
      : data_(std::exchange(other.data_, nullptr)),
        size_(std::exchange(other.size_, 0)),
        capacity_(std::exchange(other.capacity_, 0)) {}
  HitColumn& operator=(HitColumn&& other) noexcept {
    if (this != &other) {
      std::free(data_);
      data_ = std::exchange(other.data_, nullptr);
      size_ = std::exchange(other.size_, 0);
      capacity_ = std::exchange(other.capacity_, 0);
    }
    return *this;
  }
  ~HitColumn() { std::free(data_); }

  std::size_t size() const { return size_; }
  bool empty() const { return size_ == 0; }
  const T* data() const { return data_; }
  const T& operator[](std::size_t i) const { return data_[i]; }
  const T& back() const { return data_[size_ - 1]; }

  void push_back(T value) {
    if (size_ == capacity_) Grow();
    data_[size_++] = value;
  }
  // Keeps the first `size` values (no more than it holds).
  void Truncate(std::size_t size) { size_ = std::min(size, size_); }
  // Appends `count` values from `values`, which need not be aligned.
  void Append(const void* values, std::size_t count) {
    while (capacity_ - size_ < count)
      Grow();
    if (count != 0) std::memcpy(data_ + size_, values, count * sizeof(T));
    size_ += count;
  }

 private:
  void Grow() {
    const std::size_t capacity = capacity_ == 0 ? 1024 : 2 * capacity_;
    void* grown = std::realloc(data_, capacity * sizeof(T));
    if (grown == nullptr) throw std::bad_alloc();
    data_ = static_cast<T*>(grown);
    capacity_ = capacity;
  }

  T* data_ = nullptr;
  std::size_t size_ = 0;
  std::size_t capacity_ = 0;
};

class HitTable {
 public:
  std::size_t size() const { return sequence.size(); }
  bool hasTexts() const { return texts_; }
  // The hits of a translated search: frame and recordLength have a value
  // per hit.
  bool translated() const { return translated_; }

  // The columns, one entry per hit, in the order of the hit lines.
  HitColumn<std::uint64_t> sequence;  // from 0, in the search's order
  HitColumn<std::uint32_t> motif;     // in motif database order
  HitColumn<std::uint64_t> start;     // 1-based
  HitColumn<std::uint64_t> end;       // inclusive
  HitColumn<double> expectation;
  HitColumn<double> probability;  // of no random hit
  // Of a translated search's hits (start and end are then bases of the
  // record's forward strand): the frame, +1 to +3 or -1 to -3, and the
  // record's length in bases.
  HitColumn<std::int8_t> frame;
  HitColumn<std::uint64_t> recordLength;

  // With texts: the name of hit i's sequence as a FASTA name line with its
  // '>' (empty for a raw sequence), and hit i's segment.
  std::string_view Name(std::size_t hit) const;
  std::string_view Segment(std::size_t hit) const {
    const std::uint64_t next =
        hit + 1 < segmentStarts_.size() ? segmentStarts_[hit + 1] : segments_.size();
    return std::string_view(segments_).substr(segmentStarts_[hit], next - segmentStarts_[hit]);
  }

  // The letters of hit i: its residues, or the codons of a translated hit.
  std::uint64_t Width(std::size_t hit) const {
    const std::uint64_t span = end[hit] - start[hit] + 1;
    return translated_ ? span / 3 : span;
  }

  // Appends one hit; with texts, `name` is taken when the hit opens a new run
  // of its sequence's hits in this table.
  void Append(const HitRecord& hit, std::string_view name, std::string_view segment);
  // Appends hit `hit` of `other`, its sequence number raised by
  // `sequenceOffset`, with its texts (which `other` must have if this table
  // has texts).
  void AppendFrom(const HitTable& other, std::size_t hit, std::uint64_t sequenceOffset = 0);
  // Keeps the first `size` hits.
  void Truncate(std::size_t size);

  // Leaves the table empty, with or without texts, of a translated search
  // or not.
  void Clear(bool texts, bool translated = false);

  // The table as bytes (its columns and texts in this machine's byte order)
  // and back: Save writes SavedSize() bytes to `out`; Load checks what it
  // reads and throws Error (kDamaged) for bytes that no table saved.
  std::size_t SavedSize() const;
  void Save(char* out) const;
  static HitTable Load(std::string_view bytes);

 private:
  bool texts_ = false;
  bool translated_ = false;
  std::string segments_;  // back to back
  std::vector<std::uint64_t> segmentStarts_;
  std::string names_;                         // of each run of one sequence's hits, back to back
  std::vector<std::uint64_t> nameStarts_{0};  // one more than the runs
  std::vector<std::uint64_t> runStarts_;      // the first hit of each run
};

// The hit stream of a search with `records` (and `recordTexts` when `texts`).
class HitTableStream final : public OutputStream {
 public:
  // Takes a full chunk: the table holds `chunkHits` hits and is the callee's
  // to move from; false stops the search (the stream fails with ECANCELED).
  using ChunkTaker = std::function<bool(HitTable& chunk)>;

  // Every hit into one table (`translated`: of a translated search).
  explicit HitTableStream(bool texts, bool translated = false);
  // Tables of `chunkHits` hits (at least 1) to `taker`, as they fill; the
  // last, which may hold fewer, stays in table().
  HitTableStream(bool texts, std::size_t chunkHits, ChunkTaker taker, bool translated = false);

  bool Write(std::string_view bytes) override;
  HitTable& table() { return table_; }

 private:
  // Decodes the whole records at the start of `bytes`; returns the bytes used.
  std::size_t Decode(std::string_view bytes);
  // Hands the full table over before a hit (of a new sequence when
  // `newRun`); false when the taker stops the search.
  bool HandOver(bool newRun);

  bool texts_;
  bool translated_;
  std::size_t chunkHits_ = 0;
  ChunkTaker taker_;
  HitTable table_;
  std::string partial_;                         // a record cut by the end of a write
  std::uint64_t sequence_ = ~std::uint64_t{0};  // of the last hit
  std::size_t runStart_ = 0;                    // the table's first hit of that sequence
  std::string name_;                            // of that sequence
};

// A search whose hits are taken a table of at most `chunkHits` at a time.
//
// Memory besides the search's own: at most `queuedChunks` tables waiting, the
// one being filled and the one the caller took. Stop (or the destructor)
// raises the cancel flag that the search is given, empties the queue and
// joins the thread; the search ends at its next sequence or chunk. Next and
// Stop are called from one thread; the search's inputs must outlive Stop.
class ChunkedSearch {
 public:
  // Writes the hits of a search with `records` (and `recordTexts` when
  // `texts`) to `hits`, stopping once `cancel` is raised.
  using Search = std::function<void(OutputStream& hits, const std::atomic<bool>& cancel)>;

  ChunkedSearch(bool texts, std::size_t chunkHits, std::size_t queuedChunks, Search search,
                bool translated = false);
  ~ChunkedSearch() { Stop(); }
  ChunkedSearch(const ChunkedSearch&) = delete;
  ChunkedSearch& operator=(const ChunkedSearch&) = delete;

  enum class Taken { kChunk, kPending, kEnded };
  // Waits up to `wait` for the next table: kChunk (moved into `chunk`),
  // kPending (none yet) or kEnded (after the last; the first kEnded of a
  // search that failed throws its fault instead, once every table before it
  // was taken).
  Taken Next(HitTable& chunk, std::chrono::milliseconds wait);

  // Ends the search and waits for its thread; Next then gives kEnded.
  void Stop();

 private:
  bool TakeFull(HitTable& chunk);  // on the search thread

  const std::size_t queuedChunks_;
  std::atomic<bool> cancel_{false};
  std::mutex mutex_;
  std::condition_variable changed_;
  std::deque<HitTable> queue_;
  bool ended_ = false;
  std::exception_ptr failure_;
  HitTableStream stream_;
  std::thread thread_;
};

// `hits` with texts: each hit's name (as a FASTA name line, '>' and the
// database name) and segment from `sequences`; the same table if it has
// texts. Throws Error (kDamaged) for a hit outside the databases.
HitTable WithTexts(const HitTable& hits, const SequenceDatabase& sequences);

// Throws Error (kDamaged) unless every hit of `hits` lies inside `motifs` and,
// for a table without texts, inside `sequences` (each when given).
void CheckHitTable(const HitTable& hits, const MotifDatabase* motifs,
                   const SequenceDatabase* sequences);

// Writes `hits` as `format`, its header line first when `header`. The names
// and segments come from `sequences` when given (an indexed search's table),
// else from the table's texts. A translated search's table is written with
// the translated rows. Throws Error: kOutput when a write fails,
// kDamaged when a hit lies outside the databases.
void WriteHitTable(const HitTable& hits, const MotifDatabase& motifs,
                   const SequenceDatabase* sequences, OutputFormat format, bool header,
                   OutputStream& out);

}  // namespace brisel

#endif  // BRISEL_API_HIT_TABLES_H
