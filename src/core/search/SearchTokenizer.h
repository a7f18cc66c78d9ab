#pragma once

#include <functional>
#include <string_view>

struct sqlite3;

// How the search index splits text into terms, so that Chinese is found at any length:
// - a run of Han characters, kana or hangul gives every character alone and, at the same position, every
//   overlapping pair of neighbours ("软件包" → 软, 软件, 件, 件包, 包);
// - in a query, a run of two or more such characters becomes its pairs and then its last character
//   ("软件包" → 软件, 件包, 包), one position each, so FTS5 matches it as a phrase exactly where the
//   run stands in a page, while a single character matches the single-character terms;
// - other letters and digits form words, lower-cased, with full-width forms ("Ａｂｃ１") read as ASCII.
namespace search
{

// One term: its text, where it came from in the input (byte offsets), and whether it shares the
// position of the term before it.
using TokenSink = std::function<bool(std::string_view term, int nStart, int nEnd, bool bColocated)>;

// Splits UTF-8 text (a page or a query) into terms; stops early when sink returns false.
void Tokenize(std::string_view text, bool bQuery, const TokenSink& sink);

// The tokenizer's name in FTS5 table declarations.
inline constexpr const char* kTokenizerName = "trawlix";

// Makes the tokenizer known to FTS5 on this connection; false when FTS5 is missing.
bool RegisterTokenizer(sqlite3* db);

} // namespace search
