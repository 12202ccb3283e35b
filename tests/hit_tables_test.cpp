// SPDX-License-Identifier: MIT
// The library API for front ends that hold hits and inputs in memory (the
// Python module):
// - hits as HitRecords, decoded into tables (whole, or a chunk at a time
//   through ChunkedSearch, which runs the search on a thread of its own) and
//   written back as text, are byte for byte the text the same search writes,
//   in every format, indexed and scan, on 1 and 3 threads; the scan's records
//   carry their names and segments;
// - chunks never split a sequence's hits, so that written one after the other
//   (in the pipe format too) they are the search's text; tables saved and
//   loaded, and joined hit by hit, write the same text; bytes that no table
//   saved are refused;
// - a scan record without a name is searched as a raw sequence;
// - motif and sequence databases built from entries and record sources are
//   file for file those built from the same patterns and records in files,
//   shards included.
// ChunkedSearch and the threaded searches into tables also run under
// ThreadSanitizer (make test-tsan).
#include "api/hit_tables.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <string>
#include <vector>

#include "api/databases.h"
#include "api/search.h"
#include "base/error.h"
#include "builds/builds.h"
#include "input/fasta_file_records.h"
#include "support/temp_dir.h"
#include "translation/frame_translation.h"
#include "translation/genetic_codes.h"

using namespace brisel;

namespace {

using brisel::HitTable;

// The sequences of the sample data as scan records, and the motifs of the
// site patterns, which hit often at -e 9.
class HitTables : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    dir_ = new TempDir;
    brisel::BuildSequenceDatabase(BRISEL_DATA_DIR "/swissprot-100.fasta", *dir_ / "sequences", {});
    brisel::BuildMotifDatabase(BRISEL_DATA_DIR "/site-patterns.txt", *dir_ / "motifs", {});
  }
  static void TearDownTestSuite() { delete dir_; }

  static brisel::MotifDatabase Motifs() { return brisel::MotifDatabase::Open(*dir_ / "motifs"); }
  static brisel::SequenceDatabase Sequences() {
    return brisel::SequenceDatabase::Open(*dir_ / "sequences");
  }

  // The database's sequences as FASTA records, a few of them raw.
  static std::vector<SequenceRecord> Records() {
    const brisel::SequenceDatabase sequences = Sequences();
    std::vector<SequenceRecord> records;
    for (std::uint32_t s = 0; s < sequences.size(); ++s) {
      records.push_back({s % 17 == 3 ? "" : ">" + std::string(sequences.Name(s)),
                         std::string(sequences.Residues(s))});
    }
    return records;
  }

  static brisel::SearchOptions Options(unsigned threads) {
    return {CutoffFromExponent(9), threads, nullptr};
  }

  static TempDir* dir_;
};

TempDir* HitTables::dir_ = nullptr;

class VectorRecords final : public RecordSource {
 public:
  explicit VectorRecords(std::vector<SequenceRecord> records) : records_(std::move(records)) {}
  bool Next(SequenceRecord& record) override {
    if (next_ == records_.size()) return false;
    record = records_[next_++];
    return true;
  }

 private:
  std::vector<SequenceRecord> records_;
  std::size_t next_ = 0;
};

const OutputFormat kFormats[] = {OutputFormat::kPipe, OutputFormat::kTsv, OutputFormat::kGff3,
                                 OutputFormat::kBed};

brisel::SearchOutput TextTo(OutputStream& out, OutputFormat format) {
  return {out, nullptr, format, true, false, false};
}

brisel::SearchOutput RecordsTo(OutputStream& out, bool texts) {
  return {out, nullptr, OutputFormat::kPipe, true, true, texts};
}

std::string Written(const HitTable& table, const brisel::MotifDatabase& motifs,
                    const brisel::SequenceDatabase* sequences, OutputFormat format, bool header) {
  StringStream out;
  brisel::WriteHitTable(table, motifs, sequences, format, header, out);
  return out.text();
}

