#include "ZipTestTools.h"

#include <csignal>
#include <sys/resource.h>

using namespace ziptest;

namespace {

bool hasTemporaryFiles(const fs::path& root)
{
    for (const auto& path : listTree(root)) {
        if (path.find(".brzip-") != std::string::npos)
            return true;
    }
    return false;
}

// Replaces the one occurrence of `from` in the file by `to` (same length).
void patch(const std::string& path, const std::string& from, const std::string& to)
{
    auto bytes = readText(path);
    size_t at = bytes.find(from);
    ASSERT_NE(at, std::string::npos) << from;
    bytes.replace(at, from.size(), to);
    writeText(path, bytes);
}

} // namespace

TEST(ZipSafety, RefusesNamesThatLeaveTheFolderAndPlantedSymlinks)
{
    TempDir dir;
    const std::string outside = dir / "outside";
    const std::string target = dir / "target/inner";
    fs::create_directories(outside);
    fs::create_directories(target);
    writeText(outside + "/victim.txt", "precious");
    fs::create_directory_symlink(outside, target + "/link");
    fs::create_symlink(outside + "/victim.txt", target + "/z.txt");

    const std::string archive = dir / "unsafe.zip";
    ASSERT_EQ(python(dir, "import zipfile\n"
                          "with zipfile.ZipFile('" + archive + "', 'w') as z:\n"
                          "    for n in ['../evil1.txt', '..\\\\evil2.txt', 'sub/../../evil3.txt', '" + outside + "/evil4.txt',\n"
                          "              'C:\\\\evil5.txt', 'd:evil6.txt', 'link/evil7.txt']:\n"
                          "        z.writestr(n, 'evil')\n"
                          "    z.writestr('ok.txt', 'fine')\n"
                          "    z.writestr('z.txt', 'replaced')\n"
                          "    z.writestr('sub/./ok2.txt', 'fine too')\n"),
              0);

    auto delegate = std::make_shared<RecordingDelegate>();
    EXPECT_FALSE(extract(archive, target, true, delegate));
    EXPECT_EQ(readText(target + "/ok.txt"), "fine");
    EXPECT_EQ(readText(target + "/sub/ok2.txt"), "fine too");
    // The planted file link is replaced by a file; its target is untouched.
    EXPECT_FALSE(fs::is_symlink(target + "/z.txt"));
    EXPECT_EQ(readText(target + "/z.txt"), "replaced");
    EXPECT_EQ(readText(outside + "/victim.txt"), "precious");
    for (const auto& path : listTree(dir.path()))
        EXPECT_EQ(path.find("evil"), std::string::npos) << path;
    EXPECT_EQ(std::count_if(delegate->messages.begin(), delegate->messages.end(),
                            [](const std::string& m) { return m.find("leads out of the folder") != std::string::npos; }),
              6);
    EXPECT_TRUE(delegate->said("Failed to create the file " + target + "/link/evil7.txt"));
}

TEST(ZipSafety, DamagedEntriesFailAndLeaveNoPartialFiles)
{
    TempDir dir;
    const std::string archive = dir / "damaged.zip";
    const std::string stored(3000, 'S');
    ASSERT_EQ(python(dir, "import zipfile, random\n"
                          "r = random.Random(9)\n"
                          "with zipfile.ZipFile('" + archive + "', 'w') as z:\n"
                          "    z.writestr('good1.txt', 'one')\n"
                          "    z.writestr('stored.txt', 'S' * 3000, zipfile.ZIP_STORED)\n"
                          "    z.writestr('deflated.txt', ' '.join(str(r.random()) for _ in range(3000)), zipfile.ZIP_DEFLATED)\n"
                          "    z.writestr('good2.txt', 'two')\n"),
              0);
    // A flipped byte in stored data only shows in the CRC; in deflated data it breaks the stream
    // or the CRC.
    patch(archive, std::string(40, 'S'), std::string(39, 'S') + "T");
    {
        auto bytes = readBytes(archive);
        auto text = std::string(bytes.begin(), bytes.end());
        size_t at = text.find("deflated.txt") + std::string("deflated.txt").size() + 500;
        bytes[at] ^= 0x55;
        writeFile(archive, bytes);
    }

    const std::string target = dir / "out";
    fs::create_directories(target);
    writeText(target + "/stored.txt", "previous");
    auto delegate = std::make_shared<RecordingDelegate>();
    EXPECT_FALSE(extract(archive, target, true, delegate));
    EXPECT_EQ(readText(target + "/good1.txt"), "one");
    EXPECT_EQ(readText(target + "/good2.txt"), "two");
    EXPECT_EQ(readText(target + "/stored.txt"), "previous");
    EXPECT_FALSE(fs::exists(target + "/deflated.txt"));
    EXPECT_EQ(delegate->messages, (std::vector<std::string> { "Failed to reading zip file", "Failed to reading zip file" }));
    EXPECT_FALSE(hasTemporaryFiles(target));
}

