#pragma once

#include <functional>
#include <string>
#include <unordered_set>
#include <vector>

// The file names of one job's pages. Every page gets a file (and a resource folder) of its own: a
// name that an earlier page of the job took, or that a page or resource folder already in the
// project folder has (an earlier job's, or one another job running now has reserved), is replaced by
// a fresh one, so no page is ever written over another.
class CPageNameSet
{
public:
    // strProjectFolder empty: only the job's own names count. bReserve: a name is reserved on disk
    // when it is taken (see Take).
    CPageNameSet(std::string strProjectFolder, std::string strExt, bool bReserve = false);

    // Taken by an earlier page of the job.
    bool IsTakenInJob(const std::string& strName) const { return m_job.count(strName) != 0; }
    // Taken by the job, or by a file or folder of that name in the project folder.
    bool IsTaken(const std::string& strName) const;
    // strName when it is free, else strName + "_2", "_3" … whichever is free first; it is taken from
    // now on. When reserving, the name's page file is created empty and exclusively and its resource
    // folder made, both at once with the check, so two jobs choosing names in one folder at the same
    // time (two processes, or threads) never get the same one. *pReserved tells whether that happened
    // (it does not when the folder cannot be written; the name is then only checked).
    std::string Take(const std::string& strName, bool* pReserved = nullptr);

private:
    // Creates the page file and folder of strName; false when either was there already.
    bool reserve(const std::string& strName, bool& bReserved) const;

    std::string m_strProjectFolder;
    std::string m_strExt;
    bool m_bReserve = false;
    std::unordered_set<std::string> m_job;
};

// Makes a job's page names fit for files, in list order: the extension of a series numbered in a
// folder name ("/index.html") is cut to the file's own; a name that would leave the project folder
// becomes "00" + its number; a name an earlier page has becomes "000" + its number; a name still
// taken (CPageNameSet) gets a further fresh one. With pReserved, every name is reserved in the project
// folder as it is chosen (CPageNameSet::Take) and (*pReserved)[i] says whether page i's was; each such
// name is the job's to save into or to give back with ReleasePageName. stopped is asked now and then;
// when it says so, the names are left as far as they got and false comes back.
bool MakePageNamesUnique(std::vector<std::string>& names,
                         std::string& strExt,
                         const std::string& strProjectFolder,
                         const std::function<bool()>& stopped = {},
                         std::vector<bool>* pReserved = nullptr);

// Gives back a reserved name whose page was not saved: its page file goes while it is still the empty
// reservation, and its resource folder with whatever a failed save left in it.
void ReleasePageName(const std::string& strProjectFolder, const std::string& strName, const std::string& strExt);
