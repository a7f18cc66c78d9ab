#pragma once

#include <string>
#include <string_view>

// What a browser would run in a saved page, found and taken out for pages saved without scripts.
namespace markup
{

// The page without script elements, event handler attributes (on...), javascript: and vbscript:
// addresses, srcdoc documents, and data: documents in frames, objects and embeds. Every other byte
// stays. The page is read both as a browser reads plain HTML (with scripts on) and as it reads inside
// <svg> and <math>, and taken out until neither reading finds anything; a page that never settles is
// kept as text only ("<" written as "&lt;").
std::string StripExecutable(std::string_view page);

// Whether either reading finds anything StripExecutable takes out.
bool HasExecutable(std::string_view page);

} // namespace markup
