// SPDX-License-Identifier: MIT
// A rebuild is all or nothing, whatever stops it. Builds of a database over
// another are killed at every step of their commit and at random moments
// (SIGKILL, SIGTERM, SIGINT), unsharded and sharded, and after each kill:
// - without a journal, the directory holds exactly the old build's files or
//   exactly the new build's (temporary files aside), and a search reports
//   the one or the other with status 0;
// - with a journal (only after SIGKILL), a search of every database that has
//   one refuses it with status 1, and the next brisel-makedb run on the root
//   completes the new build, even when that run fails on its own input;
// - the next run also removes every temporary file the killed build left.
// Searches that run while the database is rebuilt over and over report the
// one build or the other, never a mixture; so do searches of a shard and of
// the whole set while the next run completes a sharded build that was killed
// when only the set's own journal existed.
#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "support/process.h"
#include "support/temp_dir.h"

using namespace brisel;

namespace {

// The sanitizer build runs fewer of the random kills, each several times slower.
#if defined(__SANITIZE_ADDRESS__)
constexpr int kRandomKills = 25;
constexpr int kRecoveries = 20;
#else
constexpr int kRandomKills = 100;
constexpr int kRecoveries = 50;
#endif

using Snapshot = std::map<std::string, std::string>;

bool IsTemporary(const std::string& name) {
  return name.find(".tmp-") != std::string::npos;
}
bool IsJournal(const std::string& name) {
  return name.size() > 10 && name.compare(name.size() - 10, 10, "-replacing") == 0;
}

// FASTA of `count` records, their residues and names drawn from `seed`.
std::string RandomFasta(int count, int length, unsigned seed) {
  const char residues[] = "ACDEFGHIKLMNPQRSTVWY";
  std::mt19937 random(seed);
  std::string fasta;
  for (int s = 0; s < count; ++s) {
    fasta += ">s" + std::to_string(seed) + "_" + std::to_string(s) + "\n";
    const int n = length / 2 + static_cast<int>(random() % static_cast<unsigned>(length));
    for (int p = 0; p < n; ++p)
      fasta += residues[random() % 20];
    fasta += '\n';
  }
  return fasta;
}

// The files of the directory other than temporary files and journals.
Snapshot Files(const std::filesystem::path& directory) {
  Snapshot files;
  for (const std::string& name : ListDirectory(directory)) {
    if (!IsTemporary(name) && !IsJournal(name)) files[name] = ReadFile(directory / name);
  }
  return files;
}

std::vector<std::string> Matching(const std::filesystem::path& directory,
                                  bool (*predicate)(const std::string&)) {
  std::vector<std::string> names;
  for (const std::string& name : ListDirectory(directory))
    if (predicate(name)) names.push_back(name);
  return names;
}

// The environment variables of the preloaded step faults, set for the child
// processes this test starts and cleared again.
class StepFaults {
 public:
  StepFaults(long killAt, long delayMicroseconds) {
    ::setenv("LD_PRELOAD", BRISEL_DISK_STEP_FAULTS, 1);
    ::setenv("BRISEL_KILL_AT_STEP", std::to_string(killAt).c_str(), 1);
    ::setenv("BRISEL_STEP_DELAY_US", std::to_string(delayMicroseconds).c_str(), 1);
    // A sanitizer build would refuse a library preloaded ahead of its runtime.
    const char* asan = std::getenv("ASAN_OPTIONS");
    savedAsan_ = asan == nullptr ? "" : asan;
    hadAsan_ = asan != nullptr;
    ::setenv("ASAN_OPTIONS", (savedAsan_ + ":verify_asan_link_order=0").c_str(), 1);
  }
  ~StepFaults() {
    ::unsetenv("LD_PRELOAD");
    ::unsetenv("BRISEL_KILL_AT_STEP");
    ::unsetenv("BRISEL_STEP_DELAY_US");
    if (hadAsan_) {
      ::setenv("ASAN_OPTIONS", savedAsan_.c_str(), 1);
    } else {
      ::unsetenv("ASAN_OPTIONS");
    }
  }
  StepFaults(const StepFaults&) = delete;
  StepFaults& operator=(const StepFaults&) = delete;

 private:
  std::string savedAsan_;
  bool hadAsan_ = false;
};

// Two builds, A and B, of the same root, each a different database in every
// file, and what each looks like on disk and to a search.
class Rebuilds : public ::testing::Test {
 protected:
  struct Build {
    std::vector<std::string> args;  // brisel-makedb's arguments
    Snapshot files;
    std::map<std::string, std::string> outputs;  // per searched root
  };

