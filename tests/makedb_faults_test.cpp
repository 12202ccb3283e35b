// SPDX-License-Identifier: MIT
// Faults while a database is rebuilt: a full device, a build killed mid-way,
// and a search running on the database that is being replaced. The old
// database must survive each of them byte for byte.
#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <filesystem>
#include <map>
#include <string>
#include <thread>

#include "support/process.h"
#include "support/temp_dir.h"

using namespace brisel;

namespace {

// FASTA of `count` sequences of `length` residues each.
std::string GeneratedFasta(int count, int length) {
  const char residues[] = "ACDEFGHIKLMNPQRSTVWY";
  std::string fasta;
  fasta.reserve(static_cast<std::size_t>(count) * (length + 16));
  unsigned state = 12345;
  for (int s = 0; s < count; ++s) {
    fasta += ">seq" + std::to_string(s) + "\n";
    for (int p = 0; p < length; ++p) {
      state = state * 1103515245u + 12345u;
      fasta += residues[(state >> 16) % 20];
    }
    fasta += '\n';
  }
  return fasta;
}

// Every file of a directory with its contents.
std::map<std::string, std::string> Snapshot(const std::filesystem::path& directory) {
  std::map<std::string, std::string> files;
  for (const std::string& name : ListDirectory(directory)) {
    files[name] = ReadFile((directory / name).string());
  }
  return files;
}

class MakedbFaults : public ::testing::Test {
 protected:
  void SetUp() override {
    std::filesystem::create_directory(dbDir_);
    WriteFile(dir_ / "old.fa", ">old\nMKVLAAGGWW\n>older\nRGDRGD\n");
    ASSERT_EQ(RunMakedb({"sequences", "-q", dir_ / "old.fa", root_}).status, 0);
    before_ = Snapshot(dbDir_);
  }

  TempDir dir_;
  std::filesystem::path dbDir_ = dir_.path() / "db";
  std::string root_ = (dbDir_ / "sprot").string();
  std::map<std::string, std::string> before_;
};

TEST_F(MakedbFaults, AFileSizeLimitFailsTheBuildAndKeepsTheOldDatabase) {
  WriteFile(dir_ / "new.fa", GeneratedFasta(2000, 300));
  RunOptions limited;
  limited.fileSizeLimit = 100000;
  const ProcessResult r = RunMakedb({"sequences", dir_ / "new.fa", root_}, limited);
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err,
            "brisel-makedb: " + root_ + "-textSequences.bin: cannot write: File too large\n");
  EXPECT_EQ(Snapshot(dbDir_), before_);
}

TEST_F(MakedbFaults, AFullFilesystemFailsTheBuildAndKeepsTheOldDatabase) {
  // A 512 KiB tmpfs in a mount namespace of its own: the old database fits,
  // the new one does not.
  WriteFile(dir_ / "new.fa", GeneratedFasta(2000, 300));
  const std::string script =
      "set -e; mount -t tmpfs -o size=512k tmpfs \"$1\"; "
      "\"$2\" sequences -q \"$3\" \"$1/sprot\"; sha256sum \"$1\"/* > \"$5/before\"; "
      "status=0; \"$2\" sequences \"$4\" \"$1/sprot\" 2> \"$5/err\" || status=$?; "
      "echo $status > \"$5/status\"; sha256sum \"$1\"/* > \"$5/after\"; ls -A \"$1\" > "
      "\"$5/files\"";
  const std::string mountPoint = dir_ / "small";
  std::filesystem::create_directory(mountPoint);
  const ProcessResult r =
      RunProgram("/usr/bin/unshare", "unshare",
                 {"-m", "sh", "-c", script, "sh", mountPoint, BRISEL_MAKEDB_PATH, dir_ / "old.fa",
                  dir_ / "new.fa", dir_.path().string()});
  if (r.status != 0 || !std::filesystem::exists(dir_ / "status")) {
    GTEST_SKIP() << "SKIPPED: cannot mount a small filesystem (root, mount namespace): " << r.err;
  }
  EXPECT_EQ(ReadFile(dir_ / "status"), "1\n");
  EXPECT_NE(ReadFile(dir_ / "err").find(": cannot write: No space left on device\n"),
            std::string::npos)
      << ReadFile(dir_ / "err");
  EXPECT_EQ(ReadFile(dir_ / "after"), ReadFile(dir_ / "before"));
  EXPECT_EQ(ReadFile(dir_ / "files").find(".tmp-"), std::string::npos) << ReadFile(dir_ / "files");
}

