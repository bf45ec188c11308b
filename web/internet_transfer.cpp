#include "web/internet_transfer.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <string_view>
#include <vector>

#include "web/internet_curl_handles.h"
#include "web/internet_easy_setup.h"
#include "web/internet_settings.h"

namespace velbrook::inet::detail {
namespace {

// How long one wait on the sockets lasts before curl's own timers are looked at again.
constexpr int kPollMilliseconds = 100;

constexpr int kHttpStatusClass = 100;

std::string_view StripLineEnd(std::string_view line) {
  while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.remove_suffix(1);
  return line;
}

// The status code of a block that begins with "HTTP/x.y NNN ...", or 0.
int StatusOfBlock(std::string_view block) {
  const std::size_t space = block.find(' ');
  if (block.substr(0, 5) != "HTTP/" || space == std::string_view::npos) return 0;
  int code = 0;
  for (std::size_t i = space + 1; i < block.size() && i < space + 4; ++i) {
    if (block[i] < '0' || block[i] > '9') return 0;
    code = code * 10 + (block[i] - '0');
  }
  return code;
}

// The value of the first header line of this name in a CRLF block, compared without letter case.
std::optional<std::string_view> HeaderValue(std::string_view block, std::string_view name) {
  std::size_t start = block.find("\r\n");
  while (start != std::string_view::npos) {
    start += 2;
    const std::size_t end = block.find("\r\n", start);
    const std::string_view line = block.substr(start, end - start);
    const std::size_t colon = line.find(':');
    if (colon != std::string_view::npos && BlockHasHeader(line, name)) {
      std::string_view value = line.substr(colon + 1);
      while (!value.empty() && (value.front() == ' ' || value.front() == '\t')) value.remove_prefix(1);
      while (!value.empty() && (value.back() == ' ' || value.back() == '\t')) value.remove_suffix(1);
      return value;
    }
    start = end;
  }
  return std::nullopt;
}

// Idle multi handles of this thread. Making one costs a socket pair and its closing, twice per song
// of a download run, while a multi handle holds nothing of a transfer once the transfer is detached:
// every transfer forbids reuse of its connection and keeps no resolved names.
class MultiPool {
 public:
  MultiPtr Take() {
    if (idle_.empty()) return MultiPtr(curl_multi_init());
    MultiPtr multi = std::move(idle_.back());
    idle_.pop_back();
    return multi;
  }

  void Give(MultiPtr multi) {
    if (multi && idle_.size() < kMostIdle) idle_.push_back(std::move(multi));
  }

 private:
  // A thread drives one transfer at a time, seldom two.
  static constexpr std::size_t kMostIdle = 2;
  std::vector<MultiPtr> idle_;
};

// The pool of this thread, or nullptr once the thread's pool has been destroyed: a transfer that a
// static object still holds dies after that, at exit, and then simply cleans its multi handle up.
// The pointer and the flag need no destruction, so they can still be read then.
thread_local MultiPool* threadPool = nullptr;
thread_local bool threadPoolGone = false;

struct ThreadPoolOwner {
  MultiPool pool;
  ThreadPoolOwner() { threadPool = &pool; }
  ~ThreadPoolOwner() {
    threadPool = nullptr;
    threadPoolGone = true;
  }
};

MultiPool* ThreadMultiPool() {
  if (threadPool == nullptr && !threadPoolGone) {
    thread_local ThreadPoolOwner owner;  // made on first use, destroyed when the thread ends
  }
  return threadPool;
}

}  // namespace

struct CookieStore::Impl {
  SharePtr share;
};

CookieStore::CookieStore() : impl_(std::make_unique<Impl>()) {}
CookieStore::~CookieStore() = default;

std::shared_ptr<CookieStore> CookieStore::Create() {
  if (!EnsureCurlInitialised()) return nullptr;
  std::shared_ptr<CookieStore> store(new CookieStore());
  store->impl_->share.reset(curl_share_init());
  if (!store->impl_->share ||
      curl_share_setopt(store->impl_->share.get(), CURLSHOPT_SHARE, CURL_LOCK_DATA_COOKIE) != CURLSHE_OK) {
    return nullptr;
  }
  return store;
}

void* CookieStore::NativeShare() const { return impl_->share.get(); }

struct Transfer::Impl {
  // Declared first so that they go last: curl may still point at them while the easy handle dies.
  std::shared_ptr<CookieStore> cookies;
  SlistPtr headers;
  MultiPtr multi;
  EasyPtr easy;
  bool attached = false;

  bool ftp = false;
  bool followRedirects = true;
  bool headOnly = false;
  bool started = false;
  bool done = false;
  CURLcode result = CURLE_OK;
  bool paused = false;

  std::string buffer;  // unread body from `readOffset` on
  std::size_t readOffset = 0;
  std::size_t peakBuffered = 0;
  bool bodyStarted = false;
  std::uint64_t bytesArrived = 0;  // header and body bytes, also those of a paused chunk

