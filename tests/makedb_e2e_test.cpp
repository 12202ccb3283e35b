// SPDX-License-Identifier: MIT
// End to end: brisel-makedb builds databases byte for byte as the search reads
// them, reports every fault in one line, and never damages an existing
// database.
#include <gtest/gtest.h>
#include <zlib.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <string>
#include <vector>

#include "brisel.h"
#include "database/shard_manifest.h"
#include "database/stats_file.h"
#include "support/motif_db.h"
#include "support/process.h"
#include "support/temp_dir.h"

using namespace brisel;

namespace {

using Unsigneds = std::vector<std::uint32_t>;

class Makedb : public ::testing::Test {
 protected:
  ProcessResult Sequences(std::string_view fasta, std::vector<std::string> extra = {}) {
    WriteFile(input_, fasta);
    std::vector<std::string> args = {"sequences", input_, root_};
    args.insert(args.end(), extra.begin(), extra.end());
    return RunMakedb(args);
  }
  ProcessResult Motifs(std::string_view patterns, std::vector<std::string> extra = {}) {
    WriteFile(input_, patterns);
    std::vector<std::string> args = {"motifs", input_, root_};
    args.insert(args.end(), extra.begin(), extra.end());
    return RunMakedb(args);
  }
  std::string Block(const char* suffix) const { return ReadFile(root_ + suffix); }
  Unsigneds Unsigned(const char* suffix) const { return ReadUnsignedBlock(root_ + suffix); }

