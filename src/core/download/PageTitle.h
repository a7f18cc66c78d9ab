#pragma once

#include <string>
#include <string_view>

// A page's title as the project tree, the project file and a book's contents show it: UTF-8 (a title
// from a page stored in code page 936 converted back), character references decoded ("第&#160;1章"
// reads "第 1章"), and tabs, line breaks and other control characters as spaces, since a tab would
// shift the fields of a page record.
std::string PageTitleText(std::string_view title);
// The same for a title taken from the page: its bytes are read in the charset the page declares, so a
// short GB2312 title whose bytes happen to form UTF-8 ("目录") is not taken for UTF-8.
std::string PageTitleText(std::string_view title, std::string_view page);

// UTF-8 text with its numeric references (&#160; &#xA0;) and the common named ones (&amp; &lt; &gt;
// &quot; &apos; &nbsp; and a few dozen more) decoded. A reference that is unknown, unterminated or
// names no character (&#0; a surrogate, beyond U+10FFFF) stays as written.
std::string DecodeCharacterReferences(std::string_view text);

// Text written into markup, as element content or a double-quoted attribute value: "&", "<", ">" and
// '"' become references, everything else stays as it is.
std::string EscapeMarkupText(std::string_view text);
