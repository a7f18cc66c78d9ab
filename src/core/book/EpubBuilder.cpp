#include "EpubBuilder.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <map>
#include <set>
#include <unistd.h>
#include <zip.h>

#include <openssl/evp.h>

#include "BookFiles.h"
#include "EpubPackage.h"
#include "XhtmlWriter.h"
#include "chm/ChmWriter.h"
#include "complete/CssReferences.h"
#include "download/AsciiText.h"
#include "download/PageScanner.h"
#include "download/PageTitle.h"
#include "download/Url.h"
#include "platform/CodePage.h"
#include "platform/Files.h"
#include "project/PageFiles.h"

namespace
{

namespace fs = std::filesystem;

struct Resource
{
    std::string strBookPath; // below the content folder; the one stored copy's when this is a duplicate
    std::string strMediaType;
    std::string strLocalPath;
    bool bStored = true; // false for a file whose identical content the book already stores
};

struct BookPage
{
    const CProjectInfor* pRecord = nullptr;
    std::string strLocalPath; // normalised
    std::string strName;      // "p0001.xhtml", in the text folder
    std::string strId;        // "p0001"
    std::string strTitle;     // as the contents show it
    std::set<std::string> ids;
    bool bSvg = false;
    bool bSkipped = false; // it could not be written: not in the book, links to it lead to the web
};

// Everything the pages of one book can point at.
struct BookIndex
{
    std::vector<BookPage> pages;
    std::map<std::string, std::size_t> pageByPath;
    std::map<std::string, std::size_t> pageByUrl;
    std::map<std::string, Resource> resources; // by normalised local path
    std::vector<std::string> resourceOrder;    // their local paths in the order the pages hold them
};

std::string normalised(const std::string& path)
{
    return fs::path(path).lexically_normal().string();
}

std::string percentDecoded(std::string_view text)
{
    auto hex = [](char c) {
        return c >= '0' && c <= '9'   ? c - '0'
               : c >= 'a' && c <= 'f' ? c - 'a' + 10
               : c >= 'A' && c <= 'F' ? c - 'A' + 10
                                      : -1;
    };
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 2 < text.size() + 0 && hex(text[i + 1]) >= 0 && hex(text[i + 2]) >= 0) {
            out += static_cast<char>(hex(text[i + 1]) * 16 + hex(text[i + 2]));
            i += 2;
        } else {
            out += text[i];
        }
    }
    return out;
}

// The scheme of an absolute reference in lower case ("http"), empty for a relative one.
std::string schemeOf(std::string_view ref)
{
    for (std::size_t i = 0; i < ref.size(); ++i) {
        const char c = ref[i];
        const bool bAlpha = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
        if (c == ':') {
            return i > 0 ? ascii::ToLower(ref.substr(0, i)) : std::string();
        }
        if (!(bAlpha || (i > 0 && ((c >= '0' && c <= '9') || c == '+' || c == '-' || c == '.')))) {
            return {};
        }
    }
    return {};
}

// address when a reader can follow it: a web address needs a host ("http://" alone has none), any other
// scheme something after its colon ("news:" alone names nothing). Empty otherwise.
std::string webAddress(const std::string& address)
{
    const std::string scheme = schemeOf(address);
    if (scheme == "http" || scheme == "https" || scheme == "ftp") {
        const url::SplitUrl parts = url::Split(address);
        return parts.ok && !parts.host.empty() ? address : std::string();
    }
    return address.size() > scheme.size() + 1 ? address : std::string();
}

std::string withoutFragment(std::string_view address)
{
    return std::string(address.substr(0, address.find('#')));
}

// A name that is safe in the book's container on every reader: ASCII letters, digits, ".", "-", "_".
std::string safeName(const std::string& name)
{
    std::string out;
    for (char c : name) {
        const bool bSafe = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '.' ||
                           c == '-' || c == '_';
        out += bSafe ? c : '_';
    }
    if (out.empty() || out[0] == '.') {
        out.insert(out.begin(), '_');
    }
    return out;
}

