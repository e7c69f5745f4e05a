#include "Network/BRZipArchive.h"

#include "Network/BRZipCipher.h"
#include "Platform/Base/Log.h"

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cerrno>
#include <climits>
#include <ctime>
#include <fcntl.h>
#include <filesystem>
#include <iconv.h>
#include <optional>
#include <random>
#include <minizip/unzip.h>
#include <minizip/zip.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

constexpr size_t kCopyBufferSize = 4096;

enum class EntryResult { Extracted, Failed, Stop, OverLimit };

// What one extraction may write, and what it made (removed again when a limit is passed).
struct ExtractionBudget {
    ExtractionBudget(uint64_t maxSize, double maxRatio, uint64_t archiveSize)
        : maxSize(maxSize), maxRatio(maxRatio), archiveSize(archiveSize)
    {
    }
    uint64_t maxSize;
    double maxRatio;
    uint64_t archiveSize;
    uint64_t written = 0;
    std::string problem;
    std::vector<std::string> madeFiles;
    std::vector<std::string> madeFolders;

    // False, with the reason kept, when `count` more bytes would pass a limit.
    bool take(uint64_t count)
    {
        uint64_t total = written + count;
        if (total > maxSize)
            problem = "it unpacks to more than " + std::to_string(maxSize) + " bytes";
        else if (total > BRZipArchive::kRatioCheckedFrom && double(total) > maxRatio * double(archiveSize))
            problem = "it unpacks to more than " + std::to_string(int64_t(maxRatio)) + " times its size";
        if (!problem.empty())
            return false;
        written = total;
        return true;
    }

    void removeWhatWasMade()
    {
        std::error_code ignored;
        for (const auto& file : madeFiles)
            std::filesystem::remove(file, ignored);
        for (auto it = madeFolders.rbegin(); it != madeFolders.rend(); ++it)
            std::filesystem::remove(*it, ignored); // only when empty
    }
};

class FileDescriptor {
public:
    explicit FileDescriptor(int fd = -1) : m_fd(fd) {}
    ~FileDescriptor() { reset(); }
    FileDescriptor(FileDescriptor&& other) noexcept : m_fd(other.m_fd) { other.m_fd = -1; }
    FileDescriptor& operator=(FileDescriptor&& other) noexcept
    {
        if (this != &other) {
            reset();
            m_fd = other.m_fd;
            other.m_fd = -1;
        }
        return *this;
    }
    int get() const { return m_fd; }
    bool valid() const { return m_fd >= 0; }
    // Closes now and reports whether the data reached the file system.
    bool close()
    {
        int fd = m_fd;
        m_fd = -1;
        return ::close(fd) == 0;
    }
    void reset()
    {
        if (m_fd >= 0)
            ::close(m_fd);
        m_fd = -1;
    }

private:
    int m_fd;
};

bool isValidUtf8(const std::string& text)
{
    size_t i = 0;
    while (i < text.size()) {
        auto c = static_cast<unsigned char>(text[i]);
        size_t extra;
        uint32_t min;
        uint32_t cp;
        if (c < 0x80) {
            ++i;
            continue;
        } else if ((c & 0xE0) == 0xC0) {
            extra = 1, min = 0x80, cp = c & 0x1F;
        } else if ((c & 0xF0) == 0xE0) {
            extra = 2, min = 0x800, cp = c & 0x0F;
        } else if ((c & 0xF8) == 0xF0) {
            extra = 3, min = 0x10000, cp = c & 0x07;
        } else {
            return false;
        }
        if (i + extra >= text.size())
            return false;
        for (size_t k = 1; k <= extra; ++k) {
            auto cc = static_cast<unsigned char>(text[i + k]);
            if ((cc & 0xC0) != 0x80)
                return false;
            cp = (cp << 6) | (cc & 0x3F);
        }
        if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
            return false;
        i += extra + 1;
    }
    return true;
}

