#include "UpdateCheck.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <system_error>
#include <vector>

#include <QCryptographicHash>

#include "InterfaceTexts.h"

namespace fs = std::filesystem;

std::string FileMd5Hex(const std::string& path, const std::function<bool()>& stop) {
    QCryptographicHash md5(QCryptographicHash::Md5);
    std::ifstream in(path, std::ios::binary);
    std::vector<char> chunk(64 * 1024);
    while (in && !(stop && stop())) {
        in.read(chunk.data(), static_cast<std::streamsize>(chunk.size()));
        md5.addData(QByteArrayView(chunk.data(), static_cast<qsizetype>(in.gcount())));
    }
    // A read that broke off part-way counts as a file that could not be read.
    if (!in.eof()) md5.reset();
    return md5.result().toHex().toStdString();
}

namespace {

bool Listed(const fs::directory_entry& entry) {
    std::error_code ec;
    // Only regular files: opening a pipe that happens to end in ".so" would wait for ever.
    if (!entry.is_regular_file(ec)) return false;
    if (entry.path().extension() == ".so") return true;
    const fs::perms p = entry.status(ec).permissions();
    return (p & (fs::perms::owner_exec | fs::perms::group_exec | fs::perms::others_exec)) != fs::perms::none;
}

}  // namespace

std::string ProgramFileList(const std::string& folder, const std::function<bool()>& stop) {
    std::vector<std::string> names;
    std::error_code ec;
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec))
        if (Listed(*it)) names.push_back(it->path().filename().string());
    std::sort(names.begin(), names.end());

    std::string list;
    for (const std::string& name : names) {
        if (stop && stop()) break;
        list += name + "*" + FileMd5Hex((fs::path(folder) / name).string(), stop) + "?";
    }
    return list;
}

std::string UpdateQuery(UpdateMode mode, std::string_view fileList, std::string_view languageCode) {
    const char* a2 = mode == UpdateMode::Background ? "t" : "w";
    return std::string("a1=a&a2=") + a2 + "&a3=10&a4=" + std::string(fileList) + "&a7=r&a8=" +
           std::string(languageCode);
}

std::string EncodeUpdateQuery(std::string_view query) {
    static constexpr char digits[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(query.size() * 2);
    for (std::size_t i = 0; i < query.size(); ++i) {
        const auto b = static_cast<std::uint8_t>(static_cast<std::uint8_t>(query[i]) ^ UpdateKey[i % UpdateKey.size()]);
        out += digits[b >> 4];
        out += digits[b & 0x0F];
    }
    return out;
}

std::string UpdateRequestAddress(std::string_view siteAddress, std::string_view encodedQuery) {
    return std::string(siteAddress) + "update.php" + "\?\?=" + std::string(encodedQuery);
}

bool IsWebAddress(std::string_view address) {
    const std::size_t colon = address.find("://");
    if (colon == std::string_view::npos) return false;
    std::string scheme(address.substr(0, colon));
    std::transform(scheme.begin(), scheme.end(), scheme.begin(), [](unsigned char c) { return std::tolower(c); });
    if (scheme != "http" && scheme != "https") return false;
    const std::string_view rest = address.substr(colon + 3);
    return !rest.empty() && rest.front() != '/' && rest.front() != '?' && rest.front() != '#';
}

std::optional<UpdateAnswer> ParseUpdateAnswer(std::string_view body) {
    const std::vector<std::string> lines = SplitLanguageLines(body);
    if (lines.size() < 6) return std::nullopt;
    UpdateAnswer a;
    a.NewVersion = lines[0] == "1";
    a.Mandatory = lines[1] == "1";
    a.SiteCaption = lines[2];
    // The browser is handed web pages only, never a local file or a script.
    if (IsWebAddress(lines[3])) a.SiteTarget = lines[3];
    a.PanelText = lines[4];
    if (IsWebAddress(lines[5])) a.Download = lines[5];
    return a;
}
