// pxdevicesim <devices-folder> <socket-path>
//
// Stands where usbmuxd stands, for tests of the USB backend: devices are the
// folders of <devices-folder> (the simulated-device format), announced and
// withdrawn over the multiplexer's plist protocol; behind them answer the
// lockdown service (without TLS) and the file service. Point a client at it
// with USBMUXD_SOCKET_ADDRESS=UNIX:<socket-path>.
#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include <arpa/inet.h>
#include <plist/plist.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include "Backend.h"

namespace {

constexpr std::uint16_t LockdownPort = 62078;
constexpr std::uint32_t MaxMuxMessage = 1 << 20;
constexpr std::uint32_t MaxLockdownMessage = 1 << 20;
constexpr std::uint64_t MaxAfcRequest = 1 << 20;
constexpr std::uint64_t MaxAfcRead = 64u << 20;
const char* const Buid = "00000000-0000-0000-0000-5049584645525259";

// File-service operations and status codes as the protocol numbers them.
enum : std::uint64_t {
    OpStatus = 1, OpData = 2, OpReadDir = 3, OpGetFileInfo = 0x0a, OpGetDevInfo = 0x0b,
    OpFileOpen = 0x0d, OpFileOpenResult = 0x0e, OpRead = 0x0f, OpSeek = 0x11, OpClose = 0x14,
};
enum : std::uint64_t { AfcOk = 0, AfcReadError = 4, AfcBadArg = 7, AfcNotFound = 8, AfcPermDenied = 10, AfcNotSupported = 15 };

struct Plist {
    plist_t p = nullptr;
    explicit Plist(plist_t q = nullptr) : p(q) {}
    ~Plist() { if (p) plist_free(p); }
    Plist(const Plist&) = delete;
    Plist& operator=(const Plist&) = delete;
};

bool ReadAll(int fd, void* buf, std::size_t n) {
    auto* b = static_cast<char*>(buf);
    while (n > 0) {
        ssize_t got = ::recv(fd, b, n, 0);
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) return false;
        b += got;
        n -= static_cast<std::size_t>(got);
    }
    return true;
}

bool WriteAll(int fd, const void* buf, std::size_t n) {
    const auto* b = static_cast<const char*>(buf);
    while (n > 0) {
        ssize_t put = ::send(fd, b, n, MSG_NOSIGNAL);
        if (put < 0 && errno == EINTR) continue;
        if (put <= 0) return false;
        b += put;
        n -= static_cast<std::size_t>(put);
    }
    return true;
}

std::string ToXml(plist_t p) {
    char* xml = nullptr;
    std::uint32_t len = 0;
    plist_to_xml(p, &xml, &len);
    std::string out(xml ? xml : "", xml ? len : 0);
    if (xml) plist_to_xml_free(xml);
    return out;
}

plist_t Parse(const std::string& data) {
    plist_t p = nullptr;
    if (data.empty()) return nullptr;
    if (plist_is_binary(data.data(), static_cast<std::uint32_t>(data.size())))
        plist_from_bin(data.data(), static_cast<std::uint32_t>(data.size()), &p);
    else
        plist_from_xml(data.data(), static_cast<std::uint32_t>(data.size()), &p);
    return p;
}

std::string StringItem(plist_t dict, const char* key) {
    plist_t n = dict ? plist_dict_get_item(dict, key) : nullptr;
    if (!n || plist_get_node_type(n) != PLIST_STRING) return {};
    char* s = nullptr;
    plist_get_string_val(n, &s);
    std::string out(s ? s : "");
    std::free(s);
    return out;
}

std::optional<std::uint64_t> UintItem(plist_t dict, const char* key) {
    plist_t n = dict ? plist_dict_get_item(dict, key) : nullptr;
    if (!n || plist_get_node_type(n) != PLIST_UINT) return std::nullopt;
    std::uint64_t v = 0;
    plist_get_uint_val(n, &v);
    return v;
}

std::string HostIdOf(const std::string& udid) { return "5049584645525259-HOST-" + udid; }

struct SimDevice {
    std::uint32_t id = 0;
    std::string udid;
    std::shared_ptr<md::Device> device;
    std::map<std::uint16_t, std::string> services;  // ports handed out by StartService
    std::set<int> tunnels;
};

class Server {
public:
    explicit Server(std::string root) : backend_(md::MakeSimulatedBackend(std::move(root))) {}

    void Start() {
        backend_->Start([this](const std::shared_ptr<md::Device>& d, unsigned int msg) { OnDevice(d, msg); });
    }

