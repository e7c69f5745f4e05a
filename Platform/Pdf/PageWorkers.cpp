#include "Platform/Pdf/PageWorkers.h"

#include "Platform/Base/BackgroundWork.h"
#include "Platform/Base/Log.h"
#include "Platform/Base/RunLoop.h"
#include "Platform/Graphics/Context.h"
#include "Platform/Pdf/PageWorkerProtocol.h"

#include <algorithm>
#include <climits>
#include <cairo.h>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <map>
#include <mutex>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/mman.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace pdf {

// One worker process: its socket, the shared file its pixels come back in, and our mapping of it.
struct PageWorkers::Worker {
    pid_t pid = -1;
    int socket = -1;
    int pixels = -1;
    size_t sharedBytes = 0;
    unsigned char* mapped = nullptr;
    size_t mappedBytes = 0;
    bool busy = false;
    std::string path;           // of the page being drawn
    int page = 0;
    std::string lastPath; // the file it has open, and the page it drew last
    int lastPage = 0;
    bool stopRequested = false; // ended on purpose, not over a limit
    bool refusedElsewhere = false; // its page went over a limit in another worker
    int level = 0;                 // of the page being drawn
    bool ready = false;            // its first message, sent once its libraries are loaded, is read

    ~Worker()
    {
        if (mapped)
            munmap(mapped, mappedBytes);
        if (socket >= 0)
            close(socket);
        if (pixels >= 0)
            close(pixels);
    }
};