// Starts a long build of a new database and stops it with `signalNumber` once
// it has begun writing (for shards: once it has begun writing `waitFor`).
void InterruptBuild(const std::string& input, const std::string& root,
                    const std::filesystem::path& directory, int signalNumber,
                    const std::vector<std::string>& options = {},
                    const std::string& waitFor = ".tmp-") {
  std::vector<std::string> args = {"sequences", "-q"};
  args.insert(args.end(), options.begin(), options.end());
  args.insert(args.end(), {input, root});
  BackgroundProgram build(BRISEL_MAKEDB_PATH, "brisel-makedb", args);
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
  bool writing = false;
  while (!writing && std::chrono::steady_clock::now() < deadline) {
    for (const std::string& name : ListDirectory(directory))
      writing |= name.find(waitFor) != std::string::npos;
    if (!writing) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  ASSERT_TRUE(writing) << "the build never began to write";
  build.Kill(signalNumber);
  EXPECT_EQ(build.Finish().status, 128 + signalNumber);
}

TEST_F(MakedbFaults, ABuildKilledMidWayLeavesTheOldDatabaseIntact) {
  WriteFile(dir_ / "big.fa", GeneratedFasta(200000, 200));
  InterruptBuild(dir_ / "big.fa", root_, dbDir_, SIGKILL);
  std::map<std::string, std::string> after = Snapshot(dbDir_);
  std::erase_if(after,
                [](const auto& file) { return file.first.find(".tmp-") != std::string::npos; });
  EXPECT_EQ(after, before_) << "only the killed build's temporary files may be added";
  // The next build of the root clears them away.
  EXPECT_EQ(RunMakedb({"sequences", "-q", dir_ / "old.fa", root_}).status, 0);
  EXPECT_EQ(Snapshot(dbDir_), before_);
}

TEST_F(MakedbFaults, ABuildRemovesOnlyItsRootsStaleTemporaryFiles) {
  const std::vector<std::string> stale = {
      "sprot-names.bin.tmp-a1B2c3",      "sprot-stats.tmp-XXXXXX",  "sprot-anchors.bin.tmp-000000",
      "sprot.12-offsets.bin.tmp-zzzzzz", "sprot.shards.tmp-Q9q9Q9", "sprot-replacing.tmp-abcdef"};
  const std::vector<std::string> kept = {
      "other-names.bin.tmp-a1B2c3",  // another root
      "sprotx-stats.tmp-a1B2c3",     // another root
      "sprot-names.bin.tmp-a1B2",    // not a temporary name of the builder
      "sprot-notes.txt.tmp-a1B2c3",  // not a file of a database
      "sprot.x-stats.tmp-a1B2c3",    // not a shard
      "sprot-names.bin.tmp-a1B2c3.bak"};
  for (const auto& names : {stale, kept})
    for (const std::string& name : names)
      WriteFile(dbDir_ / name, "x");
  ASSERT_EQ(RunMakedb({"motifs", "-q", std::string(BRISEL_DATA_DIR) + "/site-patterns.txt", root_})
                .status,
            0);
  for (const std::string& name : stale)
    EXPECT_FALSE(std::filesystem::exists(dbDir_ / name)) << name;
  for (const std::string& name : kept)
    EXPECT_TRUE(std::filesystem::exists(dbDir_ / name)) << name;
}

TEST_F(MakedbFaults, ABuildInterruptedBySigtermCleansUp) {
  WriteFile(dir_ / "big.fa", GeneratedFasta(200000, 200));
  InterruptBuild(dir_ / "big.fa", root_, dbDir_, SIGTERM);
  EXPECT_EQ(Snapshot(dbDir_), before_) << "no temporary file is left";
}

TEST_F(MakedbFaults, AShardedBuildInterruptedBySigtermCleansUpEveryShard) {
  WriteFile(dir_ / "big.fa", GeneratedFasta(200000, 200));
  InterruptBuild(dir_ / "big.fa", root_, dbDir_, SIGTERM, {"--shards", "3"}, "sprot.3-names.bin");
  EXPECT_EQ(Snapshot(dbDir_), before_) << "no temporary file is left";
}

TEST_F(MakedbFaults, ASearchRunningDuringARebuildFinishesWithTheOldData) {
  // Every residue is a hit of the motif "x", so the search writes far more than
  // a pipe holds and stalls until its output is read.
  WriteFile(dir_ / "old.fa", GeneratedFasta(300, 400));
  WriteFile(dir_ / "any.txt", "x\tany\n");
  ASSERT_EQ(RunMakedb({"sequences", "-q", dir_ / "old.fa", root_}).status, 0);
  ASSERT_EQ(RunMakedb({"motifs", "-q", dir_ / "any.txt", dir_ / "any"}).status, 0);
  const std::vector<std::string> search = {"-l", "-e", "9", "-m", dir_ / "any", "-s", root_};
  const ProcessResult reference = RunSearch(search);
  ASSERT_EQ(reference.status, 0);
  ASSERT_GT(reference.out.size(), 1000000u);

  BackgroundProgram running(BRISEL_SEARCH_PATH, "brisel-search", search);
  // Its first hits show that it has mapped the database; it then stalls on the
  // full pipe while the database is rebuilt.
  const std::string first = running.ReadOutput(1000);
  WriteFile(dir_ / "new.fa", GeneratedFasta(50, 30));
  ASSERT_EQ(RunMakedb({"sequences", "-q", dir_ / "new.fa", root_}).status, 0);
  const ProcessResult during = running.Finish();
  EXPECT_EQ(during.status, 0);
  EXPECT_TRUE(first + during.out == reference.out) << "the search must report the old database";
  EXPECT_NE(RunSearch(search).out, reference.out) << "a new search sees the new database";
}

}  // namespace
