# Writes OUT, a header naming the build of the code that makes what the
# index keeps (the engine and the index's record codec): a hash of those
# files, so that an index written by another build of them is parsed again.
# Run by the build (-DOUT=... -DFILES="a;b;c" -P index_stamp.cmake).
set(all "")
foreach(f IN LISTS FILES)
  file(SHA256 "${f}" h)
  string(APPEND all "${h}")
endforeach()
string(SHA256 stamp "${all}")
string(SUBSTRING "${stamp}" 0 16 stamp)
set(text "// Made by the build (scripts/index_stamp.cmake); do not edit.\n#pragma once\n#define VELMORA_INDEX_STAMP \"${stamp}\"\n")
if(EXISTS "${OUT}")
  file(READ "${OUT}" old)
  if(old STREQUAL text)
    return()
  endif()
endif()
file(WRITE "${OUT}" "${text}")