namespace {

using Clock = std::chrono::steady_clock;
using Worker = PageWorkers::Worker;

// A file version: a page refused once stays refused until the file changes.
struct Version {
    std::string path;
    int64_t size = -1;
    int64_t modifiedNs = 0;
    auto operator<=>(const Version&) const = default;
};

Version versionOf(const std::string& path)
{
    Version v;
    v.path = path;
    struct stat st {};
    if (stat(path.c_str(), &st) == 0) {
        v.size = st.st_size;
        v.modifiedNs = int64_t(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
    }
    return v;
}

// Moves a descriptor above the ones the worker is handed, so passing it never meets itself.
int above(int fd)
{
    int moved = fcntl(fd, F_DUPFD_CLOEXEC, 10);
    close(fd);
    return moved;
}

size_t residentBytes(pid_t pid)
{
    std::ifstream in("/proc/" + std::to_string(pid) + "/statm");
    size_t total = 0, resident = 0;
    if (!(in >> total >> resident))
        return 0;
    return resident * size_t(sysconf(_SC_PAGESIZE));
}

// A worker started ahead finds its pixels' share already this large, and makes it its own
// while it waits (in its own process): the first page then lands in memory ready for it.
std::shared_ptr<Worker> startWorker(const std::string& program, size_t memoryBytes, size_t sharedAhead = 0)
{
    int pair[2];
    if (socketpair(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0, pair) != 0)
        return nullptr;
    auto worker = std::make_shared<Worker>();
    worker->socket = above(pair[0]);
    int theirs = above(pair[1]);
    worker->pixels = above(memfd_create("pdf-page-pixels", MFD_CLOEXEC));
    if (worker->socket < 0 || theirs < 0 || worker->pixels < 0) {
        if (theirs >= 0)
            close(theirs);
        return nullptr;
    }
    if (sharedAhead > 0 && ftruncate(worker->pixels, off_t(sharedAhead)) == 0)
        worker->sharedBytes = sharedAhead;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, theirs, worker::kSocketFd);
    posix_spawn_file_actions_adddup2(&actions, worker->pixels, worker::kPixelsFd);
    std::string memory = "--memory=" + std::to_string(memoryBytes);
    std::string parent = "--parent=" + std::to_string(getpid());
    char* argv[] = {const_cast<char*>(program.c_str()), memory.data(), parent.data(), nullptr};
    pid_t pid = -1;
    int failed = posix_spawn(&pid, program.c_str(), &actions, nullptr, argv, environ);
    posix_spawn_file_actions_destroy(&actions);
    close(theirs);
    if (failed) {
        base::logf("PageWorkers: cannot start %s: %s", program.c_str(), std::strerror(failed));
        return nullptr;
    }
    worker->pid = pid;
    return worker;
}

// The shared file holds at least `bytes`, and our mapping covers it.
bool shareAtLeast(Worker& worker, size_t bytes)
{
    const size_t step = size_t(1) << 20;
    size_t wanted = std::max(step, (bytes + step - 1) / step * step);
    if (wanted > worker.sharedBytes) {
        if (worker.mapped)
            munmap(worker.mapped, worker.mappedBytes);
        worker.mapped = nullptr;
        worker.mappedBytes = 0;
        worker.sharedBytes = 0;
        if (ftruncate(worker.pixels, off_t(wanted)) != 0)
            return false;
        worker.sharedBytes = wanted;
    }
    if (!worker.mapped) {
        void* at = mmap(nullptr, worker.sharedBytes, PROT_READ, MAP_SHARED, worker.pixels, 0);
        if (at == MAP_FAILED)
            return false;
        worker.mapped = static_cast<unsigned char*>(at);
        worker.mappedBytes = worker.sharedBytes;
    }
    return true;
}

// The part of the context's bitmap its clip leaves, in the bitmap's pixels.
struct Region {
    int x = 0, y = 0, width = 0, height = 0;
};

Region regionOf(cairo_t* cr, cairo_surface_t* target)
{
    double x1, y1, x2, y2;
    cairo_clip_extents(cr, &x1, &y1, &x2, &y2);
    cairo_matrix_t ctm;
    cairo_get_matrix(cr, &ctm);
    double sx = 1, sy = 1, ox = 0, oy = 0;
    cairo_surface_get_device_scale(target, &sx, &sy);
    cairo_surface_get_device_offset(target, &ox, &oy);
    double lo[2] = {INFINITY, INFINITY}, hi[2] = {-INFINITY, -INFINITY};
    for (auto [x, y] : {std::pair{x1, y1}, {x2, y1}, {x1, y2}, {x2, y2}}) {
        cairo_matrix_transform_point(&ctm, &x, &y);
        x = x * sx + ox;
        y = y * sy + oy;
        lo[0] = std::min(lo[0], x), lo[1] = std::min(lo[1], y);
        hi[0] = std::max(hi[0], x), hi[1] = std::max(hi[1], y);
    }
    int width = cairo_image_surface_get_width(target), height = cairo_image_surface_get_height(target);
    Region r;
    if (!(lo[0] < hi[0]) || !(lo[1] < hi[1]))
        return r;
    int left = int(std::clamp(std::floor(lo[0]), 0.0, double(width)));
    int top = int(std::clamp(std::floor(lo[1]), 0.0, double(height)));
    int right = int(std::clamp(std::ceil(hi[0]), 0.0, double(width)));
    int bottom = int(std::clamp(std::ceil(hi[1]), 0.0, double(height)));
    r.x = left, r.y = top, r.width = right - left, r.height = bottom - top;
    return r;
}

} // namespace

struct PageWorkers::State {
    mutable std::mutex mutex;
    std::condition_variable changed;
    std::vector<std::shared_ptr<Worker>> workers; // idle and busy
    int starting = 0;
    bool shut = false;
    Limits limits;
    // A worker started ahead shares this much for pixels: the largest drawn so far, at least
    // a window's page and at most a large tile's.
    size_t sharedAhead = size_t(4) << 20;
    // Per file version and page: the lowest level refused for its cost, or that it is damaged.
    struct Refused {
        int level = INT_MAX;
        bool damaged = false;
    };
    std::map<Version, std::map<int, Refused>> refused;
    // Per file version: pages in a row whose description passed a limit.
    std::map<Version, int> pagesFailing;
    std::map<worker::Ask, int> asked;
    std::string program = workerProgram();

    // Under the lock: takes the worker out of service. Its process is not reaped yet, so its
    // id cannot have gone to another process while it is listed.
    void unlist(const std::shared_ptr<Worker>& worker)
    {
        std::erase(workers, worker);
        changed.notify_all();
    }
};

