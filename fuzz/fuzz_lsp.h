// The language server's fuzz target (fuzz_lsp.cpp), apart from the others:
// it starts the whole server with its shell, so it runs in a process of its
// own (the libFuzzer program, or the lsp tests' replay of its seeds).
#pragma once

#include <cstddef>
#include <cstdint>

namespace velmora_fuzz {

// Feeds data as the client's byte stream (headers and bodies; "file:///W/"
// names the fixed project's folder) to a running, initialized server on a
// small project, waiting for every job it starts. Aborts when a message the
// server writes is not a JSON-RPC message. Returns 0.
int FuzzLspStream(const uint8_t *data, size_t size);

}  // namespace velmora_fuzz