TEST(ZipSafety, UnwritableFilesAndBrokenDirectoryFail)
{
    TempDir dir;
    const std::string archive = dir / "files.zip";
    ASSERT_EQ(python(dir, "import zipfile, os\n"
                          "with zipfile.ZipFile('" + archive + "', 'w') as z:\n"
                          "    z.writestr('blocked.txt', 'x')\n"
                          "    z.writestr('afile/inner.txt', 'x')\n"
                          "    z.writestr('big.bin', os.urandom(300000))\n"
                          "    z.writestr('last.txt', 'last')\n"),
              0);
    const std::string target = dir / "out";
    fs::create_directories(target + "/blocked.txt/keep");
    writeText(target + "/afile", "a file where a folder should be");

    // A file size limit makes writes fail as a full disk would.
    struct rlimit old {};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &old), 0);
    auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    struct rlimit limited = old;
    limited.rlim_cur = 100000;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &limited), 0);
    auto delegate = std::make_shared<RecordingDelegate>();
    bool result = extract(archive, target, true, delegate);
    ::setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, oldHandler);

    EXPECT_FALSE(result);
    EXPECT_EQ(readText(target + "/last.txt"), "last");
    EXPECT_TRUE(fs::is_directory(target + "/blocked.txt/keep"));
    EXPECT_FALSE(fs::exists(target + "/big.bin"));
    EXPECT_TRUE(delegate->said("Failed to create the file " + target + "/blocked.txt"));
    EXPECT_TRUE(delegate->said("Failed to create the file " + target + "/afile/inner.txt"));
    EXPECT_TRUE(delegate->said("Failed to write the file " + target + "/big.bin"));
    EXPECT_FALSE(hasTemporaryFiles(target));

    // A central directory that claims one entry more than it holds is damage, not the end.
    std::string bytes = readText(archive);
    size_t end = bytes.rfind("PK\x05\x06");
    ASSERT_NE(end, std::string::npos);
    bytes[end + 8] = 5;
    bytes[end + 10] = 5;
    writeText(archive, bytes);
    const std::string again = dir / "again";
    auto second = std::make_shared<RecordingDelegate>();
    EXPECT_FALSE(extract(archive, again, true, second));
    EXPECT_EQ(readText(again + "/last.txt"), "last");
    EXPECT_TRUE(second->said("Failed to reading zip file"));
}

TEST(ZipNames, DecodesCodePage437KeepsUtf8AndSkipsEmptyNames)
{
    TempDir dir;
    const std::string archive = dir / "names.zip";
    ASSERT_EQ(python(dir, "import zipfile\n"
                          "with zipfile.ZipFile('" + archive + "', 'w') as z:\n"
                          "    z.writestr('cafX.txt', 'dos')\n"
                          "    z.writestr('\u65e5\u672c/\u00e9t\u00e9.txt', 'utf8')\n"
                          "    z.writestr(zipfile.ZipInfo(''), 'nameless')\n"
                          "    z.writestr('after.txt', 'after')\n"),
              0);
    // 0x82 is "é" in code page 437 and not valid UTF-8; the UTF-8 flag stays clear.
    patch(archive, "cafX.txt", "caf\x82.txt");
    patch(archive, "cafX.txt", "caf\x82.txt");

    const std::string target = dir / "out";
    auto delegate = std::make_shared<RecordingDelegate>();
    EXPECT_TRUE(extract(archive, target, true, delegate));
    EXPECT_EQ(readText(target + "/caf\xc3\xa9.txt"), "dos");
    EXPECT_EQ(readText(target + "/\xe6\x97\xa5\xe6\x9c\xac/\xc3\xa9t\xc3\xa9.txt"), "utf8");
    EXPECT_EQ(readText(target + "/after.txt"), "after");
    EXPECT_EQ(listTree(target).size(), 4u);
    EXPECT_EQ(delegate->messages, std::vector<std::string> { "Skipped an entry without a name" });
}

