// Window messages between the two programs, over Unix-domain sockets.
//
// A window is a listening SOCK_SEQPACKET socket in a per-user folder; its file
// name carries the class name, the title, the owning process and a counter.
// A send connects, writes one request frame and blocks for the reply frame.
// While a thread waits inside a send it dispatches the messages sent to the
// windows it owns, so two programs that send to each other cannot deadlock.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace wm {

using UINT = std::uint32_t;
using WPARAM = std::uint64_t;
using LPARAM = std::int64_t;
using LRESULT = std::int64_t;

inline constexpr UINT WM_DESTROY = 0x0002;
inline constexpr UINT WM_QUIT = 0x0012;
inline constexpr UINT WM_COPYDATA = 0x004A;
inline constexpr UINT WM_USER = 0x0400;

inline constexpr UINT PM_NOREMOVE = 0;
inline constexpr UINT PM_REMOVE = 1;

// Largest cbData a receiver accepts; larger frames are dropped without a reply.
inline constexpr std::size_t MaxCopyData = std::size_t{1} << 20;

struct COPYDATASTRUCT {
    std::uint64_t dwData = 0;
    std::uint32_t cbData = 0;
    const void* lpData = nullptr;
};

// The text of a WM_COPYDATA record: up to the first NUL inside the cbData
// bytes, or all cbData bytes when they hold no NUL. Never reads past them.
std::string_view CopyDataText(const COPYDATASTRUCT& cds);

// A handle names a window's endpoint; an empty handle is "no window".
class HWND {
public:
    HWND() = default;
    explicit HWND(std::string name) : name_(std::move(name)) {}
    const std::string& Name() const { return name_; }
    explicit operator bool() const { return !name_.empty(); }
    friend bool operator==(const HWND&, const HWND&) = default;
    // A number for the window (process id and counter), sent as wParam.
    WPARAM Value() const;
    // The process that owns the window, or 0 for an empty handle.
    int OwnerPid() const;

private:
    std::string name_;
};

// What a window procedure receives. For WM_COPYDATA, copyData points at the
// record, valid until the procedure returns.
struct Message {
    HWND hwnd;
    UINT message = 0;
    WPARAM wParam = 0;
    LPARAM lParam = 0;
    const COPYDATASTRUCT* copyData = nullptr;
};

using WNDPROC = std::function<LRESULT(const Message&)>;

// A message taken from a thread's queue by GetMessageA or PeekMessageA. A sent
// message keeps its sender waiting until DispatchMessageA has replied, or
// until the MSG is destroyed (the sender then fails at once).
class MSG {
public:
    MSG();
    ~MSG();
    MSG(MSG&&) noexcept;
    MSG& operator=(MSG&&) noexcept;

    HWND hwnd;
    UINT message = 0;
    WPARAM wParam = 0;
    LPARAM lParam = 0;
    std::vector<std::byte> data;  // the cbData bytes of a WM_COPYDATA
    std::uint64_t dwData = 0;

    struct Reply;
    std::unique_ptr<Reply> reply;  // set for sent messages
};

// The per-user folder that holds the endpoints (created 0700 when missing).
// Empty when it cannot be made safe.
std::string EndpointFolder();

// A window owned by the thread that creates it. Destroying it removes its
// endpoint; senders waiting on it fail at once.
class Window {
public:
    // Returns nullptr when the endpoint cannot be created.
    static std::unique_ptr<Window> Create(std::string_view className, std::string_view title, WNDPROC proc);
    ~Window();
    Window(const Window&) = delete;
    Window& operator=(const Window&) = delete;

    const HWND& Handle() const;
    // For an outside event loop: readable when a message may be waiting.
    int ListenFd() const;
    int PostFd() const;
    // Receives and dispatches every message waiting now, without blocking
    // on new ones. For owners that run their own event loop.
    void DispatchPending();
    // Receives and dispatches one waiting message, if there is one.
    bool DispatchOne();

    struct Impl;

private:
    explicit Window(std::shared_ptr<Impl> impl) : impl_(std::move(impl)) {}
    std::shared_ptr<Impl> impl_;
};

// A live window with exactly this class name and title, or an empty handle.
// Endpoint files left by processes that are gone are removed on the way.
HWND FindWindowA(std::string_view className, std::string_view title);
// Every live window with exactly this class name and title.
std::vector<HWND> FindWindows(std::string_view className, std::string_view title);
// Whether the window's endpoint is still served.
bool IsWindow(const HWND& hwnd);

enum class SendFlags {
    Normal,
    // Do not dispatch this thread's incoming messages while waiting; they
    // stay queued until the thread's own loop takes them. WM_DESTROY alone
    // is dispatched at once, so that a window can always be closed.
    Block,
};

// Blocks until the receiver's procedure has returned; gives its result, or
// nothing when the window is gone or the message was not delivered.
std::optional<LRESULT> SendMessageA(const HWND& target, UINT message, WPARAM wParam, LPARAM lParam,
                                    SendFlags flags = SendFlags::Normal);
std::optional<LRESULT> SendMessageA(const HWND& target, UINT message, WPARAM wParam,
                                    const COPYDATASTRUCT& cds, SendFlags flags = SendFlags::Normal);
// Convenience: a WM_COPYDATA whose text is followed by its NUL (cbData = size + 1).
std::optional<LRESULT> SendCopyDataText(const HWND& target, WPARAM wParam, std::string_view text,
                                        SendFlags flags = SendFlags::Normal);

// Queues a message for a window of this process; any thread may post.
bool PostMessageA(const HWND& target, UINT message, WPARAM wParam, LPARAM lParam);

// The calling thread's message loop over the windows it owns.
bool GetMessageA(MSG& msg);  // false once WM_QUIT is taken
bool PeekMessageA(MSG& msg, UINT removeFlag);
// Only messages from filterMin to filterMax (both 0: every message), the
// first of them wherever it stands in the queue.
bool PeekMessageA(MSG& msg, UINT removeFlag, UINT filterMin, UINT filterMax);
LRESULT DispatchMessageA(MSG& msg);
void PostQuitMessage(int exitCode);

}  // namespace wm