std::string pageNumber(std::size_t n)
{
    char text[16];
    std::snprintf(text, sizeof text, "p%04zu", n);
    return text;
}

// Adds every picture, style sheet and font of the page's resource folder under res/<page id>/. Only
// plain files inside the page's folder are taken: a link to a file elsewhere (a project unpacked from
// an archive may hold one to /etc/passwd) stays out of the book.
void collectResources(const BookPage& page, BookIndex& index, std::set<std::string>& bookPaths)
{
    const std::string folder = ResourceFolderOf(page.strLocalPath);
    const std::string root = files::FolderOf(page.strLocalPath);
    std::error_code error;
    // A resource folder that is a link (which could lead anywhere, / included) is not walked.
    if (fs::symlink_status(folder, error).type() != fs::file_type::directory) {
        return;
    }
    fs::recursive_directory_iterator it(folder, error);
    if (error) {
        return;
    }
    for (; it != fs::recursive_directory_iterator(); it.increment(error)) {
        if (error) {
            break;
        }
        // A file still being written, or left half written by a killed process, is no part of the page.
        if (!it->is_regular_file(error) || files::IsTempBesideName(it->path().filename().string()) ||
            !files::IsRegularFileInside(it->path().string(), root)) {
            continue;
        }
        const std::string local = normalised(it->path().string());
        if (index.resources.count(local) > 0) {
            continue;
        }
        std::string head;
        files::ReadFile(local, head, nullptr, 4096);
        const std::string type = book::CoreMediaType(local, head);
        if (type.empty()) {
            continue;
        }
        std::string bookPath = "res/" + page.strId;
        for (const auto& part : it->path().lexically_relative(folder)) {
            bookPath += "/" + safeName(part.string());
        }
        if (bookPaths.count(bookPath) > 0) {
            const auto slash = bookPath.rfind('/');
            std::string renamed;
            for (int n = 2; renamed.empty() || bookPaths.count(renamed) > 0; ++n) {
                renamed = bookPath.substr(0, slash + 1) + std::to_string(n) + "_" + bookPath.substr(slash + 1);
            }
            bookPath = renamed;
        }
        bookPaths.insert(bookPath);
        index.resources[local] = {bookPath, type, local};
        index.resourceOrder.push_back(local);
    }
}

// The resource of the book a reference written in a file of localFolder stands for; null when the book
// does not hold it (an address on the web, a file that was not saved).
const Resource* bookResource(const std::string& value, const std::string& localFolder, const BookIndex& index)
{
    if (value.empty() || !schemeOf(value).empty()) {
        return nullptr;
    }
    const std::string path = value.substr(0, value.find_first_of("?#"));
    if (path.empty() || path[0] == '/') {
        return nullptr;
    }
    auto found = index.resources.find(normalised(files::Join(localFolder, percentDecoded(path))));
    return found == index.resources.end() ? nullptr : &found->second;
}

// Style text written in a file of localFolder, as it reads from bookFolder inside the book: each url()
// and @import points at the book's copy, or, when the book has none, a url() becomes "none" and an
// @import goes, so a reader never reaches for the web or a missing file.
std::string
bookCss(std::string_view sheet, const std::string& localFolder, const std::string& bookFolder, const BookIndex& index)
{
    const std::vector<css::Reference> refs = css::FindReferences(sheet);
    std::string out(sheet);
    const std::string lower = ascii::ToLower(sheet);
    for (auto ref = refs.rbegin(); ref != refs.rend(); ++ref) {
        const Resource* resource = bookResource(ref->strValue, localFolder, index);
        const bool bImport = ref->kind == css::Reference::Kind::Import;
        if (resource && (!bImport || resource->strMediaType == "text/css")) {
            const std::string relative = fs::path(resource->strBookPath).lexically_relative(bookFolder).string();
            out.replace(ref->nBegin, ref->nEnd - ref->nBegin,
                        ref->bString ? css::StringToken(relative) : css::UrlToken(relative));
        } else if (!bImport) {
            out.replace(ref->nBegin, ref->nEnd - ref->nBegin, "none");
        } else {
            const auto at = lower.rfind("@import", ref->nBegin);
            const auto semicolon = lower.find(';', ref->nEnd);
            const std::size_t begin = at == std::string::npos ? ref->nBegin : at;
            const std::size_t end = semicolon == std::string::npos ? ref->nEnd : semicolon + 1;
            out.erase(begin, end - begin);
        }
    }
    return out;
}