    void Serve(int fd) {
        std::thread([this, fd] {
            Client(fd);
            Forget(fd);
            ::close(fd);
        }).detach();
    }

private:
    void OnDevice(const std::shared_ptr<md::Device>& d, unsigned int msg) {
        std::lock_guard lock(mutex_);
        if (msg == 1) {
            auto sim = std::make_shared<SimDevice>();
            sim->id = nextId_++;
            sim->udid = d->Id();
            sim->device = d;
            devices_[sim->id] = sim;
            for (int fd : listeners_) SendMux(fd, 0, Attached(*sim));
        } else {
            for (auto it = devices_.begin(); it != devices_.end(); ++it) {
                if (it->second->device != d) continue;
                // The cable is out: every connection to the device ends.
                for (int fd : it->second->tunnels) ::shutdown(fd, SHUT_RDWR);
                for (int fd : listeners_) {
                    plist_t detached = plist_new_dict();
                    plist_dict_set_item(detached, "MessageType", plist_new_string("Detached"));
                    plist_dict_set_item(detached, "DeviceID", plist_new_uint(it->first));
                    SendMux(fd, 0, detached);
                }
                devices_.erase(it);
                break;
            }
        }
    }

    static plist_t Attached(const SimDevice& d) {
        plist_t props = plist_new_dict();
        plist_dict_set_item(props, "ConnectionType", plist_new_string("USB"));
        plist_dict_set_item(props, "DeviceID", plist_new_uint(d.id));
        plist_dict_set_item(props, "LocationID", plist_new_uint(0));
        plist_dict_set_item(props, "ProductID", plist_new_uint(0x129a));
        plist_dict_set_item(props, "SerialNumber", plist_new_string(d.udid.c_str()));
        plist_t msg = plist_new_dict();
        plist_dict_set_item(msg, "MessageType", plist_new_string("Attached"));
        plist_dict_set_item(msg, "DeviceID", plist_new_uint(d.id));
        plist_dict_set_item(msg, "Properties", props);
        return msg;
    }

    // A multiplexer message: 16-byte little-endian header, then the XML plist;
    // the plist is freed here.
    static bool SendMux(int fd, std::uint32_t tag, plist_t p) {
        const std::string xml = ToXml(p);
        plist_free(p);
        const std::uint32_t header[4] = {static_cast<std::uint32_t>(16 + xml.size()), 1, 8, tag};
        return WriteAll(fd, header, sizeof header) && WriteAll(fd, xml.data(), xml.size());
    }

    static bool SendResult(int fd, std::uint32_t tag, std::uint64_t number) {
        plist_t r = plist_new_dict();
        plist_dict_set_item(r, "MessageType", plist_new_string("Result"));
        plist_dict_set_item(r, "Number", plist_new_uint(number));
        return SendMux(fd, tag, r);
    }

    void Forget(int fd) {
        std::lock_guard lock(mutex_);
        listeners_.erase(fd);
        for (auto& [id, d] : devices_) d->tunnels.erase(fd);
    }

    std::shared_ptr<SimDevice> Find(std::uint32_t id) {
        auto it = devices_.find(id);
        return it == devices_.end() ? nullptr : it->second;
    }

    void Client(int fd) {
        for (;;) {
            std::uint32_t header[4];
            if (!ReadAll(fd, header, sizeof header)) return;
            if (header[0] < 16 || header[0] > MaxMuxMessage) return;
            std::string body(header[0] - 16, '\0');
            if (!ReadAll(fd, body.data(), body.size())) return;
            const std::uint32_t tag = header[3];
            Plist request(Parse(body));
            const std::string type = StringItem(request.p, "MessageType");
            if (type == "ListDevices") {
                plist_t list = plist_new_array();
                {
                    std::lock_guard lock(mutex_);
                    for (auto& [id, d] : devices_) plist_array_append_item(list, Attached(*d));
                }
                plist_t r = plist_new_dict();
                plist_dict_set_item(r, "DeviceList", list);
                if (!SendMux(fd, tag, r)) return;
            } else if (type == "Listen") {
                std::lock_guard lock(mutex_);
                if (!SendResult(fd, tag, 0)) return;
                listeners_.insert(fd);
                for (auto& [id, d] : devices_) SendMux(fd, 0, Attached(*d));
            } else if (type == "ReadBUID") {
                plist_t r = plist_new_dict();
                plist_dict_set_item(r, "BUID", plist_new_string(Buid));
                if (!SendMux(fd, tag, r)) return;
            } else if (type == "ReadPairRecord") {
                if (!SendPairRecord(fd, tag, StringItem(request.p, "PairRecordID"))) return;
            } else if (type == "Connect") {
                const auto id = UintItem(request.p, "DeviceID");
                const auto port = UintItem(request.p, "PortNumber");
                if (!id || !port) {
                    if (!SendResult(fd, tag, 1)) return;
                    continue;
                }
                Tunnel(fd, tag, static_cast<std::uint32_t>(*id), ntohs(static_cast<std::uint16_t>(*port)));
                return;
            } else {
                if (!SendResult(fd, tag, 1)) return;
            }
        }
    }

