// File types, local paths, download addresses and the application's file-system rules.
#include "Common/PublicFunction.h"

#include "Platform/Base/Bundle.h"
#include "Platform/Base/Device.h"
#include "Platform/Base/FileManager.h"
#include "Platform/Base/Log.h"
#include "Platform/Base/Paths.h"
#include "Platform/Graphics/Image.h"
#include "Platform/Graphics/ImageRedraw.h"
#include "Platform/Net/URL.h"
#include "Common/SkinManager.h"
#include "Protocol/LoginMode.h"

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <sys/stat.h>
#include <vector>

namespace fs = std::filesystem;

namespace {

struct FileTypeInfo {
    const char* folder;
    const char* serverWord;
    const char* defaultPicture;
};

// Indexed by type - 1.
constexpr FileTypeInfo kFileTypes[] = {
    {"ProductImages", "product", "fileDefault.png"},
    {"CatalogImages", "CatalogImages", "fileDefault.png"},
    {"ConfigImages", "icon", "fileDefault.png"},
    {"LibraryImages", "library/cover_image", "fileDefault.png"},
    {"Pdf", "library/pdf", "icon-default_pdf"},
    {"Video", "library/vedio", "icon-default_video"},
    {"Excel", "library/excel", "fileDefault.png"},
    {"Word", "library/word", "fileDefault.png"},
    {"Keynote", "library/keynote", "icon-default_slide"},
};

const FileTypeInfo* fileTypeInfo(int type)
{
    if (type < 1 || type > static_cast<int>(std::size(kFileTypes)))
        return nullptr;
    return &kFileTypes[type - 1];
}

constexpr uint64_t kMiB = 1024 * 1024;
constexpr double kThumbWidth = 160;
constexpr double kThumbHeight = 110;

// ASCII only, whatever the process locale: folder names must not depend on it.
std::string asciiLower(std::string text)
{
    for (char& c : text) {
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    }
    return text;
}

// Percent-escapes everything but the unreserved characters, so the text stays one segment.
std::string escapeSegment(std::string_view text)
{
    return net::percentEncode(text);
}

// The server part comes from the settings as a whole address: only characters that may not
// appear in an address at all are escaped.
std::string escapeAddress(std::string_view text)
{
    return net::percentEncode(text, ":/?#[]@!$&'()*+,;=");
}

gfx::Image defaultPicture(const std::string& resourceName)
{
    fs::path name(resourceName);
    std::string type = name.has_extension() ? name.extension().string().substr(1) : "png";
    std::string path = base::Bundle::pathForResource(name.stem().string(), type);
    return path.empty() ? gfx::Image() : gfx::Image::fromFile(path);
}

bool isRealDirectory(const fs::path& path)
{
    std::error_code ec;
    return fs::symlink_status(path, ec).type() == fs::file_type::directory;
}

} // namespace

int PublicFunction::getFileType(const std::optional<std::string>& word)
{
    if (!word)
        return 9;
    if (*word == "PDF")
        return 5;
    if (*word == "VEDIO")
        return 6;
    if (*word == "EXCEL")
        return 7;
    if (*word == "WORD")
        return 8;
    return 9;
}

bool PublicFunction::isSafePathComponent(std::string_view name)
{
    return !name.empty() && name != "." && name != ".."
        && name.find_first_of(std::string_view("/\\\0", 3)) == std::string_view::npos;
}

std::optional<std::string> PublicFunction::clientFolderPath(const std::string& clientID)
{
    std::string folder = asciiLower(clientID);
    if (!isSafePathComponent(folder))
        return std::nullopt;
    return base::Paths::documents() + "/" + folder;
}

std::optional<std::string> PublicFunction::filePathWithNameFiletype(
    const std::optional<std::string>& name, int type)
{
    if (!name || !isSafePathComponent(*name))
        return std::nullopt;
    auto client = clientFolderPath(LoginMode::sharedInstance()->clientID());
    if (!client)
        return std::nullopt;
    if (const FileTypeInfo* info = fileTypeInfo(type))
        return *client + "/" + info->folder + "/" + *name;
    return *client + "/" + *name;
}

std::optional<std::string> PublicFunction::fileURLWithNameFiletype(
    const std::optional<std::string>& name, int type)
{
    if (!name)
        return std::nullopt;
    std::string url = "http://" + escapeAddress(GetServer()->imageUrlStr()) + "/";
    url += "images/" + escapeSegment(LoginMode::sharedInstance()->clientID()) + "/";
    if (const FileTypeInfo* info = fileTypeInfo(type))
        url += std::string(info->serverWord) + "/";
    url += escapeSegment(*name);
    return url;
}

gfx::Image PublicFunction::getLocalImageFiletype(const std::optional<std::string>& name, int type)
{
    return getLocalImageFiletype(name, type, gfx::Size {0, 0});
}

gfx::Image PublicFunction::getLocalImageFiletype(const std::optional<std::string>& name, int type,
                                                 gfx::Size maxPixels)
{
    // Documents show their cover, which lives with the library covers.
    int folderType = type >= 5 && type <= 9 ? 4 : type;
    if (auto path = filePathWithNameFiletype(name, folderType)) {
        bool whole = maxPixels.width <= 0 || maxPixels.height <= 0;
        gfx::Image image = whole ? gfx::Image::fromFile(*path) : gfx::Image::fromFileFitting(*path, maxPixels);
        if (!image.isNull())
            return image;
    }
    const FileTypeInfo* info = fileTypeInfo(type);
    return defaultPicture(info ? info->defaultPicture : "fileDefault.png");
}

