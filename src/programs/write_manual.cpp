// SPDX-License-Identifier: MIT
// write_manual.cpp: a manual page from its template, the line "@OPTIONS@"
// replaced by the option list that the program's option table gives.
//
//   write_manual TEMPLATE OUTPUT
//
// Built once per program, with that program's option table.
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>

namespace brisel {
// The option list of the program whose option table this is linked with
// (search_options.h, makedb_options.h).
std::string ManualOptionList();
}  // namespace brisel

int main(int argc, char* argv[]) {
  if (argc != 3) {
    std::cerr << "usage: write_manual TEMPLATE OUTPUT\n";
    return 2;
  }
  std::ifstream in(argv[1]);
  std::stringstream text;
  text << in.rdbuf();
  if (!in) {
    std::cerr << "write_manual: cannot read " << argv[1] << "\n";
    return 1;
  }
  std::string page = text.str();
  const std::string marker = "@OPTIONS@\n";
  const std::size_t at = page.find(marker);
  if (at == std::string::npos) {
    std::cerr << "write_manual: " << argv[1] << " has no line @OPTIONS@\n";
    return 1;
  }
  page.replace(at, marker.size(), brisel::ManualOptionList());
  std::ofstream out(argv[2]);
  out << page;
  return out.flush() ? 0 : 1;
}
