#include "Common/SkinManager.h"

#include "Common/PublicFunction.h"
#include "Common/ScreenPicture.h"
#include "Platform/Base/Bundle.h"
#include "Platform/Base/FileManager.h"
#include "Platform/Base/Log.h"
#include "Platform/Base/NotificationCenter.h"
#include "Platform/Base/RunLoop.h"
#include "Platform/Base/Text.h"
#include "Protocol/LoginMode.h"
#include "Platform/UI/ImageView.h"
#include "Platform/UI/NamedImage.h"
#include "Platform/UI/Window.h"
#include "Network/MBBase64.h"
#include "Network/BRZipArchive.h"
#include "Platform/Base/Paths.h"
#include "Platform/Base/PropertyList.h"

#include <atomic>
#include <cstdarg>
#include <cstdio>
#include <filesystem>
#include <map>
#include <mutex>
#include <set>
#include <stdlib.h>

namespace {

std::atomic<float> g_scaleFactor{0};

bool isFile(const std::string& path)
{
    std::error_code ec;
    return std::filesystem::is_regular_file(path, ec);
}

// A skin picture is never drawn larger than the screen, in either orientation.
constexpr double kScreenSide = 1024;

// The pixels a skin picture may have: the screen's side, at the screen's or the file's scale.
gfx::Size skinBox(const std::string& path)
{
    double side = kScreenSide * std::max<double>({1.0, SkinManager::getUIScreenScaleFactor(), gfx::Image::scaleForPath(path)});
    return {side, side};
}

// Whether a picture of that size in points fits within `largest` (none: any size does).
bool fitsWithin(gfx::Size points, const std::optional<gfx::Size>& largest)
{
    return !largest || (points.width <= largest->width && points.height <= largest->height);
}

// The file at `path` as it is now: its path, size and time written.
std::optional<std::string> fileIdentity(const std::string& path)
{
    std::error_code ec;
    auto size = std::filesystem::file_size(path, ec);
    if (ec)
        return std::nullopt;
    auto written = std::filesystem::last_write_time(path, ec);
    if (ec)
        return std::nullopt;
    return path + "|" + std::to_string(size) + "|" + std::to_string(written.time_since_epoch().count());
}

// Why a skin picture is left out, logged the first time only: several screens may ask for one
// file under different stand-ins (the saved-login tile and the home bar both show the logo),
// and a failed one is decoded again once its entry is dropped.
void logLeftOut(const std::string& path, const char* format, ...) __attribute__((format(printf, 2, 3)));
void logLeftOut(const std::string& path, const char* format, ...)
{
    static std::mutex lock;
    static auto* logged = new std::set<std::string>();
    {
        std::lock_guard guard(lock);
        if (!logged->insert(fileIdentity(path).value_or(path)).second)
            return;
    }
    char text[1024];
    va_list arguments;
    va_start(arguments, format);
    std::vsnprintf(text, sizeof text, format, arguments);
    va_end(arguments);
    base::log(text);
}

// A client's skin picture decoded to fit the screen, through the process's decode budget. One
// whose decode would hold more than the whole budget, that cannot be read or only in part, or
// that is larger than `largest` is left out: null, so the application's own picture shows in
// its place. Each file left out is logged once, by name, with the reason.
gfx::Image readSkinPicture(const std::string& path, const std::optional<gfx::Size>& largest)
{
    auto bytes = base::FileManager::readFile(path);
    if (!bytes)
        return {};
    const std::string file = std::filesystem::path(path).filename().string();
    const char* name = file.c_str();
    // The decoder's own reasons go into this one line.
    gfx::DecodeRefusals refusals;
    auto because = [&] { return refusals.reason().empty() ? std::string() : ": " + refusals.reason(); };
    double scale = gfx::Image::scaleForPath(path);
    if (auto points = gfx::Image::sizeOfBytes(*bytes, scale); points && !fitsWithin(*points, largest)) {
        logLeftOut(path, "SkinManager: %s is left out: at %.0f x %.0f points it is far larger than the %.0f x %.0f it is "
                   "shown within", name, points->width, points->height, largest->width, largest->height);
        return {};
    }
    gfx::Size box = skinBox(path);
    auto cost = gfx::Image::decodeCostFitting(*bytes, box);
    size_t limit = gfx::DecodeBudget::shared().limit();
    if (!cost) {
        logLeftOut(path, "SkinManager: %s is left out: it is not a picture that can be read (%zu bytes)%s", name,
                   bytes->size(), because().c_str());
        return {};
    }
    if (*cost > limit) {
        logLeftOut(path, "SkinManager: %s is left out: its decode would hold %zu MB, over the %zu MB a picture may",
                   name, *cost >> 20, limit >> 20);
        return {};
    }
    gfx::Image picture = gfx::Image::fromBytesFitting(*bytes, box, scale, gfx::DecodeBudget::Priority::Screen,
                                                      gfx::Image::PartialData::Refused);
    // Its header read well, but its pictures' data did not (damaged or cut short).
    if (!picture)
        logLeftOut(path, "SkinManager: %s is left out: its picture data could not be decoded (%zu bytes)%s", name,
                   bytes->size(), because().c_str());
    return picture;
}

// The size the skin picture will have once decoded, from its header alone.
std::optional<gfx::Size> expectedSkinSize(const std::string& path)
{
    auto points = gfx::Image::sizeOfFile(path);
    if (!points)
        return std::nullopt;
    double scale = gfx::Image::scaleForPath(path);
    gfx::Size pixels = gfx::Image::fittedSize({points->width * scale, points->height * scale}, skinBox(path));
    return gfx::Size{pixels.width / scale, pixels.height / scale};
}

// Views showing the awaited picture that measured it at another size than it came with.
void layOutAgainWhereShown(ui::View& view, const gfx::Image& picture)
{
    if (auto* imageView = dynamic_cast<ui::ImageView*>(&view); imageView && imageView->image().sharesArrivalWith(picture)) {
        imageView->setNeedsLayout();
        if (ui::View* parent = imageView->superview())
            parent->setNeedsLayout();
    }
    for (const auto& sub : std::vector<std::shared_ptr<ui::View>>(view.subviews()))
        layOutAgainWhereShown(*sub, picture);
}

// Skin pictures the screens asked for, by file (as it is now) and by whether a stand-in
// draws meanwhile. Touched on the main thread only.
struct SkinPictures {
    struct Entry {
        gfx::Image image;
        size_t bytes = 0;
        uint64_t used = 0;
        bool decoding = true;
    };
    std::map<std::string, Entry> entries;
    size_t bytes = 0;
    uint64_t clock = 0;
    int decoding = 0;
    // Decoded skin pictures kept for the next screens that ask; the views hold their own.
    static constexpr size_t kLimit = size_t(64) << 20;

