#pragma once
// Office files made at test time with Python's zipfile: the smallest parts each format needs,
// with the given paragraphs (document), cells (spreadsheet, one column) or slide titles.
#include "tests/Support/PdfFixtures.h"

#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace officefix {

enum class Kind { Document, Spreadsheet, Presentation };

inline const char* kScript = R"PY(
import sys, zipfile
from xml.sax.saxutils import escape
kind, out, texts = sys.argv[1], sys.argv[2], sys.argv[3:]
ct = '<?xml version="1.0" encoding="UTF-8" standalone="yes"?><Types xmlns="http://schemas.openxmlformats.org/package/2006/content-types"><Default Extension="rels" ContentType="application/vnd.openxmlformats-package.relationships+xml"/><Default Extension="xml" ContentType="application/xml"/>%s</Types>'
rel = '<?xml version="1.0" encoding="UTF-8" standalone="yes"?><Relationships xmlns="http://schemas.openxmlformats.org/package/2006/relationships">%s</Relationships>'
def r(i, t, target): return '<Relationship Id="%s" Type="http://schemas.openxmlformats.org/officeDocument/2006/relationships/%s" Target="%s"/>' % (i, t, target)
def o(p, t): return '<Override PartName="%s" ContentType="application/vnd.openxmlformats-officedocument.%s"/>' % (p, t)
z = zipfile.ZipFile(out, 'w', zipfile.ZIP_DEFLATED)
if kind == 'document':
    z.writestr('[Content_Types].xml', ct % o('/word/document.xml', 'wordprocessingml.document.main+xml'))
    z.writestr('_rels/.rels', rel % r('rId1', 'officeDocument', 'word/document.xml'))
    body = ''.join('<w:p><w:r><w:t>%s</w:t></w:r></w:p>' % escape(t) if t != '\f' else '<w:p><w:r><w:br w:type="page"/></w:r></w:p>' for t in texts)
    z.writestr('word/document.xml', '<?xml version="1.0" encoding="UTF-8" standalone="yes"?><w:document xmlns:w="http://schemas.openxmlformats.org/wordprocessingml/2006/main"><w:body>%s</w:body></w:document>' % body)
elif kind == 'spreadsheet':
    z.writestr('[Content_Types].xml', ct % (o('/xl/workbook.xml', 'spreadsheetml.sheet.main+xml') + o('/xl/worksheets/sheet1.xml', 'spreadsheetml.worksheet+xml')))
    z.writestr('_rels/.rels', rel % r('rId1', 'officeDocument', 'xl/workbook.xml'))
    z.writestr('xl/_rels/workbook.xml.rels', rel % r('rId1', 'worksheet', 'worksheets/sheet1.xml'))
    z.writestr('xl/workbook.xml', '<?xml version="1.0" encoding="UTF-8" standalone="yes"?><workbook xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main" xmlns:r="http://schemas.openxmlformats.org/officeDocument/2006/relationships"><sheets><sheet name="Sheet1" sheetId="1" r:id="rId1"/></sheets></workbook>')
    rows = ''.join('<row r="%d"><c r="A%d" t="inlineStr"><is><t>%s</t></is></c></row>' % (i + 1, i + 1, escape(t)) for i, t in enumerate(texts))
    z.writestr('xl/worksheets/sheet1.xml', '<?xml version="1.0" encoding="UTF-8" standalone="yes"?><worksheet xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main"><sheetData>%s</sheetData></worksheet>' % rows)