TEST_F(HitTables, IndexedSearchTablesWriteTheSearchText) {
  const brisel::MotifDatabase motifs = Motifs();
  const brisel::SequenceDatabase sequences = Sequences();
  for (const unsigned threads : {1u, 3u}) {
    brisel::HitTableStream stream(false);
    brisel::SearchDatabase(motifs, sequences, Options(threads), RecordsTo(stream, false));
    const HitTable& table = stream.table();
    ASSERT_GT(table.size(), 1000u);
    for (const OutputFormat format : kFormats) {
      StringStream text;
      brisel::SearchDatabase(motifs, sequences, Options(threads), TextTo(text, format));
      EXPECT_EQ(Written(table, motifs, &sequences, format, true), text.text());
    }
    // The header line alone is left out.
    StringStream text;
    brisel::SearchDatabase(motifs, sequences, Options(1), TextTo(text, OutputFormat::kTsv));
    EXPECT_EQ(Written(table, motifs, &sequences, OutputFormat::kTsv, false),
              text.text().substr(text.text().find('\n') + 1));
  }
}

TEST_F(HitTables, ScanTablesCarryTheirTextsAndWriteTheSearchText) {
  const brisel::MotifDatabase motifs = Motifs();
  const std::vector<SequenceRecord> records = Records();
  for (const unsigned threads : {1u, 3u}) {
    VectorRecords source(records);
    brisel::HitTableStream stream(true);
    brisel::ScanRecords(motifs, source, Options(threads), RecordsTo(stream, true));
    const HitTable& table = stream.table();
    ASSERT_GT(table.size(), 1000u);
    for (std::size_t i = 0; i < table.size(); i += 97) {
      const SequenceRecord& record = records[table.sequence[i]];
      EXPECT_EQ(table.Name(i), record.name);
      EXPECT_EQ(table.Segment(i),
                record.text.substr(table.start[i] - 1, table.end[i] - table.start[i] + 1));
    }
    for (const OutputFormat format : kFormats) {
      VectorRecords again(records);
      StringStream text;
      brisel::ScanRecords(motifs, again, Options(threads), TextTo(text, format));
      EXPECT_EQ(Written(table, motifs, nullptr, format, true), text.text());
    }
  }
}

TEST_F(HitTables, TranslatedTablesPlaceTheirHitsAndWriteTheSearchText) {
  const brisel::MotifDatabase motifs = Motifs();
  // The lambda genome and two records of its bases, one without a name, as
  // the Python module hands them over (names as FASTA name lines).
  brisel::FastaFileRecords file(BRISEL_DATA_DIR "/lambda-phage.fasta",
                                brisel::RecordLetters::kNucleotides);
  SequenceRecord lambda;
  ASSERT_TRUE(file.Next(lambda));
  const std::string& genome = lambda.text;
  const std::vector<SequenceRecord> held = {
      {">lambda phage", genome}, {"", genome.substr(1000, 7001)}, {">short", "ATG"}};
  brisel::TranslationOptions translation;
  translation.table = 11;
  for (const unsigned threads : {1u, 3u}) {
    VectorRecords source(held);
    brisel::NucleotideRecords checked(source, "<sequences>");
    brisel::HitTableStream stream(true, true);
    brisel::SearchTranslatedRecords(motifs, checked, translation, Options(threads),
                                    RecordsTo(stream, true));
    const HitTable& table = stream.table();
    ASSERT_GT(table.size(), 1000u);
    ASSERT_TRUE(table.translated());
    for (std::size_t i = 0; i < table.size(); i += 41) {
      const std::string& bases = held[table.sequence[i]].text;
      EXPECT_EQ(table.recordLength[i], bases.size());
      const std::string cut = bases.substr(table.start[i] - 1, table.end[i] - table.start[i] + 1);
      const brisel::ReadingFrame strand =
          *brisel::ReadingFrame::FromNumber(table.frame[i] > 0 ? 1 : -1);
      EXPECT_EQ(
          brisel::TranslateFrame(brisel::CodonTable(brisel::GeneticCodeById(11)), cut, strand),
          table.Segment(i));
    }
    for (const OutputFormat format : kFormats) {
      VectorRecords again(held);
      brisel::NucleotideRecords checkedAgain(again, "<sequences>");
      StringStream text;
      brisel::SearchTranslatedRecords(motifs, checkedAgain, translation, Options(threads),
                                      TextTo(text, format));
      EXPECT_EQ(Written(table, motifs, nullptr, format, true), text.text());
    }
  }
  // A byte that is no nucleotide letter ends the records, named by number.
  VectorRecords bad({{">a", "ACGT"}, {">b", "ACXT"}});
  brisel::NucleotideRecords checked(bad, "<sequences>");
  StringStream text;
  brisel::SearchTranslatedRecords(motifs, checked, translation, Options(2),
                                  TextTo(text, OutputFormat::kTsv));
  ASSERT_NE(checked.fault(), nullptr);
  EXPECT_STREQ(checked.fault()->what(),
               "<sequences>:2: 'X' at position 3 is not a nucleotide letter (IUPAC: A C G T U, R "
               "Y S W K M B D H V N, either case)");
  EXPECT_EQ(checked.count(), 1u);
}

