// SPDX-License-Identifier: MIT
// --help and --version detection and the reading of -e.
#include "search_options.h"

#include <getopt.h>
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

using namespace brisel;

namespace {

// The words as a command line of brisel-search, for `read`.
template <typename Read>
auto WithArgv(std::vector<std::string> words, Read read) {
  std::string name = "brisel-search";
  std::vector<char*> argv{name.data()};
  for (std::string& w : words)
    argv.push_back(w.data());
  argv.push_back(nullptr);
  return read(static_cast<int>(argv.size() - 1), argv.data());
}

InfoRequest Find(std::vector<std::string> words) {
  return WithArgv(std::move(words), FindInfoRequest);
}

TEST(InfoRequest, FoundAnywhereBeforeDoubleHyphen) {
  EXPECT_EQ(Find({"--help"}), InfoRequest::kHelp);
  EXPECT_EQ(Find({"-b", "-m", "db", "extra", "--version"}), InfoRequest::kVersion);
  EXPECT_EQ(Find({"--version", "--help"}), InfoRequest::kVersion) << "the first one counts";
  EXPECT_EQ(Find({"-bf", "--help"}), InfoRequest::kHelp);
  EXPECT_EQ(Find({"--", "--help"}), InfoRequest::kNone);
  EXPECT_EQ(Find({"-b"}), InfoRequest::kNone);
  EXPECT_EQ(Find({"--helpme"}), InfoRequest::kNone);
}

TEST(InfoRequest, AnOptionArgumentIsNotARequest) {
  EXPECT_EQ(Find({"-m", "--help"}), InfoRequest::kNone);
  EXPECT_EQ(Find({"-bs", "--version"}), InfoRequest::kNone);
  EXPECT_EQ(Find({"-mdb", "--help"}), InfoRequest::kHelp) << "-m took its argument inline";
  EXPECT_EQ(Find({"-e", "-3", "--help"}), InfoRequest::kHelp);
  EXPECT_EQ(Find({"-j", "--help"}), InfoRequest::kNone);
  EXPECT_EQ(Find({"-bj", "--version"}), InfoRequest::kNone);
  EXPECT_EQ(Find({"-j3", "--help"}), InfoRequest::kHelp);
  EXPECT_EQ(Find({"--format", "--help"}), InfoRequest::kNone) << "the format named --help";
  EXPECT_EQ(Find({"--form", "--version"}), InfoRequest::kNone) << "an abbreviation of --format";
  EXPECT_EQ(Find({"--format=tsv", "--help"}), InfoRequest::kHelp);
  EXPECT_EQ(Find({"--fasta", "--help"}), InfoRequest::kNone) << "the FASTA file named --help";
  EXPECT_EQ(Find({"--pat", "--version"}), InfoRequest::kNone) << "an abbreviation of --patterns";
  EXPECT_EQ(Find({"--fasta=x.fa", "--help"}), InfoRequest::kHelp);
  EXPECT_EQ(Find({"--f", "--help"}), InfoRequest::kHelp)
      << "--f may be --fasta or --format: getopt refuses it and takes no argument";
  EXPECT_EQ(Find({"--fo", "--help"}), InfoRequest::kNone) << "--fo is --format alone";
  EXPECT_EQ(Find({"-Ftsv", "--no-header", "--help"}), InfoRequest::kHelp);
}

RunSettings Read(std::vector<std::string> words) {
  optind = 0;  // getopt starts afresh
  return WithArgv(std::move(words), ReadOptions);
}

TEST(ThreadCount, OnlyDigitsGivingOneTo4096) {
  EXPECT_EQ(Read({"-j", "1"}).threadCount, 1u);
  EXPECT_EQ(Read({"-j007"}).threadCount, 7u);
  EXPECT_EQ(Read({"-j", "4096"}).threadCount, 4096u);
  EXPECT_EQ(Read({}).threadCount, 0u) << "one per CPU";
  for (const char* bad :
       {"0", "4097", "99999999999999999999", "-1", "+3", " 3", "3 ", "2x", "abc", "", "1.5"}) {
    EXPECT_EQ(Read({"-j", bad}).usageFault, "invalid thread count '" + std::string(bad) +
                                                "' (-j takes a positive integer up to 4096)");
  }
  EXPECT_GE(brisel::AvailableCpuCount(), 1u);
}

TEST(CutoffExponent, FollowsStrtolRulesClampedTo32Bits) {
  EXPECT_EQ(ParseCutoffExponent("-3"), -3);
  EXPECT_EQ(ParseCutoffExponent("0"), 0);
  EXPECT_EQ(ParseCutoffExponent("abc"), 0);
  EXPECT_EQ(ParseCutoffExponent("2.5"), 2);
  EXPECT_EQ(ParseCutoffExponent("3x"), 3);
  EXPECT_EQ(ParseCutoffExponent("  +7"), 7);
  EXPECT_EQ(ParseCutoffExponent("99999999999"), INT32_MAX);
  EXPECT_EQ(ParseCutoffExponent("-99999999999999999999999"), INT32_MIN);
}

TEST(CutoffExponent, TenToThePowerN) {
  EXPECT_EQ(CutoffFromExponent(-2), std::pow(10.0, -2.0));
  EXPECT_EQ(CutoffFromExponent(-3), 0.001);
  EXPECT_EQ(CutoffFromExponent(0), 1.0);
  EXPECT_EQ(CutoffFromExponent(2), 100.0);
  EXPECT_EQ(CutoffFromExponent(400), HUGE_VAL);
  EXPECT_EQ(CutoffFromExponent(-400), 0.0);
}

}  // namespace
