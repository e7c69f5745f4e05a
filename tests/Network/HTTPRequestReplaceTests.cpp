#include "HTTPRequestTestSupport.h"

#include "Platform/Base/Paths.h"

#include <sys/inotify.h>
#include <unistd.h>

#include <climits>
#include <string>
#include <vector>

using namespace enginetest;

namespace {

// What the folder saw happen to one name, read from the kernel's own account of it.
struct FolderWatch {
    explicit FolderWatch(const std::string& folder)
        : fd(inotify_init1(IN_NONBLOCK | IN_CLOEXEC))
    {
        if (fd >= 0)
            inotify_add_watch(fd, folder.c_str(), IN_CREATE | IN_DELETE | IN_MOVED_TO | IN_MOVED_FROM);
    }
    ~FolderWatch()
    {
        if (fd >= 0)
            ::close(fd);
    }
    // The events on `name`, in order: 'c'reated, 'd'eleted, moved 'i'n, moved 'o'ut.
    std::string eventsOn(const std::string& name)
    {
        std::string seen;
        alignas(inotify_event) char buffer[64 * (sizeof(inotify_event) + NAME_MAX + 1)];
        for (ssize_t n; (n = ::read(fd, buffer, sizeof buffer)) > 0;)
            for (char* at = buffer; at < buffer + n;) {
                auto* event = reinterpret_cast<inotify_event*>(at);
                if (event->len && name == event->name)
                    seen += event->mask & IN_CREATE ? 'c' : event->mask & IN_DELETE ? 'd' : event->mask & IN_MOVED_TO ? 'i' : 'o';
                at += sizeof(inotify_event) + event->len;
            }
        return seen;
    }
    int fd;
};

} // namespace

// A reader of the old file (the reader, a picture view) must find the old or the new one at
// every instant: the new file is moved over the old, never put in after the old is removed.
TEST(HTTPRequestReplace, AFileReplacedByADownloadIsNeverAbsent)
{
    testHome();
    const std::string dir = testsupport::makeTemporaryFolder("replace");
    const std::string destination = dir + "/doc.bin";
    const std::string body = pattern(200000);
    LoopbackServer server([&](const Request&) {
        Reply r;
        r.body = body;
        return r;
    });
    for (bool withTemporary : {false, true}) {
        SCOPED_TRACE(withTemporary ? "through a temporary path" : "without a temporary path");
        writeFile(destination, "the old version");
        FolderWatch watch(dir);
        ASSERT_GE(watch.fd, 0);
        Exchange run(server.url("/doc"));
        if (withTemporary)
            configureAsDownload(*run.request, destination, base::Paths::tmp() + "/doc.bin.replace");
        else
            run.request->setDownloadDestinationPath(destination);
        ASSERT_TRUE(run.runAsync());
        EXPECT_EQ(run.recorder->finished, 1);
        EXPECT_EQ(readFile(destination), body);
        std::string events = watch.eventsOn("doc.bin");
        EXPECT_EQ(events.find('d'), std::string::npos) << events;
        EXPECT_NE(events.find('i'), std::string::npos) << events;
    }
}