  TempDir dir_;
  std::string input_ = dir_ / "input";
  std::string root_ = dir_ / "db";
};

// ---- Sequence databases --------------------------------------------------------

TEST_F(Makedb, SequenceBlocksByteForByte) {
  const ProcessResult r = Sequences(">a desc\r\nAC D\tE\r\n\nac\n>\n>b\nXZ*\n");
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(r.err, "3 sequences, 9 residues written to " + root_ + "\n");
  ContentDigest digest;  // of the records as one-line FASTA
  digest.Add(">a desc\nACDEac\n>\n\n>b\nXZ*\n");
  EXPECT_EQ(Block("-stats"), "3\n7\n9\ndigest " + HexDigits(digest.value()) + "\n");
  EXPECT_EQ(Block("-names.bin"), "a descb");
  EXPECT_EQ(Unsigned("-nameIndices.bin"), (Unsigneds{0, 6, 6, 7}));
  EXPECT_EQ(Block("-textSequences.bin"), "ACDEacXZ*");
  EXPECT_EQ(Unsigned("-bitSequences.bin"),
            (Unsigneds{Letters("A"), Letters("C"), Letters("D"), Letters("E"), Letters("A"),
                       Letters("C"), Letters("X"), Letters("Z"), 0}));
  EXPECT_EQ(Unsigned("-sequenceIndices.bin"), (Unsigneds{0, 6, 6, 9}));
  EXPECT_EQ(Unsigned("-offsets.bin"), (Unsigneds{0, 4, 1, 5, 2, 3, 0, 1}));
  Unsigneds offsetIndices(79);
  // Sequence 0: A [0, 2), C [2, 4), D [4, 5), E [5, 6); sequence 1: nothing;
  // sequence 2: X [6, 7), Z [7, 8).
  for (std::size_t slot = 0; slot < 79; ++slot) {
    const std::size_t s = slot / 26, k = slot % 26;
    std::uint32_t entry = 0;
    if (s == 0) entry = k == 0 ? 0 : k <= 2 ? 2 : k == 3 ? 4 : k == 4 ? 5 : 6;
    if (s == 1 || (s == 2 && k <= 23)) entry = 6;
    if (s == 2 && k > 23) entry = 7;
    if (slot == 78) entry = 8;
    offsetIndices[slot] = entry;
  }
  EXPECT_EQ(Unsigned("-offsetIndices.bin"), offsetIndices);
}

TEST_F(Makedb, AnEmptyInputMakesAnEmptyDatabase) {
  const ProcessResult r = Sequences("\n\n");
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(Block("-stats"), "0\n0\n0\ndigest " + HexDigits(ContentDigest().value()) + "\n");
  EXPECT_EQ(Unsigned("-offsetIndices.bin"), (Unsigneds{0}));
  EXPECT_EQ(Block("-textSequences.bin"), "");
}

TEST_F(Makedb, AProgressLineOnlyOnATerminal) {
  std::string fasta;
  for (int i = 0; i < 3000; ++i)
    fasta += ">s" + std::to_string(i) + "\nMKV\n";
  WriteFile(input_, fasta);
  RunOptions terminal;
  terminal.stderrTerminal = true;
  const ProcessResult shown = RunMakedb({"sequences", input_, root_}, terminal);
  EXPECT_EQ(shown.status, 0);
  EXPECT_NE(shown.err.find("\r" + input_ + ": 1024 records, 0.0 MiB ("), std::string::npos)
      << shown.err;
  // A terminal turns "\n" into "\r\n".
  EXPECT_TRUE(
      shown.err.ends_with("\r\033[K3000 sequences, 9000 residues written to " + root_ + "\r\n"))
      << shown.err;
  const ProcessResult quiet = RunMakedb({"sequences", "-q", input_, root_}, terminal);
  EXPECT_EQ(quiet.err, "");
  EXPECT_EQ(Sequences(fasta).err, "3000 sequences, 9000 residues written to " + root_ + "\n")
      << "no progress line when standard error is a file";
}

TEST_F(Makedb, TextBeforeTheFirstNameLineIsAnError) {
  const ProcessResult r = Sequences("\n\nMKV\n>a\nAC\n");
  EXPECT_EQ(r.err, "brisel-makedb: " + input_ + ":3: sequence text before the first '>' line\n");
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(ListDirectory(dir_.path()), (std::vector<std::string>{"input"}));
}

// Lines ended by carriage returns alone read as one line: the file is
// refused, by the builder and the direct search alike, rather than read as
// one record. A UTF-8 byte-order mark before the first line is passed over.
TEST_F(Makedb, CarriageReturnLineEndsAreRefusedAndAByteOrderMarkPassedOver) {
  const std::string fasta = ">a one\nMKVCC\nSTW\n>b\nRK\n";
  std::string mac = fasta;
  std::replace(mac.begin(), mac.end(), '\n', '\r');
  const std::string refused =
      input_ +
      ":1: a carriage return inside a line: the file's lines end in carriage returns "
      "alone (classic Mac OS), not in newlines; convert them, e.g. with tr '\\r' '\\n'";
  for (const std::string& text : {mac, "\r" + mac}) {
    const ProcessResult r = Sequences(text);
    EXPECT_EQ(r.err, "brisel-makedb: " + refused + "\n");
    EXPECT_EQ(r.status, 1);
    const ProcessResult direct =
        RunSearch({"--patterns", BRISEL_DATA_DIR "/site-patterns.txt", "--fasta", input_});
    EXPECT_EQ(direct.status, 1);
    EXPECT_EQ(direct.out, "");
    EXPECT_TRUE(direct.err.ends_with("brisel-search: " + refused + "; no record was searched\n"))
        << direct.err;
  }
  EXPECT_EQ(ListDirectory(dir_.path()), (std::vector<std::string>{"input"}));

  ASSERT_EQ(Sequences(fasta, {"-q"}).status, 0);
  std::vector<std::string> plain;
  for (const std::string& name : ListDirectory(dir_.path())) {
    if (name != "input") plain.push_back(ReadFile(dir_ / name));
  }
  const ProcessResult marked = Sequences("\xEF\xBB\xBF" + fasta, {"-q"});
  ASSERT_EQ(marked.status, 0) << marked.err;
  std::vector<std::string> withMark;
  for (const std::string& name : ListDirectory(dir_.path())) {
    if (name != "input") withMark.push_back(ReadFile(dir_ / name));
  }
  EXPECT_EQ(withMark, plain);
}

TEST_F(Makedb, GzipAndStandardInputGiveTheSameDatabase) {
  const std::string fasta = ">x\nMKVLAA\nGG\n>y\nWW\n";
  ASSERT_EQ(Sequences(fasta).status, 0);
  const std::string plainBits = Block("-bitSequences.bin");
  const std::string plainStats = Block("-stats");

  gzFile gz = gzopen((dir_ / "input.gz").c_str(), "wb");
  gzwrite(gz, fasta.data(), static_cast<unsigned>(fasta.size()));
  gzclose(gz);
  const ProcessResult zipped = RunMakedb({"sequences", dir_ / "input.gz", dir_ / "gz"});
  ASSERT_EQ(zipped.status, 0) << zipped.err;
  EXPECT_EQ(ReadFile(dir_ / "gz-bitSequences.bin"), plainBits);
  EXPECT_EQ(ReadFile(dir_ / "gz-stats"), plainStats);

  RunOptions options;
  options.stdinPath = input_;
  const ProcessResult piped = RunMakedb({"sequences", "-q", "-", dir_ / "in"}, options);
  ASSERT_EQ(piped.status, 0) << piped.err;
  EXPECT_EQ(piped.err, "") << "-q: no summary";
  EXPECT_EQ(ReadFile(dir_ / "in-bitSequences.bin"), plainBits);
}

TEST_F(Makedb, ATruncatedGzipFileIsAnError) {
  std::string fasta = ">x\n";
  for (int i = 0; i < 2000; ++i)
    fasta += "MKVLAAGGWWCCDDEE\n";
  gzFile gz = gzopen((dir_ / "input.gz").c_str(), "wb");
  gzwrite(gz, fasta.data(), static_cast<unsigned>(fasta.size()));
  gzclose(gz);
  // Without its trailer (CRC and length) every line is read; the end is missing.
  std::filesystem::resize_file(dir_ / "input.gz",
                               std::filesystem::file_size(dir_ / "input.gz") - 8);
  const ProcessResult r = RunMakedb({"sequences", dir_ / "input.gz", root_});
  EXPECT_EQ(r.err, "brisel-makedb: " + (dir_ / "input.gz") +
                       ":2002: the gzip data is cut short; reading stopped in this line\n");
  EXPECT_EQ(r.status, 1);
}

TEST_F(Makedb, UnreadableInputAndUnwritableOutput) {
  const ProcessResult missing = RunMakedb({"sequences", dir_ / "absent.fa", root_});
  EXPECT_EQ(missing.err, "brisel-makedb: " + (dir_ / "absent.fa") +
                             ": cannot open: No such file or directory\n");
  EXPECT_EQ(missing.status, 1);

  WriteFile(input_, ">a\nAC\n");
  const ProcessResult nowhere = RunMakedb({"sequences", input_, dir_ / "no/db"});
  EXPECT_EQ(nowhere.err, "brisel-makedb: " + (dir_ / "no/db") +
                             "-names.bin: cannot create: No such file or directory\n");
  EXPECT_EQ(nowhere.status, 1);
}

// ---- Shards -------------------------------------------------------------------------

class MakedbShards : public Makedb {
 protected:
  void SetUp() override {
    ASSERT_EQ(
        RunMakedb({"motifs", "-q", BRISEL_DATA_DIR "/site-patterns.txt", dir_ / "sites"}).status,
        0);
    ASSERT_EQ(RunMakedb({"sequences", "-q", kSample, dir_ / "whole"}).status, 0);
  }