namespace {

// Ends the worker and tells how it ended: over its limit (or ended by us), or crashed.
DrawOutcome endWorker(const std::shared_ptr<Worker>& worker, bool alreadyEnding = false)
{
    int status = 0;
    if (alreadyEnding) {
        // Its socket closed: it is ending on its own; how it ended tells why.
        pid_t got;
        while ((got = waitpid(worker->pid, &status, 0)) < 0 && errno == EINTR) {
        }
        if (got == worker->pid) {
            if (WIFSIGNALED(status) && WTERMSIG(status) != SIGKILL)
                return DrawOutcome::Damaged;
            if (WIFEXITED(status) && WEXITSTATUS(status) != worker::kExitOverLimit && WEXITSTATUS(status) != 0)
                return DrawOutcome::Damaged;
            return DrawOutcome::TooCostly;
        }
    }
    kill(worker->pid, SIGKILL);
    while (waitpid(worker->pid, &status, 0) < 0 && errno == EINTR) {
    }
    return DrawOutcome::TooCostly;
}

// Once quitting is asked for, the main thread waits on no worker (a screenshot's tiles): the
// quit is handled there. Other threads' work is stopped with the rest when the application
// terminates.
bool quitting()
{
    return base::BackgroundWork::isStopping() ||
           (base::BackgroundWork::isQuitting() && base::RunLoop::isMainThread());
}

// Under the lock: an idle worker for this file, else a new one while there is room, else
// null after waiting a moment; Stopped in `outcome` when work is no longer taken, Failed when
// no worker could start.
std::shared_ptr<Worker> pickOrStart(PageWorkers::State& state, std::unique_lock<std::mutex>& lock,
                                    const std::string& path, int page, DrawOutcome& outcome)
{
    if (state.shut || quitting()) {
        outcome = DrawOutcome::Stopped;
        return nullptr;
    }
    // An idle worker that has this file open (this page first) answers without reading the
    // file again.
    std::shared_ptr<Worker> worker;
    int best = -1;
    for (const auto& each : state.workers) {
        if (each->busy)
            continue;
        int fit = each->lastPath == path ? (each->lastPage == page ? 2 : 1) : 0;
        if (fit > best) {
            best = fit;
            worker = each;
        }
    }
    if (worker)
        return worker;
    if (int(state.workers.size()) + state.starting >= PageWorkers::kMaxWorkers) {
        state.changed.wait_for(lock, std::chrono::milliseconds(50));
        return nullptr;
    }
    ++state.starting;
    std::string program = state.program;
    size_t memory = state.limits.memoryBytes;
    lock.unlock();
    auto started = startWorker(program, memory);
    lock.lock();
    --state.starting;
    state.changed.notify_all();
    if (!started) {
        outcome = DrawOutcome::Failed;
        return nullptr;
    }
    if (state.shut) {
        lock.unlock();
        endWorker(started);
        lock.lock();
        outcome = DrawOutcome::Stopped;
        return nullptr;
    }
    state.workers.push_back(started);
    return started;
}

// A worker of our own for this page, marked busy with it, and the limits it works under; null
// with the outcome when there is none.
std::shared_ptr<Worker> takeWorker(PageWorkers::State& state, const std::string& path, int page, int level,
                                   PageWorkers::Limits& limits, DrawOutcome& outcome)
{
    std::unique_lock lock(state.mutex);
    std::shared_ptr<Worker> worker;
    outcome = DrawOutcome::Drawn;
    while (!worker && outcome == DrawOutcome::Drawn)
        worker = pickOrStart(state, lock, path, page, outcome);
    if (!worker)
        return nullptr;
    worker->busy = true;
    worker->path = path;
    worker->page = page;
    worker->level = level;
    worker->lastPath = path;
    worker->lastPage = page;
    worker->stopRequested = false;
    worker->refusedElsewhere = false;
    limits = state.limits;
    return worker;
}

// The worker answered: it serves again, unless it is no longer to be taken.
void giveBack(PageWorkers::State& state, const std::shared_ptr<Worker>& worker)
{
    // A large bitmap's shared memory is let go at once rather than kept by an idle worker.
    if (worker->sharedBytes > (size_t(16) << 20)) {
        munmap(worker->mapped, worker->mappedBytes);
        worker->mapped = nullptr;
        worker->mappedBytes = 0;
        if (ftruncate(worker->pixels, 0) == 0)
            worker->sharedBytes = 0;
    }
    std::unique_lock lock(state.mutex);
    worker->busy = false;
    worker->path.clear();
    state.changed.notify_all();
    // Answered while shutting down, or killed by a stop that came as its answer was already
    // in: no one takes it again (a killed worker would fail the next page it was given).
    if (state.shut || worker->stopRequested || worker->refusedElsewhere) {
        state.unlist(worker);
        lock.unlock();
        endWorker(worker);
    }
}

// The page is refused for the worker that went over a limit at `level` (or crashed), and other
// workers on the same page at this size or larger, which would meet the same limit, end now.
void refusePage(PageWorkers::State& state, const std::string& path, int page, int level, DrawOutcome how)
{
    Version version = versionOf(path);
    std::lock_guard lock(state.mutex);
    auto& refused = state.refused[version][page];
    if (how == DrawOutcome::Damaged)
        refused.damaged = true;
    else
        refused.level = std::min(refused.level, level);
    for (const auto& other : state.workers)
        if (other->busy && other->path == path && other->page == page && other->level >= level &&
            !other->stopRequested) {
            other->refusedElsewhere = true;
            kill(other->pid, SIGKILL);
        }
}

// Ends the worker and answers how the page went: Stopped when it was stopped on purpose,
// else refused (unless a stand-in's limit, which says nothing of its page).
DrawOutcome failWorker(PageWorkers::State& state, const std::shared_ptr<Worker>& worker, const std::string& path,
                       int page, int level, bool refuseLevel, const char* why, bool ended)
{
    bool stopped, elsewhere;
    {
        std::lock_guard lock(state.mutex);
        elsewhere = worker->refusedElsewhere;
        stopped = !elsewhere && (worker->stopRequested || state.shut || quitting());
        state.unlist(worker);
    }
    DrawOutcome how = endWorker(worker, ended && !stopped && !elsewhere);
    if (stopped)
        return DrawOutcome::Stopped;
    if (elsewhere)
        return DrawOutcome::TooCostly;
    base::logf("PageWorkers: page %d of %s not read: %s%s", page, path.c_str(), why,
               how == DrawOutcome::Damaged ? " (it crashed)" : "");
    // A stand-in over a limit says nothing of its page at its own level: only a crash does.
    if (refuseLevel || how == DrawOutcome::Damaged)
        refusePage(state, path, page, level, how);
    return how;
}

// Waits for the next message of the worker's answer under the limits: null when it is there,
// else why it will not come (the worker ended, went over a limit or was stopped).
const char* awaitMessage(PageWorkers::State& state, Worker& worker, Clock::time_point deadline, size_t memoryBytes)
{
    for (;;) {
        pollfd ready{worker.socket, POLLIN, 0};
        int n = poll(&ready, 1, 20);
        if (n < 0 && errno != EINTR)
            return "its socket failed";
        if (n > 0)
            return nullptr;
        bool stopping = quitting();
        {
            std::lock_guard lock(state.mutex);
            if (stopping)
                worker.stopRequested = true;
            stopping = worker.stopRequested;
        }
        if (stopping)
            return "stopped";
        if (Clock::now() > deadline)
            return "over its time limit";
        // The limit holds for every worker together: the largest goes when they pass it.
        std::vector<std::pair<pid_t, size_t>> sizes;
        {
            std::lock_guard lock(state.mutex);
            for (const auto& each : state.workers)
                sizes.emplace_back(each->pid, 0);
        }
        size_t total = 0, largest = 0, own = 0;
        for (auto& [pid, resident] : sizes) {
            resident = residentBytes(pid);
            total += resident;
            largest = std::max(largest, resident);
            if (pid == worker.pid)
                own = resident;
        }
        if (own > memoryBytes || (total > memoryBytes && own == largest))
            return "over its memory limit";
    }
}

// The worker's whole answer, message by message; null with `reply` and `payload` filled, else
// why it did not come and whether the worker ended on its own.
const char* receiveAnswer(PageWorkers::State& state, Worker& worker, const PageWorkers::Limits& limits,
                          worker::Reply& reply, std::string& payload, bool& ended)
{
    const char* gone = "the worker ended (over its memory limit, or crashed)";
    auto deadline = Clock::now() + std::chrono::duration_cast<Clock::duration>(
                                       std::chrono::duration<double>(limits.secondsPerPage));
    ended = false;
    if (const char* why = awaitMessage(state, worker, deadline, limits.memoryBytes))
        return why;
    ended = true;
    ssize_t got = recv(worker.socket, &reply, sizeof reply, 0);
    if (got != ssize_t(sizeof reply) || reply.magic != worker::kMagic || reply.payloadBytes > worker::kMaxPayloadBytes)
        return gone;
    payload.reserve(reply.payloadBytes);
    while (payload.size() < reply.payloadBytes) {
        ended = false;
        if (const char* why = awaitMessage(state, worker, deadline, limits.memoryBytes))
            return why;
        ended = true;
        char piece[worker::kPieceBytes];
        got = recv(worker.socket, piece, sizeof piece, 0);
        if (got <= 0 || payload.size() + size_t(got) > reply.payloadBytes)
            return gone;
        payload.append(piece, size_t(got));
    }
    return nullptr;
}

// A new worker's first message, awaited before its first page: the time a page is given is
// the page's own, not a slow start's. Null when it came, else why not.
const char* awaitReady(PageWorkers::State& state, Worker& worker, const PageWorkers::Limits& limits)
{
    auto deadline = Clock::now() + std::chrono::duration_cast<Clock::duration>(
                                       std::chrono::duration<double>(PageWorkers::kStartSeconds));
    if (const char* why = awaitMessage(state, worker, deadline, limits.memoryBytes))
        return why;
    worker::Reply reply;
    ssize_t got = recv(worker.socket, &reply, sizeof reply, 0);
    if (got != ssize_t(sizeof reply) || reply.magic != worker::kMagic || reply.answer != worker::Answer::Ready ||
        reply.payloadBytes != 0)
        return "the worker ended as it started";
    worker.ready = true;
    return nullptr;
}

// A worker that did not start is no fault of the page: nothing is refused.
DrawOutcome failStart(PageWorkers::State& state, const std::shared_ptr<Worker>& worker, const std::string& path,
                      int page, const char* why)
{
    bool stopped, elsewhere;
    {
        std::lock_guard lock(state.mutex);
        elsewhere = worker->refusedElsewhere;
        stopped = !elsewhere && (worker->stopRequested || state.shut || quitting());
        state.unlist(worker);
    }
    endWorker(worker);
    if (stopped)
        return DrawOutcome::Stopped;
    if (elsewhere)
        return DrawOutcome::TooCostly;
    base::logf("PageWorkers: page %d of %s not read: no worker started (%s)", page, path.c_str(), why);
    return DrawOutcome::Failed;
}

} // namespace

