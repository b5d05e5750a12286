#include "http_transport.h"

#include <gtest/gtest.h>
#include <httplib.h>

#include <thread>

#include "soap_error.h"
#include "testing/httplib_server.h"
#include "testing/raw_http_server.h"

namespace qelsoap {
namespace {

using qelsoap_testing::RawHttpServer;

using qelsoap_testing::HttplibServer;

TEST(CurlTransport, KeepAliveReusesOneConnection) {
  HttplibServer s;
  s.server().Post("/p", [](const httplib::Request& req, httplib::Response& res) {
    res.set_content("echo:" + req.body, "text/xml; charset=utf-8");
  });
  CurlTransport t;
  for (int i = 0; i < 5; ++i) {
    std::string body(i * 700, 'x');  // above 1 kB too: no "Expect: 100-continue" stall
    HttpResponse r = t.post(s.url("/p"), {"Content-Type: text/xml"}, body, 5000);
    EXPECT_EQ(r.status, 200);
    EXPECT_EQ(r.body, "echo:" + body);
    EXPECT_EQ(r.contentType, "text/xml; charset=utf-8");
  }
  EXPECT_EQ(t.connectionsOpened(), 1);
}

TEST(CurlTransport, ChunkedAnswerIsReadWhole) {
  HttplibServer s;
  s.server().Get("/c", [](const httplib::Request&, httplib::Response& res) {
    res.set_chunked_content_provider("text/plain", [](size_t offset, httplib::DataSink& sink) {
      if (offset < 3000) {
        std::string chunk(1000, static_cast<char>('a' + offset / 1000));
        sink.write(chunk.data(), chunk.size());
      } else {
        sink.done();
      }
      return true;
    });
  });
  CurlTransport t;
  HttpResponse r = t.get(s.url("/c"), 5000);
  EXPECT_EQ(r.body, std::string(1000, 'a') + std::string(1000, 'b') + std::string(1000, 'c'));
}

TEST(CurlTransport, AnyStatusIsAnAnswer) {
  HttplibServer s;
  s.server().Post("/e", [](const httplib::Request&, httplib::Response& res) {
    res.status = 500;
    res.set_content("<fault/>", "text/html");
  });
  CurlTransport t;
  HttpResponse r = t.post(s.url("/e"), {}, "x", 5000);
  EXPECT_EQ(r.status, 500);
  EXPECT_EQ(r.body, "<fault/>");
}

TEST(CurlTransport, ReusedConnectionClosedBeforeAnswerIsRetriedOnceOnAFreshOne) {
  RawHttpServer s([](int conn, int req, const std::string&) -> std::optional<std::string> {
    if (conn == 0 && req == 1) return std::nullopt;  // close silently, answer nothing
    return RawHttpServer::ok("c" + std::to_string(conn) + "r" + std::to_string(req));
  });
  CurlTransport t;
  EXPECT_EQ(t.post(s.url(), {}, "1", 5000).body, "c0r0");
  // libcurl may resend by itself; either way exactly one retry on a new connection.
  EXPECT_EQ(t.post(s.url(), {}, "2", 5000).body, "c1r0");
  EXPECT_LE(t.retries(), 1);
  EXPECT_EQ(s.connections(), 2);
}

TEST(CurlTransport, FreshConnectionClosedIsNotRetried) {
  RawHttpServer s([](int, int, const std::string&) -> std::optional<std::string> {
    return std::nullopt;
  });
  CurlTransport t;
  try {
    t.post(s.url(), {}, "1", 5000);
    FAIL();
  } catch (const SoapError& e) {
    EXPECT_EQ(e.kind(), SoapError::Kind::kConnection) << e.what();
  }
  EXPECT_EQ(t.retries(), 0);
  EXPECT_EQ(s.connections(), 1);
}

TEST(CurlTransport, TimeoutAndRefusalNameTheirCause) {
  RawHttpServer silent([](int, int, const std::string&) -> std::optional<std::string> {
    std::this_thread::sleep_for(std::chrono::milliseconds(600));
    return std::nullopt;
  });
  CurlTransport t;
  try {
    t.post(silent.url(), {}, "1", 100);
    FAIL();
  } catch (const SoapError& e) {
    EXPECT_EQ(e.kind(), SoapError::Kind::kTimeout);
    EXPECT_EQ(std::string(e.what()).rfind("Timed out after 100 ms", 0), 0u) << e.what();
  }

  int port;
  {
    RawHttpServer closed([](int, int, const std::string&) { return std::nullopt; });
    port = closed.port();
  }
  try {
    t.get("http://127.0.0.1:" + std::to_string(port) + "/", 2000);
    FAIL();
  } catch (const SoapError& e) {
    EXPECT_EQ(e.kind(), SoapError::Kind::kConnectionRefused);
    EXPECT_EQ(std::string(e.what()).rfind("Connection refused", 0), 0u) << e.what();
  }
}

TEST(CurlTransport, OnlyHttpAndHttpsAreFetched) {
  CurlTransport t;
  EXPECT_THROW(t.get("file:///etc/hostname", 1000), SoapError);
}

}  // namespace
}  // namespace qelsoap
