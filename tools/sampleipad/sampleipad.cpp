// Makes a simulated iPad (a device folder for PIXFERRY_SIMULATED_DEVICES) from
// ordinary pictures: photo database, thumbnail store, full-size files and
// camera photos.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include <QBuffer>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>

#include "SampleLibrary.h"

using namespace sampleipad;

namespace {

constexpr const char* Usage =
    "usage: sampleipad --out DIR [options]\n"
    "  --out DIR          the device folder to make (it must not exist)\n"
    "  --attach           build beside DIR under a dot-name and rename it into place,\n"
    "                     for DIR inside a watched devices root\n"
    "  --pictures FOLDER  JPEG/PNG pictures to use (default: the built-in samples)\n"
    "  --synthetic N      N generated photos instead of pictures (e.g. 10000)\n"
    "  --albums M         albums of the synthetic library (default 50)\n"
    "  --model TEXT       model in afc-info (default iPad1,1)\n"
    "  --pairing WORD     paired (default), unpaired, invalid, no-session, no-connect\n"
    "  --manifest FILE    write what was built, one fact a line, to FILE\n";

struct Input {
    QString Name;
    QByteArray Bytes;
    QImage Image;
};

Picture ToPicture(const QImage& image) {
    const QImage rgb = image.convertToFormat(QImage::Format_RGB888);
    Picture p;
    p.Width = rgb.width();
    p.Height = rgb.height();
    p.Rgb.resize(static_cast<std::size_t>(p.Width) * p.Height * 3);
    for (int y = 0; y < p.Height; ++y) std::memcpy(p.At(0, y), rgb.constScanLine(y), static_cast<std::size_t>(p.Width) * 3);
    return p;
}

bool IsJpeg(const QByteArray& bytes) { return bytes.size() > 3 && bytes.startsWith("\xFF\xD8\xFF"); }

std::string Str(const QByteArray& b) { return std::string(b.constData(), static_cast<std::size_t>(b.size())); }

std::vector<Input> LoadPictures(const QString& folder) {
    std::vector<Input> inputs;
    QDir dir(folder.isEmpty() ? QStringLiteral(":/samples") : folder);
    const QStringList names = dir.entryList({"*.jpg", "*.jpeg", "*.JPG", "*.JPEG", "*.png", "*.PNG"}, QDir::Files, QDir::Name);
    for (const QString& name : names) {
        QFile f(dir.filePath(name));
        if (!f.open(QIODevice::ReadOnly)) continue;
        Input in{name, f.readAll(), {}};
        in.Image = QImage::fromData(in.Bytes);
        if (in.Image.isNull()) {
            std::fprintf(stderr, "sampleipad: %s is not a picture, left out\n", qPrintable(name));
            continue;
        }
        inputs.push_back(std::move(in));
    }
    return inputs;
}

std::string ThumbJpeg(const Picture& picture) {
    std::uint16_t v = 0, h = 0;
    return JpegBytes(Fit(picture, 55, 55, v, h), 85);
}

std::string PngBytes(const QImage& image) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return Str(bytes);
}

// A small made-up movie file: a file-type box and an empty media-data box.
std::string MovieBytes() {
    std::string m("\x00\x00\x00\x14" "ftypqt  \x00\x00\x00\x00qt  ", 20);
    m += std::string("\x00\x00\x00\x08" "wide", 8);
    m += std::string("\x00\x00\x00\x10" "mdat", 8) + std::string(8, '\x42');
    return m;
}

// Camera photos under /DCIM/: each with a .THM beside it or in .MISC/.
void AddCameraPhotos(DeviceFolder& device, const std::vector<Picture>& pictures, const std::vector<Input>* inputs) {
    auto jpegOf = [&](std::size_t k) {
        if (inputs && IsJpeg((*inputs)[k].Bytes)) return Str((*inputs)[k].Bytes);
        return JpegBytes(pictures[k], 88);
    };
    const std::size_t n = pictures.size();
    if (n > 0) {
        device.Files.emplace_back("/DCIM/100APPLE/IMG_0001.JPG", jpegOf(0));
        device.Files.emplace_back("/DCIM/100APPLE/IMG_0001.THM", ThumbJpeg(pictures[0]));
    }
    if (n > 1) {
        QImage image(pictures[1].Width, pictures[1].Height, QImage::Format_RGB888);
        for (int y = 0; y < image.height(); ++y)
            std::memcpy(image.scanLine(y), pictures[1].At(0, y), static_cast<std::size_t>(image.width()) * 3);
        device.Files.emplace_back("/DCIM/100APPLE/IMG_0002.PNG", PngBytes(image));
        device.Files.emplace_back("/DCIM/100APPLE/IMG_0002.THM", ThumbJpeg(pictures[1]));
    }
    if (n > 2) {
        device.Files.emplace_back("/DCIM/100APPLE/IMG_0003.MOV", MovieBytes());
        device.Files.emplace_back("/DCIM/100APPLE/IMG_0003.THM", ThumbJpeg(pictures[2]));
    }
    if (n > 3) {
        device.Files.emplace_back("/DCIM/100APPLE/IMG_0004.JPG", jpegOf(3));
        device.Files.emplace_back("/DCIM/100APPLE/.MISC/IMG_0004.THM", ThumbJpeg(pictures[3]));
    }
    if (n > 4) {
        device.Files.emplace_back("/DCIM/101APPLE/IMG_0005.JPG", jpegOf(4));
        device.Files.emplace_back("/DCIM/101APPLE/IMG_0005.THM", ThumbJpeg(pictures[4]));
    }
    device.Files.emplace_back("/DCIM/.MISC/Info.plist",
                              "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\"><dict>"
                              "<key>LastFileGroupNumber</key><integer>101</integer></dict></plist>\n");
}