PageWorkers::PageWorkers()
    : m_state(std::make_shared<State>())
{
}

PageWorkers& PageWorkers::shared()
{
    // Never destroyed: drawing threads reach it until the application's last stop step.
    static PageWorkers* workers = [] {
        auto* made = new PageWorkers();
        base::BackgroundWork::add("page workers", [made] { return made->shutDown(); },
                                  base::BackgroundWork::Role::ServesOthers);
        return made;
    }();
    return *workers;
}

std::string PageWorkers::workerProgram()
{
    if (const char* given = std::getenv("BRIVANTA_PDF_WORKER"); given && *given)
        return given;
    std::error_code ec;
    auto self = std::filesystem::read_symlink("/proc/self/exe", ec);
    if (!ec) {
        auto beside = self.parent_path() / "brivanta-pdf-worker";
        if (std::filesystem::exists(beside, ec))
            return beside.string();
    }
#ifdef BRIVANTA_PDF_WORKER_BUILT
    return BRIVANTA_PDF_WORKER_BUILT;
#else
    return "brivanta-pdf-worker";
#endif
}

void PageWorkers::setLimits(const Limits& limits)
{
    std::lock_guard lock(m_state->mutex);
    m_state->limits = limits;
}

PageWorkers::Limits PageWorkers::limits() const
{
    std::lock_guard lock(m_state->mutex);
    return m_state->limits;
}

