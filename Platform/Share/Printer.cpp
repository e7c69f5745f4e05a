#include "Platform/Share/Printer.h"

#include "Platform/Base/Digest.h"
#include "Platform/Base/FileManager.h"
#include "Platform/Base/Log.h"
#include "Platform/Base/Paths.h"
#include "Platform/Base/TemporaryFiles.h"
#include "Platform/Graphics/Context.h"
#include "Platform/Share/Program.h"

#include <filesystem>
#include <mutex>

namespace share {

namespace {
std::mutex g_sharedMutex;
std::shared_ptr<Printer> g_shared;

std::string safeJobName(const std::string& job)
{
    std::string out;
    for (char c : job)
        out += (c == '/' || c == '\0') ? '_' : c;
    if (out.empty() || out == "." || out == "..")
        out = "print";
    if (out.size() < 4 || out.compare(out.size() - 4, 4, ".pdf") != 0)
        out += ".pdf";
    return out;
}
} // namespace

Printer& Printer::shared()
{
    std::lock_guard lock(g_sharedMutex);
    if (!g_shared)
        g_shared = std::make_shared<Printer>();
    return *g_shared;
}

void Printer::setShared(std::shared_ptr<Printer> printer)
{
    std::lock_guard lock(g_sharedMutex);
    g_shared = std::move(printer);
}

PrintResult Printer::printFile(const std::string& pdfPath, const std::string& jobName, bool duplex)
{
    PrintResult result;
    if (findProgram("lp")) {
        std::vector<std::string> argv{"lp"};
        if (duplex) {
            argv.push_back("-o");
            argv.push_back("sides=two-sided-long-edge");
        }
        argv.push_back("-t");
        argv.push_back(jobName);
        argv.push_back("--");
        std::error_code error;
        std::string whole = std::filesystem::absolute(pdfPath, error).lexically_normal().string();
        argv.push_back(error ? pdfPath : whole);
        auto run = runProgram(argv);
        if (run.started && run.exitCode == 0) {
            result.printed = true;
            return result;
        }
        base::logf("Printer: lp failed (%d); the file is kept instead", run.exitCode);
    }
    // A folder of its own for each kept print, named as a mail's is: a later print never
    // replaces an earlier one, and the file keeps the job's name.
    std::string folder = base::Paths::home() + "/Outbox/" + base::Digest::uuidString();
    if (!base::FileManager::createDirectories(folder, 0700))
        return result;
    std::string target = folder + "/" + safeJobName(jobName);
    if (base::FileManager::copyFileAtomically(pdfPath, target, 0600))
        result.savedPath = target;
    else
        base::FileManager::removeItem(folder);
    return result;
}

PrintResult Printer::printImages(const std::vector<gfx::Image>& images, const std::string& jobName, bool duplex)
{
    auto temp = base::createTemporaryFile("print", ".pdf");
    if (!temp || images.empty())
        return {};
    {
        auto pdf = gfx::Context::createPdf(*temp);
        if (!pdf)
            return {};
        for (const auto& image : images) {
            pdf->beginPage(image.size());
            pdf->drawImage(image, gfx::Rect(gfx::Point{}, image.size()));
            pdf->endPage();
        }
        if (pdf->close())
            return {};
    }
    PrintResult result = printFile(*temp, jobName, duplex);
    base::FileManager::removeItem(*temp);
    return result;
}

} // namespace share
