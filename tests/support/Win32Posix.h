#pragma once

// Included ahead of every test source of the Windows build: the one POSIX call the tests make
// for their temporary folders and that the Windows C library lacks.
#ifdef _WIN32
#include <direct.h>
#include <io.h>
#include <stdlib.h>

#include <cstring>

// Replaces the trailing XXXXXX of the template with a name not yet taken, makes that folder,
// and answers the template; null when no folder could be made.
inline char* mkdtemp(char* name) {
  for (int attempt = 0; attempt < 100; ++attempt) {
    char* candidate = _strdup(name);
    if (candidate == nullptr) {
      return nullptr;
    }
    const bool named = _mktemp_s(candidate, std::strlen(candidate) + 1) == 0;
    const bool made = named && _mkdir(candidate) == 0;
    if (made) {
      std::strcpy(name, candidate);
    }
    std::free(candidate);
    if (made) {
      return name;
    }
  }
  return nullptr;
}
#endif