std::vector<pid_t> PageWorkers::workerIds() const
{
    std::lock_guard lock(m_state->mutex);
    std::vector<pid_t> ids;
    for (const auto& worker : m_state->workers)
        ids.push_back(worker->pid);
    return ids;
}

std::vector<pid_t> PageWorkers::busyWorkerIds() const
{
    std::lock_guard lock(m_state->mutex);
    std::vector<pid_t> ids;
    for (const auto& worker : m_state->workers)
        if (worker->busy)
            ids.push_back(worker->pid);
    return ids;
}

int PageWorkers::levelOf(double pixelsPerPoint)
{
    if (!(pixelsPerPoint > 0) || !std::isfinite(pixelsPerPoint))
        return 0;
    return int(std::lround(std::clamp(std::log2(pixelsPerPoint), -64.0, 64.0)));
}

DrawOutcome PageWorkers::refusal(const std::string& path, int number, int level) const
{
    Version version = versionOf(path);
    std::lock_guard lock(m_state->mutex);
    auto file = m_state->refused.find(version);
    if (file == m_state->refused.end())
        return DrawOutcome::Drawn;
    auto page = file->second.find(number);
    if (page == file->second.end())
        return DrawOutcome::Drawn;
    if (page->second.damaged)
        return DrawOutcome::Damaged;
    return level >= page->second.level ? DrawOutcome::TooCostly : DrawOutcome::Drawn;
}