  // The standard output of the search of one database, which must pass the
  // search's check of the database.
  std::string Search(const std::string& root) {
    const ProcessResult r = RunSearch({"-l", "-e", "9", "-m", dir_ / "sites", "-s", root});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err.find("brisel-search:"), std::string::npos) << r.err;
    return r.out;
  }

  // Checks the manifest and every shard it lists, and returns the shards'
  // residue counts.
  std::vector<std::uint64_t> CheckShards(std::size_t shards) {
    std::string manifest;
    std::vector<std::uint64_t> digests;
    for (std::size_t k = 1; k <= shards; ++k) {
      manifest += "db." + std::to_string(k) + "\n";
      digests.push_back(ReadStatsDigest(root_ + "." + std::to_string(k) + "-stats").value_or(0));
    }
    EXPECT_EQ(Block(".shards"), "#build " + HexDigits(BuildIdentity(digests)) + "\n" + manifest);
    std::string searched, names, texts;
    std::vector<std::uint64_t> residues;
    for (std::size_t k = 1; k <= shards; ++k) {
      const std::string shard = root_ + "." + std::to_string(k);
      searched += Search(shard);
      names += ReadFile(shard + "-names.bin");
      texts += ReadFile(shard + "-textSequences.bin");
      residues.push_back(ReadFile(shard + "-textSequences.bin").size());
      EXPECT_NE(residues.back(), 0u) << "shard " << k << " is empty";
    }
    const std::string whole = Search(dir_ / "whole");
    EXPECT_GT(whole.size(), 100000u);
    EXPECT_TRUE(searched == whole) << "the shards' hits, one after the other, are the hits";
    EXPECT_TRUE(Search(root_ + ".shards") == whole) << "the set searched as one";
    EXPECT_TRUE(names == ReadFile(dir_ / "whole-names.bin"));
    EXPECT_TRUE(texts == ReadFile(dir_ / "whole-textSequences.bin"));
    EXPECT_FALSE(std::filesystem::exists(root_ + "-stats")) << "no unsharded database";
    return residues;
  }

  static constexpr const char* kSample = BRISEL_DATA_DIR "/swissprot-100.fasta";
};

TEST_F(MakedbShards, ThreeShardsOfAboutEqualResidues) {
  const ProcessResult r = RunMakedb({"sequences", "--shards", "3", kSample, root_});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.err,
            "100 sequences, 37225 residues written to 3 shards listed in " + root_ + ".shards\n");
  for (std::uint64_t residues : CheckShards(3)) {
    EXPECT_NEAR(static_cast<double>(residues), 37225 / 3.0, 2000) << "within one sequence";
  }
}

TEST_F(MakedbShards, ShardsCappedInSize) {
  const ProcessResult r = RunMakedb({"sequences", "-q", "--shard-size=5K", kSample, root_});
  ASSERT_EQ(r.status, 0) << r.err;
  std::uint64_t shards = 0;
  for (const std::string& name : ListDirectory(dir_.path()))
    shards += name.ends_with("-stats") && name.starts_with("db.");
  EXPECT_GE(shards, 8u);
  for (std::uint64_t residues : CheckShards(shards))
    EXPECT_LE(residues, 5000u);
}

TEST_F(MakedbShards, GzipInputIsReadTwice) {
  const std::string fasta = ReadFile(kSample);
  gzFile gz = gzopen((dir_ / "input.gz").c_str(), "wb");
  gzwrite(gz, fasta.data(), static_cast<unsigned>(fasta.size()));
  gzclose(gz);
  const ProcessResult r = RunMakedb({"sequences", "-q", "--shards", "2", dir_ / "input.gz", root_});
  ASSERT_EQ(r.status, 0) << r.err;
  CheckShards(2);
}

// A block of shell that the README gives, from the line `first` to the end
// of its code block.
std::string ReadmeBlock(const std::string& first) {
  const std::string readme = ReadFile(BRISEL_DATA_DIR "/../README.md");
  const std::size_t start = readme.find(first);
  if (start == std::string::npos) return "";
  return readme.substr(start, readme.find("```", start) - start);
}

