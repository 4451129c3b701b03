#include "net.h"

#include "launch.h"

namespace {

TEST(RequestToString, Serialisation) {
  struct Case {
    Request request;
    std::string text;
  } cases[] = {
      {{"GET", "/get_contr_net_info", 1, 1, {{"Connection", "close"}}},
       "GET /get_contr_net_info HTTP/1.1\nConnection:close\n\n"},
      {{"GET", "/", 1, 0, {}}, "GET / HTTP/1.0\n\n"},
      {{"POST", "/x", 10, 255, {{"A", ""}}}, "POST /x HTTP/10.255\nA:\n\n"},
      {{"GET", "/", -1, 2, {}}, "GET / HTTP/-1.2\n\n"},
      {{"", "", 0, 0, {}}, "  HTTP/0.0\n\n"},
      {{"GET", "/", 1, 1, {{"X", "1"}, {"X", "2"}, {"Y", "a b"}}},
       "GET / HTTP/1.1\nX:1\nX:2\nY:a b\n\n"},
      {{"G\r\nET", "/a\nb", 1, 1, {{"N\n", "v\r"}}},
       "G\r\nET /a\nb HTTP/1.1\nN\n:v\r\n\n"},
  };
  for (const Case& c : cases)
    EXPECT_EQ(Request_to_string(c.request), c.text);
}

TEST(SplitReply, BodyStartsAfterTheFirstEmptyLine) {
  struct Case {
    std::string reply;
    bool found;
    std::string body;
  } cases[] = {
      {"HTTP/1.1 200 OK\r\n\r\n1 2 3", true, "1 2 3"},
      {"HTTP/1.1 200 OK\r\n\r\n", true, ""},
      {"\r\n\r\n", true, ""},
      {"H\r\n\r\nA\r\n\r\nB", true, "A\r\n\r\nB"},
      {"HTTP/1.1 404 Not Found\r\nX: y\r\n\r\nbody", true, "body"},
      {std::string("H\r\n\r\n\0\x01\xff", 8), true, std::string("\0\x01\xff", 3)},
      {"HTTP/1.1 200 OK\n\nbody", false, "unchanged"},
      {"", false, "unchanged"},
      {"\r\n\r", false, "unchanged"},
      {"\r\r\n\n", false, "unchanged"},
  };
  for (const Case& c : cases) {
    std::string body = "unchanged";
    EXPECT_EQ(split_reply(c.reply, body), c.found) << c.reply;
    EXPECT_EQ(body, c.body) << c.reply;
  }
}

}  // namespace