void PageWorkers::startAhead()
{
    State& state = *m_state;
    {
        std::lock_guard lock(state.mutex);
        if (state.shut || quitting() || !state.workers.empty() || state.starting > 0)
            return;
        ++state.starting;
    }
    // Starting is a spawn, quick; the worker then loads its libraries on its own.
    std::string program;
    size_t memory, shared;
    {
        std::lock_guard lock(state.mutex);
        program = state.program;
        memory = state.limits.memoryBytes;
        shared = state.sharedAhead;
    }
    auto started = startWorker(program, memory, shared);
    std::unique_lock lock(state.mutex);
    --state.starting;
    state.changed.notify_all();
    if (!started)
        return;
    if (state.shut) {
        lock.unlock();
        endWorker(started);
        return;
    }
    state.workers.push_back(started);
}

void PageWorkers::stopDocument(const std::string& path)
{
    std::lock_guard lock(m_state->mutex);
    for (const auto& worker : m_state->workers)
        if (worker->busy && worker->path == path) {
            worker->stopRequested = true;
            kill(worker->pid, SIGKILL);
        }
}

size_t PageWorkers::shutDown()
{
    std::vector<std::shared_ptr<Worker>> idle;
    size_t drawing = 0;
    {
        std::lock_guard lock(m_state->mutex);
        m_state->shut = true;
        for (const auto& worker : m_state->workers) {
            if (worker->busy) {
                // Its caller sees it end, reaps it and answers Stopped.
                worker->stopRequested = true;
                kill(worker->pid, SIGKILL);
                ++drawing;
            } else {
                idle.push_back(worker);
            }
        }
        for (const auto& worker : idle)
            m_state->unlist(worker);
    }
    for (const auto& worker : idle)
        endWorker(worker);
    return drawing;
}

void PageWorkers::resetForTesting()
{
    shutDown();
    std::unique_lock lock(m_state->mutex);
    // Callers still drawing take their workers out on their own.
    m_state->changed.wait(lock, [&] { return m_state->workers.empty() && m_state->starting == 0; });
    m_state->shut = false;
    m_state->refused.clear();
    m_state->pagesFailing.clear();
    m_state->limits = Limits{};
    m_state->program = workerProgram();
}