else:
    ns = 'xmlns:a="http://schemas.openxmlformats.org/drawingml/2006/main" xmlns:r="http://schemas.openxmlformats.org/officeDocument/2006/relationships" xmlns:p="http://schemas.openxmlformats.org/presentationml/2006/main"'
    slides = ''.join(o('/ppt/slides/slide%d.xml' % (i + 1), 'presentationml.slide+xml') for i in range(len(texts)))
    z.writestr('[Content_Types].xml', ct % (o('/ppt/presentation.xml', 'presentationml.presentation.main+xml') + o('/ppt/slideMasters/slideMaster1.xml', 'presentationml.slideMaster+xml') + o('/ppt/slideLayouts/slideLayout1.xml', 'presentationml.slideLayout+xml') + slides))
    z.writestr('_rels/.rels', rel % r('rId1', 'officeDocument', 'ppt/presentation.xml'))
    z.writestr('ppt/_rels/presentation.xml.rels', rel % (r('rId1', 'slideMaster', 'slideMasters/slideMaster1.xml') + ''.join(r('rId%d' % (i + 2), 'slide', 'slides/slide%d.xml' % (i + 1)) for i in range(len(texts)))))
    ids = ''.join('<p:sldId id="%d" r:id="rId%d"/>' % (256 + i, i + 2) for i in range(len(texts)))
    z.writestr('ppt/presentation.xml', '<?xml version="1.0" encoding="UTF-8" standalone="yes"?><p:presentation %s><p:sldMasterIdLst><p:sldMasterId id="2147483648" r:id="rId1"/></p:sldMasterIdLst><p:sldIdLst>%s</p:sldIdLst><p:sldSz cx="9144000" cy="6858000"/><p:notesSz cx="6858000" cy="9144000"/></p:presentation>' % (ns, ids))
    tree = '<p:cSld><p:spTree><p:nvGrpSpPr><p:cNvPr id="1" name=""/><p:cNvGrpSpPr/><p:nvPr/></p:nvGrpSpPr><p:grpSpPr/>%s</p:spTree></p:cSld>'
    z.writestr('ppt/slideMasters/slideMaster1.xml', '<?xml version="1.0" encoding="UTF-8" standalone="yes"?><p:sldMaster %s>%s<p:clrMap bg1="lt1" tx1="dk1" bg2="lt2" tx2="dk2" accent1="accent1" accent2="accent2" accent3="accent3" accent4="accent4" accent5="accent5" accent6="accent6" hlink="hlink" folHlink="folHlink"/><p:sldLayoutIdLst><p:sldLayoutId id="2147483649" r:id="rId1"/></p:sldLayoutIdLst></p:sldMaster>' % (ns, tree % ''))
    z.writestr('ppt/slideMasters/_rels/slideMaster1.xml.rels', rel % r('rId1', 'slideLayout', '../slideLayouts/slideLayout1.xml'))
    z.writestr('ppt/slideLayouts/slideLayout1.xml', '<?xml version="1.0" encoding="UTF-8" standalone="yes"?><p:sldLayout %s>%s</p:sldLayout>' % (ns, tree % ''))
    z.writestr('ppt/slideLayouts/_rels/slideLayout1.xml.rels', rel % r('rId1', 'slideMaster', '../slideMasters/slideMaster1.xml'))
    for i, t in enumerate(texts):
        shape = '<p:sp><p:nvSpPr><p:cNvPr id="2" name="Title"/><p:cNvSpPr/><p:nvPr/></p:nvSpPr><p:spPr><a:xfrm><a:off x="457200" y="457200"/><a:ext cx="8229600" cy="1371600"/></a:xfrm></p:spPr><p:txBody><a:bodyPr/><a:p><a:r><a:rPr lang="en-US" sz="4400"/><a:t>%s</a:t></a:r></a:p></p:txBody></p:sp>' % escape(t)
        z.writestr('ppt/slides/slide%d.xml' % (i + 1), '<?xml version="1.0" encoding="UTF-8" standalone="yes"?><p:sld %s>%s</p:sld>' % (ns, tree % shape))
        z.writestr('ppt/slides/_rels/slide%d.xml.rels' % (i + 1), rel % r('rId1', 'slideLayout', '../slideLayouts/slideLayout1.xml'))
z.close()
)PY";

// Writes the file; false when Python could not make it. "\f" in a document breaks the page.
inline bool make(Kind kind, const std::filesystem::path& out, const std::vector<std::string>& texts)
{
    std::filesystem::create_directories(out.parent_path());
    std::vector<std::string> argv{"python3", "-c", kScript,
                                  kind == Kind::Document ? "document" : kind == Kind::Spreadsheet ? "spreadsheet" : "presentation",
                                  out.string()};
    argv.insert(argv.end(), texts.begin(), texts.end());
    return pdffix::run(argv) && std::filesystem::exists(out);
}