// A digest of a file's bytes; empty when it cannot be read.
std::string fileDigest(const std::string& path)
{
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (!file) {
        return {};
    }
    EVP_MD_CTX* context = EVP_MD_CTX_new();
    EVP_DigestInit_ex(context, EVP_sha256(), nullptr);
    char buffer[65536];
    std::size_t n = 0;
    while ((n = std::fread(buffer, 1, sizeof buffer, file)) > 0) {
        EVP_DigestUpdate(context, buffer, n);
    }
    const bool bRead = std::ferror(file) == 0;
    std::fclose(file);
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int nDigest = 0;
    EVP_DigestFinal_ex(context, digest, &nDigest);
    EVP_MD_CTX_free(context);
    return bRead ? std::string(reinterpret_cast<const char*>(digest), nDigest) : std::string();
}

// What a style sheet becomes in the book, as a key: its bytes and, for each reference, the stored copy
// it will point at. Two sheets with the same key are written alike wherever the one copy lies.
std::string sheetKey(const std::string& local,
                     const BookIndex& index,
                     std::map<std::string, std::string>& keys,
                     std::set<std::string>& open)
{
    if (auto found = keys.find(local); found != keys.end()) {
        return found->second;
    }
    if (!open.insert(local).second) {
        return "loop:" + local; // a sheet importing itself keeps a copy of its own
    }
    std::string sheet;
    std::string key = files::ReadFile(local, sheet) ? fileDigest(local) : "unread:" + local;
    for (const auto& ref : css::FindReferences(sheet)) {
        const Resource* resource = bookResource(ref.strValue, files::FolderOf(local), index);
        key += '\n';
        if (!resource) {
            key += '-';
        } else if (resource->strMediaType == "text/css") {
            key += "sheet:" + sheetKey(resource->strLocalPath, index, keys, open);
        } else {
            key += resource->strBookPath;
        }
    }
    open.erase(local);
    keys[local] = key;
    return key;
}

// Identical content is stored once: every later copy points at the first one. Pictures and fonts are
// the same when their bytes are; style sheets when, besides, what they refer to is.
void shareIdenticalResources(BookIndex& index)
{
    std::map<std::string, std::string> stored; // type and digest → book path of the stored copy
    for (const auto& local : index.resourceOrder) {
        Resource& resource = index.resources[local];
        if (resource.strMediaType == "text/css") {
            continue;
        }
        const std::string digest = fileDigest(local);
        if (digest.empty()) {
            continue;
        }
        auto [found, bNew] = stored.emplace(resource.strMediaType + '\n' + digest, resource.strBookPath);
        if (!bNew) {
            resource.strBookPath = found->second;
            resource.bStored = false;
        }
    }
    // Keys first, paths after: a key must not see a sheet's path change while others are keyed.
    std::map<std::string, std::string> keys;
    std::set<std::string> open;
    std::vector<std::pair<std::string, std::string>> sheets; // local path, key
    for (const auto& local : index.resourceOrder) {
        if (index.resources[local].strMediaType == "text/css") {
            sheets.emplace_back(local, sheetKey(local, index, keys, open));
        }
    }
    for (const auto& [local, key] : sheets) {
        Resource& resource = index.resources[local];
        auto [found, bNew] = stored.emplace("text/css\n" + key, resource.strBookPath);
        if (!bNew) {
            resource.strBookPath = found->second;
            resource.bStored = false;
        }
    }
}