    bool SendPairRecord(int fd, std::uint32_t tag, const std::string& udid) {
        bool paired = false;
        {
            std::lock_guard lock(mutex_);
            for (auto& [id, d] : devices_)
                if (d->udid == udid) paired = d->device->IsPaired();
        }
        if (!paired) return SendResult(fd, tag, 2);
        Plist record(plist_new_dict());
        plist_dict_set_item(record.p, "HostID", plist_new_string(HostIdOf(udid).c_str()));
        plist_dict_set_item(record.p, "SystemBUID", plist_new_string(Buid));
        for (const char* key : {"DeviceCertificate", "HostCertificate", "RootCertificate", "HostPrivateKey",
                                "RootPrivateKey"})
            plist_dict_set_item(record.p, key, plist_new_data("-", 1));
        const std::string xml = ToXml(record.p);
        plist_t r = plist_new_dict();
        plist_dict_set_item(r, "PairRecordData", plist_new_data(xml.data(), xml.size()));
        return SendMux(fd, tag, r);
    }

    void Tunnel(int fd, std::uint32_t tag, std::uint32_t id, std::uint16_t port) {
        std::shared_ptr<SimDevice> d;
        std::string service;
        {
            std::lock_guard lock(mutex_);
            d = Find(id);
            if (d && port != LockdownPort) {
                auto it = d->services.find(port);
                if (it != d->services.end()) service = it->second;
            }
            const bool open = d && d->device->Present() &&
                              (port == LockdownPort ? d->device->Connect() == 0 : !service.empty());
            if (!open) {
                SendResult(fd, tag, 3);  // connection refused
                return;
            }
            d->tunnels.insert(fd);
            if (!SendResult(fd, tag, 0)) return;
        }
        if (port == LockdownPort)
            Lockdown(fd, *d);
        else
            FileService(fd, *d);
    }

    // Lockdown: 32-bit big-endian length, then a plist, both ways.
    void Lockdown(int fd, SimDevice& d) {
        bool session = false;
        for (;;) {
            std::uint32_t len = 0;
            if (!ReadAll(fd, &len, 4)) return;
            len = ntohl(len);
            if (len == 0 || len > MaxLockdownMessage) return;
            std::string body(len, '\0');
            if (!ReadAll(fd, body.data(), len)) return;
            Plist request(Parse(body));
            const std::string verb = StringItem(request.p, "Request");
            // The tests read this to see which requests a client made.
            std::fprintf(stderr, "lockdown %s %s\n", d.udid.c_str(), verb.c_str());
            Plist reply(plist_new_dict());
            plist_dict_set_item(reply.p, "Request", plist_new_string(verb.c_str()));
            auto fail = [&](const char* error) { plist_dict_set_item(reply.p, "Error", plist_new_string(error)); };
            auto ok = [&] { plist_dict_set_item(reply.p, "Result", plist_new_string("Success")); };
            bool last = false;
            if (verb == "QueryType") {
                plist_dict_set_item(reply.p, "Type", plist_new_string("com.apple.mobile.lockdown"));
            } else if (verb == "GetValue") {
                GetValue(d, StringItem(request.p, "Key"), reply.p);
            } else if (verb == "ValidatePair") {
                plist_t record = plist_dict_get_item(request.p, "PairRecord");
                if (StringItem(record, "HostID") == HostIdOf(d.udid) && d.device->ValidatePairing() == 0)
                    ok();
                else
                    fail("InvalidHostID");
            } else if (verb == "StartSession") {
                if (StringItem(request.p, "HostID") != HostIdOf(d.udid) || d.device->ValidatePairing() != 0) {
                    fail("InvalidHostID");
                } else if (d.device->StartSession() != 0) {
                    fail("SessionInactive");
                } else {
                    session = true;
                    plist_dict_set_item(reply.p, "SessionID", plist_new_string("5049584645525259-SESSION"));
                    plist_dict_set_item(reply.p, "EnableSessionSSL", plist_new_bool(0));
                }
            } else if (verb == "StopSession") {
                session = false;
                ok();
            } else if (verb == "StartService") {
                const std::string name = StringItem(request.p, "Service");
                if (!session) {
                    fail("NoRunningSession");
                } else if (!d.device->HasService(name)) {
                    fail("InvalidService");
                } else {
                    std::uint16_t port;
                    {
                        std::lock_guard lock(mutex_);
                        port = static_cast<std::uint16_t>(49152 + (nextPort_++ % 16000));
                        d.services[port] = name;
                    }
                    plist_dict_set_item(reply.p, "Service", plist_new_string(name.c_str()));
                    plist_dict_set_item(reply.p, "Port", plist_new_uint(port));
                    plist_dict_set_item(reply.p, "EnableServiceSSL", plist_new_bool(0));
                }
            } else if (verb == "Goodbye") {
                ok();
                last = true;
            } else {
                fail("UnknownRequest");
            }
            const std::string xml = ToXml(reply.p);
            const std::uint32_t be = htonl(static_cast<std::uint32_t>(xml.size()));
            if (!WriteAll(fd, &be, 4) || !WriteAll(fd, xml.data(), xml.size()) || last) return;
        }
    }