// Zip tools write names in code page 437 unless they set the UTF-8 flag.
std::string cp437ToUtf8(const std::string& text)
{
    iconv_t cd = ::iconv_open("UTF-8", "CP437");
    if (cd == reinterpret_cast<iconv_t>(-1))
        return text;
    std::string out(text.size() * 3 + 1, '\0');
    char* in = const_cast<char*>(text.data());
    size_t inLeft = text.size();
    char* outPtr = out.data();
    size_t outLeft = out.size();
    size_t converted = ::iconv(cd, &in, &inLeft, &outPtr, &outLeft);
    ::iconv_close(cd);
    if (converted == static_cast<size_t>(-1))
        return text;
    out.resize(out.size() - outLeft);
    return out;
}

// The components of a name that stays below the folder, or nullopt for one that could climb
// out: absolute, with a drive letter, or with a ".." component.
std::optional<std::vector<std::string>> safeComponents(const std::string& name)
{
    if (name.starts_with('/'))
        return std::nullopt;
    if (name.size() >= 2 && std::isalpha(static_cast<unsigned char>(name[0])) && name[1] == ':')
        return std::nullopt;
    std::vector<std::string> components;
    size_t start = 0;
    while (start <= name.size()) {
        size_t end = name.find('/', start);
        if (end == std::string::npos)
            end = name.size();
        std::string part = name.substr(start, end - start);
        if (part == "..")
            return std::nullopt;
        if (!part.empty() && part != ".")
            components.push_back(std::move(part));
        start = end + 1;
    }
    return components;
}