PageWorkers::Answered PageWorkers::exchange(worker::Request request, const std::string& path,
                                            const std::optional<std::string>& password, int level,
                                            bool refuseLevel,
                                            const std::function<bool(Worker&, worker::Request&)>& prepare,
                                            const std::function<void(Worker&)>& take)
{
    Answered result;
    if (path.size() > worker::kMaxPathBytes || (password && password->size() > worker::kMaxPathBytes))
        return result;
    if (DrawOutcome refused = refusal(path, request.page, level); refused != DrawOutcome::Drawn) {
        result.outcome = refused;
        return result;
    }
    State& state = *m_state;
    Limits limits;
    auto worker = takeWorker(state, path, request.page, level, limits, result.outcome);
    if (!worker)
        return result;
    if (!worker->ready) {
        if (const char* why = awaitReady(state, *worker, limits)) {
            result.outcome = failStart(state, worker, path, request.page, why);
            return result;
        }
    }
    result.outcome = DrawOutcome::Failed;

    request.pathBytes = uint32_t(path.size());
    request.hasPassword = password ? 1 : 0;
    request.passwordBytes = password ? uint32_t(password->size()) : 0;
    request.sharedBytes = worker->sharedBytes;
    if (prepare && !prepare(*worker, request)) {
        giveBack(state, worker);
        return result;
    }
    std::string message(reinterpret_cast<const char*>(&request), sizeof request);
    message += path;
    if (password)
        message += *password;
    if (send(worker->socket, message.data(), message.size(), MSG_NOSIGNAL) != ssize_t(message.size())) {
        result.outcome = failWorker(state, worker, path, request.page, level, refuseLevel, "the worker had gone", true);
        return result;
    }
    worker::Reply reply;
    bool ended = false;
    if (const char* why = receiveAnswer(state, *worker, limits, reply, result.payload, ended)) {
        result.payload.clear();
        result.outcome = failWorker(state, worker, path, request.page, level, refuseLevel, why, ended);
        return result;
    }
    result.answer = reply.answer;
    result.outcome = reply.answer == worker::Answer::Done ? DrawOutcome::Drawn : DrawOutcome::Failed;
    if (result.outcome == DrawOutcome::Drawn && take)
        take(*worker);
    giveBack(state, worker);
    return result;
}

PageWorkers::Answered PageWorkers::ask(worker::Ask ask, const std::string& path,
                                       const std::optional<std::string>& password, int number)
{
    {
        std::lock_guard lock(m_state->mutex);
        ++m_state->asked[ask];
    }
    worker::Request request;
    request.ask = ask;
    request.page = ask == worker::Ask::Open ? 0 : number;
    bool refusedBefore = refusal(path, request.page, INT_MIN) != DrawOutcome::Drawn;
    Answered answered = exchange(request, path, password, INT_MIN, true, {}, {});
    if (ask == worker::Ask::Page && !refusedBefore &&
        (answered.outcome == DrawOutcome::TooCostly || answered.outcome == DrawOutcome::Drawn)) {
        Version version = versionOf(path);
        std::lock_guard lock(m_state->mutex);
        int& inRow = m_state->pagesFailing[version];
        inRow = answered.outcome == DrawOutcome::TooCostly ? inRow + 1 : 0;
    }
    return answered;
}

int PageWorkers::questionsAsked(worker::Ask ask) const
{
    std::lock_guard lock(m_state->mutex);
    auto found = m_state->asked.find(ask);
    return found == m_state->asked.end() ? 0 : found->second;
}

bool PageWorkers::pagesKeepFailing(const std::string& path) const
{
    Version version = versionOf(path);
    std::lock_guard lock(m_state->mutex);
    auto found = m_state->pagesFailing.find(version);
    return found != m_state->pagesFailing.end() && found->second >= kPagesFailingInRow;
}

