// velmora-lsp: Velmora's call graph for editors, as a language server on
// standard input and output. A reading thread takes the framed messages off
// standard input and posts them to the main thread, which answers them one
// at a time and never waits for the analysis (that runs on the worker).
// Exit status: 0 after shutdown and exit, 1 after exit alone, a stream that
// broke or ended without them, 2 for a usage error.
#include <cstdio>
#include <cstring>
#include <string>

#include "lsp/event_queue.h"
#include "lsp/framing.h"
#include "lsp/outbox.h"
#include "lsp/server.h"
#include "platform/stdio_channel.h"
#include "platform/thread.h"

namespace {

const char kUsage[] =
    "Usage: velmora-lsp [--ini FILE] [--no-index]\n"
    "A language server (LSP 3.17) on standard input and output that answers call\n"
    "hierarchy, definition, references and symbol requests from Velmora's analysis\n"
    "of the workspace folders. Editors start it; see velmora-lsp(1).\n"
    "\n"
    "  --ini FILE    read settings from FILE instead of the usual settings file\n"
    "  --no-index    analyse without the project's index (initializationOptions\n"
    "                index: true takes it again)\n"
    "  -h, --help    this text\n"
    "  --version     the version\n";

// Standard input as the reader's bytes, wakeable for the end of the program.
struct StdinSource : ByteSource {
  WakeableReader reader;
  long Read(char *buf, size_t cap) override {
    long n = WakeableRead(&reader, buf, cap);
    return n == -2 ? 0 : n;
  }
};

struct ReaderArgs {
  StdinSource *source;
  EventQueue *events;
  Server *server;
};

// The reading thread: every message to the main thread, then the end.
void ReadMessages(void *arg) {
  ReaderArgs *a = (ReaderArgs *)arg;
  FrameReader reader(a->source);
  for (;;) {
    std::string body, why;
    FrameStatus st = reader.Next(&body, &why);
    Server *server = a->server;
    if (st == FrameStatus::kMessage) {
      a->events->Post([server, body] { server->OnBody(body); });
      continue;
    }
    a->events->Post([server, st, why] { server->OnStreamEnd(st == FrameStatus::kBroken, why); });
    return;
  }
}

}  // namespace

int main(int argc, char **argv) {
  std::string ini;
  int index = 1;
  for (int i = 1; i < argc; i++) {
    if (strcmp(argv[i], "-h") == 0 || strcmp(argv[i], "--help") == 0) {
      fputs(kUsage, stdout);
      return 0;
    }
    if (strcmp(argv[i], "--version") == 0) {
      printf("velmora-lsp Ver 0.10\n");
      return 0;
    }
    if (strcmp(argv[i], "--no-index") == 0) {
      index = 0;
    } else if (strcmp(argv[i], "--ini") == 0 && i + 1 < argc) {
      ini = argv[++i];
    } else if (strncmp(argv[i], "--ini=", 6) == 0 && argv[i][6]) {
      ini = argv[i] + 6;
    } else {
      fprintf(stderr, "velmora-lsp: unknown argument '%s'\nTry 'velmora-lsp --help'.\n", argv[i]);
      return 2;
    }
  }
  int out_fd = TakeStdoutForProtocol();
  StdinSource source;
  if (out_fd < 0 || !OpenWakeableReader(0, &source.reader)) {
    fprintf(stderr, "velmora-lsp: cannot use standard input and output\n");
    return 2;
  }
  EventQueue events;
  Outbox out(out_fd);
  int status;
  {
    Server server(&out, &events, ini, index);
    ReaderArgs args{&source, &events, &server};
    ThreadHandle reader = nullptr;
    if (!StartThread(ReadMessages, &args, 1 << 20, &reader)) {
      fprintf(stderr, "velmora-lsp: cannot start the reading thread\n");
      return 2;
    }
    while (!server.Done()) events.Wait()();
    status = server.ExitStatus();
    WakeReader(&source.reader);
    JoinThread(&reader);
    server.Stop();
    // Reports of a job stopped just now may still wait; they find the
    // server stopped and do nothing.
    std::function<void()> late;
    while (events.TryTake(&late)) late();
  }
  CloseWakeableReader(&source.reader);
  return status;
}
