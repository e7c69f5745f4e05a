#pragma once
#include "Platform/Pdf/Document.h"
#include "Platform/Pdf/PageWorkerProtocol.h"

#include <cstddef>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <sys/types.h>
#include <vector>

namespace pdf {

// Every reading of a PDF happens in worker processes, never in this one: the PDF library cannot
// be stopped once it reads, and a file from outside can make it take gigabytes, draw for ever or
// crash. A worker runs under an address-space limit and a time limit per request and hands
// pixels back through shared memory; one over a limit, crashed or hung is ended and replaced.
// Any thread.
class PageWorkers {
public:
    struct Limits {
        // Each worker's address space, and the resident size of all of them together.
        size_t memoryBytes = size_t(1) << 30;
        double secondsPerPage = 10;
    };
    // Workers kept running at most; a caller beyond them waits for one.
    static constexpr int kMaxWorkers = 3;
    // A new worker that has not loaded its libraries by then is taken as unable to start.
    static constexpr double kStartSeconds = 60;

    static PageWorkers& shared();

    // One question about the document at `path` (page `number` from 1, where it matters).
    struct Answered {
        DrawOutcome outcome = DrawOutcome::Failed; // Drawn when the worker answered
        worker::Answer answer = worker::Answer::NotRead;
        std::string payload;
    };
    Answered ask(worker::Ask ask, const std::string& path, const std::optional<std::string>& password, int number);

    // Draws page `number` (from 1) of the file under `pageToContext` into the context's bitmap,
    // within its clip, exactly as the worker would draw it into a bitmap of its own. A drawing
    // over a limit refuses the page at its level and above; a stand-in's (a tile drawn again
    // at a lower level) refuses nothing but itself.
    // On paper, the clip's pixels become white paper with the page drawn on it, whatever lay
    // there: one copy of opaque pixels rather than a fill and a blend.
    enum class Drawing { Page, StandIn };
    enum class Backdrop { Clear, Paper };
    DrawOutcome draw(const std::string& path, const std::optional<std::string>& password, int number,
                     gfx::Context& context, const gfx::AffineTransform& pageToContext,
                     Drawing drawing = Drawing::Page, Backdrop backdrop = Backdrop::Clear);

    // The zoom level a drawing at `pixelsPerPoint` belongs to: each doubling is a level.
    static int levelOf(double pixelsPerPoint);
    // A page that went over a limit at a level is refused at that level and above while the
    // file is unchanged; one that crashed its worker is refused at every level (Damaged). Page
    // 0 is the document's opening.
    DrawOutcome refusal(const std::string& path, int number, int level) const;

    // Pages in a row whose description passed a worker's limits before a page of this file
    // was had again; past kPagesFailingInRow, the file's pages keep failing.
    static constexpr int kPagesFailingInRow = 3;
    bool pagesKeepFailing(const std::string& path) const;

    // Starts one worker now when none runs, without waiting for it.
    void startAhead();
    // Ends at once the work on every page of this file; its callers get Stopped.
    void stopDocument(const std::string& path);
    // Ends every worker; later work answers Stopped. Answers how many were busy.
    size_t shutDown();

    void setLimits(const Limits& limits);
    Limits limits() const;
    // The questions of this kind asked of the workers so far (tests count them).
    int questionsAsked(worker::Ask ask) const;
    // The workers running now, and those of them at work (tests measure them).
    std::vector<pid_t> workerIds() const;
    std::vector<pid_t> busyWorkerIds() const;
    // Takes work again after shutDown(), forgets refused pages and finds the worker program
    // again (tests).
    void resetForTesting();
    // The worker program: $BRIVANTA_PDF_WORKER, else beside this executable, else where the
    // build put it.
    static std::string workerProgram();

    struct State;
    struct Worker;

private:
    PageWorkers();
    Answered exchange(worker::Request request, const std::string& path, const std::optional<std::string>& password,
                      int level, bool refuseLevel, const std::function<bool(Worker&, worker::Request&)>& prepare,
                      const std::function<void(Worker&)>& take);
    std::shared_ptr<State> m_state;
};

} // namespace pdf