// The README's search of a shard set as one, and its loop over the shards as
// separate searches, run as written there: the loop gives the set's output,
// also from a manifest with CRLF line ends; it stops and fails at a failed
// shard, when the set was rebuilt between two shards, and without a manifest.
TEST_F(MakedbShards, TheReadmeSearchesOfASetFailLoudly) {
  const std::string whole =
      ReadmeBlock("brisel-makedb sequences --shard-size 4G uniprot.fasta.gz db/uniprot\n");
  const std::string loop = ReadmeBlock("(\n  set -e\n  manifest=db/uniprot.shards\n");
  ASSERT_NE(whole.find("brisel-search"), std::string::npos) << "the README's set search is gone";
  ASSERT_NE(loop.find("brisel-search"), std::string::npos) << "the README's loop is gone";
  std::filesystem::create_directory(dir_ / "db");
  ASSERT_EQ(
      RunMakedb({"motifs", "-q", BRISEL_DATA_DIR "/site-patterns.txt", dir_ / "db/prosite"}).status,
      0);
  const std::string searchDirectory = std::filesystem::path(BRISEL_SEARCH_PATH).parent_path();
  const std::string path = "PATH=" + searchDirectory + ":$PATH\n";
  RunOptions options;
  options.workingDirectory = dir_.path().string();
  const auto run = [&](const std::string& script) {
    return RunProgram("/bin/bash", "bash", {"-c", path + script}, options);
  };
  const std::string all = RunSearch({"-l", "-m", dir_ / "db/prosite", "-s", dir_ / "whole"}).out;

  // The set search, its build replaced by one of 3 shards of the sample.
  const std::string build =
      "brisel-makedb sequences -q --shards 3 " + std::string(kSample) + " db/uniprot\n";
  std::string script = whole;
  script.replace(0, script.find('\n') + 1, build);
  ProcessResult r = run(script);
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_TRUE(ReadFile(dir_ / "hits.txt") == all);

  r = run(loop);
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_TRUE(ReadFile(dir_ / "hits.txt") == all);
  const std::string manifest = ReadFile(dir_ / "db/uniprot.shards");
  std::string crlf;
  for (const char c : manifest)
    crlf += c == '\n' ? std::string("\r\n") : std::string(1, c);
  WriteFile(dir_ / "db/uniprot.shards", crlf);
  r = run(loop);
  EXPECT_EQ(r.status, 0) << r.err << " (a manifest with CRLF line ends)";
  EXPECT_TRUE(ReadFile(dir_ / "hits.txt") == all);

  // Rebuilt from other records once the first shard is searched.
  WriteFile(dir_ / "other.fa", ">x\nMKVLAAGGWCCDDEERRKK\n>y\nMSTNPQRCC\n>z\nMWWPPCGGC\n");
  const std::string rebuilt =
      "brisel-search() { command brisel-search \"$@\"; status=$?; [ -e rebuilt ] || "
      "{ touch rebuilt; brisel-makedb sequences -q --shards 3 other.fa db/uniprot; }; "
      "return $status; }\n";
  r = run(rebuilt + loop);
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("brisel-search: db/uniprot.shards: the set is now build "),
            std::string::npos)
      << r.err;
  std::filesystem::remove(dir_ / "rebuilt");
  ASSERT_EQ(run(build).status, 0);

  std::filesystem::remove(dir_ / "db/uniprot.2-stats");
  r = run(loop);
  EXPECT_EQ(r.status, 1);
  EXPECT_TRUE(
      r.err.ends_with("brisel-search: cannot open stats file 'db/uniprot.2-stats': No "
                      "such file or directory\n"))
      << r.err;
  EXPECT_TRUE(ReadFile(dir_ / "hits.txt").empty())
      << "a shard missing from the set stops the first shard's search too";

  std::filesystem::remove(dir_ / "db/uniprot.shards");
  EXPECT_NE(run(loop).status, 0) << "a missing manifest";
}

// A shard set searched as one (-s the manifest, or the set's root) writes
// both streams of the single database's search, in every format and for
// every thread count; its shards searched one process each (--shard K,
// --build) join into the same output, their progress lines numbered on.
TEST_F(MakedbShards, TheSetSearchedAsOneIsTheSingleSearch) {
  ASSERT_EQ(RunMakedb({"sequences", "-q", "--shards", "7", kSample, root_}).status, 0);
  const std::string build = Block(".shards").substr(7, 16);
  const auto search = [&](const std::string& sequences, const std::string& format,
                          const std::string& threads, std::vector<std::string> more = {}) {
    std::vector<std::string> args = {"-l", "-e",           "9",  "-F",     format, "-j", threads,
                                     "-m", dir_ / "sites", "-s", sequences};
    args.insert(args.end(), more.begin(), more.end());
    return RunSearch(args);
  };
  for (const std::string format : {"pipe", "tsv", "gff3"}) {
    const ProcessResult whole = search(dir_ / "whole", format, "1");
    ASSERT_EQ(whole.status, 0) << whole.err;
    for (const std::string threads : {"1", "2", "5"}) {
      for (const std::string& set : {root_ + ".shards", root_}) {
        const ProcessResult r = search(set, format, threads);
        EXPECT_EQ(r.status, 0) << r.err;
        EXPECT_TRUE(r.out == whole.out) << set << " -F " << format << " -j " << threads;
        EXPECT_TRUE(r.err == whole.err) << set << " -F " << format << " -j " << threads;
      }
    }
    std::string out, progress;
    for (int k = 1; k <= 7; ++k) {
      std::vector<std::string> more = {"--shard", std::to_string(k), "--build", build};
      if (k > 1) more.push_back("--no-header");
      const ProcessResult r = search(root_ + ".shards", format, "2", more);
      EXPECT_EQ(r.status, 0) << r.err;
      out += r.out;
      progress += r.err.substr(1, r.err.size() - 2);  // the newlines around a search
    }
    EXPECT_TRUE(out == whole.out) << "the shards searched one by one, -F " << format;
    EXPECT_TRUE(progress == whole.err.substr(1, whole.err.size() - 2)) << "numbered on";
  }
}

