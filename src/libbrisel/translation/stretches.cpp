// SPDX-License-Identifier: MIT
#include "translation/stretches.h"

namespace brisel {

std::vector<Stretch> FindStretches(std::string_view letters, ReadingFrame frame,
                                   std::uint64_t firstIndex, std::uint64_t minLength) {
  std::vector<Stretch> stretches;
  ForEachStretch(letters, frame, firstIndex, minLength,
                 [&](const Stretch& stretch) { stretches.push_back(stretch); });
  return stretches;
}

}  // namespace brisel