gfx::Size PublicFunction::thumbShownPixels()
{
    // Tiles show thumbnails at up to twice the thumbnail's box; a double-resolution screen
    // doubles that again.
    double scale = std::max(1.0, static_cast<double>(SkinManager::getUIScreenScaleFactor()));
    return {kThumbWidth * 2 * scale, kThumbHeight * 2 * scale};
}

void PublicFunction::createDirectoryifNeed(const std::string& relativePath)
{
    std::string path = base::Paths::documents() + "/" + relativePath;
    if (base::FileManager::exists(path))
        return;
    if (base::FileManager::createDirectories(path))
        addSkipBackupAttributeToItemAtURL(path);
}

bool PublicFunction::safeSizeOfPath(const std::string& path)
{
    auto size = base::FileManager::fileSize(path);
    return size && *size > 0 && *size <= getMaxSizeForDevice();
}

uint64_t PublicFunction::getMaxSizeForDevice()
{
    // Of the hardware models the application knows, only the desktop one can occur here.
    if (base::Device::current().machineName.substr(0, 5) == "x86_6")
        return 40 * kMiB;
    return 5 * kMiB;
}

namespace {

// Compares dotted version texts number by number; missing parts count as 0.
int compareVersions(const std::string& a, const std::string& b)
{
    auto parts = [](const std::string& text) {
        std::vector<long> numbers;
        size_t start = 0;
        while (start <= text.size()) {
            size_t dot = text.find('.', start);
            numbers.push_back(std::strtol(text.substr(start, dot - start).c_str(), nullptr, 10));
            if (dot == std::string::npos)
                break;
            start = dot + 1;
        }
        return numbers;
    };
    std::vector<long> x = parts(a), y = parts(b);
    x.resize(std::max(x.size(), y.size()), 0);
    y.resize(x.size(), 0);
    return x < y ? -1 : (x == y ? 0 : 1);
}

} // namespace

bool PublicFunction::addSkipBackupAttributeToItemAtURL(const std::string& path)
{
    std::string version = base::Device::current().systemVersion;
    std::string last = fs::path(path).filename().string();
    if (compareVersions(version, "5.1") >= 0) {
        // Nothing here backs the device up, so marking the item only needs it to exist.
        if (!base::FileManager::exists(path)) {
            base::logf("Error excluding %s from backup %s", last.c_str(), "(no such file)");
            return false;
        }
        base::logf("Excluding %s from backup successfully", last.c_str());
        return true;
    }
    // The older systems' marker is an attribute this platform's file systems refuse.
    return false;
}

void PublicFunction::changeAllClientFolderToLower()
{
    std::string documents = base::Paths::documents();
    for (const std::string& name : base::FileManager::contentsOfDirectory(documents)) {
        std::string from = documents + "/" + name;
        std::string lower = asciiLower(name);
        if (lower == name || !base::FileManager::exists(from))
            continue;
        std::string to = documents + "/" + lower;
        if (base::FileManager::moveItem(from, to))
            addSkipBackupAttributeToItemAtURL(to);
    }
}

void PublicFunction::moveAllClientFolderToDocuments()
{
    std::string tmp = base::Paths::tmp();
    std::string documents = base::Paths::documents();
    for (const std::string& name : base::FileManager::contentsOfDirectory(tmp)) {
        // Only client folders move: loose files (partial downloads) stay, and nothing that
        // is already in Documents is replaced.
        std::string from = tmp + "/" + name;
        if (!isRealDirectory(from))
            continue;
        std::string to = documents + "/" + asciiLower(name);
        if (base::FileManager::moveItem(from, to))
            addSkipBackupAttributeToItemAtURL(to);
    }
}

void PublicFunction::removeAllSkinImageFolders()
{
    std::string documents = base::Paths::documents();
    for (const std::string& name : base::FileManager::contentsOfDirectory(documents)) {
        std::string skins = documents + "/" + name + "/SkinImages";
        if (base::FileManager::exists(skins))
            base::FileManager::removeRecursively(skins, documents);
    }
}

bool PublicFunction::createImgThumbWithImgNameThumbNameFiletype(
    const std::optional<std::string>& imageName, const std::optional<std::string>& thumbName,
    int /*type*/)
{
    if (!imageName || !thumbName)
        return false;
    // Both live with the product images, whatever type the caller names.
    auto thumbPath = filePathWithNameFiletype(thumbName, 1);
    auto sourcePath = filePathWithNameFiletype(imageName, 1);
    if (!thumbPath || !sourcePath)
        return false;
    // Both are read at the thumbnail's size: a large picture is never held whole beyond the
    // decode, which waits its turn in the process's decode budget.
    gfx::Size box {kThumbWidth, kThumbHeight};
    if (!gfx::Image::fromFileFitting(*thumbPath, box).isNull())
        return true;
    auto sourceSize = gfx::Image::sizeOfFile(*sourcePath);
    if (!sourceSize)
        return false;
    double width = std::floor(sourceSize->width);
    double height = std::floor(sourceSize->height);
    gfx::Image thumb;
    if (height > kThumbHeight || width > kThumbWidth) {
        double factor = std::min(kThumbHeight / height, kThumbWidth / width);
        gfx::Size size {width * factor, height * factor};
        gfx::Image source = gfx::Image::fromFileFitting(*sourcePath, size);
        if (source.isNull())
            return false;
        thumb = gfx::redrawnImage(source, size);
    } else {
        thumb = gfx::Image::fromFile(*sourcePath);
        if (thumb.isNull())
            return false;
    }
    base::Bytes png = thumb.pngData();
    return !png.empty() && base::FileManager::writeAtomically(*thumbPath, png);
}