    void trim()
    {
        while (bytes > kLimit) {
            auto oldest = entries.end();
            for (auto it = entries.begin(); it != entries.end(); ++it)
                if (!it->second.decoding && (oldest == entries.end() || it->second.used < oldest->second.used))
                    oldest = it;
            if (oldest == entries.end())
                return;
            bytes -= oldest->second.bytes;
            entries.erase(oldest);
        }
    }
};

SkinPictures& skinPictures()
{
    static SkinPictures* pictures = new SkinPictures();
    return *pictures;
}

std::optional<std::string> pictureKey(const std::string& path, bool withStandIn, const std::optional<gfx::Size>& bound)
{
    auto file = fileIdentity(path);
    if (!file)
        return std::nullopt;
    return *file + (withStandIn ? "|stand-in" : "|none")
        + (bound ? "|over " + std::to_string(bound->width) + "x" + std::to_string(bound->height) : "");
}

// The skin picture at `path`. The main thread never decodes it: it gets at once a picture that
// draws as `standIn` until the decode on the screen pictures' workers ends, then as the skin's
// picture (the stand-in stays for one left out), and the window is drawn again. Other threads
// decode it themselves.
gfx::Image skinPicture(const std::string& path, const gfx::Image& standIn,
                       const std::optional<gfx::Size>& largest = std::nullopt)
{
    if (!base::RunLoop::isMainThread()) {
        gfx::Image picture = readSkinPicture(path, largest);
        return picture ? picture : standIn;
    }
    // Only a picture that does not fit gets an entry of its own: one that fits is the same
    // picture wherever it is asked for.
    std::optional<gfx::Size> bound;
    if (auto points = largest ? gfx::Image::sizeOfFile(path) : std::nullopt; points && !fitsWithin(*points, largest))
        bound = largest;
    auto key = pictureKey(path, !standIn.isNull(), bound);
    if (!key)
        return standIn;
    SkinPictures& pictures = skinPictures();
    if (auto found = pictures.entries.find(*key); found != pictures.entries.end()) {
        found->second.used = ++pictures.clock;
        return found->second.image;
    }
    // One that will be left out for its size is laid out at its stand-in's from the start.
    std::optional<gfx::Size> expected = bound ? std::nullopt : expectedSkinSize(path);
    auto [image, arrive] = gfx::Image::awaited(standIn, expected);
    pictures.entries[*key] = {image, 0, ++pictures.clock, true};
    ++pictures.decoding;
    // Kept for the whole run: every decode asked for is answered.
    static const auto owner = std::make_shared<int>(0);
    ScreenPicture::loadWith([path, bound] { return readSkinPicture(path, bound); }, owner,
                            [key = *key, arrive = std::move(arrive), shown = image, expected](gfx::Image picture) {
        arrive(picture);
        SkinPictures& pictures = skinPictures();
        if (auto entry = pictures.entries.find(key); entry != pictures.entries.end()) {
            entry->second.decoding = false;
            entry->second.bytes = picture ? size_t(picture.pixelWidth()) * size_t(picture.pixelHeight()) * 4 : 0;
            pictures.bytes += entry->second.bytes;
            pictures.trim();
        }
        // The views showing the stand-in hold this very picture: drawing them again shows it.
        // Only where it came at another size than its header said are they laid out again.
        if (ui::Window* window = ui::Window::keyWindow()) {
            if (expected && shown.size() != *expected)
                layOutAgainWhereShown(*window, shown);
            window->setNeedsDisplayInWindowRect(window->bounds());
        }
        // Those that chose something by how a picture looks choose again, once for a burst.
        if (--pictures.decoding == 0)
            base::NotificationCenter::defaultCenter().post(SkinManager::kPicturesArrivedNotification);
    });
    return image;
}

} // namespace