// The library of ordinary pictures: every picture in the first album, a few
// smaller albums (one with non-ASCII name, one listed backwards, one empty);
// the last picture has no full-size file.
Library PictureLibrary(const std::vector<Input>& inputs, const std::vector<Picture>& pictures) {
    Library library;
    for (std::size_t k = 0; k < inputs.size(); ++k) {
        const auto id = static_cast<std::int32_t>(100 + 3 * k);
        const bool last = k + 1 == inputs.size() && inputs.size() > 1;
        const std::string ext = IsJpeg(inputs[k].Bytes) ? ".JPG" : ".PNG";
        char name[64];
        std::snprintf(name, sizeof name, ":Full Resolution:2026:P%04zu%s", k + 1, ext.c_str());
        AddImage(library, id, pictures[k], name, last ? std::string() : Str(inputs[k].Bytes));
    }
    Album all{"Photo Library", {}}, holidays{"Holidays", {}}, cafe{"Café Ørsted – 夏の写真", {}}, empty{"Empty", {}};
    for (std::size_t k = 0; k < library.Images.size(); ++k) {
        all.Members.push_back(library.Images[k].Id);
        if (k % 2 == 0) holidays.Members.push_back(library.Images[k].Id);
    }
    for (std::size_t k = library.Images.size(); k-- > 0;)
        if (k % 3 != 1) cafe.Members.push_back(library.Images[k].Id);
    library.Albums = {all, holidays, cafe, empty};
    return library;
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);  // for the image format plugins
    std::string out, manifest, model = "iPad1,1", pairing;
    QString pictureFolder;
    int synthetic = 0, albums = 50;
    bool attach = false;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        auto value = [&]() -> std::string {
            if (i + 1 >= argc) {
                std::fprintf(stderr, "sampleipad: %s needs a value\n%s", arg.c_str(), Usage);
                std::exit(2);
            }
            return argv[++i];
        };
        if (arg == "--out") out = value();
        else if (arg == "--attach") attach = true;
        else if (arg == "--pictures") pictureFolder = QString::fromStdString(value());
        else if (arg == "--synthetic") synthetic = std::atoi(value().c_str());
        else if (arg == "--albums") albums = std::atoi(value().c_str());
        else if (arg == "--model") model = value();
        else if (arg == "--pairing") pairing = value();
        else if (arg == "--manifest") manifest = value();
        else {
            std::fprintf(stderr, "%s", Usage);
            return arg == "--help" || arg == "-h" ? 0 : 2;
        }
    }
    if (out.empty() || synthetic < 0 || albums < 1 || albums > 100000) {
        std::fprintf(stderr, "%s", Usage);
        return 2;
    }

    Library library;
    DeviceFolder device;
    if (synthetic > 0) {
        library = SyntheticLibrary(synthetic, albums);
        std::vector<Picture> camera;
        for (std::uint32_t k = 0; k < 5; ++k) camera.push_back(PatternPicture(320, 240, 7000 + k));
        AddCameraPhotos(device, camera, nullptr);
    } else {
        const std::vector<Input> inputs = LoadPictures(pictureFolder);
        if (inputs.empty()) {
            std::fprintf(stderr, "sampleipad: no pictures found\n");
            return 1;
        }
        std::vector<Picture> pictures;
        for (const Input& in : inputs) pictures.push_back(ToPicture(in.Image));
        library = PictureLibrary(inputs, pictures);
        AddCameraPhotos(device, pictures, &inputs);
    }

    device.Info = {{"Model", model}, {"FSTotalBytes", "16000000000"}, {"FSFreeBytes", "9000000000"},
                   {"FSBlockSize", "4096"}};
    device.Pairing = pairing;
    device.Files.emplace_back("/Photos/Photo Database", PhotoDatabase(library.Images, library.Albums));
    device.Files.emplace_back(DevicePath(ThumbStoreName), std::move(library.ThumbStore));
    for (auto& file : library.Files) device.Files.push_back(std::move(file));

    if (const std::string error = WriteDeviceFolder(out, device, attach); !error.empty()) {
        std::fprintf(stderr, "sampleipad: %s\n", error.c_str());
        return 1;
    }
    if (!manifest.empty()) {
        std::string text = Manifest(library.Images, library.Albums);
        for (const auto& [path, bytes] : device.Files)
            if (path.rfind("/DCIM/", 0) == 0) text += "camera " + path + "\n";
        std::ofstream f(manifest, std::ios::binary | std::ios::trunc);
        f << text;
        if (!f) {
            std::fprintf(stderr, "sampleipad: cannot write %s\n", manifest.c_str());
            return 1;
        }
    }
    std::printf("sampleipad: %s: %zu photos in %zu albums\n", out.c_str(), library.Images.size(), library.Albums.size());
    return 0;
}
