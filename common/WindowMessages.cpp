#include "WindowMessages.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <charconv>
#include <cstring>
#include <deque>
#include <mutex>
#include <thread>
#include <utility>

#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace wm {

namespace {

class UniqueFd {
public:
    UniqueFd() = default;
    explicit UniqueFd(int fd) : fd_(fd) {}
    ~UniqueFd() { Reset(); }
    UniqueFd(UniqueFd&& o) noexcept : fd_(o.Release()) {}
    UniqueFd& operator=(UniqueFd&& o) noexcept {
        if (this != &o) {
            Reset();
            fd_ = o.Release();
        }
        return *this;
    }
    int Get() const { return fd_; }
    int Release() { return std::exchange(fd_, -1); }
    void Reset() {
        if (fd_ >= 0) ::close(fd_);
        fd_ = -1;
    }
    explicit operator bool() const { return fd_ >= 0; }

private:
    int fd_ = -1;
};

// Frame: magic, kind, message, cbData (u32 each); wParam, lParam or result, dwData (64 bits each);
// then exactly cbData bytes. Little-endian, as the machine is.
constexpr std::uint32_t FrameMagic = 0x47534D56;  // "VMSG"
constexpr std::uint32_t KindRequest = 1;
constexpr std::uint32_t KindReply = 2;
constexpr std::size_t HeaderSize = 40;
// How long a receiver waits for the frame of a connection it accepted.
constexpr int FrameWaitMs = 2000;

struct Header {
    std::uint32_t magic = FrameMagic;
    std::uint32_t kind = 0;
    std::uint32_t message = 0;
    std::uint32_t cbData = 0;
    std::uint64_t wParam = 0;
    std::int64_t lParam = 0;
    std::uint64_t dwData = 0;
};

void PutHeader(const Header& h, std::byte* out) {
    std::memcpy(out + 0, &h.magic, 4);
    std::memcpy(out + 4, &h.kind, 4);
    std::memcpy(out + 8, &h.message, 4);
    std::memcpy(out + 12, &h.cbData, 4);
    std::memcpy(out + 16, &h.wParam, 8);
    std::memcpy(out + 24, &h.lParam, 8);
    std::memcpy(out + 32, &h.dwData, 8);
}

Header GetHeader(const std::byte* in) {
    Header h;
    std::memcpy(&h.magic, in + 0, 4);
    std::memcpy(&h.kind, in + 4, 4);
    std::memcpy(&h.message, in + 8, 4);
    std::memcpy(&h.cbData, in + 12, 4);
    std::memcpy(&h.wParam, in + 16, 8);
    std::memcpy(&h.lParam, in + 24, 8);
    std::memcpy(&h.dwData, in + 32, 8);
    return h;
}

// Endpoint names keep letters, digits, '_' and '-'; everything else is %XX,
// so '.' separates the fields and equal names mean equal class and title.
std::string Escape(std::string_view s) {
    static constexpr char hex[] = "0123456789ABCDEF";
    std::string out;
    for (unsigned char c : s) {
        if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_' || c == '-') {
            out += static_cast<char>(c);
        } else {
            out += '%';
            out += hex[c >> 4];
            out += hex[c & 15];
        }
    }
    return out;
}

std::string NamePrefix(std::string_view className, std::string_view title) {
    return Escape(className) + "." + Escape(title) + ".";
}

bool ParseUnsigned(std::string_view s, std::uint64_t& out) {
    if (s.empty() || s.size() > 19) return false;
    auto [p, ec] = std::from_chars(s.data(), s.data() + s.size(), out);
    return ec == std::errc() && p == s.data() + s.size();
}

// "<pid>.<counter>" at the end of an endpoint name.
bool ParseOwner(std::string_view tail, std::uint64_t& pid, std::uint64_t& counter) {
    auto dot = tail.find('.');
    if (dot == std::string_view::npos) return false;
    return ParseUnsigned(tail.substr(0, dot), pid) && ParseUnsigned(tail.substr(dot + 1), counter);
}

