#!/bin/bash
# The game's folders stand in layers (HACKING.md): a file includes only from its own layer
# or below, and the one include that reaches up is the platform interface. Game code
# includes no SDL.
set -u
cd "$2/src" || exit 1
find . \( -name '*.h' -o -name '*.cpp' \) | sed 's|^\./||' | sort | xargs awk '
  BEGIN {
    split("base sound draw app records history run screens GameLoop.h GameLoop.cpp platform", names)
    split("0 0 1 2 3 4 5 6 7 7 8", ranks)
    for (i in names) layer[names[i]] = ranks[i]
    status = 0
  }
  function layerOf(path, top) {
    top = path; sub(/\/.*/, "", top)
    return (top in layer) ? layer[top] : -1
  }
  /^#include "/ {
    included = $2; gsub(/"/, "", included)
    if (included == "platform/Platform.h" || included == "kelo_version.h") next
    from = layerOf(FILENAME); to = layerOf(included)
    if (from < 0 || to < 0 || to > from) {
      printf "FAIL: src/%s includes \"%s\", which stands above it or in no layer\n", FILENAME, included
      status = 1
    }
  }
  /^#include <SDL/ && layerOf(FILENAME) != layer["platform"] {
    printf "FAIL: src/%s is game code and includes SDL\n", FILENAME
    status = 1
  }
  END { exit status }' || exit 1
