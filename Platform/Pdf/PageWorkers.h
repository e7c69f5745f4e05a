#pragma once
#include "Platform/Pdf/Document.h"

#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <sys/types.h>
#include <vector>

namespace pdf {

// Pages are drawn by worker processes, never in this one: the drawing library cannot be stopped
// once it draws, and a file from outside can make it take gigabytes or draw for ever. A worker
// runs under a memory limit and a time limit per page and hands its pixels back through shared
// memory; one over a limit, crashed or hung is ended and replaced. Any thread.
class PageWorkers {
public:
    struct Limits {
        // Each worker's address space, and the resident size of all of them together.
        size_t memoryBytes = size_t(1) << 30;
        double secondsPerPage = 10;
    };
    // Workers kept running at most; a caller beyond them waits for one.
    static constexpr int kMaxWorkers = 3;

    static PageWorkers& shared();

    // Draws page `number` (from 1) of the file under `pageToContext` into the context's bitmap,
    // within its clip, exactly as Page::draw would in this process.
    DrawOutcome draw(const std::string& path, const std::optional<std::string>& password, int number,
                     gfx::Context& context, const gfx::AffineTransform& pageToContext);

    // A page that went over a limit once is not drawn again while the file is unchanged.
    bool wasRefused(const std::string& path, int number) const;

    // Ends at once the drawing of every page of this file; its callers get Stopped.
    void stopDocument(const std::string& path);
    // Ends every worker; later drawing answers Stopped. Answers how many were drawing.
    size_t shutDown();

    void setLimits(const Limits& limits);
    Limits limits() const;
    // The workers running now (tests measure them).
    std::vector<pid_t> workerIds() const;
    // Takes work again after shutDown() and forgets refused pages (tests).
    void resetForTesting();
    // The worker program: $BRIVANTA_PDF_WORKER, else beside this executable, else where the
    // build put it.
    static std::string workerProgram();

    struct State;

private:
    PageWorkers();
    std::shared_ptr<State> m_state;
};

} // namespace pdf