TEST_F(HitTables, ARecordWithoutANameIsARawSequence) {
  const brisel::MotifDatabase motifs = Motifs();
  const std::string residues(Sequences().Residues(5));
  for (const OutputFormat format : kFormats) {
    StringStream one, records;
    brisel::ScanSequence(motifs, residues, Options(1), TextTo(one, format));
    VectorRecords source({{"", residues}});
    brisel::ScanRecords(motifs, source, Options(1), TextTo(records, format));
    EXPECT_EQ(records.text(), one.text());
    EXPECT_NE(one.text().find("PS"), std::string::npos);
  }
}

TEST_F(HitTables, ChunksJoinIntoTheWholeTable) {
  const brisel::MotifDatabase motifs = Motifs();
  const brisel::SequenceDatabase sequences = Sequences();
  const std::vector<SequenceRecord> records = Records();
  for (const bool scan : {false, true}) {
    for (const unsigned threads : {1u, 3u}) {
      SCOPED_TRACE(std::string(scan ? "scan" : "indexed") + " -j " + std::to_string(threads));
      VectorRecords source(records);
      brisel::ChunkedSearch search(
          scan, 7, 2, [&](OutputStream& hits, const std::atomic<bool>& cancel) {
            brisel::SearchOptions options = Options(threads);
            options.cancel = &cancel;
            if (scan) {
              brisel::ScanRecords(motifs, source, options, RecordsTo(hits, true));
            } else {
              brisel::SearchDatabase(motifs, sequences, options, RecordsTo(hits, false));
            }
          });
      const brisel::SequenceDatabase* database = scan ? nullptr : &sequences;
      std::string joined, loaded;
      std::size_t chunks = 0;
      HitTable chunk, whole;
      whole.Clear(scan);
      std::uint64_t lastSequence = ~std::uint64_t{0};
      for (;;) {
        const auto taken = search.Next(chunk, std::chrono::milliseconds(20));
        if (taken == brisel::ChunkedSearch::Taken::kEnded) break;
        if (taken == brisel::ChunkedSearch::Taken::kPending) continue;
        // At most 7 hits, or the hits of one sequence alone; none split.
        EXPECT_TRUE(chunk.size() <= 7u || chunk.sequence[0] == chunk.sequence.back());
        EXPECT_NE(chunk.sequence[0], lastSequence);
        lastSequence = chunk.sequence.back();
        joined += Written(chunk, motifs, database, OutputFormat::kPipe, chunks++ == 0);
        std::string saved(chunk.SavedSize(), '\0');
        chunk.Save(saved.data());
        const HitTable again = HitTable::Load(saved);
        loaded += Written(again, motifs, database, OutputFormat::kPipe, false);
        for (std::size_t i = 0; i < again.size(); ++i)
          whole.AppendFrom(again, i);
        if (chunks == 5) {
          for (const std::size_t cut : {std::size_t{0}, sizeof(std::uint64_t), saved.size() - 1}) {
            EXPECT_THROW(HitTable::Load(std::string_view(saved).substr(0, cut)), brisel::Error);
          }
          saved[3] ^= 1;
          EXPECT_THROW(HitTable::Load(saved), brisel::Error);
        }
      }
      VectorRecords again(records);
      StringStream text;
      if (scan) {
        brisel::ScanRecords(motifs, again, Options(1), TextTo(text, OutputFormat::kPipe));
      } else {
        brisel::SearchDatabase(motifs, sequences, Options(1), TextTo(text, OutputFormat::kPipe));
      }
      EXPECT_EQ(joined, text.text());
      EXPECT_EQ(loaded, text.text());
      EXPECT_EQ(Written(whole, motifs, database, OutputFormat::kPipe, true), text.text());
      if (!scan) {
        EXPECT_EQ(Written(brisel::WithTexts(whole, sequences), motifs, nullptr, OutputFormat::kPipe,
                          true),
                  text.text());
      }
      EXPECT_GT(chunks, 50u);
    }
  }
}

