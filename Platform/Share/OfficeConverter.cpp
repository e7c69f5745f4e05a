#include "Platform/Share/OfficeConverter.h"

#include "Platform/Base/Digest.h"
#include "Platform/Base/FileManager.h"
#include "Platform/Base/Log.h"
#include "Platform/Base/Paths.h"
#include "Platform/Share/OfficeFileCheck.h"
#include "Platform/Share/Program.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <mutex>
#include <sys/stat.h>
#include <system_error>
#include <vector>

namespace share {

namespace {

// One conversion at a time: the suite's profile folder takes one instance only.
std::mutex g_conversionMutex;


std::string fileUrl(const std::string& path)
{
    static const char* hex = "0123456789ABCDEF";
    std::string url = "file://";
    for (unsigned char c : path) {
        if (std::isalnum(c) || c == '/' || c == '-' || c == '_' || c == '.' || c == '~') {
            url += char(c);
        } else {
            url += '%';
            url += hex[c >> 4];
            url += hex[c & 15];
        }
    }
    return url;
}

std::string lowerExtension(const std::string& path)
{
    std::string ext = std::filesystem::path(path).extension().string();
    for (auto& c : ext)
        c = char(std::tolower(static_cast<unsigned char>(c)));
    return ext;
}

struct TemporaryFolder {
    std::string path;
    ~TemporaryFolder()
    {
        std::error_code ignored;
        if (!path.empty())
            std::filesystem::remove_all(path, ignored);
    }
};

} // namespace

std::string OfficeConverter::cacheFolder() { return base::Paths::libraryCaches() + "/OfficeDocuments"; }

std::string OfficeConverter::profileFolder() { return base::Paths::libraryCaches() + "/OfficeProfile"; }

void OfficeConverter::pruneCache(uint64_t limitBytes, const std::string& keep)
{
    struct Kept {
        std::filesystem::path path;
        uint64_t size;
        std::filesystem::file_time_type opened;
    };
    std::vector<Kept> kept;
    uint64_t total = 0;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(cacheFolder(), error)) {
        std::error_code ignored;
        if (entry.path().extension() != ".pdf" || !entry.is_regular_file(ignored))
            continue;
        Kept k{entry.path(), entry.file_size(ignored), entry.last_write_time(ignored)};
        total += k.size;
        if (k.path != keep)
            kept.push_back(std::move(k));
    }
    std::sort(kept.begin(), kept.end(), [](const Kept& a, const Kept& b) { return a.opened < b.opened; });
    for (const auto& k : kept) {
        if (total <= limitBytes)
            break;
        if (std::filesystem::remove(k.path, error))
            total -= k.size;
    }
}

std::optional<std::string> OfficeConverter::cachedPdfPath(const std::string& path)
{
    std::error_code error;
    std::string absolute = std::filesystem::absolute(path, error).lexically_normal().string();
    struct stat st{};
    if (error || stat(absolute.c_str(), &st) != 0 || !S_ISREG(st.st_mode))
        return std::nullopt;
    std::string key = absolute + "\n" + std::to_string(st.st_size) + "\n" + std::to_string(st.st_mtim.tv_sec) + "." +
                      std::to_string(st.st_mtim.tv_nsec);
    return cacheFolder() + "/" + base::Digest::md5Hex(key) + ".pdf";
}

bool OfficeConverter::isAvailable() { return findProgram("soffice").has_value(); }

OfficeConverter::Result OfficeConverter::convert(const std::string& path, double timeoutSeconds)
{
    auto cached = cachedPdfPath(path);
    if (!cached)
        return Result{Status::MissingFile, {}};
    return convertTo(path, *cached, timeoutSeconds);
}

OfficeConverter::Result OfficeConverter::convertTo(const std::string& path, const std::string& pdfPath,
                                                   double timeoutSeconds)
{
    Result result;
    struct stat st{};
    if (stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) {
        result.status = Status::MissingFile;
        return result;
    }
    std::lock_guard lock(g_conversionMutex);
    if (base::FileManager::fileSize(pdfPath).value_or(0) > 0) {
        // The cache is pruned by when each PDF was last opened.
        std::error_code touched;
        std::filesystem::last_write_time(pdfPath, std::filesystem::file_time_type::clock::now(), touched);
        result.status = Status::Cached;
        result.pdfPath = pdfPath;
        return result;
    }
    if (auto problem = OfficeFileCheck::inspect(path); problem != OfficeFileCheck::Verdict::Plain) {
        base::logf("OfficeConverter: %s is %s; not converted", path.c_str(),
                   problem == OfficeFileCheck::Verdict::Protected ? "protected by a password" : "damaged");
        result.status = problem == OfficeFileCheck::Verdict::Protected ? Status::Protected : Status::Damaged;
        return result;
    }
    if (!isAvailable()) {
        result.status = Status::NoConverter;
        return result;
    }
    base::FileManager::createDirectories(cacheFolder(), 0700);
    std::string profile = profileFolder();
    Environment environment;
    for (const auto& [name, folder] : {std::pair{"HOME", "home"}, {"XDG_CONFIG_HOME", "config"},
                                       {"XDG_CACHE_HOME", "cache"}, {"XDG_DATA_HOME", "data"}, {"TMPDIR", "tmp"}}) {
        base::FileManager::createDirectories(profile + "/" + folder, 0700);
        environment.emplace_back(name, profile + "/" + folder);
    }
    // A conversion that failed or was killed may leave a half-written profile and temporary
    // folders: the next one starts afresh.
    struct ProfileCleanup {
        std::string profile;
        bool failed = true;
        ~ProfileCleanup()
        {
            std::error_code ignored;
            std::filesystem::remove_all(failed ? profile : profile + "/tmp", ignored);
        }
    } cleanup{profile};

    // The source goes in under a plain name: the output is named after it, and no file name
    // can be read as an option.
    TemporaryFolder work;
    std::string pattern = cacheFolder() + "/convert-XXXXXX";
    if (!mkdtemp(pattern.data())) {
        base::logf("OfficeConverter: no work folder for %s", path.c_str());
        return result;
    }
    work.path = pattern;
    std::string source = work.path + "/document" + lowerExtension(path);
    std::error_code error;
    std::filesystem::create_symlink(std::filesystem::absolute(path), source, error);
    if (error)
        return result;

    auto run = runProgramWithTimeout({"soffice", "-env:UserInstallation=" + fileUrl(profile), "--headless",
                                      "--norestore", "--nologo", "--nolockcheck", "--convert-to", "pdf",
                                      "--outdir", work.path, source},
                                     timeoutSeconds, environment, kMemoryLimit);
    std::string output = work.path + "/document.pdf";
    if (run.stopped) {
        result.status = Status::Stopped;
        return result;
    }
    if (run.overMemory) {
        base::logf("OfficeConverter: %s took more than %zu MB to convert", path.c_str(), kMemoryLimit.residentBytes >> 20);
        return result;
    }
    if (run.timedOut) {
        base::logf("OfficeConverter: %s took longer than %.0f s", path.c_str(), timeoutSeconds);
        result.status = Status::TimedOut;
        return result;
    }
    if (!run.started || run.exitCode != 0 || base::FileManager::fileSize(output).value_or(0) == 0) {
        base::logf("OfficeConverter: %s was not converted (exit %d)", path.c_str(), run.exitCode);
        return result;
    }
    std::filesystem::rename(output, pdfPath, error);
    if (error)
        return result;
    cleanup.failed = false;
    pruneCache(kCacheLimit, pdfPath);
    result.status = Status::Converted;
    result.pdfPath = pdfPath;
    return result;
}

} // namespace share
