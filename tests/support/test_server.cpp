#include "tests/support/test_server.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <condition_variable>
#include <csignal>
#include <map>
#include <mutex>
#include <thread>

#include "tests/support/connection_stream.h"
#include "tests/support/proxy_relay.h"
#include "tests/support/request_reader.h"
#include "tests/support/response_writer.h"
#include "tests/support/stop_signal.h"

namespace velbrook::test_support {
namespace {

constexpr int kListenBacklog = 128;
constexpr int kAcceptPollMs = 50;
constexpr std::string_view kBadRequest =
    "HTTP/1.1 400 Bad Request\r\nContent-Length: 0\r\nConnection: close\r\n\r\n";

std::string Lowered(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return text;
}

bool ClientAsksToClose(const RecordedRequest& request) {
  const std::string connection = Lowered(request.FindHeader("Connection").value_or(""));
  if (connection.find("close") != std::string::npos) {
    return true;
  }
  return request.version == "HTTP/1.0" && connection.find("keep-alive") == std::string::npos;
}

bool IsAbsoluteForm(const RecordedRequest& request) {
  return !request.target.empty() && request.target.front() != '/' &&
         request.target.find("://") != std::string::npos;
}

}  // namespace

class TestServer::Impl {
 public:
  explicit Impl(ServerOptions options) : options_(std::move(options)) {}

  ~Impl() {
    stop_.Stop();
    if (acceptThread_.joinable()) {
      acceptThread_.join();
    }
    const std::lock_guard<std::mutex> lock(workersMutex_);
    for (Worker& worker : workers_) {
      worker.thread.join();
    }
    if (listenFd_ >= 0) {
      (void)::close(listenFd_);  // nothing to recover at teardown
    }
  }

  bool Start() {
    if (options_.tls) {
      certificates_ = options_.certificates ? options_.certificates : TestCertificates::Shared();
      if (!certificates_->Ok()) {
        return false;
      }
      tls_ = TlsContext::Load(certificates_->CertificatePath(options_.identity),
                              certificates_->KeyPath(options_.identity));
      if (!tls_) {
        return false;
      }
    }
    if (!Listen()) {
      return false;
    }
    acceptThread_ = std::thread([this] { AcceptLoop(); });
    return true;
  }

  int Port() const { return port_; }
  bool Tls() const { return options_.tls; }

  void SetHandler(std::map<std::string, Handler>& table, const std::string& key, Handler handler) {
    const std::lock_guard<std::mutex> lock(mutex_);
    table[key] = std::move(handler);
  }

  std::map<std::string, Handler> exact_;
  std::map<std::string, Handler> prefixes_;
  Handler fallback_ = [](const RecordedRequest&) { return NotFoundHtml(); };
  Handler proxyHandler_;

  mutable std::mutex mutex_;
  mutable std::condition_variable requestRecorded_;
  std::vector<RecordedRequest> requests_;
  std::atomic<std::size_t> connectionCount_{0};
  std::atomic<std::size_t> openConnections_{0};

 private:
  struct Worker {
    std::thread thread;
    std::shared_ptr<std::atomic<bool>> done;
  };