  // Builds the sequence databases A and B, sharded as asked (0: unsharded).
  void SetUpSequences(int count, int length, int shardsA, int shardsB) {
    WriteFile(dir_ / "a.fa", RandomFasta(count, length, 1));
    WriteFile(dir_ / "b.fa", RandomFasta(count + count / 3, length, 2));
    WriteFile(dir_ / "motifs.txt", "C-x(2)-[DE]-x-C\tA\n[ST]-x-[RK]\tB\nG-x-G-x-x-G\tC\n");
    ASSERT_EQ(RunMakedb({"motifs", "-q", dir_ / "motifs.txt", dir_ / "motifs"}).status, 0);
    const auto args = [&](const std::string& input, int shards) {
      std::vector<std::string> a = {"sequences", "-q"};
      if (shards > 0) a.insert(a.end(), {"--shards", std::to_string(shards)});
      a.insert(a.end(), {input, root_});
      return a;
    };
    a_.args = args(dir_ / "a.fa", shardsA);
    b_.args = args(dir_ / "b.fa", shardsB);
    searchMotifs_ = true;
    Record(a_, b_);
  }

  // Builds the motif databases A (with anchored motifs) and B (without).
  void SetUpMotifs() {
    WriteFile(dir_ / "a.txt", "<M-x(2)-[KR]\tA1\nC-x(2,4)-C-x(3)-H\tA2\n[DE]-x-W>\tA3\n");
    WriteFile(dir_ / "b.txt", "G-x-G-x(2)-G\tB1\n[ST]-x-[RK]\tB2\n");
    WriteFile(dir_ / "seqs.fa", RandomFasta(300, 200, 3));
    ASSERT_EQ(RunMakedb({"sequences", "-q", dir_ / "seqs.fa", dir_ / "sequences"}).status, 0);
    a_.args = {"motifs", "-q", dir_ / "a.txt", root_};
    b_.args = {"motifs", "-q", dir_ / "b.txt", root_};
    searchMotifs_ = false;
    Record(a_, b_);
  }

  // The searches of the database at `root`.
  std::vector<std::string> SearchArgs(const std::string& root) const {
    if (searchMotifs_) return {"-l", "-e", "0", "-j", "1", "-m", dir_ / "motifs", "-s", root};
    return {"-l", "-e", "0", "-j", "1", "-m", root, "-s", dir_ / "sequences"};
  }

  // The roots a search can be given: the database, each shard, or the set.
  std::vector<std::string> SearchedRoots() const {
    std::vector<std::string> roots = {root_};
    for (int k = 1; k <= 4; ++k)
      roots.push_back(root_ + "." + std::to_string(k));
    if (searchMotifs_) roots.push_back(root_ + ".shards");
    return roots;
  }

  static bool Searchable(const std::string& root) {
    return std::filesystem::exists(root + "-stats") ||
           (root.ends_with(".shards") && std::filesystem::exists(root));
  }

  void Record(Build& first, Build& second) {
    for (Build* build : {&first, &second}) {
      ASSERT_EQ(RunMakedb(build->args).status, 0);
      build->files = Files(dbDir_);
      for (const std::string& root : SearchedRoots()) {
        if (!Searchable(root)) continue;
        const ProcessResult r = RunSearch(SearchArgs(root));
        ASSERT_EQ(r.status, 0) << r.err;
        build->outputs[root] = r.out;
      }
    }
    ASSERT_NE(first.files, second.files);
    ASSERT_EQ(RunMakedb(first.args).status, 0);  // start from A
    ASSERT_EQ(Files(dbDir_), first.files);
  }

  // After a build of `to` over `from` was stopped: one build, or a journal that
  // every search refuses and the next run completes. Leaves the directory
  // clean, holding `from` or `to`; returns which (true: `to`).
  bool CheckStopped(const Build& from, const Build& to, int signalNumber) {
    const std::vector<std::string> journals = Matching(dbDir_, IsJournal);
    if (!journals.empty()) {
      EXPECT_EQ(signalNumber, SIGKILL) << "SIGTERM and SIGINT finish the replacement first";
      for (const std::string& journal : journals) {
        std::string root = (dbDir_ / journal.substr(0, journal.size() - 10)).string();
        if (std::filesystem::exists(root + ".shards")) root += ".shards";
        if (!Searchable(root)) continue;
        const ProcessResult r = RunSearch(SearchArgs(root));
        EXPECT_EQ(r.status, 1) << root;
        EXPECT_NE(r.err.find("-replacing: an interrupted build left this database half "
                             "replaced; rerun brisel-makedb for "),
                  std::string::npos)
            << r.err;
      }
    } else {
      const Snapshot now = Files(dbDir_);
      EXPECT_TRUE(now == from.files || now == to.files) << "a mixture of two builds";
      const Build& seen = now == to.files ? to : from;
      for (const auto& [root, output] : seen.outputs) {
        const ProcessResult r = RunSearch(SearchArgs(root));
        EXPECT_EQ(r.status, 0) << r.err;
        EXPECT_TRUE(r.out == output) << root;
      }
    }
    // The next run on the root, here one that fails on its input, completes
    // the replacement and removes the temporary files.
    std::vector<std::string> failing = to.args;
    failing[failing.size() - 2] = dir_ / "missing.fa";
    const ProcessResult next = RunMakedb(failing);
    EXPECT_EQ(next.status, 1);
    EXPECT_TRUE(Matching(dbDir_, IsTemporary).empty());
    EXPECT_TRUE(Matching(dbDir_, IsJournal).empty());
    const Snapshot after = Files(dbDir_);
    if (!journals.empty()) {
      EXPECT_TRUE(after == to.files) << "the journal completes the build";
    }
    EXPECT_TRUE(after == from.files || after == to.files);
    return after == to.files;
  }