DrawOutcome PageWorkers::draw(const std::string& path, const std::optional<std::string>& password, int number,
                              gfx::Context& context, const gfx::AffineTransform& pageToContext, Drawing drawing,
                              Backdrop backdrop)
{
    cairo_t* cr = context.cairo();
    cairo_surface_t* target = cairo_get_target(cr);
    if (cairo_surface_get_type(target) != CAIRO_SURFACE_TYPE_IMAGE ||
        cairo_image_surface_get_format(target) != CAIRO_FORMAT_ARGB32)
        return DrawOutcome::Failed;
    cairo_surface_flush(target);
    Region region = regionOf(cr, target);
    if (region.width <= 0 || region.height <= 0)
        return DrawOutcome::Drawn;

    worker::Request request;
    request.ask = worker::Ask::Draw;
    request.page = number;
    request.onPaper = backdrop == Backdrop::Paper;
    // The worker draws into a bitmap like ours, of the same pixels, scale, offset, transform
    // and clip: the page draws there exactly as it would here.
    int width = cairo_image_surface_get_width(target), height = cairo_image_surface_get_height(target);
    request.width = width;
    request.height = height;
    double sx = 1, sy = 1, ox = 0, oy = 0;
    cairo_surface_get_device_scale(target, &sx, &sy);
    cairo_surface_get_device_offset(target, &ox, &oy);
    request.deviceScale[0] = sx, request.deviceScale[1] = sy;
    request.deviceOffset[0] = ox, request.deviceOffset[1] = oy;
    request.region[0] = region.x, request.region[1] = region.y;
    request.region[2] = region.width, request.region[3] = region.height;
    cairo_matrix_t ctm;
    cairo_get_matrix(cr, &ctm);
    double m[6] = {ctm.xx, ctm.yx, ctm.xy, ctm.yy, ctm.x0, ctm.y0};
    std::copy(m, m + 6, request.ctm);
    double p[6] = {pageToContext.a, pageToContext.b, pageToContext.c, pageToContext.d, pageToContext.tx, pageToContext.ty};
    std::copy(p, p + 6, request.pageToContext);
    double x1, y1, x2, y2;
    cairo_clip_extents(cr, &x1, &y1, &x2, &y2);
    request.clip[0] = x1, request.clip[1] = y1, request.clip[2] = x2 - x1, request.clip[3] = y2 - y1;
    // The page's pixels per point: the transform's scale, then the context's, then the device's.
    double area = std::abs(pageToContext.a * pageToContext.d - pageToContext.b * pageToContext.c) *
                  std::abs(ctm.xx * ctm.yy - ctm.xy * ctm.yx) * std::abs(sx * sy);
    int level = levelOf(std::sqrt(area));

    size_t bytes = size_t(width) * size_t(height) * 4;
    auto answered = exchange(
        request, path, password, level, drawing == Drawing::Page,
        [this, bytes](Worker& worker, worker::Request& sent) {
            if (!shareAtLeast(worker, bytes))
                return false;
            sent.sharedBytes = worker.sharedBytes;
            std::lock_guard lock(m_state->mutex);
            m_state->sharedAhead = std::clamp(worker.sharedBytes, m_state->sharedAhead, size_t(16) << 20);
            return true;
        },
        [&](Worker& worker) {
            // The worker's pixels over the clipped region, one to one.
            // On paper every pixel is opaque: told so, the drawing library copies them.
            cairo_format_t format = backdrop == Backdrop::Paper ? CAIRO_FORMAT_RGB24 : CAIRO_FORMAT_ARGB32;
            cairo_surface_t* picture =
                cairo_image_surface_create_for_data(worker.mapped, format, width, height, width * 4);
            cairo_save(cr);
            cairo_identity_matrix(cr);
            cairo_scale(cr, 1 / sx, 1 / sy);
            cairo_translate(cr, -ox, -oy);
            cairo_rectangle(cr, region.x, region.y, region.width, region.height);
            cairo_clip(cr);
            cairo_set_source_surface(cr, picture, 0, 0);
            cairo_pattern_set_filter(cairo_get_source(cr), CAIRO_FILTER_NEAREST);
            cairo_paint(cr);
            cairo_restore(cr);
            cairo_surface_finish(picture);
            cairo_surface_destroy(picture);
        });
    return answered.outcome;
}

} // namespace pdf
