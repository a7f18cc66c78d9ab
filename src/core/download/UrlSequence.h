#pragma once

#include <string>
#include <vector>

// Turns a first and a last address of a numbered series (page1.html … page20.html) into every
// address of the series, a local page name for each and the extension all pages are saved under.
// One address alone, or two equal ones, is a one-page list.
class CUrlSequence
{
public:
    // The longest series we expand; a longer one is refused rather than filling memory.
    static constexpr long long kMaxSeriesLength = 100000;
    // The most bytes the addresses of one series may take together: very long addresses make even a
    // short series too large to hold.
    static constexpr long long kMaxSeriesBytes = 64LL * 1024 * 1024;

    // Why the last Expand returned -1.
    enum class Refusal
    {
        None,          // the last Expand succeeded (or none ran)
        NotRecognised, // the pair is not a series we can expand
        TooLong,       // a series, but longer than kMaxSeriesLength addresses
        TooLarge,      // a series whose addresses would take more than kMaxSeriesBytes
    };

    // Stores both addresses with white space trimmed at both ends.
    void SetRange(const std::string& strFirst, const std::string& strLast);

    // Appends the series to urls and names (index-aligned) and sets strExt; returns 0. Returns -1
    // when the pair is not a series, and then appends nothing and leaves strExt alone.
    // nAddCount, when nonzero, is appended to every name ("3_2") so that a later job in the same
    // project does not overwrite the pages of an earlier one.
    int Expand(std::vector<std::string>& urls, std::vector<std::string>& names, int nAddCount, std::string& strExt);

    // What Expand would return, without building the lists: for checking a pair before a job
    // expands it.
    int Check();

    Refusal LastRefusal() const { return m_refusal; }

private:
    int Refuse(Refusal why);
    // Expand's work; with null lists it only checks.
    int expand(std::vector<std::string>* urls, std::vector<std::string>* names, int nAddCount, std::string* strExt);

    std::string m_strFirst;
    std::string m_strLast;
    Refusal m_refusal = Refusal::None;
};
