#include "SearchTokenizer.h"

#include <cstdint>
#include <string>
#include <vector>

#include <sqlite3.h>

#include "platform/CodePage.h"

namespace search
{
namespace
{

// A character read from UTF-8 text and the bytes it took; nCode 0 for a malformed sequence.
struct Character
{
    std::uint32_t nCode = 0;
    int nStart = 0;
    int nEnd = 0;
};

Character readCharacter(std::string_view text, int nPos)
{
    const auto byte = [&](int i) { return static_cast<unsigned char>(text[static_cast<size_t>(i)]); };
    const int nSize = static_cast<int>(text.size());
    const unsigned char lead = byte(nPos);
    Character c{0, nPos, nPos + 1};
    int nMore = 0;
    std::uint32_t code = 0;
    if (lead < 0x80) {
        c.nCode = lead;
        return c;
    } else if (lead >= 0xC2 && lead < 0xE0) {
        nMore = 1;
        code = lead & 0x1Fu;
    } else if (lead >= 0xE0 && lead < 0xF0) {
        nMore = 2;
        code = lead & 0x0Fu;
    } else if (lead >= 0xF0 && lead < 0xF5) {
        nMore = 3;
        code = lead & 0x07u;
    } else {
        return c;
    }
    if (nPos + nMore >= nSize) {
        return c;
    }
    for (int i = 1; i <= nMore; ++i) {
        const unsigned char next = byte(nPos + i);
        if ((next & 0xC0u) != 0x80u) {
            return c;
        }
        code = (code << 6) | (next & 0x3Fu);
    }
    c.nCode = code;
    c.nEnd = nPos + 1 + nMore;
    return c;
}

// Han (with the iteration and zero marks), kana and hangul: scripts written without spaces between words.
bool isCjk(std::uint32_t c)
{
    return (c >= 0x3400 && c <= 0x4DBF) || (c >= 0x4E00 && c <= 0x9FFF) || (c >= 0xF900 && c <= 0xFAFF) ||
           (c >= 0x20000 && c <= 0x3FFFF) || c == 0x3005 || c == 0x3007 || (c >= 0x3040 && c <= 0x30FF) ||
           (c >= 0x31F0 && c <= 0x31FF) || (c >= 0xFF66 && c <= 0xFF9F) || (c >= 0xAC00 && c <= 0xD7AF) ||
           (c >= 0x1100 && c <= 0x11FF) || (c >= 0x3130 && c <= 0x318F);
}

// The character as a word holds it (lower case, full-width forms as ASCII), or 0 when it separates words.
std::uint32_t wordCharacter(std::uint32_t c)
{
    if (c >= 0xFF01 && c <= 0xFF5E) {
        c -= 0xFEE0;
    }
    if (c < 0x80) {
        if (c >= 'A' && c <= 'Z') {
            return c + 0x20;
        }
        const bool bAlnum = (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9');
        return bAlnum ? c : 0;
    }
    if (c < 0xC0 || c == 0xD7 || c == 0xF7) {
        return 0;
    }
    if ((c >= 0xC0 && c <= 0xDE) || (c >= 0x391 && c <= 0x3A9) || (c >= 0x410 && c <= 0x42F)) {
        return c + 0x20;
    }
    if (c >= 0x400 && c <= 0x40F) {
        return c + 0x50;
    }
    // Punctuation, symbols, arrows, box drawing, CJK punctuation, compatibility and small forms,
    // private use and emoji separate words.
    if ((c >= 0x2000 && c <= 0x2BFF) || (c >= 0x3000 && c <= 0x303F) || (c >= 0xFE10 && c <= 0xFE6F) ||
        (c >= 0xFF00 && c <= 0xFFEF) || (c >= 0xE000 && c <= 0xF8FF) || c >= 0x1F000 || c == 0xFFFD) {
        return 0;
    }
    return c;
}

int tokenizerCreate(void*, const char**, int, Fts5Tokenizer** ppOut)
{
    // The tokenizer keeps no state; FTS5 only needs a handle that is not null.
    static int s_nHandle = 0;
    *ppOut = reinterpret_cast<Fts5Tokenizer*>(&s_nHandle);
    return SQLITE_OK;
}

void tokenizerDelete(Fts5Tokenizer*) {}

int tokenizerTokenize(Fts5Tokenizer*,
                      void* pCtx,
                      int flags,
                      const char* pText,
                      int nText,
                      int (*xToken)(void*, int, const char*, int, int, int))
{
    if (!pText || nText <= 0) {
        return SQLITE_OK;
    }
    int rc = SQLITE_OK;
    const bool bQuery = (flags & FTS5_TOKENIZE_QUERY) != 0;
    Tokenize(std::string_view(pText, static_cast<size_t>(nText)), bQuery,
             [&](std::string_view term, int nStart, int nEnd, bool bColocated) {
                 rc = xToken(pCtx, bColocated ? FTS5_TOKEN_COLOCATED : 0, term.data(), static_cast<int>(term.size()),
                             nStart, nEnd);
                 return rc == SQLITE_OK;
             });
    return rc == SQLITE_DONE ? SQLITE_OK : rc;
}

// Emits the terms of one run of CJK characters.
bool emitCjkRun(std::string_view text, const std::vector<Character>& run, bool bQuery, const TokenSink& sink)
{
    const auto span = [&](size_t i, size_t j) {
        return text.substr(static_cast<size_t>(run[i].nStart), static_cast<size_t>(run[j].nEnd - run[i].nStart));
    };
    const size_t n = run.size();
    if (bQuery && n >= 2) {
        for (size_t i = 0; i + 1 < n; ++i) {
            if (!sink(span(i, i + 1), run[i].nStart, run[i + 1].nEnd, false)) {
                return false;
            }
        }
        return sink(span(n - 1, n - 1), run[n - 1].nStart, run[n - 1].nEnd, false);
    }
    for (size_t i = 0; i < n; ++i) {
        // The single character comes first at its position: highlights follow the first term of each
        // position, so a match is marked exactly, neither a character short nor one too long.
        if (!sink(span(i, i), run[i].nStart, run[i].nEnd, false)) {
            return false;
        }
        if (i + 1 < n && !sink(span(i, i + 1), run[i].nStart, run[i + 1].nEnd, true)) {
            return false;
        }
    }
    return true;
}

} // namespace

void Tokenize(std::string_view text, bool bQuery, const TokenSink& sink)
{
    const int nSize = static_cast<int>(text.size());
    std::vector<Character> run;
    std::string word;
    int nWordStart = 0;
    int nWordEnd = 0;
    const auto flushWord = [&] {
        if (word.empty()) {
            return true;
        }
        const bool bGo = sink(word, nWordStart, nWordEnd, false);
        word.clear();
        return bGo;
    };
    const auto flushRun = [&] {
        if (run.empty()) {
            return true;
        }
        const bool bGo = emitCjkRun(text, run, bQuery, sink);
        run.clear();
        return bGo;
    };
    int nPos = 0;
    while (nPos < nSize) {
        const Character c = readCharacter(text, nPos);
        nPos = c.nEnd;
        if (isCjk(c.nCode)) {
            if (!flushWord()) {
                return;
            }
            run.push_back(c);
            continue;
        }
        if (!flushRun()) {
            return;
        }
        const std::uint32_t w = c.nCode ? wordCharacter(c.nCode) : 0;
        if (w == 0) {
            if (!flushWord()) {
                return;
            }
            continue;
        }
        if (word.empty()) {
            nWordStart = c.nStart;
        }
        codepage::AppendUtf8(word, w);
        nWordEnd = c.nEnd;
    }
    if (flushWord()) {
        flushRun();
    }
}

bool RegisterTokenizer(sqlite3* db)
{
    fts5_api* pApi = nullptr;
    sqlite3_stmt* pStmt = nullptr;
    if (sqlite3_prepare_v2(db, "SELECT fts5(?1)", -1, &pStmt, nullptr) != SQLITE_OK) {
        return false;
    }
    sqlite3_bind_pointer(pStmt, 1, static_cast<void*>(&pApi), "fts5_api_ptr", nullptr);
    sqlite3_step(pStmt);
    sqlite3_finalize(pStmt);
    if (!pApi) {
        return false;
    }
    static fts5_tokenizer s_tokenizer = {tokenizerCreate, tokenizerDelete, tokenizerTokenize};
    return pApi->xCreateTokenizer(pApi, kTokenizerName, nullptr, &s_tokenizer, nullptr) == SQLITE_OK;
}

} // namespace search