    static void GetValue(SimDevice& d, const std::string& key, plist_t reply) {
        std::map<std::string, std::string> values{{"UniqueDeviceID", d.udid}, {"ProductVersion", "4.3.5"}};
        if (auto info = d.device->DeviceInfo())
            for (const auto& [k, v] : *info) {
                if (k == "Model") values["ProductType"] = v;
                values[k] = v;
            }
        if (key.empty()) {
            plist_t all = plist_new_dict();
            for (const auto& [k, v] : values) plist_dict_set_item(all, k.c_str(), plist_new_string(v.c_str()));
            plist_dict_set_item(reply, "Value", all);
            return;
        }
        plist_dict_set_item(reply, "Key", plist_new_string(key.c_str()));
        auto it = values.find(key);
        if (it == values.end())
            plist_dict_set_item(reply, "Error", plist_new_string("MissingValue"));
        else
            plist_dict_set_item(reply, "Value", plist_new_string(it->second.c_str()));
    }

    // The file service: 40-byte header "CFA6LPAA", whole length, header
    // length, packet number, operation (little-endian 64-bit), then the
    // header's own data and the payload.
    static bool SendAfc(int fd, std::uint64_t number, std::uint64_t op, const std::string& headerData,
                        const std::string& payload) {
        std::uint64_t h[5];
        std::memcpy(&h[0], "CFA6LPAA", 8);
        h[2] = 40 + headerData.size();
        h[1] = h[2] + payload.size();
        h[3] = number;
        h[4] = op;
        return WriteAll(fd, h, sizeof h) && WriteAll(fd, headerData.data(), headerData.size()) &&
               WriteAll(fd, payload.data(), payload.size());
    }
    static bool SendStatus(int fd, std::uint64_t number, std::uint64_t code) {
        return SendAfc(fd, number, OpStatus, std::string(reinterpret_cast<const char*>(&code), 8), {});
    }
    static std::string Pairs(const md::KeyValues& kv) {
        std::string out;
        for (const auto& [k, v] : kv) out += k + '\0' + v + '\0';
        return out;
    }