TEST_F(HitTables, AStoppedChunkedSearchEndsWithoutItsChunks) {
  const brisel::MotifDatabase motifs = Motifs();
  const brisel::SequenceDatabase sequences = Sequences();
  for (const unsigned threads : {1u, 3u}) {
    brisel::ChunkedSearch search(
        false, 5, 1, [&](OutputStream& hits, const std::atomic<bool>& cancel) {
          brisel::SearchOptions options = Options(threads);
          options.cancel = &cancel;
          brisel::SearchDatabase(motifs, sequences, options, RecordsTo(hits, false));
        });
    HitTable chunk;
    while (search.Next(chunk, std::chrono::milliseconds(20)) ==
           brisel::ChunkedSearch::Taken::kPending) {
    }
    search.Stop();
    EXPECT_EQ(search.Next(chunk, std::chrono::milliseconds(0)),
              brisel::ChunkedSearch::Taken::kEnded);
  }
}

TEST_F(HitTables, AFailedSearchThrowsAfterItsChunks) {
  const brisel::MotifDatabase motifs = Motifs();
  brisel::ChunkedSearch search(false, 3, 2, [&](OutputStream& hits, const std::atomic<bool>&) {
    // Three hits of sequence 0, then one of sequence 1, which hands them over.
    for (const std::uint64_t sequence : {0, 0, 0, 1}) {
      const brisel::HitRecord record{sequence, 0, 0, 1, 1, 0.0, 1.0};
      hits.Write(std::string_view(reinterpret_cast<const char*>(&record), sizeof record));
    }
    throw brisel::Error(brisel::Error::Kind::kDamaged, "the input is damaged");
  });
  HitTable chunk;
  brisel::ChunkedSearch::Taken taken;
  while ((taken = search.Next(chunk, std::chrono::milliseconds(20))) ==
         brisel::ChunkedSearch::Taken::kPending) {
  }
  EXPECT_EQ(taken, brisel::ChunkedSearch::Taken::kChunk);
  EXPECT_EQ(chunk.size(), 3u);
  try {
    while (search.Next(chunk, std::chrono::milliseconds(20)) ==
           brisel::ChunkedSearch::Taken::kPending) {
    }
    ADD_FAILURE() << "the search's fault is thrown";
  } catch (const brisel::Error& error) {
    EXPECT_STREQ(error.what(), "the input is damaged");
  }
  EXPECT_EQ(search.Next(chunk, std::chrono::milliseconds(0)), brisel::ChunkedSearch::Taken::kEnded);
}

