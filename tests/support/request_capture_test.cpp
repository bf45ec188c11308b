#include <gtest/gtest.h>

#include "tests/support/raw_client.h"
#include "tests/support/test_server.h"

namespace velbrook::test_support {
namespace {

using std::chrono::milliseconds;

TEST(RequestCapture, KeepsHeadByteForByteAndParsesIt) {
  TestServer server;
  ASSERT_TRUE(server.Started());
  server.Serve("/a", OkResponse("one"));
  // Odd but legal spellings: no blank after a colon, a tab, a repeated name, lowercase names.
  const std::string head =
      "POST /a?x=1&y=two HTTP/1.1\r\n"
      "Host: 127.0.0.1\r\n"
      "Range:bytes=5-\r\n"
      "x-lower:\tvalue with  spaces \r\n"
      "Cookie: a=1\r\n"
      "cookie: b=2\r\n"
      "Content-Length: 5\r\n"
      "\r\n";
  RawClient client(server.Port());
  ASSERT_TRUE(client.Connected());
  ASSERT_TRUE(client.Send(head + "hello"));
  ASSERT_TRUE(server.WaitForRequests(1, milliseconds(3000)));

  const RecordedRequest request = *server.LastRequest();
  EXPECT_EQ(request.raw, head);
  EXPECT_EQ(request.RequestLine(), "POST /a?x=1&y=two HTTP/1.1");
  EXPECT_EQ(request.RawHeaderLines(),
            head.substr(head.find("\r\n") + 2, head.size() - head.find("\r\n") - 4));
  EXPECT_EQ(request.method, "POST");
  EXPECT_EQ(request.Path(), "/a");
  EXPECT_EQ(request.Query(), "x=1&y=two");
  EXPECT_EQ(request.QueryParam("y"), "two");
  EXPECT_EQ(request.QueryParam("z"), std::nullopt);
  ASSERT_EQ(request.headers.size(), 6u);
  EXPECT_EQ(request.headers[1].name, "Range");
  EXPECT_EQ(request.headers[1].value, "bytes=5-");
  EXPECT_EQ(request.headers[2].name, "x-lower");
  EXPECT_EQ(request.headers[2].value, "value with  spaces");
  EXPECT_EQ(request.FindHeader("COOKIE"), "a=1");
  EXPECT_EQ(request.HeaderCount("cookie"), 2u);
  EXPECT_EQ(request.body, "hello");
  EXPECT_FALSE(request.tls);
}

TEST(RequestCapture, ChunkedBodyAndPipelinedRequestsOnOneConnection) {
  TestServer server;
  ASSERT_TRUE(server.Started());
  server.Serve("/r", OkResponse("ok"));
  RawClient client(server.Port());
  ASSERT_TRUE(
      client.Send("PUT /r HTTP/1.1\r\nTransfer-Encoding: chunked\r\n\r\n"
                  "4\r\nWiki\r\n6;ext=1\r\npedia \r\n0\r\nTrailer: x\r\n\r\n"
                  "GET /r HTTP/1.1\r\nHost: h\r\n\r\n"));
  ASSERT_TRUE(server.WaitForRequests(2, milliseconds(3000)));
  const std::vector<RecordedRequest> requests = server.Requests();
  EXPECT_TRUE(requests[0].chunkedBody);
  EXPECT_EQ(requests[0].body, "Wikipedia ");
  EXPECT_EQ(requests[1].raw, "GET /r HTTP/1.1\r\nHost: h\r\n\r\n");
  EXPECT_EQ(requests[1].body, "");
  EXPECT_EQ(requests[0].connectionId, requests[1].connectionId);
  EXPECT_EQ(server.ConnectionCount(), 1u);
  // Both answers arrive, each framed by its length, on the connection that stays open.
  const std::string answers = client.Read(milliseconds(300));
  EXPECT_EQ(answers,
            "HTTP/1.1 200 OK\r\nContent-Type: application/octet-stream\r\nContent-Length: 2\r\n\r\nok"
            "HTTP/1.1 200 OK\r\nContent-Type: application/octet-stream\r\nContent-Length: 2\r\n\r\nok");
  EXPECT_FALSE(client.closed());
}

TEST(RequestCapture, ConnectionCloseAndHttp10EndTheConnection) {
  TestServer server;
  ASSERT_TRUE(server.Started());
  server.Serve("/c", OkResponse("x"));
  for (const char* request : {"GET /c HTTP/1.1\r\nConnection: close\r\n\r\n", "GET /c HTTP/1.0\r\n\r\n"}) {
    RawClient client(server.Port());
    ASSERT_TRUE(client.Send(request));
    const std::string answer = client.Read();
    EXPECT_TRUE(client.closed()) << request;
    EXPECT_NE(answer.find("\r\nConnection: close\r\n"), std::string::npos) << answer;
  }
}

TEST(RequestCapture, ExpectContinueGetsTheGoAheadBeforeTheBody) {
  TestServer server;
  ASSERT_TRUE(server.Started());
  RawClient client(server.Port());
  ASSERT_TRUE(client.Send("POST /e HTTP/1.1\r\nExpect: 100-continue\r\nContent-Length: 3\r\n\r\n"));
  EXPECT_EQ(client.ReadThrough("\r\n\r\n"), "HTTP/1.1 100 Continue\r\n\r\n");
  ASSERT_TRUE(client.Send("abc"));
  ASSERT_TRUE(server.WaitForRequests(1, milliseconds(3000)));
  EXPECT_EQ(server.LastRequest()->body, "abc");
  EXPECT_EQ(client.ReadThrough("</html>").substr(0, 24), "HTTP/1.1 404 Not Found\r\n");
}

TEST(RequestCapture, MalformedHeadGets400AndIsNotRecorded) {
  TestServer server;
  ASSERT_TRUE(server.Started());
  RawClient client(server.Port());
  ASSERT_TRUE(client.Send("GET /x HTTP/1.1\r\nno colon here\r\n\r\n"));
  EXPECT_EQ(client.Read().substr(0, 24), "HTTP/1.1 400 Bad Request");
  EXPECT_TRUE(client.closed());
  EXPECT_EQ(server.RequestCount(), 0u);
}

TEST(Routing, ExactPathThenLongestPrefixThenFallback) {
  TestServer server;
  ASSERT_TRUE(server.Started());
  server.Serve("/media", OkResponse("exact"));
  server.HandlePrefix("/media/", [](const RecordedRequest&) { return OkResponse("short"); });
  server.HandlePrefix("/media/big/", [](const RecordedRequest& r) { return OkResponse("long " + r.Path()); });
  struct Case {
    const char* target;
    const char* body;
  };
  const Case cases[] = {
      {"/media?id=3", "exact"},
      {"/media/a.mp3", "short"},
      {"/media/big/b.mp3", "long /media/big/b.mp3"},
      {"/other", "<html>"},
  };
  for (const Case& c : cases) {
    RawClient client(server.Port());
    ASSERT_TRUE(client.Send(std::string("GET ") + c.target + " HTTP/1.1\r\nConnection: close\r\n\r\n"));
    const std::string answer = client.Read();
    const std::string body = answer.substr(answer.find("\r\n\r\n") + 4);
    EXPECT_EQ(body.substr(0, std::string(c.body).size()), c.body) << c.target;
  }
}

}  // namespace
}  // namespace velbrook::test_support