    static void FileService(int fd, SimDevice& d) {
        std::map<std::uint64_t, std::shared_ptr<md::File>> files;
        std::uint64_t nextHandle = 1;
        std::vector<char> buffer;
        for (;;) {
            std::uint64_t h[5];
            if (!ReadAll(fd, h, sizeof h) || std::memcmp(&h[0], "CFA6LPAA", 8) != 0) return;
            const std::uint64_t whole = h[1], own = h[2], number = h[3], op = h[4];
            if (own < 40 || whole < own || whole - 40 > MaxAfcRequest) return;
            std::string data(whole - 40, '\0');
            if (!ReadAll(fd, data.data(), data.size())) return;
            auto u64 = [&](std::size_t at) -> std::optional<std::uint64_t> {
                if (data.size() < at + 8) return std::nullopt;
                std::uint64_t v;
                std::memcpy(&v, data.data() + at, 8);
                return v;
            };
            auto path = [&](std::size_t at) { return std::string(data.c_str() + std::min(at, data.size())); };
            bool sent = true;
            switch (op) {
            case OpGetDevInfo: {
                auto info = d.device->DeviceInfo();
                sent = info ? SendAfc(fd, number, OpData, {}, Pairs(*info)) : SendStatus(fd, number, AfcNotFound);
                break;
            }
            case OpGetFileInfo: {
                auto info = d.device->FileInfo(path(0));
                sent = info ? SendAfc(fd, number, OpData, {}, Pairs(*info)) : SendStatus(fd, number, AfcNotFound);
                break;
            }
            case OpReadDir: {
                auto names = d.device->ListDirectory(path(0));
                std::string out;
                if (names)
                    for (const auto& n : *names) out += n + '\0';
                sent = names ? SendAfc(fd, number, OpData, {}, out) : SendStatus(fd, number, AfcNotFound);
                break;
            }
            case OpFileOpen: {
                const auto mode = u64(0);
                if (!mode) {
                    sent = SendStatus(fd, number, AfcBadArg);
                } else if (*mode != 1) {
                    sent = SendStatus(fd, number, AfcPermDenied);  // read-only here
                } else {
                    int error = 0;
                    auto file = d.device->OpenFile(path(8), error);
                    if (!file) {
                        sent = SendStatus(fd, number, AfcNotFound);
                    } else {
                        const std::uint64_t handle = nextHandle++;
                        files[handle] = std::move(file);
                        sent = SendAfc(fd, number, OpFileOpenResult,
                                       std::string(reinterpret_cast<const char*>(&handle), 8), {});
                    }
                }
                break;
            }
            case OpRead: {
                const auto handle = u64(0), size = u64(8);
                auto it = handle ? files.find(*handle) : files.end();
                if (it == files.end() || !size) {
                    sent = SendStatus(fd, number, AfcBadArg);
                    break;
                }
                unsigned int len = static_cast<unsigned int>(std::min(*size, MaxAfcRead));
                buffer.resize(len);
                const int rc = it->second->Read(buffer.data(), len);
                if (rc != 0 && !d.device->Present()) return;  // pulled out mid-read: the line goes dead
                sent = rc == 0 ? SendAfc(fd, number, OpData, {}, std::string(buffer.data(), len))
                               : SendStatus(fd, number, AfcReadError);
                break;
            }
            case OpSeek: {
                const auto handle = u64(0), whence = u64(8), offset = u64(16);
                auto it = handle ? files.find(*handle) : files.end();
                if (it == files.end() || !whence || !offset) {
                    sent = SendStatus(fd, number, AfcBadArg);
                    break;
                }
                const int rc = it->second->Seek(static_cast<std::int64_t>(*offset), *whence);
                sent = SendStatus(fd, number, rc == 0 ? AfcOk : AfcBadArg);
                break;
            }
            case OpClose: {
                const auto handle = u64(0);
                sent = SendStatus(fd, number, handle && files.erase(*handle) ? AfcOk : AfcBadArg);
                break;
            }
            default:
                sent = SendStatus(fd, number, AfcNotSupported);
            }
            if (!sent) return;
        }
    }

    std::mutex mutex_;
    std::map<std::uint32_t, std::shared_ptr<SimDevice>> devices_;
    std::set<int> listeners_;
    std::uint32_t nextId_ = 1;
    std::uint32_t nextPort_ = 0;
    std::unique_ptr<md::Backend> backend_;
};

int stopPipe[2] = {-1, -1};

void OnSignal(int) {
    const char c = 1;
    [[maybe_unused]] ssize_t n = ::write(stopPipe[1], &c, 1);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: pxdevicesim <devices-folder> <socket-path>\n");
        return 2;
    }
    const std::string socketPath = argv[2];
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    if (socketPath.size() >= sizeof addr.sun_path) {
        std::fprintf(stderr, "pxdevicesim: socket path too long\n");
        return 2;
    }
    std::memcpy(addr.sun_path, socketPath.c_str(), socketPath.size() + 1);
    std::signal(SIGPIPE, SIG_IGN);
    if (::pipe(stopPipe) != 0) return 1;
    std::signal(SIGTERM, OnSignal);
    std::signal(SIGINT, OnSignal);

    const int listenFd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    ::unlink(socketPath.c_str());
    if (listenFd < 0 || ::bind(listenFd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 ||
        ::chmod(socketPath.c_str(), 0600) != 0 || ::listen(listenFd, 64) != 0) {
        std::fprintf(stderr, "pxdevicesim: cannot listen on %s: %s\n", socketPath.c_str(), std::strerror(errno));
        return 1;
    }
    static Server server(argv[1]);
    server.Start();
    for (;;) {
        pollfd fds[2] = {{listenFd, POLLIN, 0}, {stopPipe[0], POLLIN, 0}};
        if (::poll(fds, 2, -1) < 0) {
            if (errno == EINTR) continue;
            break;
        }
        if (fds[1].revents) break;
        if (fds[0].revents & POLLIN) {
            const int fd = ::accept4(listenFd, nullptr, nullptr, SOCK_CLOEXEC);
            if (fd >= 0) server.Serve(fd);
        }
    }
    ::unlink(socketPath.c_str());
    // Client threads may still sit in blocking reads; leave without waiting.
    std::fflush(stderr);
    ::_exit(0);
}
