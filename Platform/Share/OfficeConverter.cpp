#include "Platform/Share/OfficeConverter.h"

#include "Platform/Base/Digest.h"
#include "Platform/Base/FileManager.h"
#include "Platform/Base/Log.h"
#include "Platform/Base/Paths.h"
#include "Platform/Share/Program.h"

#include <cctype>
#include <filesystem>
#include <mutex>
#include <sys/stat.h>
#include <system_error>

namespace share {

namespace {

// One conversion at a time: the suite's profile folder takes one instance only.
std::mutex g_conversionMutex;

std::string cacheFolder() { return base::Paths::libraryCaches() + "/OfficeDocuments"; }

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
        result.status = Status::Cached;
        result.pdfPath = pdfPath;
        return result;
    }
    if (!isAvailable()) {
        result.status = Status::NoConverter;
        return result;
    }
    base::FileManager::createDirectories(cacheFolder(), 0700);
    std::string profile = base::Paths::libraryCaches() + "/OfficeProfile";
    base::FileManager::createDirectories(profile, 0700);

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
                                     timeoutSeconds);
    std::string output = work.path + "/document.pdf";
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
    result.status = Status::Converted;
    result.pdfPath = pdfPath;
    return result;
}

} // namespace share