// A set whose shards are not all of the build its manifest names is refused;
// brisel-makedb manifest names the build of the shards there; a manifest
// without a build line is searched unchecked, but not with --build; the
// faults of --shard and --build.
TEST_F(MakedbShards, ShardsOfAnotherBuildAreRefused) {
  ASSERT_EQ(RunMakedb({"sequences", "-q", "--shards", "3", kSample, root_}).status, 0);
  const std::string manifest = Block(".shards");
  const std::string set = root_ + ".shards";
  const auto search = [&](std::vector<std::string> more = {}) {
    std::vector<std::string> args = {"-l", "-e", "9", "-m", dir_ / "sites", "-s", set};
    args.insert(args.end(), more.begin(), more.end());
    return RunSearch(args);
  };
  WriteFile(input_, ">other\nMKVCCSTWRK\n");
  ASSERT_EQ(RunMakedb({"sequences", "-q", input_, root_ + ".2"}).status, 0);
  const std::string refused =
      "\nbrisel-search: " + set + ": its shards are not all of the build it names (build " +
      manifest.substr(7, 16) + "): a shard was rebuilt or copied on its own; build the set again\n";
  for (const std::vector<std::string>& more :
       {std::vector<std::string>{}, std::vector<std::string>{"--shard", "1"}}) {
    const ProcessResult r = search(more);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, refused);
  }

  const ProcessResult written = RunMakedb({"manifest", "--shards", "3", root_});
  ASSERT_EQ(written.status, 0) << written.err;
  std::uint64_t sequences = 0, residues = 0;
  for (int k = 1; k <= 3; ++k) {
    const StatsCounts counts = ReadStatsCounts(root_ + "." + std::to_string(k) + "-stats");
    sequences += counts[0];
    residues += counts[2];
  }
  EXPECT_EQ(written.err, "3 shards of " + std::to_string(sequences) + " sequences, " +
                             std::to_string(residues) + " residues listed in " + root_ +
                             ".shards\n");
  std::string joined;
  for (int k = 1; k <= 3; ++k)
    joined += Search(root_ + "." + std::to_string(k));
  ProcessResult r = search();
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_TRUE(r.out == joined);
  EXPECT_NE(Block(".shards"), manifest) << "another build";

  WriteFile(set, "db.1\ndb.2\ndb.3\n");  // as written before build lines
  r = search();
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_TRUE(r.out == joined);
  r = search({"--build", "0123456789abcdef"});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, "\nbrisel-search: " + set +
                       ": the set's manifest names no build (it was written by hand or by an "
                       "older brisel-makedb); build the set again to check builds\n");

  const struct {
    std::vector<std::string> args;
    int status;
    std::string err;
  } faults[] = {
      {{"-s", set, "--shard", "4"},
       1,
       "\nbrisel-search: " + set + " lists 3 shards: there is no shard 4\n"},
      {{"-s", dir_ / "whole", "--shard", "1"},
       1,
       "\nbrisel-search: " + dir_ / "whole" +
           ": a single database, not a shard set (a manifest <set>.shards)\n"},
      {{"-s", set, "--shard", "0"},
       2,
       "brisel-search: invalid shard '0' (--shard takes a shard's number in its set, from 1)\n"},
      {{"-s", set, "--build", "12g4"},
       2,
       "brisel-search: invalid build '12g4' (--build takes 16 hex digits)\n"},
      {{"-b", "-s", kSample, "--shard", "1"},
       2,
       "brisel-search: --shard applies to a shard set that -s names, not to -b\n"},
  };
  for (const auto& fault : faults) {
    std::vector<std::string> args = {"-l", "-m", dir_ / "sites"};
    args.insert(args.end(), fault.args.begin(), fault.args.end());
    r = RunSearch(args);
    EXPECT_EQ(r.status, fault.status) << fault.err;
    EXPECT_EQ(r.err, fault.err);
  }
  std::filesystem::remove(root_ + ".3-stats");
  r = RunMakedb({"manifest", "--shards", "3", root_});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, "brisel-makedb: cannot open stats file '" + root_ +
                       ".3-stats': No such file or directory\n");
}

TEST_F(MakedbShards, FaultsWriteNothing) {
  const std::vector<std::string> before = ListDirectory(dir_.path());
  WriteFile(input_, ">a\nAC\n>b\nD\n");
  const struct {
    std::vector<std::string> args;
    std::string stdinPath;
    std::string err;
  } cases[] = {
      {{"--shards", "3", input_, root_},
       {},
       input_ + ": --shards 3 asks for more shards than its 2 sequences"},
      {{"--shard-size", "1", input_, root_},
       {},
       input_ + ":1: sequence 'a' has 2 residues, more than the --shard-size of 1"},
      {{"--shards", "2", "-", root_},
       input_,
       "standard input: --shards and --shard-size need an input file that can be read twice, "
       "not a pipe"},
      {{"--shards", "0", input_, root_},
       {},
       "--shards takes a whole number of at least 1, not '0'"},
      {{"--shard-size", "2T", input_, root_},
       {},
       "--shard-size takes a number of residues (e.g. 500M) of at least 1, not '2T'"},
      {{"--shard-size", "5G", input_, root_},
       {},
       "--shard-size is at most 4294967295 residues, the limit of one database"},
      {{"--shards", "2", "--shard-size", "1M", input_, root_},
       {},
       "--shards and --shard-size exclude each other"},
      {{input_, root_, "--shards"}, {}, "--shards needs a value (see brisel-makedb --help)"},
  };
  for (const auto& c : cases) {
    std::vector<std::string> args = {"sequences"};
    args.insert(args.end(), c.args.begin(), c.args.end());
    RunOptions options;
    options.stdinPath = c.stdinPath;
    const ProcessResult r = RunMakedb(args, options);
    EXPECT_EQ(r.err, "brisel-makedb: " + c.err + "\n");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "");
    std::vector<std::string> after = ListDirectory(dir_.path());
    std::erase(after, "input");
    EXPECT_EQ(after, before) << c.err;
  }
}

// ---- Motif databases -------------------------------------------------------------

TEST_F(Makedb, APatternListWithCommentsBlankLinesAndDefaultRecords) {
  const ProcessResult r = Motifs("# sites\n\nR-G-D\tPS00016 RGD\r\n  W-W   \n", {"--keep-order"});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.err, "2 motifs from 2 patterns written to " + root_ + "\n");
  EXPECT_EQ(Block("-stats"), "2\n5\n14\n");
  EXPECT_EQ(Block("-records.bin"), "PS00016 RGDW-W");
  EXPECT_EQ(Unsigned("-recordIndices.bin"), (Unsigneds{0, 11, 14}));
  EXPECT_EQ(Unsigned("-bitIndices.bin"), (Unsigneds{0, 3, 5}));
  EXPECT_EQ(Unsigned("-bitMotifs.bin"),
            (Unsigneds{Letters("R"), Letters("G"), Letters("D"), Letters("W"), Letters("W")}));
  EXPECT_EQ(Unsigned("-offsets.bin"), (Unsigneds{0, 0}));
  EXPECT_EQ(Unsigned("-homingBitLetters.bin"), (Unsigneds{Letters("R"), Letters("W")}));
  const std::vector<double> s = ReadDoublesBlock(root_ + "-specificities.bin");
  ASSERT_EQ(s.size(), 2u);
  EXPECT_EQ(s[0], 0.052 * 0.0686 * 0.0526);
  EXPECT_EQ(s[1], 0.0123 * 0.0123);
  EXPECT_EQ(ReadDoublesBlock(root_ + "-lengthCorrections.bin"),
            (std::vector<double>{3 * s[0], 2 * s[1]}));
  EXPECT_EQ(ReadDoublesBlock(root_ + "-logSpecificities.bin"),
            (std::vector<double>{std::log10(s[0]), std::log10(s[1])}));
}