  std::string block;  // the header block being received
  std::string finalHeaders;
  bool headersFinal = false;
  std::optional<std::uint64_t> remoteSize;

  ~Impl() {
    // A multi handle that still drives this transfer is not given back: it dies with it.
    const bool detached = !attached || curl_multi_remove_handle(multi.get(), easy.get()) == CURLM_OK;
    MultiPool* pool = ThreadMultiPool();
    if (detached && pool != nullptr) pool->Give(std::move(multi));
  }

  std::size_t Unread() const { return buffer.size() - readOffset; }

  void MarkHeadersFinal() {
    if (headersFinal) return;
    headersFinal = true;
    finalHeaders = block;
  }

  std::size_t OnBody(const char* data, std::size_t length) {
    bodyStarted = true;
    bytesArrived += length;
    MarkHeadersFinal();
    if (Unread() > 0 && Unread() + length > kMaxBufferedBytes) {
      paused = true;
      return CURL_WRITEFUNC_PAUSE;  // curl keeps this chunk and offers it again on resume
    }
    if (readOffset > 0 && readOffset == buffer.size()) {
      buffer.clear();
      readOffset = 0;
    }
    buffer.append(data, length);
    peakBuffered = std::max(peakBuffered, Unread());
    return length;
  }

  void OnHeaderLine(std::string_view raw) {
    bytesArrived += raw.size();
    if (ftp || headersFinal) return;  // FTP replies and trailers are no response headers
    const std::string_view line = StripLineEnd(raw);
    if (line.substr(0, 5) == "HTTP/") block.clear();
    block.append(line);
    block.append("\r\n");
    if (!line.empty()) return;
    const int status = StatusOfBlock(block);
    const bool interim = status / kHttpStatusClass == 1;
    const bool followed =
        followRedirects && status / kHttpStatusClass == 3 && HeaderValue(block, "Location").has_value();
    if (!interim && !followed) MarkHeadersFinal();
  }

  void CollectDone() {
    int queued = 0;
    while (CURLMsg* message = curl_multi_info_read(multi.get(), &queued)) {
      if (message->msg != CURLMSG_DONE) continue;
      done = true;
      result = message->data.result;
      if (result == CURLE_OK) MarkHeadersFinal();
      curl_off_t size = -1;
      if (ftp && curl_easy_getinfo(easy.get(), CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &size) == CURLE_OK &&
          size >= 0) {
        remoteSize = static_cast<std::uint64_t>(size);
      }
    }
  }

  static std::size_t WriteCallback(char* data, std::size_t size, std::size_t count, void* user) {
    return static_cast<Impl*>(user)->OnBody(data, size * count);
  }

  static std::size_t HeaderCallback(char* data, std::size_t size, std::size_t count, void* user) {
    static_cast<Impl*>(user)->OnHeaderLine(std::string_view(data, size * count));
    return size * count;
  }

  // How long the transfer may go on receiving nothing: before its first byte the connection
  // attempt has its own limit on top, afterwards only the stall limit counts.
  std::chrono::milliseconds QuietLimit() const {
    const Timeouts& timeouts = CurrentTimeouts();
    return std::chrono::milliseconds(bytesArrived == 0 ? timeouts.connectMs + timeouts.stallMs
                                                       : timeouts.stallMs);
  }

  void Fail(CURLcode code) {
    done = true;
    result = code;
  }

  // Drives the transfer until `satisfied` holds or the transfer has ended. A transfer that receives
  // nothing for the quiet limit fails, which bounds the loop; the clock runs only while a caller
  // waits, so a transfer paused between reads never times out.
  template <typename Condition>
  void Pump(Condition satisfied) {
    using Clock = std::chrono::steady_clock;
    std::uint64_t seen = bytesArrived;
    Clock::time_point lastArrival = Clock::now();
    while (!done && !satisfied()) {
      int running = 0;
      if (curl_multi_perform(multi.get(), &running) != CURLM_OK) return Fail(CURLE_RECV_ERROR);
      CollectDone();
      if (done || satisfied()) return;
      const Clock::time_point now = Clock::now();
      if (bytesArrived != seen) {
        seen = bytesArrived;
        lastArrival = now;
      }
      const auto left =
          QuietLimit() - std::chrono::duration_cast<std::chrono::milliseconds>(now - lastArrival);
      if (left.count() <= 0) return Fail(CURLE_OPERATION_TIMEDOUT);
      const int wait = static_cast<int>(std::min<long long>(left.count(), kPollMilliseconds));
      int ready = 0;
      if (curl_multi_poll(multi.get(), nullptr, 0, wait, &ready) != CURLM_OK) return Fail(CURLE_RECV_ERROR);
    }
  }
};

Transfer::Transfer() : impl_(std::make_unique<Impl>()) {}
Transfer::~Transfer() = default;

std::unique_ptr<Transfer> Transfer::Create(const TransferSetup& setup) {
  if (!EnsureCurlInitialised()) return nullptr;
  std::unique_ptr<Transfer> transfer(new Transfer());
  Impl& impl = *transfer->impl_;
  impl.ftp = setup.ftp;
  impl.followRedirects = setup.followRedirects;
  impl.headOnly = setup.HeadOnly();
  impl.cookies = setup.cookies;
  impl.easy.reset(curl_easy_init());
  MultiPool* pool = ThreadMultiPool();
  impl.multi = pool != nullptr ? pool->Take() : MultiPtr(curl_multi_init());
  if (!impl.easy || !impl.multi || !ConfigureEasy(impl.easy.get(), setup, &impl.headers)) return nullptr;
  CURL* easy = impl.easy.get();
  Impl* self = &impl;
  if (curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, Impl::WriteCallback) != CURLE_OK ||
      curl_easy_setopt(easy, CURLOPT_WRITEDATA, self) != CURLE_OK ||
      curl_easy_setopt(easy, CURLOPT_HEADERFUNCTION, Impl::HeaderCallback) != CURLE_OK ||
      curl_easy_setopt(easy, CURLOPT_HEADERDATA, self) != CURLE_OK) {
    return nullptr;
  }
  return transfer;
}

