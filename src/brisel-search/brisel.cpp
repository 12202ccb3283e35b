// brisel.cpp: the residue bit maps, which turn residue characters and letter
// indexes into letter masks.
#include "brisel.h"

void InitializeCharToBitMap(std::uint32_t* charToBitMap, int mapLength) {
  for (int c = 0; c < mapLength; ++c)
    charToBitMap[c] = 0;
  std::uint32_t i = 0;
  for (int c = 'A'; c <= 'Z'; ++c, ++i)
    charToBitMap[c] = std::uint32_t{1} << i;
  i = 0;
  for (int c = 'a'; c <= 'z'; ++c, ++i)
    charToBitMap[c] = std::uint32_t{1} << i;
}

void InitializeIndexToBitMap(std::uint32_t* indexToBitMap, int mapLength) {
  for (int i = 0; i < mapLength; ++i)
    indexToBitMap[i] = std::uint32_t{1} << i;
}