TEST_F(HitTables, RecordsSplitAnywhereAcrossWritesDecodeTheSame) {
  const brisel::MotifDatabase motifs = Motifs();
  const std::vector<SequenceRecord> records = Records();
  StringStream bytes;
  VectorRecords source(records);
  brisel::ScanRecords(motifs, source, Options(1), RecordsTo(bytes, true));
  brisel::HitTableStream whole(true), pieces(true);
  whole.Write(bytes.text());
  for (std::size_t at = 0, step = 1; at < bytes.text().size(); at += step, step = step % 97 + 13)
    pieces.Write(std::string_view(bytes.text()).substr(at, step));
  ASSERT_EQ(pieces.table().size(), whole.table().size());
  EXPECT_EQ(Written(pieces.table(), motifs, nullptr, OutputFormat::kPipe, true),
            Written(whole.table(), motifs, nullptr, OutputFormat::kPipe, true));
}

TEST(HitTableWriter, HitsOutsideTheDatabasesAreRefused) {
  TempDir dir;
  brisel::BuildSequenceDatabase(BRISEL_DATA_DIR "/swissprot-100.fasta", dir / "sequences", {});
  const brisel::SequenceDatabase sequences = brisel::SequenceDatabase::Open(dir / "sequences");
  const brisel::MotifDatabase motifs =
      brisel::BuildMotifDatabaseInMemory(BRISEL_DATA_DIR "/site-patterns.txt", {});
  HitTable table;
  table.Append({sequences.size(), 0, 0, 1, 3, 0.5, 0.5, 0, 3, 0}, {}, {});
  StringStream out;
  EXPECT_THROW(brisel::WriteHitTable(table, motifs, &sequences, OutputFormat::kPipe, true, out),
               brisel::Error);
  table.Clear(false);
  table.Append({0, motifs.size(), 0, 1, 3, 0.5, 0.5, 0, 3, 0}, {}, {});
  EXPECT_THROW(brisel::WriteHitTable(table, motifs, &sequences, OutputFormat::kPipe, true, out),
               brisel::Error);
}

// ---- Builds from held input ----------------------------------------------------

class HeldRecords final : public RecordSource {
 public:
  explicit HeldRecords(const std::vector<SequenceRecord>& records) : records_(records) {}
  bool Next(SequenceRecord& record) override {
    if (next_ == records_.size()) return false;
    record = records_[next_++];
    return true;
  }

 private:
  const std::vector<SequenceRecord>& records_;
  std::size_t next_ = 0;
};

void ExpectSameFiles(const TempDir& dir, const std::string& a, const std::string& b) {
  std::size_t compared = 0;
  for (const std::string& name : ListDirectory(dir.path())) {
    if (!name.starts_with(a)) continue;
    const std::string twin = b + name.substr(a.size());
    SCOPED_TRACE(name);
    std::string expected = ReadFile(dir / name);
    if (name.ends_with(".shards")) {
      // The manifest names the shards by their roots.
      for (std::size_t at = 0; (at = expected.find(a + ".", at)) != std::string::npos;)
        expected.replace(at, a.size(), b);
    }
    EXPECT_EQ(expected, ReadFile(dir / twin));
    ++compared;
  }
  EXPECT_GE(compared, 8u);
}

TEST(HeldInputBuilds, PatternEntriesBuildThePatternListsDatabase) {
  TempDir dir;
  WriteFile(dir / "patterns.txt",
            "C-x(2)-C-x(3)-[LIVMFYWC]-x(8)-H-x(3,5)-H  zinc finger\n"
            "N-{P}-[ST]-{P}\n"
            "<M-x-K>  anchored\n");
  const std::vector<PatternEntry> entries = {
      {"C-x(2)-C-x(3)-[LIVMFYWC]-x(8)-H-x(3,5)-H", "zinc finger"},
      {"N-{P}-[ST]-{P}", ""},
      {"<M-x-K>", "anchored"}};
  brisel::BuildMotifDatabase(dir / "patterns.txt", dir / "file", {});
  brisel::BuildMotifDatabase(entries, "<patterns>", dir / "held", {});
  ExpectSameFiles(dir, "file", "held");
  EXPECT_EQ(brisel::BuildMotifDatabaseInMemory(entries, "<patterns>", {}).size(),
            brisel::MotifDatabase::Open(dir / "file").size());
}

