#include "App/DataFolderCheck.h"

#include "App/InstanceLock.h"
#include "Database/SQLite/BRDatabase.h"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <vector>

#include <fcntl.h>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;

std::optional<DataFolderCheck::Failure> failed(const std::string& path, int error)
{
    return DataFolderCheck::Failure{path, std::strerror(error)};
}

// A file made, written to the disk and removed: what every save of the program does.
std::optional<DataFolderCheck::Failure> writeTemporaryFile(const std::string& folder)
{
    std::string path = (fs::path(folder) / DataFolderCheck::kProbeName).string() + ".tmp";
    int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (fd < 0)
        return failed(path, errno);
    // A page's worth: a nearly full disk refuses it where a byte might still fit.
    char page[4096] = {};
    int error = 0;
    for (size_t done = 0; done < sizeof page && error == 0;) {
        ssize_t wrote = write(fd, page + done, sizeof page - done);
        if (wrote > 0)
            done += size_t(wrote);
        else if (wrote < 0 && errno != EINTR)
            error = errno;
    }
    if (error == 0 && fsync(fd) != 0)
        error = errno;
    if (close(fd) != 0 && error == 0)
        error = errno;
    unlink(path.c_str());
    if (error)
        return failed(path, error);
    return std::nullopt;
}

// A small database made, written and removed, as the stored ones are written.
std::optional<DataFolderCheck::Failure> writeDatabase(const std::string& folder)
{
    std::string path = (fs::path(folder) / DataFolderCheck::kProbeName).string() + ".sqlite";
    std::optional<DataFolderCheck::Failure> failure;
    {
        BRDatabase db(path);
        db.setLogsErrors(false);
        if (!db.open() || !db.executeUpdate("CREATE TABLE IF NOT EXISTS probe (n INTEGER)") ||
            !db.executeUpdate("INSERT INTO probe (n) VALUES (1)"))
            failure = DataFolderCheck::Failure{path, db.lastErrorMessage()};
        db.close();
    }
    for (const char* extra : {"", "-journal", "-wal", "-shm"})
        unlink((path + extra).c_str());
    return failure;
}

// The databases already kept there (one per company, under Documents) must take writes too.
std::optional<DataFolderCheck::Failure> openStoredDatabases(const std::string& folder)
{
    std::error_code error;
    fs::path documents = fs::path(folder) / "Documents";
    for (fs::directory_iterator it(documents, error), end; !error && it != end; it.increment(error)) {
        fs::path stored = it->path() / "brivanta_lite.sqlite";
        if (!fs::is_regular_file(stored, error))
            continue;
        int fd = open(stored.c_str(), O_RDWR | O_CLOEXEC);
        if (fd < 0)
            return failed(stored.string(), errno);
        close(fd);
    }
    return std::nullopt;
}

// The folders under it that start-up writes, where they already exist: the settings, the
// scratch folder, and each company's folder with its database and records. One the program
// makes itself is as writable as the data folder.
std::optional<DataFolderCheck::Failure> writeKnownFolders(const std::string& folder)
{
    fs::path top(folder);
    std::vector<fs::path> folders{top / "Library", top / "Library" / "Preferences", top / "tmp", top / "Documents"};
    std::error_code error;
    for (fs::directory_iterator it(top / "Documents", error), end; !error && it != end; it.increment(error))
        if (it->is_directory(error) && !it->is_symlink(error))
            folders.push_back(it->path());
    for (const auto& each : folders) {
        if (!fs::is_directory(each, error))
            continue;
        if (auto failure = writeTemporaryFile(each.string()))
            return failure;
    }
    return std::nullopt;
}

} // namespace

std::optional<DataFolderCheck::Failure> DataFolderCheck::check(const std::string& folder)
{
    if (auto failure = writeTemporaryFile(folder))
        return failure;
    if (auto failure = writeDatabase(folder))
        return failure;
    if (auto failure = writeKnownFolders(folder))
        return failure;
    return openStoredDatabases(folder);
}

std::string DataFolderCheck::message(const std::string& folder, const Failure& failure)
{
    std::string text = InstanceLock::textInFolderLanguage(folder, "DATAFOLDERUNWRITABLE",
                                                          "The application cannot write its data folder, so it stops.");
    return text + "\n" + folder + "\n" + failure.path + ": " + failure.reason;
}