// B, Z and J are letters like the others, each matching itself alone; a
// pattern that names one gets a warning naming the set it may have meant,
// from the builder and from the direct search.
TEST_F(Makedb, AmbiguityCodesAreLettersWithAWarning) {
  const ProcessResult r =
      Motifs("B-x-C\tone\n[bz]-x-C\ttwo\nZ-J-[BC]\tthree\nC-x-C\tfour\n", {"--keep-order", "-q"});
  ASSERT_EQ(r.status, 0) << r.err;
  const std::string warnings =
      "warning: pattern 'B-x-C' uses B as a letter, which matches that letter alone; for Asp or "
      "Asn write [DN]\n" +
      ("brisel-makedb: " + input_ + ":2: ") +
      "warning: pattern '[bz]-x-C' uses B and Z as letters, which match those letters alone; "
      "for Asp or Asn write [DN], for Glu or Gln write [EQ]\n" +
      ("brisel-makedb: " + input_ + ":3: ") +
      "warning: pattern 'Z-J-[BC]' uses B, Z and J as letters, which match those letters "
      "alone; for Asp or Asn write [DN], for Glu or Gln write [EQ], for Ile or Leu write [IL]\n";
  EXPECT_EQ(r.err, "brisel-makedb: " + input_ + ":1: " + warnings);
  WriteFile(dir_ / "seqs.fa", ">s\nDACNACBAC\n");
  const ProcessResult direct = RunSearch(
      {"--patterns", input_, "--fasta", dir_ / "seqs.fa", "-e", "9", "-F", "tsv", "--no-header"});
  EXPECT_EQ(direct.status, 0);
  EXPECT_TRUE(direct.err.starts_with("brisel-search: " + input_ + ":1: " + warnings.substr(0, 40)))
      << direct.err;
  std::string hits;
  for (std::size_t at = 0; (at = direct.out.find('\t', at)) != std::string::npos;) {
    const std::size_t next = direct.out.find('\n', at);
    hits += direct.out.substr(at + 1, direct.out.find('\t', at + 1) - at - 1) + ",";
    at = next;
  }
  EXPECT_EQ(hits, "7,7,") << "B-x-C and [bz]-x-C at the B only\n" << direct.out;
}

TEST_F(Makedb, MotifsAreOrderedMostSpecificFirstUnlessTheOrderIsKept) {
  const std::string patterns = "A\tcommon\nW-W\trare\nC\tmiddle\nA\tcommon again\n";
  ASSERT_EQ(Motifs(patterns).status, 0);
  EXPECT_EQ(Block("-records.bin"), "raremiddlecommoncommon again");
  ASSERT_EQ(Motifs(patterns, {"--keep-order"}).status, 0);
  EXPECT_EQ(Block("-records.bin"), "commonraremiddlecommon again");
}

TEST_F(Makedb, RangesExpandIntoMotifsThatShareTheirRecord) {
  ASSERT_EQ(Motifs("C-x(1,2)-C\tzinc\n", {"--keep-order"}).status, 0);
  EXPECT_EQ(Block("-stats"), "2\n7\n8\n");
  EXPECT_EQ(Block("-records.bin"), "zinczinc");
  EXPECT_EQ(Unsigned("-bitIndices.bin"), (Unsigneds{0, 3, 7}));
}

TEST_F(Makedb, APrositeFileGivesOneMotifPerPatternEntry) {
  const ProcessResult r =
      RunMakedb({"motifs", "--keep-order", BRISEL_DATA_DIR "/prosite-excerpt.dat", root_});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.err, "12 motifs from 7 patterns written to " + root_ + "\n");
  const std::string records = Block("-records.bin");
  EXPECT_EQ(records.substr(0, 29), "PS00237 G_PROTEIN_RECEP_F1_1P");
  EXPECT_NE(records.find("PS00238 OPSIN"), std::string::npos);
  EXPECT_EQ(records.find("PS50262"), std::string::npos) << "matrix entries have no pattern";
}

TEST_F(Makedb, APrositeEntryWithoutAccession) {
  const ProcessResult r = Motifs("ID   X; PATTERN.\nDE   no accession\nPA   R-G-\nPA   D.\n//\n");
  EXPECT_EQ(r.err, "brisel-makedb: " + input_ + ":3: an entry with a PA line has no AC line\n");
  EXPECT_EQ(r.status, 1);
}

TEST_F(Makedb, MalformedPatternsAreReportedWithLineAndColumn) {
  const ProcessResult list = Motifs("R-G-D\n  R-G--D  rec\n");
  EXPECT_EQ(list.err, "brisel-makedb: " + input_ + ":2:7: unexpected '-' in pattern 'R-G--D'\n");
  EXPECT_EQ(list.status, 1);
  const ProcessResult prosite =
      Motifs("ID   X; PATTERN.\nAC   PS1;\nPA   [ST]-x-\nPA     [RK]-(2).\n//\n");
  EXPECT_EQ(prosite.err,
            "brisel-makedb: " + input_ + ":4:13: unexpected '(' in pattern '[ST]-x-[RK]-(2).'\n");
}

