#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>

#include "tests/support/encoding.h"
#include "tests/support/raw_client.h"
#include "tests/support/test_server.h"

namespace velbrook::test_support {
namespace {

using std::chrono::milliseconds;
using Ms = milliseconds;

// Sends one request that closes the connection and gives the whole answer.
std::string Fetch(const TestServer& server, const std::string& target, const std::string& extraLines = "",
                  const std::string& method = "GET") {
  RawClient client(server.Port());
  EXPECT_TRUE(
      client.Send(method + " " + target + " HTTP/1.1\r\nConnection: close\r\n" + extraLines + "\r\n"));
  return client.Read();
}

std::string BodyOf(const std::string& answer) { return answer.substr(answer.find("\r\n\r\n") + 4); }

TEST(ParseRange, Forms) {
  struct Case {
    const char* value;
    std::uint64_t length;
    std::optional<ByteRange> expected;
  };
  const Case cases[] = {
      {"bytes=5-", 10, ByteRange{5, 9, false}},
      {" bytes=0-", 10, ByteRange{0, 9, false}},
      {"bytes=2-4", 10, ByteRange{2, 4, false}},
      {"bytes=2-400", 10, ByteRange{2, 9, false}},
      {"bytes=-3", 10, ByteRange{7, 9, false}},
      {"bytes=-30", 10, ByteRange{0, 9, false}},
      {"BYTES=1-", 10, ByteRange{1, 9, false}},
      {"bytes=10-", 10, ByteRange{10, 10, true}},
      {"bytes=0-", 0, ByteRange{0, 0, true}},
      {"bytes=4-2", 10, std::nullopt},
      {"bytes=1-2,4-5", 10, std::nullopt},
      {"bytes=x-", 10, std::nullopt},
      {"bytes=-", 10, std::nullopt},
      {"items=1-", 10, std::nullopt},
  };
  for (const Case& c : cases) {
    const std::optional<ByteRange> got = ParseRange(c.value, c.length);
    ASSERT_EQ(got.has_value(), c.expected.has_value()) << c.value;
    if (got) {
      EXPECT_EQ(got->unsatisfiable, c.expected->unsatisfiable) << c.value;
      if (!got->unsatisfiable) {
        EXPECT_EQ(got->first, c.expected->first) << c.value;
        EXPECT_EQ(got->last, c.expected->last) << c.value;
      }
    }
  }
}

TEST(RangeAware, AnswersTailWholeOrUnsatisfiable) {
  TestServer server;
  ASSERT_TRUE(server.Started());
  server.Handle("/s", [](const RecordedRequest& r) { return RangeAware(r, std::string("0123456789")); });
  server.Handle("/p", [](const RecordedRequest& r) { return RangeAware(r, PatternBody(1000, 4)); });

  const std::string tail = Fetch(server, "/s", "Range:bytes=6-\r\n");
  EXPECT_EQ(tail.substr(0, tail.find("\r\n")), "HTTP/1.1 206 Partial Content");
  EXPECT_NE(tail.find("\r\nContent-Range: bytes 6-9/10\r\n"), std::string::npos);
  EXPECT_NE(tail.find("\r\nContent-Length: 4\r\n"), std::string::npos);
  EXPECT_EQ(BodyOf(tail), "6789");

  EXPECT_EQ(BodyOf(Fetch(server, "/s")), "0123456789");
  const std::string beyond = Fetch(server, "/s", "Range: bytes=10-\r\n");
  EXPECT_EQ(beyond.substr(0, 12), "HTTP/1.1 416");
  EXPECT_NE(beyond.find("\r\nContent-Range: bytes */10\r\n"), std::string::npos);
  EXPECT_EQ(BodyOf(Fetch(server, "/p", "Range: bytes=990-\r\n")), PatternBytes(1000, 4).substr(990));
}

TEST(Framing, ChunkedCloseDelimitedAndHead) {
  TestServer server;
  ASSERT_TRUE(server.Started());
  server.Serve("/chunked", Chunked("abcdefghij", 4));
  server.Serve("/open", CloseDelimited("until the end"));
  server.Serve("/len", OkResponse("12345"));

  EXPECT_EQ(BodyOf(Fetch(server, "/chunked")), "4\r\nabcd\r\n4\r\nefgh\r\n2\r\nij\r\n0\r\n\r\n");
  RawClient open(server.Port());
  ASSERT_TRUE(open.Send("GET /open HTTP/1.1\r\n\r\n"));
  const std::string answer = open.Read();
  EXPECT_TRUE(open.closed());
  EXPECT_EQ(answer.find("Content-Length"), std::string::npos);
  EXPECT_EQ(BodyOf(answer), "until the end");
  // HEAD keeps the announced length and sends no body.
  const std::string head = Fetch(server, "/len", "", "HEAD");
  EXPECT_NE(head.find("\r\nContent-Length: 5\r\n"), std::string::npos);
  EXPECT_EQ(BodyOf(head), "");
}

TEST(Faults, CutMidBodyClosesOrResetsAfterTheSentBytes) {
  TestServer server;
  ASSERT_TRUE(server.Started());
  const std::string body = PatternBytes(100000, 1);
  server.Serve("/cut", CutMidBody(body, 70000));
  server.Serve("/reset", CutMidBody(body, 70000, CutMode::kReset));
  for (const bool reset : {false, true}) {
    RawClient client(server.Port());
    ASSERT_TRUE(client.Send(reset ? "GET /reset HTTP/1.1\r\n\r\n" : "GET /cut HTTP/1.1\r\n\r\n"));
    const std::string answer = client.Read();
    EXPECT_TRUE(client.closed());
    EXPECT_EQ(client.reset(), reset);
    EXPECT_NE(answer.find("\r\nContent-Length: 100000\r\n"), std::string::npos);
    EXPECT_EQ(BodyOf(answer), body.substr(0, 70000)) << "reset " << reset;
  }
}

TEST(Faults, StallSendsHeadersThenNothingThenCloses) {
  TestServer server;
  ASSERT_TRUE(server.Started());
  server.Serve("/stall", Stalling("never sent", Ms(600), 3));
  RawClient client(server.Port());
  ASSERT_TRUE(client.Send("GET /stall HTTP/1.1\r\n\r\n"));
  const auto start = std::chrono::steady_clock::now();
  const std::string early = client.Read(Ms(300));
  EXPECT_FALSE(client.closed());
  EXPECT_EQ(BodyOf(early), "nev");
  EXPECT_EQ(client.Read(Ms(2000)), "");
  EXPECT_TRUE(client.closed());
  EXPECT_GE(std::chrono::steady_clock::now() - start, Ms(550));
}

TEST(Faults, SlowBodyArrivesInPiecesOverTime) {
  TestServer server;
  ASSERT_TRUE(server.Started());
  server.Serve("/slow", Slow("abcdef", 2, Ms(100)));
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(BodyOf(Fetch(server, "/slow")), "abcdef");
  EXPECT_GE(std::chrono::steady_clock::now() - start, Ms(190));
}

// A file in the temp folder that holds `data` and is removed with the object.
class TempFile {
 public:
  explicit TempFile(const std::string& data)
      : path_((std::filesystem::temp_directory_path() / "velbrook-encoded-XXXXXX").string()) {
    const int fd = ::mkstemp(path_.data());
    if (fd >= 0) {
      (void)::close(fd);  // reopened by name just below
      std::ofstream(path_, std::ios::binary) << data;
    }
  }
  ~TempFile() { (void)std::remove(path_.c_str()); }  // a left-over temp file harms nothing
  const std::string& Path() const { return path_; }