namespace {

// Archives made byte by byte: a good one, one whose entry claims more bytes (and another CRC)
// than its data holds, and one whose directory lays many entries over one local header.
const char* const kCrafter = R"(
import struct, sys, zlib
kind, path = sys.argv[1], sys.argv[2]
def local(name, data, crc, size, method=8):
    body = zlib.compress(data)[2:-4] if method == 8 else data
    head = struct.pack('<IHHHHHIIIHH', 0x04034b50, 20, 0, method, 0, 0x21, crc, len(body), size, len(name), 0)
    return head + name + body, len(body)
def central(name, crc, csize, size, offset, method=8):
    return struct.pack('<IHHHHHHIIIHHHHHII', 0x02014b50, 20, 20, 0, method, 0, 0x21, crc, csize, size,
                       len(name), 0, 0, 0, 0, 0, offset) + name
def finish(out, records, count):
    directory = b''.join(records)
    return out + directory + struct.pack('<IHHHHIIH', 0x06054b50, 0, 0, count, count, len(directory), len(out), 0)
data = (b'brivanta ' * 700)
if kind == 'good':
    out, records = b'', []
    for name, payload in ((b'one.txt', data), (b'sub/two.bin', bytes(range(256)) * 9)):
        offset = len(out)
        entry, csize = local(name, payload, zlib.crc32(payload), len(payload))
        out += entry
        records.append(central(name, zlib.crc32(payload), csize, len(payload), offset))
    archive = finish(out, records, 2)
elif kind == 'short':
    crc, size = zlib.crc32(data) ^ 1, len(data) + 1000
    entry, csize = local(b'short.txt', data, crc, size)
    archive = finish(entry, [central(b'short.txt', crc, csize, size, 0)], 1)
elif kind == 'short-stored':
    crc, size = zlib.crc32(data) ^ 1, len(data)
    entry, csize = local(b'short.txt', data, crc, size + 1000, 0)
    archive = finish(entry, [central(b'short.txt', crc, csize, size + 1000, 0, 0)], 1)
else:
    entry, csize = local(b'f0000.txt', data, zlib.crc32(data), len(data))
    records = [central(b'f%04d.txt' % i, zlib.crc32(data), csize, len(data), 0) for i in range(1000)]
    archive = finish(entry, records, 1000)
open(path, 'wb').write(archive)
)";

TEST(ZipSafety, EveryEntryIsCheckedToTheByteAndOverlapsAreRefused)
{
    struct Case {
        const char* kind;
        bool extracts;
        std::vector<std::string> messages;
        std::vector<std::string> tree;
    };
    const Case cases[] = {
        {"good", true, {}, {"one.txt", "sub/", "sub/two.bin"}},
        {"short", false, {"Failed to reading zip file"}, {}},
        {"short-stored", false, {"Failed to reading zip file"}, {}},
        {"overlap", false, {"The archive is damaged: its entries overlap"}, {}},
    };
    TempDir dir;
    writeText(dir / "craft.py", kCrafter);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.kind);
        const std::string archive = dir / (std::string(c.kind) + ".zip");
        ASSERT_EQ(run("python3 " + quote(dir / "craft.py") + " " + c.kind + " " + quote(archive)), 0);
        // The system's unzip agrees on which archives are whole.
        EXPECT_EQ(run("unzip -tqq " + quote(archive) + " >/dev/null 2>&1") == 0, c.extracts);

        const std::string target = dir / (std::string("out-") + c.kind);
        auto delegate = std::make_shared<RecordingDelegate>();
        EXPECT_EQ(extract(archive, target, true, delegate), c.extracts);
        EXPECT_EQ(delegate->messages, c.messages);
        EXPECT_EQ(listTree(target), c.tree);
        EXPECT_FALSE(hasTemporaryFiles(target));
        if (c.extracts) {
            const std::string unzipped = dir / (std::string("unzip-") + c.kind);
            ASSERT_EQ(run("unzip -qq " + quote(archive) + " -d " + quote(unzipped)), 0);
            EXPECT_EQ(run("diff -r " + quote(unzipped) + " " + quote(target)), 0);
        }
    }
}

} // namespace