  // Kills the build of B over A at each step of its commit in turn, until a
  // build runs to its end.
  void KillAtEveryStep() {
    int steps = 0;
    for (long step = 1;; ++step) {
      ProcessResult r;
      {
        const StepFaults faults(step, 0);
        r = RunMakedb(b_.args);
      }
      if (r.status == 0) break;
      ASSERT_EQ(r.status, 128 + SIGKILL) << r.err;
      ++steps;
      if (CheckStopped(a_, b_, SIGKILL)) {
        ASSERT_EQ(RunMakedb(a_.args).status, 0);
      }
      ASSERT_FALSE(HasFailure()) << "at step " << step;
    }
    EXPECT_GT(steps, 10) << "the commit's steps were not seen";
  }

  // Builds the other database over the current one, stopped by a random
  // signal at a random moment up to a little past the build's usual length.
  void KillAtRandomMoments(int kills, unsigned seed) {
    std::mt19937 random(seed);
    const int signals[] = {SIGKILL, SIGTERM, SIGINT};
    // Each step of the commit pauses, as on a slow disk, so that a good share
    // of the kills fall into it.
    const StepFaults faults(0, 300);
    const auto start = std::chrono::steady_clock::now();
    ASSERT_EQ(RunMakedb(b_.args).status, 0);
    const auto length = std::chrono::steady_clock::now() - start;
    ASSERT_EQ(RunMakedb(a_.args).status, 0);
    bool atB = false;
    for (int killed = 0; killed < kills;) {
      const Build& from = atB ? b_ : a_;
      const Build& to = atB ? a_ : b_;
      const int signalNumber = signals[random() % 3];
      const auto delay = std::chrono::duration_cast<std::chrono::microseconds>(
          length * (std::uniform_real_distribution<double>(0.0, 1.2)(random)));
      ProcessResult stopped;
      {
        BackgroundProgram build(BRISEL_MAKEDB_PATH, "brisel-makedb", to.args);
        std::this_thread::sleep_for(delay);
        build.Kill(signalNumber);
        stopped = build.Finish();
      }
      if (stopped.status == 0) {  // finished before the signal
        atB = !atB;
        continue;
      }
      ASSERT_EQ(stopped.status, 128 + signalNumber) << stopped.err;
      ++killed;
      if (CheckStopped(from, to, signalNumber)) atB = !atB;
      ASSERT_FALSE(HasFailure()) << "after kill " << killed;
    }
  }

  // Kills the build of B over A at the first step after which the set's
  // journal is the only one, and keeps a copy of the directory then in
  // `killed`.
  void KillWhenOnlyTheSetJournalExists(const std::filesystem::path& killed) {
    for (long step = 1; step < 1000; ++step) {
      ProcessResult r;
      {
        const StepFaults faults(step, 0);
        r = RunMakedb(b_.args);
      }
      ASSERT_EQ(r.status, 128 + SIGKILL) << "the build ended before its journals: " << r.err;
      if (Matching(dbDir_, IsJournal) == std::vector<std::string>{"db-replacing"}) {
        std::filesystem::copy(dbDir_, killed);
        return;
      }
      ASSERT_EQ(RunMakedb(a_.args).status, 0);
    }
    FAIL() << "no step left the set's journal alone";
  }