gfx::Image SkinManager::bundledImageNamed(const std::string& name)
{
    return ui::imageNamed(name);
}

std::shared_ptr<SkinManager> SkinManager::sharedInstance()
{
    static std::mutex lock;
    static std::shared_ptr<SkinManager> instance;
    std::lock_guard guard(lock);
    if (!instance)
        instance = std::make_shared<SkinManager>();
    return instance;
}

gfx::Image SkinManager::skinFromImageName(const std::optional<std::string>& name, std::optional<gfx::Size> largest)
{
    if (!name || base::trimmingWhitespaceAndNewlines(*name).empty())
        return {};
    // A name that is not one folder entry could reach outside the skin folder.
    if (!PublicFunction::isSafePathComponent(*name))
        return {};
    if (auto client = PublicFunction::clientFolderPath(LoginMode::sharedInstance()->clientID()))
        for (const auto& path : skinCandidates(*client, *name))
            if (isFile(path))
                return skinPicture(path, bundledImageNamed(*name), largest);
    return bundledImageNamed(*name);
}

std::vector<std::string> SkinManager::skinCandidates(const std::string& clientFolder, const std::string& name)
{
    std::vector<std::string> out;
    std::string path = clientFolder + "/SkinImages/" + name;
    if (getUIScreenScaleFactor() == 2.0f) {
        // The long-standing rule takes the last four characters as the extension, whatever
        // its length ("x.jpeg" gives "x.@2x.png"); the name's own extension is tried next.
        if (name.size() >= 4)
            out.push_back(path.substr(0, path.size() - 4) + "@2x.png");
        std::filesystem::path own(name);
        std::string second = clientFolder + "/SkinImages/" + own.stem().string() + "@2x" + own.extension().string();
        if (out.empty() || out.front() != second)
            out.push_back(second);
    }
    out.push_back(path);
    return out;
}

bool SkinManager::hasCustomerImage(const std::optional<std::string>& name)
{
    if (!name || base::trimmingWhitespaceAndNewlines(*name).empty() || !PublicFunction::isSafePathComponent(*name))
        return false;
    auto client = PublicFunction::clientFolderPath(LoginMode::sharedInstance()->clientID());
    if (!client)
        return false;
    for (const auto& path : skinCandidates(*client, *name))
        if (isFile(path))
            return true;
    return false;
}

gfx::Image SkinManager::getLogoWithClientId(const std::optional<std::string>& clientId)
{
    if (!clientId || base::trimmingWhitespaceAndNewlines(*clientId).empty())
        return {};
    auto client = PublicFunction::clientFolderPath(*clientId);
    if (!client)
        return {};
    for (const auto& path : skinCandidates(*client, "homelogo.png"))
        if (isFile(path))
            return skinPicture(path, gfx::Image());
    return {};
}

std::optional<gfx::Color> SkinManager::skinColorNamed(const std::string& key)
{
    auto client = PublicFunction::clientFolderPath(LoginMode::sharedInstance()->clientID());
    if (!client || !isFile(*client + "/SkinImages/colors.plist"))
        return std::nullopt;
    auto colors = base::PropertyList::readFile(*client + "/SkinImages/colors.plist");
    if (!colors || !colors->isDictionary() || !(*colors)[key].isString())
        return std::nullopt;
    return gfx::Color::fromHex((*colors)[key].toString());
}

std::optional<std::string> SkinManager::image2String(const gfx::Image& image)
{
    if (!image)
        return std::nullopt;
    base::Bytes jpeg = image.jpegData(0.5);
    if (jpeg.empty())
        return std::nullopt;
    return MBBase64::base64Encoding(jpeg);
}

gfx::Image SkinManager::string2Image(const std::optional<std::string>& text)
{
    if (!text)
        return {};
    auto bytes = MBBase64::dataWithBase64EncodedString(*text);
    if (!bytes || bytes->empty())
        return {};
    return gfx::Image::fromBytes(*bytes);
}