// Opens (creating as needed) the folders below root one at a time, never following a symlink,
// so a link planted inside the target cannot redirect the files.
FileDescriptor openFolders(int rootFd, const std::vector<std::string>& components, size_t count,
                           std::string path, ExtractionBudget& budget)
{
    FileDescriptor current(::dup(rootFd));
    for (size_t i = 0; i < count && current.valid(); ++i) {
        const char* part = components[i].c_str();
        path += "/" + components[i];
        if (::mkdirat(current.get(), part, 0777) == 0)
            budget.madeFolders.push_back(path);
        else if (errno != EEXIST)
            return FileDescriptor();
        current = FileDescriptor(::openat(current.get(), part, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    }
    return current;
}

// A new file beside the final one, renamed over it once the entry checks out.
FileDescriptor createTemporary(int folderFd, std::string& name)
{
    static std::atomic<unsigned> counter { 0 };
    for (int attempt = 0; attempt < 100; ++attempt) {
        name = ".brzip-" + std::to_string(::getpid()) + "-" + std::to_string(counter++) + ".tmp";
        int fd = ::openat(folderFd, name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
        if (fd >= 0 || errno != EEXIST)
            return FileDescriptor(fd);
    }
    return FileDescriptor();
}

// Raw deflate of the whole content behind the cipher's header, all enciphered.
std::optional<std::vector<uint8_t>> sealEntry(const std::vector<char>& content, uint32_t crc,
                                              const std::string& password)
{
    z_stream z {};
    if (::deflateInit2(&z, Z_DEFAULT_COMPRESSION, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY) != Z_OK)
        return std::nullopt;
    std::vector<uint8_t> out(BRZipCipher::kHeaderSize + ::deflateBound(&z, static_cast<uLong>(content.size())));
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(content.data()));
    z.avail_in = static_cast<uInt>(content.size());
    z.next_out = out.data() + BRZipCipher::kHeaderSize;
    z.avail_out = static_cast<uInt>(out.size() - BRZipCipher::kHeaderSize);
    int result = ::deflate(&z, Z_FINISH);
    size_t produced = z.total_out;
    ::deflateEnd(&z);
    if (result != Z_STREAM_END)
        return std::nullopt;
    out.resize(BRZipCipher::kHeaderSize + produced);

    std::random_device random;
    for (size_t i = 0; i + 1 < BRZipCipher::kHeaderSize; ++i)
        out[i] = static_cast<uint8_t>(random());
    out[BRZipCipher::kHeaderSize - 1] = static_cast<uint8_t>(crc >> 24);
    BRZipCipher(password).encrypt(out.data(), out.size());
    return out;
}

bool writeFully(int fd, const char* bytes, size_t size)
{
    while (size > 0) {
        ssize_t n = ::write(fd, bytes, size);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        bytes += n;
        size -= static_cast<size_t>(n);
    }
    return true;
}

time_t localTime(unsigned year, unsigned month0, unsigned day, unsigned hour, unsigned minute, unsigned second)
{
    std::tm t {};
    t.tm_year = static_cast<int>(year) - 1900;
    t.tm_mon = static_cast<int>(month0);
    t.tm_mday = static_cast<int>(day);
    t.tm_hour = static_cast<int>(hour);
    t.tm_min = static_cast<int>(minute);
    t.tm_sec = static_cast<int>(second);
    t.tm_isdst = -1;
    return std::mktime(&t);
}

std::optional<std::vector<char>> readWholeFile(const std::string& path)
{
    FileDescriptor fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (!fd.valid())
        return std::nullopt;
    std::vector<char> content;
    char buffer[65536];
    for (;;) {
        ssize_t n = ::read(fd.get(), buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return std::nullopt;
        if (n == 0)
            return content;
        content.insert(content.end(), buffer, buffer + n);
    }
}

// Reads the data of the entry that is open; the entry is closed once, by finish() or on
// destruction. finish() says whether the data was whole: every byte is counted and its CRC
// computed here, since the zip library skips its own check when the data ends early.
class EntryReader {
public:
    EntryReader(unzFile file, const unz_file_info64& info) : m_file(file), m_info(info) {}
    virtual ~EntryReader()
    {
        if (!m_closed)
            ::unzCloseCurrentFile(m_file);
    }
    EntryReader(const EntryReader&) = delete;
    EntryReader& operator=(const EntryReader&) = delete;
    // Bytes read into buffer, 0 at the end, negative on failure.
    int read(char* buffer, unsigned size)
    {
        int count = readData(buffer, size);
        if (count > 0) {
            m_crc = ::crc32(m_crc, reinterpret_cast<const Bytef*>(buffer), static_cast<uInt>(count));
            m_size += static_cast<uint64_t>(count);
        }
        return count;
    }
    // Nothing when the entry was whole, else what was wrong with it.
    virtual const char* finish()
    {
        bool closed = close();
        if (m_size != m_info.uncompressed_size)
            return "has the wrong size";
        if (m_crc != m_info.crc)
            return "has a bad CRC";
        return closed ? nullptr : "could not be read";
    }

protected:
    virtual int readData(char* buffer, unsigned size) { return ::unzReadCurrentFile(m_file, buffer, size); }
    bool close()
    {
        m_closed = true;
        return ::unzCloseCurrentFile(m_file) == UNZ_OK;
    }
    unzFile m_file;
    unz_file_info64 m_info;

private:
    bool m_closed = false;
    uLong m_crc = ::crc32(0L, nullptr, 0);
    uint64_t m_size = 0;
};

// Whether two entries' data share bytes of the archive: entries laid over one another turn a
// small archive into an enormous extraction, and no writer of archives makes them.
bool entriesOverlap(unzFile file)
{
    std::vector<std::pair<ZPOS64_T, ZPOS64_T>> spans; // start and end of each entry's data
    for (int at = ::unzGoToFirstFile(file); at == UNZ_OK; at = ::unzGoToNextFile(file)) {
        unz_file_info64 info;
        int method = 0, level = 0;
        if (::unzGetCurrentFileInfo64(file, &info, nullptr, 0, nullptr, 0, nullptr, 0) != UNZ_OK
            || ::unzOpenCurrentFile2(file, &method, &level, 1) != UNZ_OK)
            continue; // extraction reports it
        ZPOS64_T start = ::unzGetCurrentFileZStreamPos64(file);
        ::unzCloseCurrentFile(file);
        spans.emplace_back(start, start + info.compressed_size);
    }
    std::sort(spans.begin(), spans.end());
    for (size_t i = 1; i < spans.size(); ++i)
        if (spans[i].first < spans[i - 1].second || spans[i].first == spans[i - 1].first)
            return true;
    return false;
}

// An encrypted entry opened raw: deciphered and inflated here, its CRC checked here.
class EncryptedEntryReader : public EntryReader {
public:
    EncryptedEntryReader(unzFile file, const std::string& password, const unz_file_info64& info, int method)
        : EntryReader(file, info), m_cipher(password), m_hasPassword(!password.empty()), m_method(method)
    {
        m_inflating = m_method == Z_DEFLATED && ::inflateInit2(&m_z, -MAX_WBITS) == Z_OK;
    }
    ~EncryptedEntryReader() override
    {
        if (m_inflating)
            ::inflateEnd(&m_z);
    }

    const char* finish() override
    {
        bool complete = m_started && (m_method != Z_DEFLATED || m_ended);
        const char* problem = EntryReader::finish();
        return problem ? problem : complete ? nullptr : "could not be read";
    }

protected:
    int readData(char* buffer, unsigned size) override
    {
        if (!m_started && !start())
            return -1;
        return m_method == Z_DEFLATED ? inflateInto(buffer, size) : readStored(buffer, size);
    }

private:
    // The deciphered header ends with a check byte: the CRC's high byte, or the time's when
    // sizes follow the data.
    bool start()
    {
        m_started = true;
        if (!m_hasPassword || (m_method != 0 && !m_inflating))
            return false;
        uint8_t header[BRZipCipher::kHeaderSize];
        size_t got = 0;
        while (got < sizeof header) {
            int n = EntryReader::readData(reinterpret_cast<char*>(header) + got, static_cast<unsigned>(sizeof header - got));
            if (n <= 0)
                return false;
            got += static_cast<size_t>(n);
        }
        m_cipher.decrypt(header, sizeof header);
        uint8_t check = (m_info.flag & 8) ? static_cast<uint8_t>(m_info.dosDate >> 8) : static_cast<uint8_t>(m_info.crc >> 24);
        return header[sizeof header - 1] == check;
    }

    int readStored(char* buffer, unsigned size)
    {
        int n = EntryReader::readData(buffer, size);
        if (n > 0)
            m_cipher.decrypt(reinterpret_cast<uint8_t*>(buffer), static_cast<size_t>(n));
        return n;
    }

    int inflateInto(char* buffer, unsigned size)
    {
        m_z.next_out = reinterpret_cast<Bytef*>(buffer);
        m_z.avail_out = size;
        while (m_z.avail_out > 0 && !m_ended) {
            if (m_z.avail_in == 0 && !m_rawEnded) {
                int n = EntryReader::readData(reinterpret_cast<char*>(m_raw), sizeof m_raw);
                if (n < 0)
                    return -1;
                if (n == 0) {
                    m_rawEnded = true;
                } else {
                    m_cipher.decrypt(m_raw, static_cast<size_t>(n));
                    m_z.next_in = m_raw;
                    m_z.avail_in = static_cast<uInt>(n);
                }
            }
            uInt before = m_z.avail_out;
            int result = ::inflate(&m_z, Z_NO_FLUSH);
            if (result == Z_STREAM_END)
                m_ended = true;
            else if (result != Z_OK && result != Z_BUF_ERROR)
                return -1;
            else if (m_rawEnded && m_z.avail_in == 0 && m_z.avail_out == before)
                return -1; // the data breaks off before the end of the stream
        }
        return static_cast<int>(size - m_z.avail_out);
    }

    BRZipCipher m_cipher;
    bool m_hasPassword;
    int m_method;
    z_stream m_z {};
    bool m_inflating = false;
    bool m_started = false;
    bool m_rawEnded = false;
    bool m_ended = false;
    uint8_t m_raw[kCopyBufferSize];
};

// Extracts the entry that is open. A name that would leave the folder, and any entry that
// cannot be written whole, fail; the file then stays as it was.
EntryResult extractEntry(BRZipArchive& archive, unzFile file, EntryReader& reader, int folderFd,
                         const std::string& folder, bool overwrite, char* buffer, size_t bufferSize,
                         ExtractionBudget& budget)
{
    unz_file_info64 info;
    if (::unzGetCurrentFileInfo64(file, &info, nullptr, 0, nullptr, 0, nullptr, 0) != UNZ_OK) {
        archive.OutputErrorMessage("Error occurs while getting file info");
        return EntryResult::Stop;
    }
    std::vector<char> rawName(info.size_filename + 1, '\0');
    if (::unzGetCurrentFileInfo64(file, &info, rawName.data(), static_cast<uLong>(rawName.size()), nullptr, 0, nullptr, 0)
        != UNZ_OK) {
        archive.OutputErrorMessage("Error occurs while getting file info");
        return EntryResult::Stop;
    }
    rawName[info.size_filename] = '\0';
    std::string name(rawName.data());

    if (name.empty()) {
        archive.OutputErrorMessage("Skipped an entry without a name");
        return EntryResult::Extracted;
    }
    const bool isFolder = name.back() == '/' || name.back() == '\\';
    if (!isValidUtf8(name))
        name = cp437ToUtf8(name);
    std::replace(name.begin(), name.end(), '\\', '/');
    auto components = safeComponents(name);
    if (!components) {
        archive.OutputErrorMessage("Refused the entry " + name + " because it leads out of the folder");
        return EntryResult::Failed;
    }
    if (components->empty() && !isFolder) {
        archive.OutputErrorMessage("Skipped an entry without a name");
        return EntryResult::Extracted;
    }
    std::string fullPath = folder;
    for (const auto& part : *components)
        fullPath += "/" + part;

    // Folder failures are not reported: a file inside reports its own.
    if (isFolder) {
        openFolders(folderFd, *components, components->size(), folder, budget);
        return EntryResult::Extracted;
    }

    FileDescriptor parent = openFolders(folderFd, *components, components->size() - 1, folder, budget);
    if (!parent.valid()) {
        archive.OutputErrorMessage("Failed to create the file " + fullPath);
        return EntryResult::Failed;
    }
    const std::string& leaf = components->back();
    struct stat existing;
    if (!overwrite && ::fstatat(parent.get(), leaf.c_str(), &existing, AT_SYMLINK_NOFOLLOW) == 0
        && !archive.OverWrite(fullPath))
        return EntryResult::Extracted;

    std::string temporaryName;
    FileDescriptor out = createTemporary(parent.get(), temporaryName);
    if (!out.valid()) {
        archive.OutputErrorMessage("Failed to create the file " + fullPath);
        return EntryResult::Failed;
    }
    auto discard = [&](const std::string& message) {
        out.reset();
        ::unlinkat(parent.get(), temporaryName.c_str(), 0);
        archive.OutputErrorMessage(message);
        return EntryResult::Failed;
    };

    for (;;) {
        int count = reader.read(buffer, static_cast<unsigned>(bufferSize));
        if (count < 0)
            return discard("Failed to reading zip file");
        if (count == 0)
            break;
        if (!budget.take(static_cast<uint64_t>(count))) {
            out.reset();
            ::unlinkat(parent.get(), temporaryName.c_str(), 0);
            return EntryResult::OverLimit;
        }
        if (!writeFully(out.get(), buffer, static_cast<size_t>(count)))
            return discard("Failed to write the file " + fullPath);
    }
    if (reader.finish())
        return discard("Failed to reading zip file");

    const tm_unz& d = info.tmu_date;
    time_t when = localTime(d.tm_year, d.tm_mon, d.tm_mday, d.tm_hour, d.tm_min, d.tm_sec);
    struct timespec times[2] = { { 0, UTIME_OMIT }, { when, 0 } };
    if (when == static_cast<time_t>(-1) || ::futimens(out.get(), times) != 0)
        base::log("Failed to set attributes");
    if (!out.close()) {
        ::unlinkat(parent.get(), temporaryName.c_str(), 0);
        archive.OutputErrorMessage("Failed to write the file " + fullPath);
        return EntryResult::Failed;
    }
    bool existed = ::fstatat(parent.get(), leaf.c_str(), &existing, AT_SYMLINK_NOFOLLOW) == 0;
    if (::renameat(parent.get(), temporaryName.c_str(), parent.get(), leaf.c_str()) != 0) {
        ::unlinkat(parent.get(), temporaryName.c_str(), 0);
        archive.OutputErrorMessage("Failed to create the file " + fullPath);
        return EntryResult::Failed;
    }
    if (!existed)
        budget.madeFiles.push_back(fullPath);
    return EntryResult::Extracted;
}

// The sizes the central directory declares; a lie is caught while writing.
uint64_t declaredSize(unzFile file)
{
    uint64_t total = 0;
    for (int at = ::unzGoToFirstFile(file); at == UNZ_OK; at = ::unzGoToNextFile(file)) {
        unz_file_info64 info;
        if (::unzGetCurrentFileInfo64(file, &info, nullptr, 0, nullptr, 0, nullptr, 0) == UNZ_OK)
            total += info.uncompressed_size;
    }
    return total;
}

} // namespace

BRZipArchive::BRZipArchive() = default;

BRZipArchive::~BRZipArchive()
{
    if (m_zipFile)
        CloseZipFile2();
    if (m_unzFile)
        UnzipCloseFile();
}

bool BRZipArchive::UnzipOpenFile(const std::string& path)
{
    if (m_unzFile)
        ::unzClose(m_unzFile);
    m_unzFile = ::unzOpen64(path.c_str());
    struct stat status;
    m_archiveSize = ::stat(path.c_str(), &status) == 0 ? static_cast<uint64_t>(status.st_size) : 0;
    if (m_unzFile) {
        unz_global_info64 info;
        if (::unzGetGlobalInfo64(m_unzFile, &info) == UNZ_OK)
            base::logf("%d entries in the zip file", static_cast<int>(info.number_entry));
    }
    return m_unzFile != nullptr;
}

bool BRZipArchive::UnzipOpenFilePassword(const std::string& path, const std::string& password)
{
    m_password = password;
    return UnzipOpenFile(path);
}

bool BRZipArchive::UnzipFileToOverWrite(const std::string& folder, bool overwrite)
{
    std::vector<char> buffer(kCopyBufferSize, 0);
    FileDescriptor folderFd;
    ExtractionBudget budget(m_maxExtractedSize, m_maxCompressionRatio, m_archiveSize);
    auto refuse = [&] {
        std::string message = "Refused the archive because " + budget.problem;
        OutputErrorMessage(message);
        base::log("BRZipArchive: " + message);
        budget.removeWhatWasMade();
        return false;
    };
    if (::unzGoToFirstFile(m_unzFile) != UNZ_OK) {
        OutputErrorMessage("Failed");
    } else if (entriesOverlap(m_unzFile)) {
        OutputErrorMessage("The archive is damaged: its entries overlap");
        return false;
    } else if (ExtractionBudget probe = budget; !probe.take(declaredSize(m_unzFile))) {
        budget.problem = probe.problem;
        return refuse();
    } else if (::unzGoToFirstFile(m_unzFile) != UNZ_OK) {
        OutputErrorMessage("Failed");
    } else {
        std::error_code ignored;
        std::filesystem::create_directories(folder, ignored);
        folderFd = FileDescriptor(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    }

    bool result = true;
    for (;;) {
        // The system's zip library cannot decipher, so encrypted entries are read raw.
        unz_file_info64 probe {};
        bool encrypted = ::unzGetCurrentFileInfo64(m_unzFile, &probe, nullptr, 0, nullptr, 0, nullptr, 0) == UNZ_OK
            && (probe.flag & 1);
        int method = 0;
        int opened = encrypted ? ::unzOpenCurrentFile2(m_unzFile, &method, nullptr, 1) : ::unzOpenCurrentFile(m_unzFile);
        if (opened != UNZ_OK) {
            OutputErrorMessage("Error occurs");
            return false;
        }
        std::unique_ptr<EntryReader> reader = encrypted
            ? std::make_unique<EncryptedEntryReader>(m_unzFile, m_password, probe, method)
            : std::make_unique<EntryReader>(m_unzFile, probe);
        EntryResult entry = extractEntry(*this, m_unzFile, *reader, folderFd.get(), folder, overwrite, buffer.data(),
                                         buffer.size(), budget);
        reader.reset();
        if (entry == EntryResult::OverLimit)
            return refuse();
        if (entry == EntryResult::Stop)
            return false;
        if (entry == EntryResult::Failed)
            result = false;
        int next = ::unzGoToNextFile(m_unzFile);
        if (next == UNZ_END_OF_LIST_OF_FILE)
            break;
        // A central directory that breaks off is damage, not the end of the list.
        if (next != UNZ_OK) {
            OutputErrorMessage("Failed to reading zip file");
            return false;
        }
    }
    return result;
}

bool BRZipArchive::UnzipCloseFile()
{
    m_password.clear();
    if (!m_unzFile)
        return true;
    int result = ::unzClose(m_unzFile);
    m_unzFile = nullptr;
    return result == UNZ_OK;
}

bool BRZipArchive::CreateZipFile2(const std::string& path)
{
    if (m_zipFile)
        ::zipClose(m_zipFile, nullptr);
    m_zipFile = ::zipOpen64(path.c_str(), APPEND_STATUS_CREATE);
    return m_zipFile != nullptr;
}

bool BRZipArchive::CreateZipFile2Password(const std::string& path, const std::string& password)
{
    m_password = password;
    return CreateZipFile2(path);
}

bool BRZipArchive::addFileToZipNewname(const std::string& file, const std::string& newname)
{
    if (!m_zipFile)
        return false;
    struct stat status;
    if (::stat(file.c_str(), &status) != 0)
        return false;
    auto content = readWholeFile(file);
    if (!content || content->size() > UINT_MAX)
        return false;

    zip_fileinfo info {};
    std::tm local {};
    if (!::localtime_r(&status.st_mtime, &local))
        return false;
    info.tmz_date.tm_year = static_cast<uInt>(local.tm_year + 1900);
    info.tmz_date.tm_mon = static_cast<uInt>(local.tm_mon);
    info.tmz_date.tm_mday = static_cast<uInt>(local.tm_mday);
    info.tmz_date.tm_hour = static_cast<uInt>(local.tm_hour);
    info.tmz_date.tm_min = static_cast<uInt>(local.tm_min);
    info.tmz_date.tm_sec = static_cast<uInt>(local.tm_sec);

    const auto size = static_cast<unsigned>(content->size());
    if (m_password.empty()) {
        if (::zipOpenNewFileInZip(m_zipFile, newname.c_str(), &info, nullptr, 0, nullptr, 0, nullptr, Z_DEFLATED,
                                  Z_DEFAULT_COMPRESSION)
            != ZIP_OK)
            return false;
        bool written = ::zipWriteInFileInZip(m_zipFile, content->data(), size) == ZIP_OK;
        bool closed = ::zipCloseFileInZip(m_zipFile) == ZIP_OK;
        return written && closed;
    }

    // The system's zip library cannot encipher, so the entry is deflated and enciphered here
    // and written raw, flagged as encrypted.
    uLong crc = ::crc32(0L, nullptr, 0);
    crc = ::crc32(crc, reinterpret_cast<const Bytef*>(content->data()), size);
    auto sealed = sealEntry(*content, static_cast<uint32_t>(crc), m_password);
    if (!sealed || sealed->size() > UINT_MAX)
        return false;
    constexpr uLong kEncryptedFlag = 1;
    if (::zipOpenNewFileInZip4(m_zipFile, newname.c_str(), &info, nullptr, 0, nullptr, 0, nullptr, Z_DEFLATED,
                               Z_DEFAULT_COMPRESSION, 1, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY, nullptr, 0, 0,
                               kEncryptedFlag)
        != ZIP_OK)
        return false;
    bool written = ::zipWriteInFileInZip(m_zipFile, sealed->data(), static_cast<unsigned>(sealed->size())) == ZIP_OK;
    bool closed = ::zipCloseFileInZipRaw(m_zipFile, size, crc) == ZIP_OK;
    return written && closed;
}

bool BRZipArchive::CloseZipFile2()
{
    m_password.clear();
    if (!m_zipFile)
        return false;
    int result = ::zipClose(m_zipFile, nullptr);
    m_zipFile = nullptr;
    return result == ZIP_OK;
}

void BRZipArchive::OutputErrorMessage(const std::string& message)
{
    if (m_delegate)
        m_delegate->ErrorMessage(message);
}

bool BRZipArchive::OverWrite(const std::string& path)
{
    return m_delegate ? m_delegate->OverWriteOperation(path) : true;
}

base::Date BRZipArchive::Date1980()
{
    return base::Date(static_cast<double>(localTime(1980, 0, 1, 0, 0, 0)));
}