  TempDir dir_;
  std::filesystem::path dbDir_ = [this] {
    std::filesystem::create_directory(dir_.path() / "db");
    return dir_.path() / "db";
  }();
  std::string root_ = (dbDir_ / "db").string();
  Build a_, b_;
  bool searchMotifs_ = true;
};

TEST_F(Rebuilds, AKillAtAnyStepOfTheCommitLeavesOneBuildOrAJournal) {
  SetUpSequences(300, 100, 0, 0);
  KillAtEveryStep();
}

TEST_F(Rebuilds, AKillAtAnyStepOfAShardedCommitLeavesOneBuildOrAJournal) {
  SetUpSequences(300, 100, 3, 2);
  KillAtEveryStep();
}

TEST_F(Rebuilds, AKillAtAnyStepOfAMotifCommitLeavesOneBuildOrAJournal) {
  SetUpMotifs();
  KillAtEveryStep();
}

TEST_F(Rebuilds, KillsAtRandomMomentsLeaveOneBuildOrAJournal) {
  SetUpSequences(2500, 300, 0, 0);
  KillAtRandomMoments(kRandomKills, 20);
}

TEST_F(Rebuilds, KillsAtRandomMomentsOfShardedBuildsLeaveOneBuildOrAJournal) {
  SetUpSequences(2500, 300, 4, 3);
  KillAtRandomMoments(kRandomKills, 21);
}

TEST_F(Rebuilds, SearchesDuringRebuildsReportOneBuild) {
  SetUpSequences(2000, 300, 0, 0);
  const StepFaults faults(0, 2000);  // a commit of about 40 ms
  const std::string root = root_;
  std::atomic<bool> done{false};
  std::thread rebuilding([&] {
    for (int i = 0; !done; ++i)
      RunMakedb(i % 2 == 0 ? b_.args : a_.args);
  });
  int searches = 0, sawA = 0, sawB = 0;
  const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(6);
  while (std::chrono::steady_clock::now() < end) {
    const ProcessResult r = RunSearch(SearchArgs(root));
    ++searches;
    EXPECT_EQ(r.status, 0) << r.err;
    sawA += r.out == a_.outputs.at(root);
    sawB += r.out == b_.outputs.at(root);
  }
  done = true;
  rebuilding.join();
  EXPECT_EQ(sawA + sawB, searches) << "every search reports one build";
  EXPECT_GT(sawA, 0);
  EXPECT_GT(sawB, 0);
}

// A killed sharded build that left only the set's journal "db-replacing":
// while the next brisel-makedb completes it, shard by shard, searches of a
// shard and of the set wait for the replacement or refuse it; every search
// that ends with status 0 reports build A or build B whole.
TEST_F(Rebuilds, SearchesDuringTheRecoveryOfAShardedBuildReportOneBuild) {
  SetUpSequences(600, 200, 3, 3);
  const std::filesystem::path killed = dir_.path() / "killed";
  KillWhenOnlyTheSetJournalExists(killed);
  ASSERT_FALSE(HasFailure());
  const std::vector<std::string> roots = {root_ + ".1", root_ + ".3", root_ + ".shards"};
  // The recovery's renames pause, as on a slow disk, so that searches meet
  // the replacement at each of its steps.
  const StepFaults faults(0, 1500);
  std::atomic<int> searches{0}, sawA{0}, sawB{0}, refused{0}, mixtures{0};
  for (int recovery = 0; recovery < kRecoveries; ++recovery) {
    std::filesystem::remove_all(dbDir_);
    std::filesystem::copy(killed, dbDir_);
    std::atomic<bool> done{false};
    const auto search = [&](int first) {
      for (int i = first; !done; ++i) {
        const std::string& root = roots[static_cast<std::size_t>(i) % roots.size()];
        const ProcessResult r = RunSearch(SearchArgs(root));
        ++searches;
        if (r.status == 0 && r.out == a_.outputs.at(root)) {
          ++sawA;
        } else if (r.status == 0 && r.out == b_.outputs.at(root)) {
          ++sawB;
        } else if (r.status == 1 &&
                   (r.err.find("db-replacing: an interrupted build left this database half "
                               "replaced; rerun brisel-makedb for ") != std::string::npos ||
                    r.err.find("kept changing while it was mapped; search it once the build "
                               "has finished") != std::string::npos)) {
          ++refused;
        } else {
          ++mixtures;
          ADD_FAILURE() << root << " (status " << r.status << "): " << r.err;
        }
      }
    };
    std::thread first(search, 0), second(search, 1);
    const ProcessResult recovered = RunMakedb(b_.args);
    done = true;
    first.join();
    second.join();
    ASSERT_EQ(recovered.status, 0) << recovered.err;
    ASSERT_EQ(Files(dbDir_), b_.files);
  }
  std::printf("%d recoveries, %d searches: %d of build A, %d of build B, %d refused, %d mixtures\n",
              kRecoveries, searches.load(), sawA.load(), sawB.load(), refused.load(),
              mixtures.load());
  EXPECT_EQ(mixtures, 0);
  EXPECT_GT(sawB, 0);
}

}  // namespace
