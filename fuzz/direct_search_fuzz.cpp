// SPDX-License-Identifier: MIT
// direct_search_fuzz.cpp: arbitrary bytes as a FASTA file, searched directly
// (the records of the file in indexed order) and through the database that
// brisel-makedb's build makes of the same file.
//
// Input: byte 0 picks the options (bit 0: two threads, else one; bits 1-2:
// the output format; bits 3-7: the cut-off exponent, -16 to 15); the rest is
// the file, plain or compressed. Where the build takes the file, the direct
// search must take it too and write both streams byte for byte as the search
// of the database. Where the build refuses it, the direct search must stop at
// the same fault; for plain text its streams must then be those of the
// database of the records before the one in which reading stopped, which the
// build must take.
#include <cmath>
#include <string>
#include <string_view>

#include "api/databases.h"
#include "api/search.h"
#include "base/error.h"
#include "builds/builds.h"
#include "fuzz_bodies.h"
#include "fuzz_files.h"
#include "input/compression.h"
#include "input/fasta_file_records.h"
#include "output/output_streams.h"

namespace brisel {

namespace {

// Short patterns, so that random residues hit: ranges, exclusions, homing
// sets of several letters, anchors at either end.
constexpr std::string_view kPatterns =
    "N-{P}-[ST]-{P}\tglyco\n"
    "[ST]-x-[RK]\tpkc\n"
    "C-x(1,3)-C\tcys\n"
    "<M-x-[KR]\tstart\n"
    "[DE]-x-[KR]>\tend\n"
    "[AG]-[GK]\tpair\n";

const brisel::MotifDatabase& Motifs() {
  static const brisel::MotifDatabase motifs = [] {
    const std::string path = WriteScratchFile(
        "patterns.txt", reinterpret_cast<const std::uint8_t*>(kPatterns.data()), kPatterns.size());
    return brisel::BuildMotifDatabaseInMemory(path, {});
  }();
  return motifs;
}

struct Streams {
  std::string out;
  std::string err;
};

struct Settings {
  brisel::SearchOptions options;
  OutputFormat format;
};

Streams SearchDirectly(FastaFileRecords& records, const Settings& settings) {
  StringStream out, err;
  brisel::SearchRecords(Motifs(), records, settings.options, {out, &err, settings.format});
  return {std::move(out.text()), std::move(err.text())};
}

// The database of `path` built at `root` and searched; false, with the
// build's message in `fault`, when the build refuses the file.
bool SearchThroughDatabase(const std::string& path, const std::string& root,
                           const Settings& settings, Streams& streams, std::string& fault) {
  try {
    brisel::BuildSequenceDatabase(path, root, {});
  } catch (const brisel::Error& error) {
    fault = error.what();
    return false;
  }
  const brisel::SequenceDatabase sequences = brisel::SequenceDatabase::Open(root);
  StringStream out, err;
  brisel::SearchDatabase(Motifs(), sequences, settings.options, {out, &err, settings.format});
  streams = {std::move(out.text()), std::move(err.text())};
  return true;
}

// The bytes of `text` before its record number `count` + 1 (a line that
// begins with '>'), all of it when it has no more records.
std::string_view RecordsBefore(std::string_view text, std::uint64_t count) {
  std::uint64_t records = 0;
  for (std::size_t at = 0; at < text.size(); ++at) {
    if (text[at] == '>' && (at == 0 || text[at - 1] == '\n') && records++ == count) {
      return text.substr(0, at);
    }
  }
  return text;
}

}  // namespace

int FuzzDirectSearch(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  constexpr OutputFormat kFormats[] = {OutputFormat::kPipe, OutputFormat::kTsv, OutputFormat::kGff3,
                                       OutputFormat::kPipe};
  const Settings settings{
      {std::pow(10.0, static_cast<double>(data[0] >> 3) - 16.0), (data[0] & 1u) + 1u, nullptr},
      kFormats[(data[0] >> 1) & 3u]};
  const std::string_view file(reinterpret_cast<const char*>(data + 1), size - 1);
  const std::string path = WriteScratchFile("input.fa", data + 1, size - 1);

  FastaFileRecords records(path);
  const Streams direct = SearchDirectly(records, settings);
  Streams database;
  std::string buildFault;
  if (SearchThroughDatabase(path, ScratchPath("db"), settings, database, buildFault)) {
    FUZZ_CHECK(records.fault() == nullptr);
    FUZZ_CHECK(direct.out == database.out);
    FUZZ_CHECK(direct.err == database.err);
    return 0;
  }
  FUZZ_CHECK(records.fault() != nullptr);
  FUZZ_CHECK(buildFault == records.fault()->what());
  // Decompressed text has no model here; the build's agreement suffices.
  if (RecognizeCompression({data + 1, size - 1}) != Compression::kNone) return 0;
  const std::string_view before = records.count() == 0 ? "" : RecordsBefore(file, records.count());
  const std::string prefix = WriteScratchFile(
      "before.fa", reinterpret_cast<const std::uint8_t*>(before.data()), before.size());
  FUZZ_CHECK(SearchThroughDatabase(prefix, ScratchPath("db"), settings, database, buildFault));
  FUZZ_CHECK(direct.out == database.out);
  FUZZ_CHECK(direct.err == database.err);
  return 0;
}

}  // namespace brisel