bool ProcessAlive(std::uint64_t pid) {
    if (pid == 0 || pid > 0x7fffffff) return false;
    return ::kill(static_cast<pid_t>(pid), 0) == 0 || errno == EPERM;
}

bool MakeAddress(const std::string& path, sockaddr_un& addr) {
    std::memset(&addr, 0, sizeof addr);
    addr.sun_family = AF_UNIX;
    if (path.size() >= sizeof addr.sun_path) return false;
    std::memcpy(addr.sun_path, path.data(), path.size());
    return true;
}

enum class Probe { Alive, Stale, Absent };

// Connects without sending anything: the receiver sees an empty connection and drops it.
Probe ProbeEndpoint(const std::string& path) {
    sockaddr_un addr;
    if (!MakeAddress(path, addr)) return Probe::Absent;
    UniqueFd fd(::socket(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC | SOCK_NONBLOCK, 0));
    if (!fd) return Probe::Absent;
    if (::connect(fd.Get(), reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0) return Probe::Alive;
    if (errno == EAGAIN || errno == EINPROGRESS) return Probe::Alive;  // backlog full: busy, not gone
    if (errno == ECONNREFUSED) return Probe::Stale;
    return Probe::Absent;
}

struct ThreadState {
    std::deque<MSG> queue;
    bool quit = false;
    int exitCode = 0;
};

ThreadState& State() {
    thread_local ThreadState state;
    return state;
}

std::atomic<std::uint64_t> windowCounter{0};

}  // namespace

struct MSG::Reply {
    UniqueFd conn;
};

MSG::MSG() = default;
MSG::~MSG() = default;
MSG::MSG(MSG&&) noexcept = default;
MSG& MSG::operator=(MSG&&) noexcept = default;

struct Window::Impl {
    HWND handle;
    std::string path;
    UniqueFd listen;
    UniqueFd postEvent;
    WNDPROC proc;
    std::thread::id owner;
    pid_t ownerPid = 0;  // a forked child inherits the window but does not own it
    std::mutex postMutex;
    std::deque<MSG> posted;
};

