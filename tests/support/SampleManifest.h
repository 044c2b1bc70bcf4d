// What the sample-iPad builder says it wrote (its --manifest file), read back.
#pragma once

#include <cstdint>
#include <sstream>
#include <string>
#include <vector>

namespace pxtest {

struct SampleManifest {
    std::vector<std::string> albums;
    std::vector<std::vector<std::string>> members;
    std::vector<std::string> images;
    struct Source {
        std::int32_t id, code;
        bool present;
        std::int32_t offset, size;
        std::uint16_t vert, horz;
        std::string path;
    };
    std::vector<Source> sources;
    std::vector<std::string> camera;

    // The album's image ids (members[i] without its leading index).
    std::vector<std::string> Members(std::size_t album) const {
        return {members.at(album).begin() + 1, members.at(album).end()};
    }
    // Where an image's picture of a resolution code is stored, if it is.
    const Source* Find(const std::string& id, std::int32_t code) const {
        for (const Source& s : sources)
            if (s.present && std::to_string(s.id) == id && s.code == code) return &s;
        return nullptr;
    }
};

inline SampleManifest ParseSampleManifest(const std::string& text) {
    SampleManifest e;
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line)) {
        std::istringstream f(line);
        std::string kind;
        f >> kind;
        auto rest = [&] {
            std::string r;
            std::getline(f, r);
            return r.empty() ? r : r.substr(1);
        };
        if (kind == "album") {
            std::size_t index;
            f >> index;
            e.albums.push_back(rest());
            e.members.push_back({std::to_string(index)});
        } else if (kind == "member") {
            std::size_t index;
            std::string id;
            f >> index >> id;
            e.members.at(index).push_back(id);
        } else if (kind == "image") {
            std::string id;
            f >> id;
            e.images.push_back(id);
        } else if (kind == "source" || kind == "nosource") {
            SampleManifest::Source s{};
            s.present = kind == "source";
            f >> s.id >> s.code;
            if (s.present) {
                f >> s.offset >> s.size >> s.vert >> s.horz;
                s.path = rest();
            }
            e.sources.push_back(s);
        } else if (kind == "camera") {
            e.camera.push_back(rest());
        }
    }
    return e;
}

}  // namespace pxtest
