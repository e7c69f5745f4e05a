#pragma once
// Helpers shared by the gzip and zip suites: a scratch folder, files and shell commands.
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <random>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <vector>

namespace ziptest {

namespace fs = std::filesystem;

class TempDir {
public:
    TempDir()
    {
        std::string pattern = (fs::temp_directory_path() / "brzip-test-XXXXXX").string();
        if (!::mkdtemp(pattern.data()))
            throw std::runtime_error("mkdtemp failed");
        m_path = pattern;
    }
    ~TempDir()
    {
        std::error_code ignored;
        fs::permissions(m_path, fs::perms::owner_all, fs::perm_options::add, ignored);
        fs::remove_all(m_path, ignored);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const fs::path& path() const { return m_path; }
    std::string operator/(const std::string& name) const { return (m_path / name).string(); }

private:
    fs::path m_path;
};

inline std::string quote(const std::string& text)
{
    std::string out = "'";
    for (char c : text)
        out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return out + "'";
}

// Runs a shell command and gives its exit status.
inline int run(const std::string& command)
{
    int status = std::system(command.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

inline int python(const TempDir& dir, const std::string& script)
{
    std::string path = dir / "script.py";
    std::ofstream(path) << script;
    return run("python3 " + quote(path));
}

inline std::vector<uint8_t> readBytes(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

inline std::string readText(const std::string& path)
{
    auto bytes = readBytes(path);
    return std::string(bytes.begin(), bytes.end());
}

inline void writeFile(const std::string& path, const std::vector<uint8_t>& bytes)
{
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                                static_cast<std::streamsize>(bytes.size()));
}

inline void writeText(const std::string& path, const std::string& text)
{
    std::ofstream(path, std::ios::binary) << text;
}

// Text-like data that compresses well but not trivially, from a fixed seed.
inline std::vector<uint8_t> sampleData(size_t size, unsigned seed = 7)
{
    static const char* words[] = { "order ", "catalog ", "price ", "19.99 ", "customer ", "\n", "id=", "image ",
                                   "\xe4\xba\xa7\xe5\x93\x81 " };
    std::mt19937 random(seed);
    std::vector<uint8_t> out;
    out.reserve(size + 16);
    while (out.size() < size) {
        if (random() % 5 == 0) {
            out.push_back(static_cast<uint8_t>(random()));
            continue;
        }
        const char* word = words[random() % std::size(words)];
        out.insert(out.end(), word, word + std::strlen(word));
    }
    out.resize(size);
    return out;
}

} // namespace ziptest

#include "Network/BRZipArchive.h"

namespace ziptest {

// Records what the archive tells it and answers overwrite questions with a fixed answer.
class RecordingDelegate : public BRZipArchiveDelegate {
public:
    explicit RecordingDelegate(bool allowOverwrite = true) : m_allowOverwrite(allowOverwrite) {}
    void ErrorMessage(const std::string& message) override { messages.push_back(message); }
    bool OverWriteOperation(const std::string& path) override
    {
        askedPaths.push_back(path);
        return m_allowOverwrite;
    }
    bool said(const std::string& fragment) const
    {
        for (const auto& m : messages) {
            if (m.find(fragment) != std::string::npos)
                return true;
        }
        return false;
    }

    std::vector<std::string> messages;
    std::vector<std::string> askedPaths;

private:
    bool m_allowOverwrite;
};

// Opens, extracts and closes, as the application does.
inline bool extract(const std::string& archive, const std::string& folder, bool overwrite,
                    std::shared_ptr<BRZipArchiveDelegate> delegate = nullptr, const std::string& password = "")
{
    BRZipArchive zip;
    zip.setDelegate(std::move(delegate));
    bool opened = password.empty() ? zip.UnzipOpenFile(archive) : zip.UnzipOpenFilePassword(archive, password);
    if (!opened)
        return false;
    bool result = zip.UnzipFileToOverWrite(folder, overwrite);
    return zip.UnzipCloseFile() && result;
}

// Every path below root, relative, sorted.
inline std::vector<std::string> listTree(const fs::path& root)
{
    std::vector<std::string> out;
    std::error_code ec;
    for (auto it = fs::recursive_directory_iterator(root, ec); it != fs::recursive_directory_iterator(); ++it)
        out.push_back(fs::relative(it->path(), root).string() + (it->is_directory() && !it->is_symlink() ? "/" : ""));
    std::sort(out.begin(), out.end());
    return out;
}

} // namespace ziptest