TEST(HeldInputBuilds, FaultsNameTheEntry) {
  TempDir dir;
  const std::vector<std::pair<std::vector<PatternEntry>, std::string>> cases = {
      {{{"C-x-C", ""}, {"C-x-Q(", ""}}, "<patterns>:2:"},
      {{{"C-x-C", "a|b"}}, "<patterns>:1: the record 'a|b' contains '|'"},
      {{{"C-x-C", "a\nb"}}, "<patterns>:1: the record 'a\\nb' contains a newline"}};
  for (const auto& [entries, start] : cases) {
    try {
      brisel::BuildMotifDatabase(entries, "<patterns>", dir / "refused", {});
      ADD_FAILURE() << start;
    } catch (const brisel::Error& error) {
      EXPECT_TRUE(std::string(error.what()).starts_with(start)) << error.what();
    }
  }
  EXPECT_TRUE(ListDirectory(dir.path()).empty());
}

TEST(HeldInputBuilds, RecordSourcesBuildTheFastaDatabaseAndShards) {
  TempDir dir;
  // Names as FASTA title lines, residues with the white space FASTA lines may
  // hold, a raw sequence with no name, an empty sequence.
  const std::vector<SequenceRecord> records = {{">sp|P1|A one", "MKT AYIA\tKQR\r\nQISF"},
                                               {"", "ACDEFGHIK"},
                                               {">empty", ""},
                                               {">sp|P2|B two  ", "MMMKLLV"},
                                               {">x", "WWW"}};
  WriteFile(dir / "in.fa",
            ">sp|P1|A one\nMKT AYIA\tKQR\r\nQISF\n>\nACDEFGHIK\n>empty\n>sp|P2|B two  \nMMMKLLV\n"
            ">x\nWWW\n");
  const brisel::RecordSourceOpener open = [&] { return std::make_unique<HeldRecords>(records); };
  for (const std::uint64_t shards : {0u, 2u}) {
    SCOPED_TRACE(shards);
    brisel::SequenceBuildOptions options;
    options.shards = shards;
    const brisel::SequenceBuild file =
        brisel::BuildSequenceDatabase(dir / "in.fa", dir / "f", options);
    const brisel::SequenceBuild held =
        brisel::BuildSequenceDatabase(open, "<sequences>", dir / "h", options);
    EXPECT_EQ(held.sequences, file.sequences);
    EXPECT_EQ(held.residues, file.residues);
    EXPECT_EQ(held.shards, file.shards);
    ExpectSameFiles(dir, "f", "h");
  }
}

TEST(HeldInputBuilds, RecordsWithNulBytesOrBrokenNamesAreRefused) {
  TempDir dir;
  const std::vector<std::pair<std::vector<SequenceRecord>, std::string>> cases = {
      {{{">a", "MK"}, {">b", std::string("M\0K", 3)}},
       "<sequences>:2: a NUL byte in the sequence of record 'b'"},
      {{{">a\nb", "MK"}}, "<sequences>:1: the name 'a\\nb' holds a newline or a NUL byte"}};
  for (const auto& [records, message] : cases) {
    try {
      brisel::BuildSequenceDatabase([&] { return std::make_unique<HeldRecords>(records); },
                                    "<sequences>", dir / "refused", {});
      ADD_FAILURE() << message;
    } catch (const brisel::Error& error) {
      EXPECT_EQ(error.what(), message);
    }
  }
  EXPECT_TRUE(ListDirectory(dir.path()).empty());
}

}  // namespace
