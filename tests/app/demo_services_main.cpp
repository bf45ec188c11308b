// velbrook_demo_services [--pace]
// Serves the sample playlist, its resolver and its media on 127.0.0.1 until standard input closes or
// the process gets SIGTERM or SIGINT. It first prints one line per service, "playlist HOST:PORT",
// "resolver HOST:PORT" and "media HOST:PORT", then "ready". With --pace the media bytes trickle out,
// so that the progress label visibly moves.
#include <poll.h>
#include <signal.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>

#include "tests/app/fixture_services.h"

namespace {

constexpr std::size_t kPacedPieceBytes = 8192;
constexpr int kPacedPieceDelayMs = 40;
constexpr int kPollMs = 200;

volatile sig_atomic_t stopRequested = 0;

void RequestStop(int) { stopRequested = 1; }

// True once standard input has reached its end or failed.
bool InputClosed() {
  pollfd input{STDIN_FILENO, POLLIN, 0};
  const int ready = ::poll(&input, 1, kPollMs);
  if (ready <= 0) return false;  // a timeout, or a signal that the loop looks at next
  char buffer[256];
  const ssize_t got = ::read(STDIN_FILENO, buffer, sizeof buffer);
  return got <= 0;
}

}  // namespace

int main(int argc, char** argv) {
  const bool paced = argc == 2 && std::strcmp(argv[1], "--pace") == 0;
  if (argc > 2 || (argc == 2 && !paced)) {
    std::fprintf(stderr, "usage: velbrook_demo_services [--pace]\n");
    return 2;
  }
  struct sigaction action {};
  action.sa_handler = RequestStop;
  if (::sigaction(SIGTERM, &action, nullptr) != 0 || ::sigaction(SIGINT, &action, nullptr) != 0) {
    std::perror("velbrook_demo_services: sigaction");
    return 1;
  }

  velbrook::test::FixtureServices services;
  if (!services.Started()) {
    std::fprintf(stderr, "velbrook_demo_services: the servers did not start\n");
    return 1;
  }
  velbrook::test::ServeSamplePlaylist(services, paced ? kPacedPieceBytes : 0, paced ? kPacedPieceDelayMs : 0);
  std::printf("playlist %s\nresolver %s\nmedia %s\nplaylist-id %s\nready\n", services.PlaylistHost().c_str(),
              services.ResolverHost().c_str(), services.media.HostPort().c_str(),
              velbrook::test::kSamplePlaylistId);
  std::fflush(stdout);

  while (stopRequested == 0 && !InputClosed()) {
  }
  return 0;  // the servers stop as `services` goes
}