bool Transfer::Start() {
  Impl& impl = *impl_;
  if (impl.started) return impl.headersFinal || impl.bodyStarted || !impl.done || impl.result == CURLE_OK;
  impl.started = true;
  if (curl_multi_add_handle(impl.multi.get(), impl.easy.get()) != CURLM_OK) {
    impl.Fail(CURLE_FAILED_INIT);
    return false;
  }
  impl.attached = true;
  // A failure after the headers (or the first data) shows in the reads, as the platform's does.
  if (impl.ftp) {
    impl.Pump([&] { return impl.bodyStarted; });
    return impl.bodyStarted || !impl.done || impl.result == CURLE_OK;
  }
  impl.Pump([&] { return impl.headersFinal; });
  return impl.headersFinal;
}

bool Transfer::Started() const { return impl_->started; }

bool Transfer::Finish() {
  Impl& impl = *impl_;
  if (!impl.started && !Start()) return false;
  for (;;) {
    impl.buffer.clear();
    impl.readOffset = 0;
    if (impl.done) return impl.result == CURLE_OK;
    if (impl.paused) {
      impl.paused = false;
      if (curl_easy_pause(impl.easy.get(), CURLPAUSE_CONT) != CURLE_OK) impl.Fail(CURLE_RECV_ERROR);
    }
    impl.Pump([&] { return impl.Unread() > 0; });
  }
}

bool Transfer::Read(void* buffer, std::uint32_t size, std::uint32_t* bytesRead) {
  Impl& impl = *impl_;
  *bytesRead = 0;
  if (!impl.started && !Start()) return false;
  if (impl.headOnly && impl.headersFinal) return true;
  if (impl.Unread() == 0 && impl.paused && !impl.done) {
    impl.paused = false;
    // Resuming hands the held chunk straight to the write callback, which may pause again.
    if (curl_easy_pause(impl.easy.get(), CURLPAUSE_CONT) != CURLE_OK) impl.Fail(CURLE_RECV_ERROR);
  }
  impl.Pump([&] { return impl.Unread() > 0; });
  if (impl.Unread() == 0) return impl.done && impl.result == CURLE_OK;
  const std::size_t count = std::min<std::size_t>(size, impl.Unread());
  std::memcpy(buffer, impl.buffer.data() + impl.readOffset, count);
  impl.readOffset += count;
  *bytesRead = static_cast<std::uint32_t>(count);
  return true;
}

const std::string& Transfer::RawHeaders() const { return impl_->finalHeaders; }

int Transfer::StatusCode() const { return StatusOfBlock(impl_->finalHeaders); }

std::optional<std::uint64_t> Transfer::AnnouncedLength() const {
  const std::optional<std::string_view> value = HeaderValue(impl_->finalHeaders, "Content-Length");
  if (!value || value->empty()) return std::nullopt;
  std::uint64_t length = 0;
  constexpr std::uint64_t kLargestBeforeDigit = (UINT64_MAX - 9) / 10;
  for (char c : *value) {
    if (c < '0' || c > '9' || length > kLargestBeforeDigit) return std::nullopt;
    length = length * 10 + static_cast<std::uint64_t>(c - '0');
  }
  return length;
}

std::optional<std::uint64_t> Transfer::RemoteSize() const { return impl_->remoteSize; }

std::size_t Transfer::BufferedBytes() const { return impl_->Unread(); }

std::size_t Transfer::PeakBufferedBytes() const { return impl_->peakBuffered; }

}  // namespace velbrook::inet::detail
