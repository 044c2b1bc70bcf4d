// Benchmark of the photo-library reader on a large synthetic library:
// loading the photo database and decoding the 55x55 thumbnails of a grid.
//   readerbench [--images N] [benchmark options]
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>

#include <unistd.h>

#include <benchmark/benchmark.h>

#include "SampleLibrary.h"
#include "iPadcomponent.h"

namespace {

int Images = 10000;
std::string Folder;

void Write(const std::string& path, const std::string& bytes) {
    std::ofstream f(path, std::ios::binary | std::ios::trunc);
    f.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

void LoadDatabase(benchmark::State& state) {
    TiPad reader;
    reader.SetLocalFolder(Folder);
    for (auto _ : state) {
        reader.LoadPhotoDatabase();
        benchmark::DoNotOptimize(reader.ImageIds.data());
    }
    if (reader.ImageIds.size() != static_cast<std::size_t>(Images)) state.SkipWithError("wrong image count");
    state.counters["images"] = static_cast<double>(reader.ImageIds.size());
    state.counters["albums"] = static_cast<double>(reader.AlbumNames.size());
}

// Every image of the library once, as the grid of its first album asks for them.
void ReadThumbnails(benchmark::State& state) {
    TiPad reader;
    reader.SetLocalFolder(Folder);
    reader.LoadPhotoDatabase();
    const auto& members = reader.AlbumMembers.at(0);
    std::vector<std::int32_t> ids;
    for (std::size_t k = 1; k < members.size(); ++k) ids.push_back(std::atoi(members[k].c_str()));
    TBitmap24 bitmap;
    std::size_t pictures = 0;
    for (auto _ : state) {
        for (std::int32_t id : ids) {
            reader.ReadThumbnail(id, TiPad::Code55, bitmap);
            pictures += bitmap.Empty() ? 0 : 1;
            benchmark::DoNotOptimize(bitmap.Pixels.data());
        }
    }
    if (pictures != ids.size() * state.iterations()) state.SkipWithError("a thumbnail did not decode");
    state.SetItemsProcessed(static_cast<std::int64_t>(ids.size() * state.iterations()));
}

void ImageSources(benchmark::State& state) {
    TiPad reader;
    reader.SetLocalFolder(Folder);
    reader.LoadPhotoDatabase();
    std::vector<std::int32_t> ids;
    for (const std::string& id : reader.ImageIds) ids.push_back(std::atoi(id.c_str()));
    for (auto _ : state) {
        for (std::int32_t id : ids) {
            std::string path;
            std::int32_t offset = 0, size = 0;
            std::uint16_t v = 0, h = 0;
            reader.GetImageSource(id, TiPad::Code160, path, offset, size, v, h);
            benchmark::DoNotOptimize(size);
        }
    }
    state.SetItemsProcessed(static_cast<std::int64_t>(ids.size() * state.iterations()));
}

}  // namespace

BENCHMARK(LoadDatabase)->Unit(benchmark::kMillisecond);
BENCHMARK(ReadThumbnails)->Unit(benchmark::kMillisecond);
BENCHMARK(ImageSources)->Unit(benchmark::kMillisecond);

int main(int argc, char** argv) {
    for (int i = 1; i + 1 < argc; ++i) {
        if (std::strcmp(argv[i], "--images") == 0) {
            Images = std::atoi(argv[i + 1]);
            for (int k = i; k + 2 <= argc; ++k) argv[k] = argv[k + 2];
            argc -= 2;
            break;
        }
    }
    std::string templ = (std::filesystem::temp_directory_path() / "readerbench-XXXXXX").string();
    if (!::mkdtemp(templ.data())) return 1;
    Folder = templ + "/";
    {
        const sampleipad::Library library = sampleipad::SyntheticLibrary(Images, 50);
        Write(Folder + "adbp.ant", sampleipad::PhotoDatabase(library.Images, library.Albums));
        Write(Folder + "adap.ant", library.ThumbStore);
    }
    std::printf("library: %d images, database %ju bytes, thumbnail store %ju bytes\n", Images,
                static_cast<std::uintmax_t>(std::filesystem::file_size(Folder + "adbp.ant")),
                static_cast<std::uintmax_t>(std::filesystem::file_size(Folder + "adap.ant")));
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    std::filesystem::remove_all(templ);
    return 0;
}