// Answers a page's references from the book's index. Links are written only once every page's ids are
// known (the second pass): a link to an id the target does not hold loses its fragment.
class CPageReferences final : public book::IReferenceMap
{
public:
    CPageReferences(const BookIndex& index, std::size_t nPage, bool bLinks)
        : m_index(index)
        , m_page(index.pages[nPage])
        , m_nPage(nPage)
        , m_bLinks(bLinks)
        , m_resolver(m_page.pRecord->m_strUrl)
    {}

    std::string MapLink(std::string_view value) override
    {
        if (!m_bLinks || value.empty()) {
            return {};
        }
        const auto hash = value.find('#');
        const std::string base(value.substr(0, hash));
        const std::string fragment =
            hash == std::string_view::npos ? std::string() : std::string(value.substr(hash + 1));
        if (base.empty()) {
            return pageHref(m_nPage, fragment, true);
        }
        const std::string scheme = schemeOf(base);
        if (!scheme.empty()) {
            if (scheme != "http" && scheme != "https" && scheme != "mailto" && scheme != "ftp" && scheme != "tel" &&
                scheme != "news") {
                return {};
            }
            auto found = m_index.pageByUrl.find(base);
            if (found != m_index.pageByUrl.end() && !m_index.pages[found->second].bSkipped) {
                return pageHref(found->second, fragment, false);
            }
            return webAddress(book::EncodeUri(value));
        }
        const std::string path = base.substr(0, base.find('?'));
        if (!path.empty() && path[0] != '/') {
            auto found = m_index.pageByPath.find(localPath(path));
            if (found != m_index.pageByPath.end() && !m_index.pages[found->second].bSkipped) {
                return pageHref(found->second, fragment, false);
            }
        }
        // Anything else points at the web: written as the page's own address resolves it.
        const auto absolute = m_resolver.Resolve(base);
        if (!absolute) {
            return {};
        }
        auto found = m_index.pageByUrl.find(*absolute);
        if (found != m_index.pageByUrl.end() && !m_index.pages[found->second].bSkipped) {
            return pageHref(found->second, fragment, false);
        }
        return webAddress(book::EncodeUri(fragment.empty() ? *absolute : *absolute + "#" + fragment));
    }

    std::string MapResource(std::string_view value, Use use) override
    {
        const Resource* resource = bookResource(std::string(value), files::FolderOf(m_page.strLocalPath), m_index);
        if (!resource) {
            return {};
        }
        const std::string& type = resource->strMediaType;
        if ((use == Use::StyleSheet) != (type == "text/css") || (use == Use::Image && type.rfind("image/", 0) != 0)) {
            return {};
        }
        return "../" + resource->strBookPath;
    }

    std::string MapStyle(std::string_view css) override
    {
        return bookCss(css, files::FolderOf(m_page.strLocalPath), "text", m_index);
    }

private:
    std::string localPath(const std::string& relative) const
    {
        return normalised(files::Join(files::FolderOf(m_page.strLocalPath), percentDecoded(relative)));
    }

    std::string pageHref(std::size_t nTarget, const std::string& fragment, bool bSamePage) const
    {
        const BookPage& target = m_index.pages[nTarget];
        const std::string id = percentDecoded(fragment);
        const bool bId = !id.empty() && target.ids.count(id) > 0;
        if (bSamePage) {
            return bId ? "#" + book::EncodeUri(id) : std::string();
        }
        return bId ? target.strName + "#" + book::EncodeUri(id) : target.strName;
    }

    const BookIndex& m_index;
    const BookPage& m_page;
    std::size_t m_nPage;
    bool m_bLinks;
    url::Resolver m_resolver;
};

