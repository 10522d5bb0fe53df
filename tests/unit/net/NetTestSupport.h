#pragma once
// Loopback servers, files and an application hub for the network tests.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <mutex>
#include <sstream>
#include <string>
#include <atomic>
#include <thread>
#include <vector>

#include "unit/EnvGuard.h"

class CApplication;

namespace nettest {

// A TCP server on 127.0.0.1 at a free port; each accepted connection goes to
// the handler on the server's thread, one after another, and is closed after.
class LoopbackServer {
 public:
  using Handler = std::function<void(int fd)>;
  explicit LoopbackServer(Handler handler, int backlog = 8) : handler_(std::move(handler)) {
    listenFd_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof sa;
    if (bind(listenFd_, reinterpret_cast<sockaddr*>(&sa), sizeof sa) != 0 || listen(listenFd_, backlog) != 0 ||
        getsockname(listenFd_, reinterpret_cast<sockaddr*>(&sa), &len) != 0 || pipe(wake_) != 0)
      ADD_FAILURE() << "cannot listen on loopback";
    port_ = ntohs(sa.sin_port);
    if (handler_) thread_ = std::thread([this] { Run(); });
  }
  ~LoopbackServer() {
    (void)!write(wake_[1], "x", 1);
    if (thread_.joinable()) thread_.join();
    close(listenFd_);
    close(wake_[0]);
    close(wake_[1]);
  }
  int port() const { return port_; }
  std::string hostPort() const { return "127.0.0.1:" + std::to_string(port_); }
  int connections() const { return connections_.load(); }

 private:
  void Run() {
    for (;;) {
      pollfd p[2] = {{listenFd_, POLLIN, 0}, {wake_[0], POLLIN, 0}};
      if (poll(p, 2, -1) < 0) continue;
      if (p[1].revents) return;
      const int fd = accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC);
      if (fd < 0) continue;
      ++connections_;
      handler_(fd);
      close(fd);
    }
  }
  Handler handler_;
  int listenFd_ = -1, wake_[2] = {-1, -1}, port_ = 0;
  std::atomic<int> connections_{0};
  std::thread thread_;
};

// A port on 127.0.0.1 where nothing listens.
inline int ClosedPort() { return LoopbackServer(nullptr).port(); }

// One request header block, up to its blank line.
inline std::string ReadRequest(int fd) {
  std::string request;
  char c;
  while (request.size() < 65536 && request.find("\r\n\r\n") == std::string::npos) {
    pollfd p{fd, POLLIN, 0};
    if (poll(&p, 1, 10000) <= 0 || recv(fd, &c, 1, 0) != 1) break;
    request += c;
  }
  return request;
}

inline void SendAll(int fd, const std::string& data) {
  for (size_t sent = 0; sent < data.size();) {
    const ssize_t n = send(fd, data.data() + sent, data.size() - sent, MSG_NOSIGNAL);
    if (n <= 0) return;
    sent += static_cast<size_t>(n);
  }
}

inline std::string Reply200(const std::string& body) {
  return "HTTP/1.1 200 OK\r\nServer: test\r\nContent-Length: " + std::to_string(body.size()) + "\r\n\r\n" + body;
}

// A one-shot gate a server thread waits on until the test opens it.
class Gate {
 public:
  void Open() {
    std::lock_guard<std::mutex> g(m_);
    open_ = true;
    cv_.notify_all();
  }
  bool Wait(int ms) {
    std::unique_lock<std::mutex> g(m_);
    return cv_.wait_for(g, std::chrono::milliseconds(ms), [this] { return open_; });
  }

 private:
  std::mutex m_;
  std::condition_variable cv_;
  bool open_ = false;
};

// Requests a server received, in order.
class RequestLog {
 public:
  void Add(const std::string& r) {
    std::lock_guard<std::mutex> g(m_);
    all_.push_back(r);
  }
  std::vector<std::string> All() {
    std::lock_guard<std::mutex> g(m_);
    return all_;
  }

 private:
  std::mutex m_;
  std::vector<std::string> all_;
};

inline bool WaitFor(const std::function<bool()>& pred, int ms) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
  while (!pred()) {
    if (std::chrono::steady_clock::now() > end) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return true;
}

inline std::string MakeTempDir(const std::string& tag) {
  std::string templ = ::testing::TempDir() + "lumi-net-" + tag + "-XXXXXX";
  if (!mkdtemp(templ.data())) ADD_FAILURE() << "mkdtemp";
  return templ;
}

inline std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

void WriteFile(const std::string& path, const std::string& data, int mode = 0644);
// The UTF-16LE log file as UTF-8.
std::string ReadLogUtf8(const std::string& path);

// An application hub with the network client (initialised), the log at
// level 1 and the paths of a fresh data directory; local version 1.0.0.10.
struct TestApp {
  explicit TestApp(const std::string& tag);
  ~TestApp();  // waits for the update thread, then frees everything
  CApplication* app = nullptr;
  std::string dataDir, logPath, updaterPath;
  std::string Log() { return ReadLogUtf8(logPath); }
};

}  // namespace nettest