  bool Listen() {
    listenFd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (listenFd_ < 0) {
      return false;
    }
    const int yes = 1;
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof(address);
    if (::setsockopt(listenFd_, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof(yes)) != 0 ||
        ::bind(listenFd_, reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0 ||
        ::listen(listenFd_, kListenBacklog) != 0 ||
        ::getsockname(listenFd_, reinterpret_cast<sockaddr*>(&address), &size) != 0) {
      return false;
    }
    port_ = ntohs(address.sin_port);
    return true;
  }

  void AcceptLoop() {
    while (!stop_.Stopping()) {
      pollfd entry{listenFd_, POLLIN, 0};
      if (::poll(&entry, 1, kAcceptPollMs) <= 0) {
        continue;
      }
      const int fd = ::accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
      if (fd < 0) {
        continue;  // the client gave up before the accept; nothing to serve
      }
      const std::size_t id = ++connectionCount_;
      ++openConnections_;
      auto done = std::make_shared<std::atomic<bool>>(false);
      const std::lock_guard<std::mutex> lock(workersMutex_);
      ReapFinishedWorkers();
      workers_.push_back({std::thread([this, fd, id, done] {
                            Serve(fd, id);
                            --openConnections_;
                            *done = true;
                          }),
                          done});
    }
  }

  void ReapFinishedWorkers() {
    auto finished = std::stable_partition(workers_.begin(), workers_.end(),
                                          [](const Worker& worker) { return !*worker.done; });
    for (auto it = finished; it != workers_.end(); ++it) {
      it->thread.join();
    }
    workers_.erase(finished, workers_.end());
  }

  void Serve(int fd, std::size_t connectionId) {
    ConnectionStream stream(fd, tls_.get(), stop_);
    if (!stream.Handshake(Clock::now() + options_.requestTimeout)) {
      return;
    }
    std::string pending;
    while (!stop_.Stopping()) {
      RequestOutcome outcome = ReadRequest(stream, pending, options_.idleTimeout, options_.requestTimeout);
      if (outcome.status == RequestStatus::kBad) {
        (void)stream.WriteAll(kBadRequest);  // the connection closes either way
      }
      if (outcome.status != RequestStatus::kRequest) {
        return;
      }
      RecordedRequest& request = outcome.request;
      request.connectionId = connectionId;
      Record(request);
      if (options_.proxy && request.method == "CONNECT") {
        Tunnel(stream, request, pending, stop_, options_.idleTimeout);
        return;
      }
      const bool proxied = options_.proxy && IsAbsoluteForm(request);
      const Handler handler = proxied ? ProxyHandler() : Route(request.Path());
      if (!handler) {
        ForwardRequest(stream, request, stop_, options_.idleTimeout);
        return;
      }
      const Response response = handler(request);
      if (!WriteResponse(stream, response, request.method == "HEAD", ClientAsksToClose(request), stop_)) {
        return;
      }
    }
  }

  void Record(const RecordedRequest& request) {
    {
      const std::lock_guard<std::mutex> lock(mutex_);
      requests_.push_back(request);
    }
    requestRecorded_.notify_all();
  }

  Handler ProxyHandler() const {
    const std::lock_guard<std::mutex> lock(mutex_);
    return proxyHandler_;
  }

  Handler Route(const std::string& path) const {
    const std::lock_guard<std::mutex> lock(mutex_);
    if (const auto it = exact_.find(path); it != exact_.end()) {
      return it->second;
    }
    const Handler* best = nullptr;
    std::size_t bestLength = 0;
    for (const auto& [prefix, handler] : prefixes_) {
      if (path.compare(0, prefix.size(), prefix) == 0 && (best == nullptr || prefix.size() > bestLength)) {
        best = &handler;
        bestLength = prefix.size();
      }
    }
    return best != nullptr ? *best : fallback_;
  }

  ServerOptions options_;
  std::shared_ptr<const TestCertificates> certificates_;
  std::unique_ptr<TlsContext> tls_;
  int listenFd_ = -1;
  int port_ = 0;
  StopSignal stop_;
  std::thread acceptThread_;
  std::mutex workersMutex_;
  std::vector<Worker> workers_;
};

TestServer::TestServer(ServerOptions options) : impl_(std::make_unique<Impl>(std::move(options))) {
  // OpenSSL writes through plain write(), so a client that hangs up while a TLS response is still
  // going out would otherwise end the whole test program with SIGPIPE.
  (void)std::signal(SIGPIPE, SIG_IGN);
  if (!impl_->Start()) {
    impl_.reset();
  }
}

TestServer::~TestServer() = default;

bool TestServer::Started() const { return impl_ != nullptr; }
int TestServer::Port() const { return impl_ ? impl_->Port() : 0; }
std::string TestServer::HostPort() const { return "127.0.0.1:" + std::to_string(Port()); }
std::string TestServer::Origin() const {
  return std::string(impl_ && impl_->Tls() ? "https://" : "http://") + HostPort();
}
std::string TestServer::Url(const std::string& pathAndQuery) const { return Origin() + pathAndQuery; }

void TestServer::Handle(const std::string& path, Handler handler) {
  if (impl_) {
    impl_->SetHandler(impl_->exact_, path, std::move(handler));
  }
}

void TestServer::HandlePrefix(const std::string& prefix, Handler handler) {
  if (impl_) {
    impl_->SetHandler(impl_->prefixes_, prefix, std::move(handler));
  }
}

void TestServer::Serve(const std::string& path, Response response) {
  Handle(path, [response = std::move(response)](const RecordedRequest&) { return response; });
}

void TestServer::AddRedirect(const std::string& path, const std::string& location, int status) {
  Serve(path, Redirect(location, status));
}

void TestServer::SetFallback(Handler handler) {
  if (impl_) {
    const std::lock_guard<std::mutex> lock(impl_->mutex_);
    impl_->fallback_ = std::move(handler);
  }
}

void TestServer::SetProxyHandler(Handler handler) {
  if (impl_) {
    const std::lock_guard<std::mutex> lock(impl_->mutex_);
    impl_->proxyHandler_ = std::move(handler);
  }
}

std::vector<RecordedRequest> TestServer::Requests() const {
  if (!impl_) {
    return {};
  }
  const std::lock_guard<std::mutex> lock(impl_->mutex_);
  return impl_->requests_;
}

std::optional<RecordedRequest> TestServer::LastRequest() const {
  if (!impl_) {
    return std::nullopt;
  }
  const std::lock_guard<std::mutex> lock(impl_->mutex_);
  if (impl_->requests_.empty()) {
    return std::nullopt;
  }
  return impl_->requests_.back();
}

std::size_t TestServer::RequestCount() const {
  if (!impl_) {
    return 0;
  }
  const std::lock_guard<std::mutex> lock(impl_->mutex_);
  return impl_->requests_.size();
}

bool TestServer::WaitForRequests(std::size_t count, std::chrono::milliseconds timeout) const {
  if (!impl_) {
    return false;
  }
  std::unique_lock<std::mutex> lock(impl_->mutex_);
  return impl_->requestRecorded_.wait_for(lock, timeout, [&] { return impl_->requests_.size() >= count; });
}

void TestServer::ClearRequests() {
  if (impl_) {
    const std::lock_guard<std::mutex> lock(impl_->mutex_);
    impl_->requests_.clear();
  }
}

std::size_t TestServer::ConnectionCount() const { return impl_ ? impl_->connectionCount_.load() : 0; }
std::size_t TestServer::OpenConnectionCount() const { return impl_ ? impl_->openConnections_.load() : 0; }

}  // namespace velbrook::test_support
