#pragma once
// HTTP/1.1 transport of the SOAP client, over libcurl.

#include <memory>
#include <string>
#include <vector>

namespace qelsoap {

struct HttpResponse {
  long status = 0;
  std::string contentType;  // as sent, may be empty
  std::string body;
};

// Reached through an interface so that tests can count or fail requests.
class HttpTransport {
 public:
  virtual ~HttpTransport() = default;
  // GET url (redirects followed). Throws SoapError when no HTTP answer came
  // back (refused, timeout, resolve, TLS, ...); any status is an answer.
  virtual HttpResponse get(const std::string& url, long timeoutMs) = 0;
  // POST body with the given extra header lines ("Name: value").
  // Failure as get().
  virtual HttpResponse post(const std::string& url, const std::vector<std::string>& headers,
                            const std::string& body, long timeoutMs) = 0;
};

// libcurl transport with one easy handle, so keep-alive connections are
// reused between requests. https peers are verified against the system's
// authorities, or against the PEM file named by QELSOAP_CAINFO when set. TCP_NODELAY is on; only http and https are
// allowed; a reused connection that closed before any byte of the answer
// arrived is retried once on a fresh connection.
// Not thread-safe: use one object per thread.
class CurlTransport : public HttpTransport {
 public:
  CurlTransport();
  ~CurlTransport() override;
  CurlTransport(const CurlTransport&) = delete;
  CurlTransport& operator=(const CurlTransport&) = delete;

  HttpResponse get(const std::string& url, long timeoutMs) override;
  HttpResponse post(const std::string& url, const std::vector<std::string>& headers,
                    const std::string& body, long timeoutMs) override;

  // Closes every kept-alive connection (the next request opens a new one).
  void closeConnections();

  // Connections opened so far (a reused connection adds nothing).
  long connectionsOpened() const { return connectionsOpened_; }
  // Requests retried on a fresh connection after a reused one had closed.
  long retries() const { return retries_; }

 private:
  HttpResponse perform(const std::string& url, const std::vector<std::string>* headers,
                       const std::string* body, long timeoutMs);
  void* curl_;
  long connectionsOpened_ = 0;
  long retries_ = 0;
};

// The calling thread's transport (created on first use, destroyed at thread
// exit). Every SOAP client on a thread shares it, and so its connections.
CurlTransport& threadTransport();

}  // namespace qelsoap
