#include "http_transport.h"

#include <curl/curl.h>

#include <cstdlib>
#include <mutex>

#include "soap_error.h"

namespace qelsoap {
namespace {

void globalInit() {
  static std::once_flag once;
  std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

size_t onBody(char* data, size_t size, size_t count, void* user) {
  static_cast<std::string*>(user)->append(data, size * count);
  return size * count;
}

struct HeaderState {
  size_t bytes = 0;  // any byte of the answer, so a retry is known to be safe
};

size_t onHeader(char*, size_t size, size_t count, void* user) {
  static_cast<HeaderState*>(user)->bytes += size * count;
  return size * count;
}

SoapError::Kind kindOf(CURLcode rc) {
  switch (rc) {
    case CURLE_COULDNT_CONNECT: return SoapError::Kind::kConnectionRefused;
    case CURLE_OPERATION_TIMEDOUT: return SoapError::Kind::kTimeout;
    case CURLE_COULDNT_RESOLVE_HOST:
    case CURLE_COULDNT_RESOLVE_PROXY: return SoapError::Kind::kResolve;
    case CURLE_SSL_CONNECT_ERROR:
    case CURLE_PEER_FAILED_VERIFICATION:
    case CURLE_SSL_CERTPROBLEM:
    case CURLE_SSL_CIPHER:
    case CURLE_SSL_CACERT_BADFILE: return SoapError::Kind::kTls;
    default: return SoapError::Kind::kConnection;
  }
}

std::string describe(CURLcode rc, const char* errbuf, long timeoutMs) {
  std::string detail = errbuf[0] ? errbuf : curl_easy_strerror(rc);
  switch (kindOf(rc)) {
    case SoapError::Kind::kConnectionRefused: return "Connection refused: " + detail;
    case SoapError::Kind::kTimeout:
      return "Timed out after " + std::to_string(timeoutMs) + " ms: " + detail;
    case SoapError::Kind::kResolve: return "Unknown host: " + detail;
    case SoapError::Kind::kTls: return "TLS failure: " + detail;
    default: return "Connection failure: " + detail;
  }
}

}  // namespace

CurlTransport::CurlTransport() {
  globalInit();
  curl_ = curl_easy_init();
}

CurlTransport::~CurlTransport() { curl_easy_cleanup(static_cast<CURL*>(curl_)); }

void CurlTransport::closeConnections() {
  curl_easy_cleanup(static_cast<CURL*>(curl_));
  curl_ = curl_easy_init();
}

HttpResponse CurlTransport::get(const std::string& url, long timeoutMs) {
  return perform(url, nullptr, nullptr, timeoutMs);
}

HttpResponse CurlTransport::post(const std::string& url, const std::vector<std::string>& headers,
                                 const std::string& body, long timeoutMs) {
  return perform(url, &headers, &body, timeoutMs);
}

HttpResponse CurlTransport::perform(const std::string& url,
                                    const std::vector<std::string>* headers,
                                    const std::string* body, long timeoutMs) {
  CURL* c = static_cast<CURL*>(curl_);
  if (!c) throw SoapError(SoapError::Kind::kConnection, "Connection failure: libcurl unavailable");
  if (timeoutMs <= 0) timeoutMs = 300000;

  struct curl_slist* list = nullptr;
  if (headers) {
    for (const auto& h : *headers) list = curl_slist_append(list, h.c_str());
    // Without this, bodies above 1 kB wait for a "100 Continue" round trip.
    list = curl_slist_append(list, "Expect:");
  }
  struct ListGuard {
    curl_slist* l;
    ~ListGuard() { curl_slist_free_all(l); }
  } guard{list};

  for (int attempt = 0;; ++attempt) {
    HttpResponse out;
    HeaderState hs;
    char errbuf[CURL_ERROR_SIZE] = {0};
    curl_easy_reset(c);  // keeps the connection cache
    curl_easy_setopt(c, CURLOPT_URL, url.c_str());
    curl_easy_setopt(c, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(c, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(c, CURLOPT_NOSIGNAL, 1L);
    // Without it each small request waits on delayed ACKs (Nagle).
    curl_easy_setopt(c, CURLOPT_TCP_NODELAY, 1L);
    curl_easy_setopt(c, CURLOPT_TCP_KEEPALIVE, 1L);
    curl_easy_setopt(c, CURLOPT_TIMEOUT_MS, timeoutMs);
    curl_easy_setopt(c, CURLOPT_CONNECTTIMEOUT_MS, timeoutMs);
    curl_easy_setopt(c, CURLOPT_ERRORBUFFER, errbuf);
    // https: the system's trusted authorities, or the file QELSOAP_CAINFO
    // names (e.g. a records server's own certificate).
    if (const char* ca = std::getenv("QELSOAP_CAINFO"); ca && *ca)
      curl_easy_setopt(c, CURLOPT_CAINFO, ca);
    curl_easy_setopt(c, CURLOPT_WRITEFUNCTION, onBody);
    curl_easy_setopt(c, CURLOPT_WRITEDATA, &out.body);
    curl_easy_setopt(c, CURLOPT_HEADERFUNCTION, onHeader);
    curl_easy_setopt(c, CURLOPT_HEADERDATA, &hs);
    if (body) {
      curl_easy_setopt(c, CURLOPT_POST, 1L);
      curl_easy_setopt(c, CURLOPT_POSTFIELDS, body->data());
      curl_easy_setopt(c, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(body->size()));
      curl_easy_setopt(c, CURLOPT_HTTPHEADER, list);
    } else {
      curl_easy_setopt(c, CURLOPT_HTTPGET, 1L);
      curl_easy_setopt(c, CURLOPT_FOLLOWLOCATION, 1L);
      curl_easy_setopt(c, CURLOPT_MAXREDIRS, 5L);
    }
    if (attempt > 0) curl_easy_setopt(c, CURLOPT_FRESH_CONNECT, 1L);

    CURLcode rc = curl_easy_perform(c);
    long opened = 0;
    curl_easy_getinfo(c, CURLINFO_NUM_CONNECTS, &opened);
    connectionsOpened_ += opened;
    if (rc == CURLE_OK) {
      curl_easy_getinfo(c, CURLINFO_RESPONSE_CODE, &out.status);
      char* ct = nullptr;
      curl_easy_getinfo(c, CURLINFO_CONTENT_TYPE, &ct);
      if (ct) out.contentType = ct;
      return out;
    }
    // A kept-alive connection the server had closed fails before any byte
    // of the answer; the request never reached the server, so it is safe
    // to send again, once, on a new connection.
    bool reused = opened == 0;
    bool closedEarly = rc == CURLE_GOT_NOTHING || rc == CURLE_SEND_ERROR || rc == CURLE_RECV_ERROR;
    if (attempt == 0 && reused && closedEarly && hs.bytes == 0 && out.body.empty()) {
      ++retries_;
      continue;
    }
    throw SoapError(kindOf(rc), describe(rc, errbuf, timeoutMs));
  }
}

CurlTransport& threadTransport() {
  thread_local CurlTransport transport;
  return transport;
}

}  // namespace qelsoap