namespace {

struct Registry {
    std::mutex mutex;
    std::vector<std::shared_ptr<Window::Impl>> windows;
};

Registry& Windows() {
    static Registry registry;
    return registry;
}

std::shared_ptr<Window::Impl> Lookup(const HWND& hwnd) {
    auto& r = Windows();
    std::lock_guard lock(r.mutex);
    for (auto& w : r.windows)
        if (w->handle == hwnd) return w;
    return nullptr;
}

std::vector<std::shared_ptr<Window::Impl>> OwnedByThisThread() {
    auto& r = Windows();
    std::lock_guard lock(r.mutex);
    std::vector<std::shared_ptr<Window::Impl>> out;
    for (auto& w : r.windows)
        if (w->owner == std::this_thread::get_id() && w->ownerPid == ::getpid()) out.push_back(w);
    return out;
}

// Reads the one request frame of an accepted connection. Frames that are
// short, inconsistent or larger than the limit are dropped without a reply.
std::optional<MSG> ReceiveRequest(const Window::Impl& w, UniqueFd conn) {
    pollfd p{conn.Get(), POLLIN, 0};
    if (::poll(&p, 1, FrameWaitMs) <= 0) return std::nullopt;
    std::byte probe[1];
    ssize_t len = ::recv(conn.Get(), probe, sizeof probe, MSG_PEEK | MSG_TRUNC | MSG_DONTWAIT);
    if (len < static_cast<ssize_t>(HeaderSize)) return std::nullopt;
    if (static_cast<std::size_t>(len) > HeaderSize + MaxCopyData) return std::nullopt;
    std::vector<std::byte> frame(static_cast<std::size_t>(len));
    if (::recv(conn.Get(), frame.data(), frame.size(), MSG_DONTWAIT) != len) return std::nullopt;
    Header h = GetHeader(frame.data());
    if (h.magic != FrameMagic || h.kind != KindRequest) return std::nullopt;
    if (h.cbData != frame.size() - HeaderSize) return std::nullopt;
    MSG msg;
    msg.hwnd = w.handle;
    msg.message = h.message;
    msg.wParam = h.wParam;
    msg.lParam = h.lParam;
    msg.dwData = h.dwData;
    msg.data.assign(frame.begin() + HeaderSize, frame.end());
    msg.reply = std::make_unique<MSG::Reply>();
    msg.reply->conn = std::move(conn);
    return msg;
}

// Takes every connection waiting on the window's endpoint now.
// The next well-formed request waiting on the window, or nothing.
std::optional<MSG> AcceptOne(const Window::Impl& w) {
    for (;;) {
        UniqueFd conn(::accept4(w.listen.Get(), nullptr, nullptr, SOCK_CLOEXEC));
        if (!conn) {
            if (errno == EINTR || errno == ECONNABORTED) continue;
            return std::nullopt;
        }
        if (auto msg = ReceiveRequest(w, std::move(conn))) return msg;
    }
}

std::vector<MSG> AcceptPending(const Window::Impl& w) {
    std::vector<MSG> out;
    while (auto msg = AcceptOne(w)) out.push_back(std::move(*msg));
    return out;
}

std::vector<MSG> TakePosted(Window::Impl& w) {
    std::uint64_t count;
    while (::read(w.postEvent.Get(), &count, sizeof count) > 0) {
    }
    std::lock_guard lock(w.postMutex);
    std::vector<MSG> out(std::make_move_iterator(w.posted.begin()), std::make_move_iterator(w.posted.end()));
    w.posted.clear();
    return out;
}

// Waits (timeout in ms, -1 for ever) for this thread's windows and moves what
// arrived into its queue. Returns false when the thread owns no window.
bool FillQueue(int timeoutMs) {
    auto windows = OwnedByThisThread();
    if (windows.empty()) return false;
    std::vector<pollfd> fds;
    for (auto& w : windows) {
        fds.push_back({w->listen.Get(), POLLIN, 0});
        fds.push_back({w->postEvent.Get(), POLLIN, 0});
    }
    int n = ::poll(fds.data(), fds.size(), timeoutMs);
    if (n <= 0) return true;
    auto& queue = State().queue;
    for (std::size_t i = 0; i < windows.size(); ++i) {
        if (fds[2 * i].revents)
            for (auto& m : AcceptPending(*windows[i])) queue.push_back(std::move(m));
        if (fds[2 * i + 1].revents)
            for (auto& m : TakePosted(*windows[i])) queue.push_back(std::move(m));
    }
    return true;
}

std::optional<LRESULT> SendFrame(const HWND& target, const Header& header, const void* data, SendFlags flags) {
    if (!target) return std::nullopt;
    std::string folder = EndpointFolder();
    if (folder.empty()) return std::nullopt;
    sockaddr_un addr;
    if (!MakeAddress(folder + target.Name(), addr)) return std::nullopt;

    std::vector<std::byte> frame(HeaderSize + header.cbData);
    PutHeader(header, frame.data());
    if (header.cbData) std::memcpy(frame.data() + HeaderSize, data, header.cbData);

    UniqueFd conn(::socket(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0));
    if (!conn) return std::nullopt;
    int sndbuf = static_cast<int>(frame.size() + 4096);
    ::setsockopt(conn.Get(), SOL_SOCKET, SO_SNDBUF, &sndbuf, sizeof sndbuf);
    int rc;
    do {
        rc = ::connect(conn.Get(), reinterpret_cast<sockaddr*>(&addr), sizeof addr);
    } while (rc != 0 && errno == EINTR);
    if (rc != 0) return std::nullopt;
    if (::send(conn.Get(), frame.data(), frame.size(), MSG_NOSIGNAL) != static_cast<ssize_t>(frame.size()))
        return std::nullopt;

    for (;;) {
        const std::vector<std::shared_ptr<Window::Impl>> windows = OwnedByThisThread();
        std::vector<pollfd> fds{{conn.Get(), POLLIN, 0}};
        for (auto& w : windows) fds.push_back({w->listen.Get(), POLLIN, 0});
        if (::poll(fds.data(), fds.size(), -1) < 0) {
            if (errno == EINTR) continue;
            return std::nullopt;
        }
        if (fds[0].revents) {
            std::byte reply[HeaderSize];
            ssize_t n = ::recv(conn.Get(), reply, sizeof reply, MSG_DONTWAIT);
            if (n < 0 && (errno == EAGAIN || errno == EINTR)) continue;
            if (n != static_cast<ssize_t>(HeaderSize)) return std::nullopt;
            Header h = GetHeader(reply);
            if (h.magic != FrameMagic || h.kind != KindReply) return std::nullopt;
            return h.lParam;
        }
        // Messages sent to this thread's windows meanwhile are handled now,
        // as the receiver of our message may be waiting on one of them. A
        // blocking send leaves them to the thread's loop, all but a request
        // to close, which must get through or the two would wait on each other.
        for (std::size_t i = 0; i < windows.size(); ++i)
            if (fds[i + 1].revents)
                for (auto& m : AcceptPending(*windows[i])) {
                    if (flags == SendFlags::Normal || m.message == WM_DESTROY)
                        DispatchMessageA(m);
                    else
                        State().queue.push_back(std::move(m));
                }
    }
}

}  // namespace

