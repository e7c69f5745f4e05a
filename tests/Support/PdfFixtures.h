#pragma once
// PDF files written by hand for the reader's tests and benchmarks: every object, annotation
// and destination is where the test says, and qpdf makes the rotated and encrypted copies.
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace pdffix {

// Objects numbered from 1, written with a correct cross-reference table.
class Writer {
public:
    int reserve()
    {
        m_objects.emplace_back();
        return int(m_objects.size());
    }
    int add(std::string body)
    {
        m_objects.push_back(std::move(body));
        return int(m_objects.size());
    }
    void set(int id, std::string body) { m_objects[size_t(id - 1)] = std::move(body); }
    // A stream object of the given dictionary entries (without /Length) and data.
    static std::string stream(const std::string& entries, const std::string& data)
    {
        return "<< " + entries + " /Length " + std::to_string(data.size()) + " >>\nstream\n" + data + "\nendstream";
    }
    // `padding` bytes of comment after the header make a file of a chosen size.
    std::string finish(int root, size_t padding = 0) const
    {
        std::string out = "%PDF-1.7\n%\xE2\xE3\xCF\xD3\n";
        if (padding) {
            out += "%";
            out.append(padding > 2 ? padding - 2 : 0, ' ');
            out += "\n";
        }
        std::vector<size_t> offsets;
        for (size_t i = 0; i < m_objects.size(); ++i) {
            offsets.push_back(out.size());
            out += std::to_string(i + 1) + " 0 obj\n" + m_objects[i] + "\nendobj\n";
        }
        size_t xref = out.size();
        out += "xref\n0 " + std::to_string(m_objects.size() + 1) + "\n0000000000 65535 f \n";
        for (size_t offset : offsets) {
            char line[32];
            std::snprintf(line, sizeof line, "%010zu 00000 n \n", offset);
            out += line;
        }
        out += "trailer\n<< /Size " + std::to_string(m_objects.size() + 1) + " /Root " + std::to_string(root) +
               " 0 R >>\nstartxref\n" + std::to_string(xref) + "\n%%EOF\n";
        return out;
    }

private:
    std::vector<std::string> m_objects;
};

inline void writeFile(const std::filesystem::path& path, const std::string& bytes)
{
    std::filesystem::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << bytes;
}

// Runs a program with an argument list (no shell); true when it exits 0.
inline bool run(std::vector<std::string> argv)
{
    std::vector<char*> args;
    for (auto& a : argv)
        args.push_back(a.data());
    args.push_back(nullptr);
    pid_t child = ::fork();
    if (child == 0) {
        std::FILE* null = std::fopen("/dev/null", "w");
        if (null) {
            ::dup2(fileno(null), 1);
            ::dup2(fileno(null), 2);
        }
        ::execvp(args[0], args.data());
        _exit(127);
    }
    int status = 0;
    if (child < 0 || ::waitpid(child, &status, 0) != child)
        return false;
    // qpdf exits 3 for warnings with a good result.
    return WIFEXITED(status) && (WEXITSTATUS(status) == 0 || (argv[0] == "qpdf" && WEXITSTATUS(status) == 3));
}

struct Box {
    double x1, y1, x2, y2;
};

// One fill colour per link area, so a test can find a drawn link by its colour.
struct LinkSpec {
    Box rect;
    std::string action; // the annotation's entries after /Rect: "/A << ... >>" or "/Dest [...]"
    double r = 0, g = 0, b = 0;
};

struct PagePlan {
    Box media{0, 0, 612, 792};
    std::optional<Box> crop;
    int rotate = 0;
    std::string label;          // large text near the top
    bool bodyText = true;       // lines of text under the label
    std::vector<LinkSpec> links; // in /Annots order
    int imageRef = 0;           // an image XObject drawn over the whole page
};

inline std::string num(double v)
{
    char buf[32];
    std::snprintf(buf, sizeof buf, "%g", v);
    return buf;
}

inline std::string boxText(const Box& b)
{
    return "[" + num(b.x1) + " " + num(b.y1) + " " + num(b.x2) + " " + num(b.y2) + "]";
}

// Pages whose destinations may name other pages as "@N" (page N's object) inside action or
// Dest texts; extra catalogue entries (a /Names tree) may do the same through `catalogExtra`.
struct DocumentPlan {
    std::vector<PagePlan> pages;
    std::string catalogExtra;
    // Objects of their own (name-tree nodes) that may name pages as "@N"; referred to as "#K".
    std::vector<std::string> extraObjects;
    // A JPEG drawn on every page that asks for it (imageRef 1).
    std::string jpeg;
    int jpegWidth = 0, jpegHeight = 0;
    // Every page holds its own copy of the picture (as scanned catalogues do).
    bool jpegPerPage = false;
};

inline std::string build(const DocumentPlan& plan, size_t padding = 0)
{
    Writer w;
    int catalog = w.reserve();
    int pagesId = w.reserve();
    int font = w.add("<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica >>");
    int image = 0;
    auto addImage = [&] {
        return w.add(Writer::stream("/Type /XObject /Subtype /Image /Width " + std::to_string(plan.jpegWidth) +
                                         " /Height " + std::to_string(plan.jpegHeight) +
                                         " /ColorSpace /DeviceRGB /BitsPerComponent 8 /Filter /DCTDecode",
                                     plan.jpeg));
    };
    if (!plan.jpeg.empty() && !plan.jpegPerPage)
        image = addImage();
    std::vector<int> pageIds;
    for (size_t i = 0; i < plan.pages.size(); ++i)
        pageIds.push_back(w.reserve());
    std::vector<int> extraIds;
    for (size_t i = 0; i < plan.extraObjects.size(); ++i)
        extraIds.push_back(w.reserve());
    auto resolve = [&](std::string text) {
        for (size_t n = plan.pages.size(); n >= 1; --n) {
            std::string key = "@" + std::to_string(n);
            for (size_t at; (at = text.find(key)) != std::string::npos;)
                text.replace(at, key.size(), std::to_string(pageIds[n - 1]) + " 0 R");
        }
        for (size_t k = plan.extraObjects.size(); k >= 1; --k) {
            std::string key = "#" + std::to_string(k);
            for (size_t at; (at = text.find(key)) != std::string::npos;)
                text.replace(at, key.size(), std::to_string(extraIds[k - 1]) + " 0 R");
        }
        return text;
    };
    for (size_t i = 0; i < plan.extraObjects.size(); ++i)
        w.set(extraIds[i], resolve(plan.extraObjects[i]));

    std::string kids;
    for (size_t i = 0; i < plan.pages.size(); ++i) {
        const PagePlan& p = plan.pages[i];
        if (!plan.jpeg.empty() && plan.jpegPerPage)
            image = addImage();
        std::string content;
        if (p.imageRef && image) {
            content += "q " + num(p.media.x2 - p.media.x1) + " 0 0 " + num(p.media.y2 - p.media.y1) + " " +
                       num(p.media.x1) + " " + num(p.media.y1) + " cm /Im1 Do Q\n";
        }
        for (const auto& link : p.links) {
            content += num(link.r) + " " + num(link.g) + " " + num(link.b) + " rg " + num(link.rect.x1) + " " +
                       num(link.rect.y1) + " " + num(link.rect.x2 - link.rect.x1) + " " +
                       num(link.rect.y2 - link.rect.y1) + " re f\n";
        }
        if (!p.label.empty()) {
            content += "0 0 0 rg BT /F1 36 Tf " + num(p.media.x1 + 72) + " " + num(p.media.y2 - 100) + " Td (" +
                       p.label + ") Tj ET\n";
            // Lines of body text, so a page reads like a document.
            for (int line = 0; p.bodyText && line < 30; ++line)
                content += "BT /F1 11 Tf " + num(p.media.x1 + 72) + " " + num(p.media.y2 - 160 - line * 16) +
                           " Td (Line " + std::to_string(line + 1) +
                           " of the sample text for the reader, set in a plain face.) Tj ET\n";
        }
        int contents = w.add(Writer::stream("", content));
        std::string annots;
        for (const auto& link : p.links) {
            int a = w.add(resolve("<< /Type /Annot /Subtype /Link /Border [0 0 0] /Rect " + boxText(link.rect) +
                                  " " + link.action + " >>"));
            annots += std::to_string(a) + " 0 R ";
        }
        std::string page = "<< /Type /Page /Parent " + std::to_string(pagesId) + " 0 R /MediaBox " + boxText(p.media);
        if (p.crop)
            page += " /CropBox " + boxText(*p.crop);
        if (p.rotate)
            page += " /Rotate " + std::to_string(p.rotate);
        page += " /Resources << /Font << /F1 " + std::to_string(font) + " 0 R >>";
        if (image)
            page += " /XObject << /Im1 " + std::to_string(image) + " 0 R >>";
        page += " >> /Contents " + std::to_string(contents) + " 0 R";
        if (!annots.empty())
            page += " /Annots [" + annots + "]";
        page += " >>";
        w.set(pageIds[i], page);
        kids += std::to_string(pageIds[i]) + " 0 R ";
    }
    w.set(pagesId, "<< /Type /Pages /Kids [" + kids + "] /Count " + std::to_string(plan.pages.size()) + " >>");
    w.set(catalog, resolve("<< /Type /Catalog /Pages " + std::to_string(pagesId) + " 0 R " + plan.catalogExtra + " >>"));
    return w.finish(catalog, padding);
}

// A one-page PDF of exactly `size` bytes (at least a few hundred), its xref intact.
inline std::string pdfOfSize(size_t size)
{
    DocumentPlan plan;
    PagePlan p;
    p.label = "Sized";
    plan.pages = {p};
    size_t padding = 0;
    std::string bytes = build(plan);
    for (int round = 0; round < 4 && bytes.size() != size; ++round) {
        padding += size - bytes.size();
        bytes = build(plan, padding);
    }
    return bytes;
}

// Plain text pages "Page N" on letter paper.
inline std::string textPdf(int pages, Box media = {0, 0, 612, 792})
{
    DocumentPlan plan;
    for (int i = 1; i <= pages; ++i) {
        PagePlan p;
        p.media = media;
        p.label = "Page " + std::to_string(i);
        plan.pages.push_back(p);
    }
    return build(plan);
}

// Areas and targets of the link fixture's first page (letter, upright).
inline const Box kUriBox{72, 600, 272, 650};      // www.example.org/x
inline const Box kNamedBox{72, 480, 272, 530};    // named "chapter3" through the Names tree: page 3
inline const Box kIntBox{72, 360, 272, 410};      // [4 /XYZ ...]: page 5
inline const Box kLaunchBox{72, 240, 272, 290};   // a launch action: no target
inline const Box kUnderBox{350, 400, 550, 600};   // the earlier of two overlapping links
inline const Box kOverBox{400, 450, 600, 650};    // the later one
inline const Box kNamedDestsBox{350, 100, 550, 200}; // an old-style /Dests name: page 2

// Six letter pages; the first holds the links above. The name tree has a root with Kids whose
// Limits must be honoured to reach "chapter3".
inline std::string linkPdf()
{
    DocumentPlan plan;
    PagePlan first;
    first.label = "Links";
    first.bodyText = false;
    first.links = {
        {kUriBox, "/A << /S /URI /URI (www.example.org/x) >>", 1, 0, 0},
        {kNamedBox, "/A << /S /GoTo /D (chapter3) >>", 0, 0.6, 0},
        {kIntBox, "/Dest [4 /XYZ null null null]", 0, 0, 1},
        {kLaunchBox, "/A << /S /Launch /F (evil.sh) >>", 0.5, 0.5, 0},
        {kUnderBox, "/A << /S /URI /URI (http://under.example.org/) >>", 1, 0.5, 0},
        {kOverBox, "/A << /S /URI /URI (http://over.example.org/) >>", 0.5, 0, 0.5},
        {kNamedDestsBox, "/Dest /olddest", 0, 0.5, 0.5},
    };
    plan.pages.push_back(first);
    for (int i = 2; i <= 6; ++i) {
        PagePlan p;
        p.label = "Page " + std::to_string(i);
        plan.pages.push_back(p);
    }
    // #1 root, #2 and #3 kids: "chapter3" sits in the second kid, beyond the first's limits.
    plan.extraObjects = {
        "<< /Kids [#2 #3] >>",
        "<< /Limits [(alpha) (beta)] /Names [(alpha) [@2 /Fit] (beta) [@4 /Fit]] >>",
        "<< /Limits [(chapter1) (chapter9)] /Names [(chapter1) [@1 /Fit] (chapter3) << /D [@3 /Fit] >>] >>",
    };
    plan.catalogExtra = "/Names << /Dests #1 >> /Dests << /olddest [@2 /Fit] >>";
    return build(plan);
}

// A copy of `in` with every page turned by `degrees` (qpdf); false when qpdf failed.
inline bool rotatedCopy(const std::filesystem::path& in, const std::filesystem::path& out, int degrees)
{
    return run({"qpdf", "--rotate=+" + std::to_string(degrees) + ":1-z", in.string(), out.string()});
}

// AES-256; an empty user password makes an owner-password-only document.
inline bool encryptedCopy(const std::filesystem::path& in, const std::filesystem::path& out,
                          const std::string& userPassword, const std::string& ownerPassword)
{
    return run({"qpdf", "--encrypt", userPassword, ownerPassword, "256", "--", in.string(), out.string()});
}

} // namespace pdffix
