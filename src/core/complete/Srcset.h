#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

// The candidates of a srcset attribute and the one a saved page keeps.
namespace srcset
{

struct Candidate
{
    std::string strUrl;
    long nWidth = 0;       // "480w"; 0 when not given
    double dDensity = 0.0; // "2x" or "1.5x"; 0 when not given
};

// Candidates in order, read as browsers read them: an address runs to white space (so a data: address
// keeps its commas), commas end a candidate, and one with a malformed descriptor is dropped.
std::vector<Candidate> Parse(std::string_view srcset);

// The address of the largest candidate: by width when any candidate gives one, else by density (a
// candidate without a descriptor counts as 1x). The first wins a tie. nullopt when there is none.
std::optional<std::string> ChooseLargest(std::string_view srcset);

} // namespace srcset