bool SkinManager::needInitializeDemo() const
{
    std::error_code ec;
    std::filesystem::path documents = base::Paths::documents();
    for (const char* tenant : kDemoTenants)
        if (!std::filesystem::is_directory(documents / tenant, ec))
            return true;
    return m_needUpdateDemo;
}

namespace {

// A fresh folder next to where the unpacked files will go, so the final moves are renames on
// one file system.
std::optional<std::filesystem::path> makeStaging(const std::filesystem::path& parent, const std::string& prefix)
{
    std::string pattern = (parent / (prefix + "XXXXXX")).string();
    std::vector<char> buffer(pattern.begin(), pattern.end());
    buffer.push_back('\0');
    if (!mkdtemp(buffer.data()))
        return std::nullopt;
    return std::filesystem::path(buffer.data());
}

bool unzipInto(const std::string& archive, const std::filesystem::path& folder)
{
    BRZipArchive zip;
    if (!zip.UnzipOpenFile(archive))
        return false;
    bool ok = zip.UnzipFileToOverWrite(folder.string(), true);
    zip.UnzipCloseFile();
    return ok;
}

} // namespace

bool SkinManager::initializeDemoZip()
{
    namespace fs = std::filesystem;
    fs::path documents = base::Paths::documents();
    std::error_code ec;
    fs::create_directories(documents, ec);
    auto staging = makeStaging(documents, ".demo-");
    bool ok = false;
    if (staging) {
        std::string archive = base::Bundle::pathForResource("DEMO", "zip");
        ok = !archive.empty() && unzipInto(archive, *staging);
        for (const char* tenant : kDemoTenants)
            ok = ok && fs::is_directory(*staging / tenant, ec);
        // Swap each tenant in; the old folder steps aside first and goes only at the end.
        for (const char* tenant : kDemoTenants) {
            if (!ok)
                break;
            fs::path target = documents / tenant, old = *staging / (std::string("old-") + tenant);
            if (fs::exists(target, ec))
                fs::rename(target, old, ec);
            if (!ec)
                fs::rename(*staging / tenant, target, ec);
            if (ec)
                ok = false;
            else
                PublicFunction::addSkipBackupAttributeToItemAtURL(target.string());
        }
        fs::remove_all(*staging, ec);
    }
    if (!ok) {
        base::log("The demo data could not be unpacked; it will be tried again.");
        m_needUpdateDemo = true;
    }
    return ok;
}

bool SkinManager::initializeSkinImage()
{
    namespace fs = std::filesystem;
    auto client = PublicFunction::clientFolderPath(LoginMode::sharedInstance()->clientID());
    if (!client)
        return false;
    std::error_code ec;
    if (fs::is_directory(fs::path(*client) / "SkinImages", ec))
        return true;
    // With no skin unpacked yet, unpacking the archive is replacing nothing.
    return replaceSkinImage();
}

bool SkinManager::replaceSkinImage()
{
    namespace fs = std::filesystem;
    auto client = PublicFunction::clientFolderPath(LoginMode::sharedInstance()->clientID());
    if (!client)
        return false;
    std::error_code ec;
    fs::path skin = fs::path(*client) / "SkinImages";
    fs::path archive = fs::path(*client) / "SkinImages.zip";
    if (!fs::is_regular_file(archive, ec))
        return false;
    auto staging = makeStaging(*client, ".skin-");
    if (!staging)
        return false;
    bool ok = unzipInto(archive.string(), *staging) && fs::is_directory(*staging / "SkinImages", ec);
    // The old skin steps aside into the staging folder and goes with it only after the swap.
    fs::path old = *staging / "old-SkinImages";
    bool movedAside = false;
    if (ok && fs::exists(skin, ec)) {
        fs::rename(skin, old, ec);
        ok = !ec;
        movedAside = ok;
    }
    if (ok) {
        fs::rename(*staging / "SkinImages", skin, ec);
        ok = !ec;
        if (!ok && movedAside)
            fs::rename(old, skin, ec);
    }
    fs::remove_all(*staging, ec);
    if (!ok)
        base::log("The new skin archive could not be unpacked; the previous skin stays.");
    return ok;
}

float SkinManager::getUIScreenScaleFactor()
{
    float factor = g_scaleFactor.load();
    if (factor != 0)
        return factor;
    ui::Window* screen = ui::Window::keyWindow();
    if (!screen)
        return 0;
    double scale = screen->scale();
    base::logf("UIScreen-ScaleFactor:%0.f", scale);
    factor = scale > 1.9 ? 2.0f : 1.0f;
    g_scaleFactor.store(factor);
    return factor;
}

void SkinManager::resetScaleFactorForTesting()
{
    g_scaleFactor.store(0);
}