// A word-processing file whose one picture, shown 64 points wide, is a grey JPEG whose frame
// claims `side` x `side` pixels, marked progressive: a decoder sets aside room for every
// coefficient of the picture (about 2 GB at 23000) before it reads a scan.
inline bool makePictureBomb(const std::filesystem::path& out, int side = 23000)
{
    std::filesystem::create_directories(out.parent_path());
    auto small = out.parent_path() / (out.filename().string() + ".jpg");
    if (!pdffix::run({"convert", "-size", "64x64", "xc:#808080", "-type", "Grayscale", "-quality", "80", small.string()}))
        return false;
    std::ifstream in(small, std::ios::binary);
    std::string jpeg((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    in.close();
    std::filesystem::remove(small);
    bool framed = false;
    for (size_t i = 0; i + 9 < jpeg.size(); ++i) {
        if (uint8_t(jpeg[i]) != 0xFF)
            continue;
        uint8_t marker = uint8_t(jpeg[i + 1]);
        if (marker == 0xC0 || marker == 0xC2) {
            jpeg[i + 1] = char(0xC2);
            for (size_t at : {i + 5, i + 7}) {
                jpeg[at] = char(side >> 8);
                jpeg[at + 1] = char(side & 0xFF);
            }
            framed = true;
        } else if (marker == 0xDA && framed) {
            // A first scan of DC coefficients only, as a progressive picture starts.
            size_t components = uint8_t(jpeg[i + 4]);
            jpeg[i + 5 + 2 * components + 1] = 0;
            break;
        }
    }
    if (!framed)
        return false;
    pdffix::writeFile(small, jpeg);
    static const char* script = R"PY(
import sys, zipfile
out, picture = sys.argv[1], sys.argv[2]
z = zipfile.ZipFile(out, 'w', zipfile.ZIP_DEFLATED)
z.writestr('[Content_Types].xml', '<?xml version="1.0" encoding="UTF-8" standalone="yes"?><Types xmlns="http://schemas.openxmlformats.org/package/2006/content-types"><Default Extension="rels" ContentType="application/vnd.openxmlformats-package.relationships+xml"/><Default Extension="xml" ContentType="application/xml"/><Default Extension="jpeg" ContentType="image/jpeg"/><Override PartName="/word/document.xml" ContentType="application/vnd.openxmlformats-officedocument.wordprocessingml.document.main+xml"/></Types>')
z.writestr('_rels/.rels', '<?xml version="1.0" encoding="UTF-8" standalone="yes"?><Relationships xmlns="http://schemas.openxmlformats.org/package/2006/relationships"><Relationship Id="rId1" Type="http://schemas.openxmlformats.org/officeDocument/2006/relationships/officeDocument" Target="word/document.xml"/></Relationships>')
z.writestr('word/_rels/document.xml.rels', '<?xml version="1.0" encoding="UTF-8" standalone="yes"?><Relationships xmlns="http://schemas.openxmlformats.org/package/2006/relationships"><Relationship Id="rIdImg" Type="http://schemas.openxmlformats.org/officeDocument/2006/relationships/image" Target="media/image1.jpeg"/></Relationships>')
emu = 64 * 12700
picture_xml = ('<w:p><w:r><w:drawing><wp:inline><wp:extent cx="%d" cy="%d"/><wp:docPr id="1" name="Picture 1"/>'
    '<a:graphic><a:graphicData uri="http://schemas.openxmlformats.org/drawingml/2006/picture"><pic:pic>'
    '<pic:nvPicPr><pic:cNvPr id="1" name="image1.jpeg"/><pic:cNvPicPr/></pic:nvPicPr>'
    '<pic:blipFill><a:blip r:embed="rIdImg"/><a:stretch><a:fillRect/></a:stretch></pic:blipFill>'
    '<pic:spPr><a:xfrm><a:off x="0" y="0"/><a:ext cx="%d" cy="%d"/></a:xfrm><a:prstGeom prst="rect"><a:avLst/></a:prstGeom></pic:spPr>'
    '</pic:pic></a:graphicData></a:graphic></wp:inline></w:drawing></w:r></w:p>') % (emu, emu, emu, emu)
z.writestr('word/document.xml', '<?xml version="1.0" encoding="UTF-8" standalone="yes"?><w:document xmlns:w="http://schemas.openxmlformats.org/wordprocessingml/2006/main" xmlns:r="http://schemas.openxmlformats.org/officeDocument/2006/relationships" xmlns:wp="http://schemas.openxmlformats.org/drawingml/2006/wordprocessingDrawing" xmlns:a="http://schemas.openxmlformats.org/drawingml/2006/main" xmlns:pic="http://schemas.openxmlformats.org/drawingml/2006/picture"><w:body><w:p><w:r><w:t>Price list</w:t></w:r></w:p>%s</w:body></w:document>' % picture_xml)
z.write(picture, 'word/media/image1.jpeg')
z.close()
)PY";
    bool made = pdffix::run({"python3", "-c", script, out.string(), small.string()}) && std::filesystem::exists(out);
    std::filesystem::remove(small);
    return made;
}

} // namespace officefix