 private:
  std::string path_;
};

std::string RunCommand(const std::string& command) {
  std::string out;
  std::unique_ptr<FILE, int (*)(FILE*)> pipe(::popen(command.c_str(), "r"), ::pclose);
  char buffer[65536];
  std::size_t got = 0;
  while (pipe && (got = std::fread(buffer, 1, sizeof(buffer), pipe.get())) > 0) {
    out.append(buffer, got);
  }
  return out;
}

// Decodes with programs outside this code base, so that an encoder fault cannot hide itself: gzip
// for the gzip members, one run of Python's zlib for the zlib and raw deflate streams.
TEST(Encoding, GzipZlibAndRawDeflateStreamsDecodeElsewhere) {
  std::vector<std::unique_ptr<TempFile>> files;
  std::string python =
      "python3 -c \"import sys,zlib;[sys.stdout.buffer.write(zlib.decompress(open(f,'rb').read(),int(w)))"
      " for f,w in zip(sys.argv[1::2],sys.argv[2::2])]\"";
  std::string expected;
  for (const std::size_t size : {std::size_t{0}, std::size_t{5}, std::size_t{65535}, std::size_t{200001}}) {
    const std::string data = PatternBytes(size, 9);
    const TempFile gzip(GzipEncode(data));
    EXPECT_EQ(RunCommand("gzip -dc < " + gzip.Path()), data) << size;
    files.push_back(std::make_unique<TempFile>(DeflateEncode(data)));
    python += " " + files.back()->Path() + " 15";
    files.push_back(std::make_unique<TempFile>(RawDeflateEncode(data)));
    python += " " + files.back()->Path() + " -15";
    expected += data + data;
  }
  EXPECT_TRUE(RunCommand(python) == expected);
}

TEST(Streaming, LargePatternBodyArrivesWhole) {
  TestServer server;
  ASSERT_TRUE(server.Started());
  constexpr std::uint64_t kLength = 24u << 20;
  server.Serve("/big", StreamedPattern(kLength, 7));
  RawClient client(server.Port());
  ASSERT_TRUE(client.Send("GET /big HTTP/1.1\r\nConnection: close\r\n\r\n"));
  const std::string answer = client.Read();
  EXPECT_NE(answer.find("\r\nContent-Length: 25165824\r\n"), std::string::npos);
  EXPECT_TRUE(BodyOf(answer) == PatternBytes(kLength, 7));
}

TEST(Builders, RedirectAndRawResponse) {
  TestServer server;
  ASSERT_TRUE(server.Started());
  server.AddRedirect("/loop", server.Url("/loop"));
  server.Serve("/raw", RawResponse("HTTP/1.1 200 OK\r\nset-cookie: a=1; path=/\r\nSet-Cookie: b=2\r\n\r\nx"));
  const std::string loop = Fetch(server, "/loop");
  EXPECT_EQ(loop.substr(0, loop.find("\r\n")), "HTTP/1.1 302 Found");
  EXPECT_NE(loop.find("\r\nLocation: " + server.Url("/loop") + "\r\n"), std::string::npos);
  RawClient client(server.Port());
  ASSERT_TRUE(client.Send("GET /raw HTTP/1.1\r\n\r\n"));
  EXPECT_EQ(client.Read(), "HTTP/1.1 200 OK\r\nset-cookie: a=1; path=/\r\nSet-Cookie: b=2\r\n\r\nx");
  EXPECT_TRUE(client.closed());
}

}  // namespace
}  // namespace velbrook::test_support
