#include "EpubPackage.h"

#include "XhtmlWriter.h"

namespace book
{
namespace
{

std::string isoTime(std::time_t t)
{
    std::tm tm{};
    gmtime_r(&t, &tm);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &tm);
    return text;
}

const char kXhtmlStart[] = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                           "<!DOCTYPE html>\n"
                           "<html xmlns=\"http://www.w3.org/1999/xhtml\" xmlns:epub=\"http://www.idpf.org/2007/ops\" "
                           "lang=\"zh-CN\" xml:lang=\"zh-CN\">\n";

// Texts of the book's own pages.
const char kTocHeading[] = "目录";
const char kCoverLandmark[] = "封面";
const char kBodyLandmark[] = "正文";

} // namespace

std::string ContainerXml()
{
    return std::string("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                       "<container version=\"1.0\" xmlns=\"urn:oasis:names:tc:opendocument:xmlns:container\">\n"
                       "  <rootfiles>\n"
                       "    <rootfile full-path=\"") +
           kPackagePath +
           "\" media-type=\"application/oebps-package+xml\"/>\n"
           "  </rootfiles>\n"
           "</container>\n";
}

std::string PackageDocument(const PackageInfo& info)
{
    std::string opf = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                      "<package xmlns=\"http://www.idpf.org/2007/opf\" version=\"3.0\" unique-identifier=\"bookid\" "
                      "xml:lang=\"zh-CN\">\n"
                      "  <metadata xmlns:dc=\"http://purl.org/dc/elements/1.1/\">\n"
                      "    <dc:identifier id=\"bookid\">urn:uuid:" +
                      info.strUuid + "</dc:identifier>\n    <dc:title>" + XmlText(info.strTitle) +
                      "</dc:title>\n"
                      "    <dc:language>zh-CN</dc:language>\n";
    for (const auto& source : info.sources) {
        opf += "    <dc:source>" + XmlText(source) + "</dc:source>\n";
    }
    opf += "    <meta property=\"dcterms:modified\">" + isoTime(info.tModified) + "</meta>\n  </metadata>\n";

    opf += "  <manifest>\n";
    opf += std::string("    <item id=\"nav\" href=\"") + kNavName +
           "\" media-type=\"application/xhtml+xml\" properties=\"nav\"/>\n";
    opf += std::string("    <item id=\"ncx\" href=\"") + kNcxName + "\" media-type=\"application/x-dtbncx+xml\"/>\n";
    opf += std::string("    <item id=\"cover\" href=\"") + kCoverName + "\" media-type=\"application/xhtml+xml\"/>\n";
    for (const auto& item : info.items) {
        opf += "    <item id=\"" + item.strId + "\" href=\"" + XmlAttribute(EncodeUri(item.strHref)) +
               "\" media-type=\"" + item.strMediaType + "\"";
        if (!item.strProperties.empty()) {
            opf += " properties=\"" + item.strProperties + "\"";
        }
        opf += "/>\n";
    }
    opf += "  </manifest>\n";

    opf += "  <spine toc=\"ncx\">\n    <itemref idref=\"cover\"/>\n    <itemref idref=\"nav\"/>\n";
    for (const auto& id : info.spine) {
        opf += "    <itemref idref=\"" + id + "\"/>\n";
    }
    opf += "  </spine>\n</package>\n";
    return opf;
}

std::string NavDocument(const PackageInfo& info)
{
    std::string nav = kXhtmlStart;
    nav += std::string("<head>\n<meta charset=\"UTF-8\"/>\n<title>") + kTocHeading + "</title>\n</head>\n<body>\n";
    nav += std::string("<nav epub:type=\"toc\" id=\"toc\">\n<h1>") + kTocHeading + "</h1>\n<ol>\n";
    for (const auto& entry : info.toc) {
        nav +=
            "<li><a href=\"" + XmlAttribute(EncodeUri(entry.strHref)) + "\">" + XmlText(entry.strTitle) + "</a></li>\n";
    }
    nav += "</ol>\n</nav>\n";
    nav += "<nav epub:type=\"landmarks\" id=\"landmarks\" hidden=\"hidden\">\n<ol>\n";
    nav += std::string("<li><a epub:type=\"cover\" href=\"") + kCoverName + "\">" + kCoverLandmark + "</a></li>\n";
    if (!info.toc.empty()) {
        nav += "<li><a epub:type=\"bodymatter\" href=\"" + XmlAttribute(EncodeUri(info.toc.front().strHref)) + "\">" +
               kBodyLandmark + "</a></li>\n";
    }
    nav += "</ol>\n</nav>\n</body>\n</html>\n";
    return nav;
}

std::string NcxDocument(const PackageInfo& info)
{
    std::string ncx = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                      "<ncx xmlns=\"http://www.daisy.org/z3986/2005/ncx/\" version=\"2005-1\" xml:lang=\"zh-CN\">\n"
                      "  <head>\n"
                      "    <meta name=\"dtb:uid\" content=\"urn:uuid:" +
                      info.strUuid +
                      "\"/>\n"
                      "    <meta name=\"dtb:depth\" content=\"1\"/>\n"
                      "    <meta name=\"dtb:totalPageCount\" content=\"0\"/>\n"
                      "    <meta name=\"dtb:maxPageNumber\" content=\"0\"/>\n"
                      "  </head>\n"
                      "  <docTitle><text>" +
                      XmlText(info.strTitle) + "</text></docTitle>\n  <navMap>\n";
    int nOrder = 1;
    for (const auto& entry : info.toc) {
        const std::string n = std::to_string(nOrder++);
        ncx += "    <navPoint id=\"np" + n + "\" playOrder=\"" + n + "\"><navLabel><text>" + XmlText(entry.strTitle) +
               "</text></navLabel><content src=\"" + XmlAttribute(EncodeUri(entry.strHref)) + "\"/></navPoint>\n";
    }
    ncx += "  </navMap>\n</ncx>\n";
    return ncx;
}

std::string CoverDocument(const std::string& title)
{
    std::string cover = kXhtmlStart;
    cover += "<head>\n<meta charset=\"UTF-8\"/>\n<title>" + XmlText(title) +
             "</title>\n<style>body { text-align: center; } h1 { margin-top: 30%; }</style>\n</head>\n";
    cover += "<body epub:type=\"cover\">\n<h1>" + XmlText(title) + "</h1>\n</body>\n</html>\n";
    return cover;
}

} // namespace book
