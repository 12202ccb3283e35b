// command_line.h: the options of brisel-search.
//
//   brisel-search [-b] [-f] [-l] [-e N] [-m NAME] [-s NAME]
//   brisel-search --help | --version
//
// The options are read by the platform's getopt with "be:flm:s:", so flags may be
// grouped, an argument may follow its letter or stand as the next word, options
// are recognised anywhere, "--" ends them, and a bad option gets getopt's own
// diagnostic and is skipped (the run goes on). --help and --version are looked
// for first, before getopt sees them (it would read "--help" as "-e lp").
#ifndef BRISEL_COMMAND_LINE_H
#define BRISEL_COMMAND_LINE_H

#include <cstdint>
#include <string>

struct RunSettings {
  int searchByBruteForce = 0;
  int isFasta = 0;
  int useLocalPath = 0;
  double cutoffExpectation = 0.01;  // set to pow(10, -2) when the options are read
  std::string motifDatabase = "tallowmere";
  std::string sequenceDatabase = "sprot";
};

enum class InfoRequest { kNone, kHelp, kVersion };

// The first --help or --version that stands as an option word (not as the
// argument of -e, -m or -s) before any "--".
InfoRequest FindInfoRequest(int argc, char* const argv[]);

// Reads the options with getopt, in the order in which they appear.
RunSettings ReadOptions(int argc, char* argv[]);

// N of -e by strtol rules (leading white space, a sign, the longest run of
// digits; no digits gives 0), clamped to the range of a 32-bit signed integer.
std::int32_t ParseCutoffExponent(const char* word);

// 10 to the power N in double precision.
double CutoffFromExponent(std::int32_t exponent);

extern const char kUsageText[];

#endif  // BRISEL_COMMAND_LINE_H
