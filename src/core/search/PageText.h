#pragma once

#include <string>
#include <string_view>

// The text a reader sees in a saved page, for the search index: the page's bytes read in the charset it
// declares (code page 936 and GB2312 as GB18030, UTF-8, others through iconv; undeclared as a saved page
// is stored), markup, comments, scripts, styles and the head left out, character references decoded, and
// white space collapsed to one space, with block boundaries kept as spaces so words do not run together.
std::string SavedPageText(std::string_view page);