// The title a page has in the contents. The tree's title is the user's when they renamed the page;
// otherwise it is the page's title as the engine read it, and the title read from the decoded page
// serves as well or better.
std::string contentsTitle(const std::string& recorded, const std::string& bytes, const std::string& decoded)
{
    CPageScanner scanner;
    scanner.Reset();
    scanner.Parse(bytes.data(), bytes.size());
    const std::string tree = book::CollapsedWhiteSpace(codepage::PageTextToUtf8(recorded));
    // The engine reads titles in the page's declared charset; earlier versions guessed it, and before
    // that also left references undecoded.
    const bool bRenamed = !tree.empty() && tree != book::CollapsedWhiteSpace(PageTitleText(scanner.Title(), bytes)) &&
                          tree != book::CollapsedWhiteSpace(PageTitleText(scanner.Title())) &&
                          tree != book::CollapsedWhiteSpace(codepage::PageTextToUtf8(scanner.Title()));
    if (bRenamed) {
        return tree;
    }
    return book::CollapsedWhiteSpace(decoded);
}

// The book's container, written on close. Buffers are handed to libzip, which frees them. libzip
// writes to a temporary file named after path plus a suffix and renames it over path at the end; a set
// pCancel stops it there, and the temporary file goes.
class CZip
{
public:
    CZip(const std::string& path, const std::atomic<bool>* pCancel)
    {
        int nError = 0;
        m_pZip = zip_open(path.c_str(), ZIP_CREATE | ZIP_TRUNCATE, &nError);
        if (!m_pZip) {
            zip_error_t error;
            zip_error_init_with_code(&error, nError);
            m_strError = zip_error_strerror(&error);
            zip_error_fini(&error);
        } else if (pCancel) {
            zip_register_cancel_callback_with_state(
                m_pZip, [](zip_t*, void* p) { return static_cast<const std::atomic<bool>*>(p)->load() ? 1 : 0; },
                nullptr, const_cast<std::atomic<bool>*>(pCancel));
        }
    }
    ~CZip()
    {
        if (m_pZip) {
            zip_discard(m_pZip);
        }
    }
    CZip(const CZip&) = delete;
    CZip& operator=(const CZip&) = delete;

    bool IsOpen() const { return m_pZip != nullptr; }
    const std::string& Error() const { return m_strError; }

    bool AddText(const std::string& name, const std::string& text, bool bStore = false)
    {
        void* copy = std::malloc(text.size() + 1);
        if (!copy) {
            return fail("out of memory");
        }
        std::memcpy(copy, text.data(), text.size());
        zip_source_t* source = zip_source_buffer(m_pZip, copy, text.size(), 1);
        if (!source) {
            std::free(copy);
            return fail(zip_strerror(m_pZip));
        }
        return add(name, source, bStore);
    }

    bool AddFile(const std::string& name, const std::string& path, bool bStore)
    {
        zip_source_t* source = zip_source_file(m_pZip, path.c_str(), 0, 0);
        return source ? add(name, source, bStore) : fail(zip_strerror(m_pZip));
    }

    // Writes the container; false (with Error()) when it cannot be written.
    bool Close()
    {
        if (zip_close(m_pZip) != 0) {
            m_strError = zip_strerror(m_pZip);
            return false;
        }
        m_pZip = nullptr;
        return true;
    }

private:
    bool add(const std::string& name, zip_source_t* source, bool bStore)
    {
        const zip_int64_t n = zip_file_add(m_pZip, name.c_str(), source, ZIP_FL_ENC_UTF_8 | ZIP_FL_OVERWRITE);
        if (n < 0) {
            zip_source_free(source);
            return fail(zip_strerror(m_pZip));
        }
        if (bStore && zip_set_file_compression(m_pZip, static_cast<zip_uint64_t>(n), ZIP_CM_STORE, 0) != 0) {
            return fail(zip_strerror(m_pZip));
        }
        return true;
    }

    bool fail(const std::string& why)
    {
        m_strError = why;
        return false;
    }

    zip_t* m_pZip = nullptr;
    std::string m_strError;
};

// A temporary file removed when the build leaves it behind.
class CTempFile
{
public:
    CTempFile() = default;
    ~CTempFile()
    {
        if (!m_strPath.empty()) {
            ::unlink(m_strPath.c_str());
        }
    }
    CTempFile(const CTempFile&) = delete;
    CTempFile& operator=(const CTempFile&) = delete;