TEST_F(Makedb, LargeExpansionsAreKeptWithAWarningAndHugeOnesSkipped) {
  const ProcessResult r = Motifs(
      "x(1,10)-A-x(1,10)-C-x(1,11)\twide\nR-G-D\nx(1,50)-A-x(1,50)-C-x(1,50)\nC-x(1,1000)-C\n");
  ASSERT_EQ(r.status, 0);
  EXPECT_EQ(r.err, "brisel-makedb: " + input_ +
                       ":1: warning: pattern 'wide' expands into 1100 motifs\n"
                       "brisel-makedb: " +
                       input_ +
                       ":3: warning: skipping pattern 'x(1,50)-A-x(1,50)-C-x(1,50)': it expands "
                       "into more than 100000 motifs\n"
                       "2101 motifs from 4 patterns (1 skipped) written to " +
                       root_ + "\n");
  EXPECT_EQ(Block("-stats").substr(0, 5), "2101\n");
  EXPECT_FALSE(std::filesystem::exists(root_ + "-anchors.bin")) << "no motif is anchored";
}

TEST_F(Makedb, ChoicesThatGiveIdenticalMotifsAreStoredOnce) {
  // A-x(0,1)-x(0,1)-C gives A-x-C twice; x(1,2) twenty times has 2^20 choices
  // but 21 distinct motifs, and the limits count distinct motifs.
  std::string twenty = "x(1,2)";
  for (int i = 1; i < 20; ++i)
    twenty += "-x(1,2)";
  ASSERT_EQ(Motifs("A-x(0,1)-x(0,1)-C\tdup\n" + twenty + "\ttwenty\n", {"--keep-order"}).status, 0);
  EXPECT_EQ(Block("-stats"), std::to_string(3 + 21) + "\n" +
                                 std::to_string(2 + 3 + 4 + (20 + 40) * 21 / 2) + "\n" +
                                 std::to_string(3 * 3 + 21 * 6) + "\n");
  EXPECT_EQ(Unsigned("-bitIndices.bin")[3], 2u + 3 + 4);

  // The hit AGC is reported, and its expectation counted, once.
  ASSERT_EQ(Motifs("A-x(0,1)-x(0,1)-C\tdup\n").status, 0);
  WriteFile(dir_ / "agc", "AGC\n");
  const ProcessResult search = RunSearch({"-l", "-m", root_, "-b", "-s", dir_ / "agc", "-e", "2"});
  ASSERT_EQ(search.status, 0) << search.err;
  EXPECT_EQ(search.out, "1.24e-03|0.999|1.239e-03|dup|AGC|1|3\n");
}

TEST_F(Makedb, AnchoredPatternsGiveAnAnchorsBlock) {
  // The ER retention signal (KDEL), the peroxisomal targeting signal 1, a
  // leading range tied to the N-terminus, both ends, and an optional last
  // element.
  const std::string patterns =
      "[KRHQSA]-[DENQ]-E-L>\tKDEL\n"
      "[STAGCN]-[RKH]-[LIVMAFY]>\tPTS1\n"
      "<x(0,2)-M-K\tnterm\n"
      "<M-K>\twhole\n"
      "F-[GSTV]-P-R-L-[G>].\toptional\n"
      "R-G-D\tRGD\n";
  const ProcessResult r = Motifs(patterns, {"--keep-order"});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.err, "9 motifs from 6 patterns written to " + root_ + "\n");
  EXPECT_EQ(Block("-records.bin"), "KDELPTS1ntermntermntermwholeoptionaloptionalRGD");
  EXPECT_EQ(Unsigned("-bitIndices.bin"), (Unsigneds{0, 4, 7, 9, 12, 16, 18, 24, 29, 32}));
  EXPECT_EQ(Unsigned("-bitMotifs.bin")[9], kAllLettersMask) << "x(1) of <x(0,2)-M-K";
  EXPECT_EQ(Block("-anchors.bin"), std::string("\2\2\1\1\1\3\0\2\0", 9));

  // Most specific first: the anchors are sorted with their motifs.
  ASSERT_EQ(Motifs(patterns).status, 0);
  const std::vector<double> s = ReadDoublesBlock(root_ + "-specificities.bin");
  const std::string records = Block("-records.bin");
  const std::string anchors = Block("-anchors.bin");
  ASSERT_EQ(anchors.size(), 9u);
  EXPECT_TRUE(std::is_sorted(s.begin(), s.end()));
  const Unsigneds recordIndices = Unsigned("-recordIndices.bin");
  std::string anchorsOfNterm;
  for (std::size_t m = 0; m < 9; ++m) {
    const std::string record =
        records.substr(recordIndices[m], recordIndices[m + 1] - recordIndices[m]);
    const char expected = record == "KDEL" || record == "PTS1" ? '\2'
                          : record == "whole"                  ? '\3'
                          : record == "nterm"                  ? '\1'
                                                               : anchors[m];
    EXPECT_EQ(anchors[m], expected) << record;
    if (record == "nterm") anchorsOfNterm += anchors[m];
  }
  EXPECT_EQ(anchorsOfNterm, "\1\1\1");
}

TEST_F(Makedb, ARebuildWithoutAnchoredMotifsRemovesTheAnchorsBlock) {
  ASSERT_EQ(Motifs("R-G-D\nE-L>\n").status, 0);
  EXPECT_EQ(ListDirectory(dir_.path()).size(), 12u) << "the input, ten blocks and the stats file";
  ASSERT_EQ(Motifs("R-G-D\nE-L\n").status, 0);
  EXPECT_EQ(ListDirectory(dir_.path()).size(), 11u);
  EXPECT_FALSE(std::filesystem::exists(root_ + "-anchors.bin"));
  const ProcessResult failed = Motifs("E-L>\nW-[W\n");
  ASSERT_EQ(failed.status, 1);
  EXPECT_FALSE(std::filesystem::exists(root_ + "-anchors.bin")) << "a failed build adds nothing";
}

