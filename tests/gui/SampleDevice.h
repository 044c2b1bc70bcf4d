// The sample iPad as the window tests plug it in, and what its builder says it holds.
#pragma once

#include <map>
#include <sstream>
#include <string>
#include <vector>

#include <QProcess>
#include <QString>

#include "TestSupport.h"

namespace pxtest {

struct StoredPicture {
    long Offset = 0;
    long Size = 0;
    int VertPad = 0, HorzPad = 0;
    std::string DevicePath;
};

// The builder's manifest: albums, members and where each stored picture lies.
struct SampleManifest {
    std::vector<std::string> Albums;
    std::map<std::string, std::vector<std::string>> Members;           // album index -> ids
    std::map<std::string, std::map<int, StoredPicture>> Sources;       // id -> code -> picture

    explicit SampleManifest(const std::string& text) {
        std::istringstream in(text);
        std::string line;
        while (std::getline(in, line)) {
            std::istringstream f(line);
            std::string kind;
            f >> kind;
            if (kind == "album") {
                std::string index, name;
                f >> index;
                std::getline(f >> std::ws, name);
                Albums.push_back(name);
            } else if (kind == "member") {
                std::string album, id;
                f >> album >> id;
                Members[album].push_back(id);
            } else if (kind == "source") {
                std::string id;
                int code;
                StoredPicture p;
                f >> id >> code >> p.Offset >> p.Size >> p.VertPad >> p.HorzPad;
                std::getline(f >> std::ws, p.DevicePath);
                Sources[id][code] = p;
            }
        }
    }
};

// Builds the sample iPad into devices/<name>, with a faults file when given,
// so that it appears whole. Returns its manifest text, empty on failure.
inline std::string PlugSampleIpad(const std::string& devices, const std::string& name, const std::string& faults = {}) {
    const std::string staging = devices + "/.staging-" + name;
    const std::string manifest = staging + ".manifest";
    QProcess builder;
    builder.start(QString::fromStdString(BinDir() + "sampleipad"),
                  {"--out", QString::fromStdString(staging), "--manifest", QString::fromStdString(manifest)});
    if (!builder.waitForFinished(60000) || builder.exitCode() != 0) return {};
    if (!faults.empty()) WriteFile(staging + "/faults", faults);
    if (std::rename(staging.c_str(), (devices + "/" + name).c_str()) != 0) return {};
    return ReadFile(manifest);
}

}  // namespace pxtest