    // Reserves a name beside path; false with errno when it cannot.
    bool CreateBeside(const std::string& path)
    {
        const int fd = files::CreateTempBeside(path, m_strPath);
        if (fd < 0) {
            m_strPath.clear();
            return false;
        }
        ::close(fd);
        return true;
    }
    const std::string& Path() const { return m_strPath; }
    // Renames the file to target, which it then no longer is to remove; false with errno when it cannot.
    bool RenameTo(const std::string& target)
    {
        if (std::rename(m_strPath.c_str(), target.c_str()) != 0) {
            return false;
        }
        m_strPath.clear();
        return true;
    }

private:
    std::string m_strPath;
};

EpubBuildResult failed(EpubBuildResult result, EpubBuildResult::Code code, const std::string& message)
{
    result.m_code = code;
    result.m_strMessage = message;
    return result;
}

} // namespace

std::string EpubFilePath(const std::string& folder, const std::string& name)
{
    const bool bHasExtension = name.size() > 5 && ascii::EqualsNoCase(name.substr(name.size() - 5), ".epub");
    return files::Join(folder, bHasExtension ? name : name + ".epub");
}

std::string EpubBookUuid(const std::string& projectName, const std::string& bookName)
{
    // Our own namespace for book identifiers.
    static const unsigned char kNamespace[16] = {0x7f, 0x3c, 0x2a, 0x9e, 0x5b, 0x1d, 0x4c, 0x8e,
                                                 0x9a, 0x6f, 0x3d, 0x2e, 0x1b, 0x0c, 0x4a, 0x58};
    std::string data(reinterpret_cast<const char*>(kNamespace), sizeof kNamespace);
    // The zero byte keeps "ab" + "c" apart from "a" + "bc".
    data += projectName;
    data += '\0';
    data += bookName;
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int nDigest = 0;
    EVP_Digest(data.data(), data.size(), digest, &nDigest, EVP_sha1(), nullptr);
    digest[6] = static_cast<unsigned char>((digest[6] & 0x0F) | 0x50);
    digest[8] = static_cast<unsigned char>((digest[8] & 0x3F) | 0x80);
    char text[37];
    std::snprintf(text, sizeof text, "%02x%02x%02x%02x-%02x%02x-%02x%02x-%02x%02x-%02x%02x%02x%02x%02x%02x", digest[0],
                  digest[1], digest[2], digest[3], digest[4], digest[5], digest[6], digest[7], digest[8], digest[9],
                  digest[10], digest[11], digest[12], digest[13], digest[14], digest[15]);
    return text;
}