TEST_F(Makedb, APrositeFileCutShort) {
  const std::string entry =
      "ID   RGD; PATTERN.\nAC   PS00016;\nDE   Cell attachment sequence.\nPA   R-G-D.\n";
  // Cut before its first "//": still a data file, and its entry is unfinished.
  ProcessResult r = Motifs("CC   header\n\n" + entry);
  EXPECT_EQ(r.err, "brisel-makedb: " + input_ +
                       ":1: the entry that starts on this line is not ended by a '//' line\n");
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(ListDirectory(dir_.path()), std::vector<std::string>{"input"});
  r = Motifs(entry + "//\r\n" + entry + "CC   /TAXO-RANGE=??E?V;\n");
  EXPECT_EQ(r.err, "brisel-makedb: " + input_ +
                       ":6: the entry that starts on this line is not ended by a '//' line\n");
  // Complete files, with CRLF line ends or '#' lines, are read as before.
  r = Motifs("# an excerpt\n" + entry + "//\r\n\n" + entry + "//\n");
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(Block("-records.bin"), "PS00016 RGDPS00016 RGD");
}

TEST_F(Makedb, ControlBytesInMessagesAreEscaped) {
  ProcessResult r = Motifs(std::string("R-G-D\tPS\0REC\n", 13));
  EXPECT_EQ(r.err, "brisel-makedb: " + input_ +
                       ":1: the record 'PS\\x00REC' contains a NUL byte, which would cut it "
                       "short\n");
  EXPECT_EQ(r.status, 1);
  r = Motifs(std::string("R-G\0\x1b-D\tRGD\n", 12));
  EXPECT_EQ(r.err, "brisel-makedb: " + input_ +
                       ":1:4: unexpected byte 0x00 in pattern 'R-G\\x00\\x1B-D'\n");
  WriteFile(input_, "R-G-D\n");
  const ProcessResult root = RunMakedb({"motifs", "-q", input_, dir_ / "no\ndir/db"});
  EXPECT_EQ(root.err, "brisel-makedb: " + dir_.path().string() +
                          "/no\\ndir/db-logSpecificities.bin: cannot create: No such file or "
                          "directory\n");
}

TEST_F(Makedb, RecordsThatWouldBreakTheHitLine) {
  const ProcessResult r = Motifs("R-G-D\tgood\nW-W\tbad|record\n");
  EXPECT_EQ(r.err, "brisel-makedb: " + input_ +
                       ":2: the record 'bad|record' contains '|', which would break the fields "
                       "of the hit line\n");
  EXPECT_EQ(r.status, 1);
}

// ---- Existing databases survive failed builds ------------------------------------

TEST_F(Makedb, AFailedBuildChangesNothingAndLeavesNoTemporaryFile) {
  ASSERT_EQ(Motifs("R-G-D\tPS00016 RGD\n").status, 0);
  const std::vector<std::string> files = ListDirectory(dir_.path());
  std::vector<std::string> before;
  for (const std::string& name : files)
    before.push_back(ReadFile(dir_ / name));

  ASSERT_EQ(Motifs("W-W\nW-[W\n").status, 1);
  EXPECT_EQ(ListDirectory(dir_.path()), files);
  for (std::size_t i = 0; i < files.size(); ++i) {
    if (files[i] != "input") {
      EXPECT_EQ(ReadFile(dir_ / files[i]), before[i]) << files[i];
    }
  }
}

TEST_F(Makedb, ARebuildReplacesEveryFile) {
  ASSERT_EQ(Motifs("R-G-D\n").status, 0);
  ASSERT_EQ(Motifs("W-W\nC\n").status, 0);
  EXPECT_EQ(Block("-stats"), "2\n3\n4\n");
  EXPECT_EQ(ListDirectory(dir_.path()).size(), 11u) << "the input, nine blocks and the stats file";
}

// ---- Command line --------------------------------------------------------------------

TEST_F(Makedb, HelpAndVersion) {
  const ProcessResult help = RunMakedb({"--help"});
  EXPECT_EQ(help.status, 0);
  EXPECT_NE(help.out.find("Usage: brisel-makedb sequences [-q] [--shards N | --shard-size SIZE] "
                          "INPUT ROOT\n"),
            std::string::npos);
  EXPECT_EQ(help.err, "");
  const ProcessResult version = RunMakedb({"--version"});
  EXPECT_EQ(version.out, "brisel-makedb " BRISEL_VERSION "\n");
  EXPECT_EQ(version.status, 0);
}

TEST_F(Makedb, UsageErrorsAreOneLine) {
  const struct {
    std::vector<std::string> args;
    std::string err;
  } cases[] = {
      {{}, "brisel-makedb: no command given (see brisel-makedb --help)\n"},
      {{"proteins", "a", "b"},
       "brisel-makedb: unknown command 'proteins' (see brisel-makedb --help)\n"},
      {{"sequences", "--keep-order", "a", "b"},
       "brisel-makedb: unknown option '--keep-order' (see brisel-makedb --help)\n"},
      {{"motifs", "a"}, "brisel-makedb: motifs takes INPUT and ROOT (see brisel-makedb --help)\n"},
      {{"motifs", "a", "b", "c"},
       "brisel-makedb: motifs takes INPUT and ROOT (see brisel-makedb --help)\n"},
  };
  for (const auto& c : cases) {
    const ProcessResult r = RunMakedb(c.args);
    EXPECT_EQ(r.err, c.err);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "");
  }
}

}  // namespace