std::string_view CopyDataText(const COPYDATASTRUCT& cds) {
    if (!cds.lpData || cds.cbData == 0) return {};
    std::string_view all(static_cast<const char*>(cds.lpData), cds.cbData);
    return all.substr(0, all.find('\0'));
}

WPARAM HWND::Value() const {
    auto dot2 = name_.rfind('.');
    if (dot2 == std::string::npos || dot2 == 0) return 0;
    auto dot1 = name_.rfind('.', dot2 - 1);
    if (dot1 == std::string::npos) return 0;
    std::uint64_t pid = 0, counter = 0;
    if (!ParseOwner(std::string_view(name_).substr(dot1 + 1), pid, counter)) return 0;
    return (pid << 32) | (counter & 0xffffffffu);
}

int HWND::OwnerPid() const { return static_cast<int>(Value() >> 32); }

std::string EndpointFolder() {
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    std::string dir;
    if (runtime && *runtime) dir = std::string(runtime) + "/velmora";
    if (dir.empty() || (::mkdir(dir.c_str(), 0700) != 0 && errno != EEXIST))
        dir = "/tmp/velmora-" + std::to_string(::getuid());
    ::mkdir(dir.c_str(), 0700);
    struct stat st;
    if (::lstat(dir.c_str(), &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != ::getuid()) return {};
    if ((st.st_mode & 0777) != 0700 && ::chmod(dir.c_str(), 0700) != 0) return {};
    return dir + "/";
}

std::unique_ptr<Window> Window::Create(std::string_view className, std::string_view title, WNDPROC proc) {
    std::string folder = EndpointFolder();
    if (folder.empty()) return nullptr;
    auto impl = std::make_unique<Impl>();
    std::string owner = std::to_string(::getpid()) + "." + std::to_string(++windowCounter);
    std::string name = NamePrefix(className, title) + owner;
    std::string temp = folder + ".tmp." + owner;
    impl->path = folder + name;
    sockaddr_un addr;
    if (!MakeAddress(impl->path, addr) || !MakeAddress(temp, addr)) return nullptr;

    impl->listen = UniqueFd(::socket(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC | SOCK_NONBLOCK, 0));
    impl->postEvent = UniqueFd(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK));
    if (!impl->listen || !impl->postEvent) return nullptr;
    // Bound under a hidden name and renamed into place once it listens, so a
    // finder never sees a half-made endpoint and takes it for a stale one.
    ::unlink(temp.c_str());
    if (::bind(impl->listen.Get(), reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) return nullptr;
    if (::chmod(temp.c_str(), 0600) != 0 || ::listen(impl->listen.Get(), 64) != 0 ||
        ::rename(temp.c_str(), impl->path.c_str()) != 0) {
        ::unlink(temp.c_str());
        return nullptr;
    }
    impl->handle = HWND(name);
    impl->proc = std::move(proc);
    impl->owner = std::this_thread::get_id();
    impl->ownerPid = ::getpid();
    std::shared_ptr<Impl> shared(std::move(impl));
    {
        auto& r = Windows();
        std::lock_guard lock(r.mutex);
        r.windows.push_back(shared);
    }
    return std::unique_ptr<Window>(new Window(std::move(shared)));
}

Window::~Window() {
    {
        auto& r = Windows();
        std::lock_guard lock(r.mutex);
        std::erase(r.windows, impl_);
    }
    if (impl_->ownerPid == ::getpid()) ::unlink(impl_->path.c_str());
    impl_->listen.Reset();
}

const HWND& Window::Handle() const { return impl_->handle; }
int Window::ListenFd() const { return impl_->listen.Get(); }
int Window::PostFd() const { return impl_->postEvent.Get(); }

void Window::DispatchPending() {
    auto self = impl_;  // a procedure may destroy this window
    for (auto& m : AcceptPending(*self)) DispatchMessageA(m);
    for (auto& m : TakePosted(*self)) DispatchMessageA(m);
}

bool Window::DispatchOne() {
    auto self = impl_;
    if (auto m = AcceptOne(*self)) {
        DispatchMessageA(*m);
        return true;
    }
    std::optional<MSG> posted;
    {
        std::lock_guard lock(self->postMutex);
        if (self->posted.empty()) return false;
        posted = std::move(self->posted.front());
        self->posted.pop_front();
        // Keep the wake-up pending while others wait.
        if (self->posted.empty()) {
            std::uint64_t count;
            while (::read(self->postEvent.Get(), &count, sizeof count) > 0) {
            }
        }
    }
    DispatchMessageA(*posted);
    return true;
}

std::vector<HWND> FindWindows(std::string_view className, std::string_view title) {
    std::vector<HWND> found;
    std::string folder = EndpointFolder();
    if (folder.empty()) return found;
    std::string prefix = NamePrefix(className, title);
    std::vector<std::string> names;
    if (DIR* dir = ::opendir(folder.c_str())) {
        while (dirent* e = ::readdir(dir)) names.emplace_back(e->d_name);
        ::closedir(dir);
    }
    std::sort(names.begin(), names.end());
    for (const auto& name : names) {
        std::uint64_t pid, counter;
        if (name.starts_with(".tmp.")) {
            // A window that was being made when its process died.
            if (ParseOwner(std::string_view(name).substr(5), pid, counter) && !ProcessAlive(pid))
                ::unlink((folder + name).c_str());
            continue;
        }
        if (!name.starts_with(prefix) || !ParseOwner(std::string_view(name).substr(prefix.size()), pid, counter))
            continue;
        switch (ProbeEndpoint(folder + name)) {
        case Probe::Alive: found.emplace_back(name); break;
        case Probe::Stale: ::unlink((folder + name).c_str()); break;
        case Probe::Absent: break;
        }
    }
    return found;
}

HWND FindWindowA(std::string_view className, std::string_view title) {
    auto all = FindWindows(className, title);
    return all.empty() ? HWND() : all.front();
}

bool IsWindow(const HWND& hwnd) {
    if (!hwnd) return false;
    std::string folder = EndpointFolder();
    return !folder.empty() && ProbeEndpoint(folder + hwnd.Name()) == Probe::Alive;
}

std::optional<LRESULT> SendMessageA(const HWND& target, UINT message, WPARAM wParam, LPARAM lParam,
                                    SendFlags flags) {
    Header h;
    h.kind = KindRequest;
    h.message = message;
    h.wParam = wParam;
    h.lParam = lParam;
    return SendFrame(target, h, nullptr, flags);
}

std::optional<LRESULT> SendMessageA(const HWND& target, UINT message, WPARAM wParam, const COPYDATASTRUCT& cds,
                                    SendFlags flags) {
    if (cds.cbData > MaxCopyData || (cds.cbData && !cds.lpData)) return std::nullopt;
    Header h;
    h.kind = KindRequest;
    h.message = message;
    h.wParam = wParam;
    h.cbData = cds.cbData;
    h.dwData = cds.dwData;
    return SendFrame(target, h, cds.lpData, flags);
}

std::optional<LRESULT> SendCopyDataText(const HWND& target, WPARAM wParam, std::string_view text, SendFlags flags) {
    if (text.size() >= MaxCopyData) return std::nullopt;
    std::string buffer(text);  // c_str() carries the NUL
    COPYDATASTRUCT cds;
    cds.cbData = static_cast<std::uint32_t>(buffer.size() + 1);
    cds.lpData = buffer.c_str();
    return SendMessageA(target, WM_COPYDATA, wParam, cds, flags);
}

bool PostMessageA(const HWND& target, UINT message, WPARAM wParam, LPARAM lParam) {
    auto w = Lookup(target);
    if (!w) return false;
    MSG msg;
    msg.hwnd = target;
    msg.message = message;
    msg.wParam = wParam;
    msg.lParam = lParam;
    {
        std::lock_guard lock(w->postMutex);
        w->posted.push_back(std::move(msg));
    }
    std::uint64_t one = 1;
    return ::write(w->postEvent.Get(), &one, sizeof one) == sizeof one;
}

bool GetMessageA(MSG& msg) {
    auto& state = State();
    for (;;) {
        if (!state.queue.empty()) {
            msg = std::move(state.queue.front());
            state.queue.pop_front();
            return true;
        }
        if (state.quit) {
            state.quit = false;
            msg = MSG();
            msg.message = WM_QUIT;
            msg.wParam = static_cast<WPARAM>(state.exitCode);
            return false;
        }
        if (!FillQueue(-1)) {
            // No window on this thread: nothing can ever arrive.
            msg = MSG();
            msg.message = WM_QUIT;
            return false;
        }
    }
}

bool PeekMessageA(MSG& msg, UINT removeFlag) { return PeekMessageA(msg, removeFlag, 0, 0); }

bool PeekMessageA(MSG& msg, UINT removeFlag, UINT filterMin, UINT filterMax) {
    auto& state = State();
    const bool any = filterMin == 0 && filterMax == 0;
    if (state.queue.empty() || !any) FillQueue(0);
    auto it = std::find_if(state.queue.begin(), state.queue.end(), [&](const MSG& m) {
        return any || (m.message >= filterMin && m.message <= filterMax);
    });
    if (it == state.queue.end()) return false;
    MSG& head = *it;
    if (removeFlag & PM_REMOVE) {
        msg = std::move(head);
        state.queue.erase(it);
    } else {
        msg = MSG();
        msg.hwnd = head.hwnd;
        msg.message = head.message;
        msg.wParam = head.wParam;
        msg.lParam = head.lParam;
        msg.dwData = head.dwData;
        msg.data = head.data;
    }
    return true;
}

LRESULT DispatchMessageA(MSG& msg) {
    auto w = Lookup(msg.hwnd);
    if (!w || !w->proc) return 0;
    COPYDATASTRUCT cds;
    Message m;
    m.hwnd = msg.hwnd;
    m.message = msg.message;
    m.wParam = msg.wParam;
    m.lParam = msg.lParam;
    if (msg.message == WM_COPYDATA) {
        cds.dwData = msg.dwData;
        cds.cbData = static_cast<std::uint32_t>(msg.data.size());
        cds.lpData = msg.data.empty() ? nullptr : msg.data.data();
        m.copyData = &cds;
    }
    LRESULT result = w->proc(m);
    if (msg.reply) {
        std::byte frame[HeaderSize];
        Header h;
        h.kind = KindReply;
        h.message = msg.message;
        h.lParam = result;
        PutHeader(h, frame);
        ::send(msg.reply->conn.Get(), frame, sizeof frame, MSG_NOSIGNAL);
        msg.reply.reset();
    }
    return result;
}

void PostQuitMessage(int exitCode) {
    auto& state = State();
    state.quit = true;
    state.exitCode = exitCode;
}

}  // namespace wm