EpubBuildResult EpubBuildWorker(const EpubBuildParams& params,
                                const EpubProgress& onProgress,
                                const EpubWarning& onWarning,
                                const std::atomic<bool>* pCancel)
{
    EpubBuildResult result;
    auto cancelled = [&] { return pCancel && pCancel->load(); };
    if (params.m_pages.empty()) {
        return failed(result, EpubBuildResult::Code::NoPages, "the project has no pages");
    }
    const std::string folder = files::FolderOf(files::AbsolutePath(params.m_strEpubFile));
    if (!files::IsFolder(folder)) {
        return failed(result, EpubBuildResult::Code::CannotWrite, "the folder " + folder + " does not exist");
    }
    if (::access(folder.c_str(), W_OK) != 0) {
        return failed(result, EpubBuildResult::Code::CannotWrite, "the folder " + folder + " is not writable");
    }

    // Only pages go into a book: a crafted project file could name any file the user can read.
    for (const auto& record : params.m_pages) {
        if (!MayGoIntoBook(record.m_strLocalFile)) {
            result.m_strRefusedFile = record.m_strLocalFile;
            return failed(result, EpubBuildResult::Code::NotAPage,
                          "the page " + record.m_strLocalFile + " is not a saved web page; no book was made");
        }
    }

    // The pages that can be read, in order, with their pictures and style sheets.
    BookIndex index;
    std::set<std::string> bookPaths;
    for (const auto& record : params.m_pages) {
        const std::string path = normalised(files::AbsolutePath(record.m_strLocalFile));
        std::string why;
        if (!files::IsRegularFile(path)) {
            why = files::Exists(path) ? "not a plain file" : "no such file";
        } else if (::access(path.c_str(), R_OK) != 0) {
            why = "permission denied";
        }
        if (!why.empty()) {
            ++result.m_nSkipped;
            if (onWarning) {
                onWarning(record.m_strLocalFile, why);
            }
            continue;
        }
        BookPage page;
        page.pRecord = &record;
        page.strLocalPath = path;
        page.strId = pageNumber(index.pages.size() + 1);
        page.strName = page.strId + ".xhtml";
        index.pageByPath.emplace(path, index.pages.size());
        if (!record.m_strUrl.empty()) {
            index.pageByUrl.emplace(withoutFragment(record.m_strUrl), index.pages.size());
        }
        collectResources(page, index, bookPaths);
        index.pages.push_back(std::move(page));
    }
    if (index.pages.empty()) {
        return failed(result, EpubBuildResult::Code::NoPageRead, "no page of the project could be read");
    }
    shareIdenticalResources(index);

    const int nTotal = static_cast<int>(index.pages.size()) * 2 + 1;
    int nDone = 0;
    auto readPage = [&](const BookPage& page, std::string& text, std::string* pBytes = nullptr) {
        std::string bytes;
        if (!files::ReadFile(page.strLocalPath, bytes)) {
            return false;
        }
        text = book::DecodePage(bytes);
        if (pBytes) {
            *pBytes = std::move(bytes);
        }
        return true;
    };

    // A page the writer cannot convert (out of memory) is left out, and the book is made of the others.
    auto convert = [&](BookPage& page, const std::string& text, CPageReferences& references,
                       book::XhtmlPage& converted) {
        try {
            converted = book::ConvertToXhtml(text, references);
            return true;
        } catch (const std::exception& error) {
            page.bSkipped = true;
            ++result.m_nSkipped;
            if (onWarning) {
                onWarning(page.pRecord->m_strLocalFile, std::string("cannot be written: ") + error.what());
            }
            return false;
        }
    };

    // First pass: the ids each page will hold, and the titles for the contents.
    for (std::size_t i = 0; i < index.pages.size(); ++i) {
        if (cancelled()) {
            return failed(result, EpubBuildResult::Code::Cancelled, "cancelled");
        }
        BookPage& page = index.pages[i];
        std::string text;
        std::string bytes;
        readPage(page, text, &bytes);
        CPageReferences references(index, i, false);
        book::XhtmlPage converted;
        if (!convert(page, text, references, converted)) {
            continue;
        }
        page.ids = converted.ids;
        page.bSvg = converted.bSvg;
        page.strTitle = contentsTitle(page.pRecord->m_strTitle, bytes, converted.strTitle);
        if (page.strTitle.empty()) {
            page.strTitle = files::FileName(page.strLocalPath);
        }
        if (onProgress) {
            onProgress(++nDone, nTotal, page.strTitle);
        }
    }

    if (result.m_nSkipped == static_cast<int>(params.m_pages.size())) {
        return failed(result, EpubBuildResult::Code::NoPageRead, "no page of the project could be written");
    }

    // The book is written under a name of our own beside it, carrying the process id, so a later build
    // can tell the leftovers of a killed one (and what libzip wrote beside them) and remove them.
    const std::string target = files::FollowLinks(files::AbsolutePath(params.m_strEpubFile));
    files::RemoveDeadTempsBeside(target);
    CTempFile temp;
    if (!temp.CreateBeside(target)) {
        return failed(result, EpubBuildResult::Code::CannotWrite,
                      "cannot create " + params.m_strEpubFile + ": " + std::strerror(errno));
    }
    CZip zip(temp.Path(), pCancel);
    if (!zip.IsOpen()) {
        return failed(result, EpubBuildResult::Code::CannotWrite,
                      "cannot create " + params.m_strEpubFile + ": " + zip.Error());
    }
    // The mimetype entry comes first and uncompressed, so readers recognise the file by its first bytes.
    bool bOk = zip.AddText("mimetype", "application/epub+zip", true) &&
               zip.AddText("META-INF/container.xml", book::ContainerXml());

    book::PackageInfo info;
    info.strTitle = params.m_strBookName;
    info.strUuid = EpubBookUuid(params.m_strProjectName, params.m_strBookName);
    info.tModified = params.m_tModified != 0 ? params.m_tModified : std::time(nullptr);
    std::set<std::string> sources;
    for (std::size_t i = 0; i < index.pages.size() && bOk; ++i) {
        if (cancelled()) {
            return failed(result, EpubBuildResult::Code::Cancelled, "cancelled");
        }
        BookPage& page = index.pages[i];
        if (page.bSkipped) {
            continue;
        }
        std::string text;
        readPage(page, text);
        CPageReferences references(index, i, true);
        book::XhtmlPage converted;
        if (!convert(page, text, references, converted)) {
            continue;
        }
        if (converted.bFlattened) {
            result.m_changes.push_back("the page " + page.pRecord->m_strLocalFile +
                                       " nests elements too deeply; the deepest are written as their text");
        }
        const std::string href = std::string("text/") + page.strName;
        bOk = zip.AddText(book::kContentFolder + href, book::XhtmlDocument(page.strTitle, converted));
        info.items.push_back({page.strId, href, "application/xhtml+xml", converted.bSvg ? "svg" : ""});
        info.spine.push_back(page.strId);
        info.toc.push_back({page.strTitle, href});
        const std::string& address = page.pRecord->m_strUrl;
        if (!address.empty() && sources.insert(address).second) {
            info.sources.push_back(address);
        }
        if (onProgress) {
            onProgress(++nDone, nTotal, page.strTitle);
        }
    }
    int nResource = 0;
    for (const auto& [local, resource] : index.resources) {
        if (!bOk) {
            break;
        }
        if (!resource.bStored) {
            continue;
        }
        if (resource.strMediaType == "text/css") {
            std::string sheet;
            files::ReadFile(local, sheet);
            bOk = zip.AddText(book::kContentFolder + resource.strBookPath,
                              bookCss(sheet, files::FolderOf(local), files::FolderOf(resource.strBookPath), index));
        } else {
            // Pictures are compressed already.
            const bool bStore =
                resource.strMediaType.rfind("image/", 0) == 0 && resource.strMediaType != "image/svg+xml";
            bOk = zip.AddFile(book::kContentFolder + resource.strBookPath, local, bStore);
        }
        info.items.push_back({"r" + std::to_string(++nResource), resource.strBookPath, resource.strMediaType, ""});
    }
    bOk =
        bOk &&
        zip.AddText(book::kContentFolder + std::string(book::kCoverName), book::CoverDocument(params.m_strBookName)) &&
        zip.AddText(book::kContentFolder + std::string(book::kNavName), book::NavDocument(info)) &&
        zip.AddText(book::kContentFolder + std::string(book::kNcxName), book::NcxDocument(info)) &&
        zip.AddText(book::kPackagePath, book::PackageDocument(info));
    if (cancelled()) {
        return failed(result, EpubBuildResult::Code::Cancelled, "cancelled");
    }
    if (!bOk || !zip.Close()) {
        if (cancelled()) {
            return failed(result, EpubBuildResult::Code::Cancelled, "cancelled");
        }
        return failed(result, EpubBuildResult::Code::CannotWrite,
                      "cannot write " + params.m_strEpubFile + ": " + zip.Error());
    }
    if (!temp.RenameTo(target)) {
        return failed(result, EpubBuildResult::Code::CannotWrite,
                      "cannot write " + params.m_strEpubFile + ": " + std::strerror(errno));
    }
    result.m_nPages = static_cast<int>(info.spine.size());
    result.m_nResources = nResource;
    if (onProgress) {
        onProgress(nTotal, nTotal, params.m_strBookName);
    }
    return result;
}
