#pragma once

#include <functional>
#include <string>
#include <unordered_set>
#include <vector>

// The file names of one job's pages. Every page gets a file (and a resource folder) of its own: a
// name that an earlier page of the job took, or that a page or resource folder already in the
// project folder has (an earlier job's), is replaced by a fresh one, so no page is ever written
// over another.
class CPageNameSet
{
public:
    // strProjectFolder empty: only the job's own names count.
    CPageNameSet(std::string strProjectFolder, std::string strExt);

    // Taken by an earlier page of the job.
    bool IsTakenInJob(const std::string& strName) const { return m_job.count(strName) != 0; }
    // Taken by the job, or by a file or folder of that name in the project folder.
    bool IsTaken(const std::string& strName) const;
    // strName when it is free, else strName + "_2", "_3" … whichever is free first; it is taken from
    // now on.
    std::string Take(const std::string& strName);

private:
    std::string m_strProjectFolder;
    std::string m_strExt;
    std::unordered_set<std::string> m_job;
};

// Makes a job's page names fit for files, in list order: the extension of a series numbered in a
// folder name ("/index.html") is cut to the file's own; a name that would leave the project folder
// becomes "00" + its number; a name an earlier page has becomes "000" + its number; a name still
// taken (CPageNameSet) gets a further fresh one. stopped is asked now and then; when it says so,
// the names are left as far as they got and false comes back.
bool MakePageNamesUnique(std::vector<std::string>& names,
                         std::string& strExt,
                         const std::string& strProjectFolder,
                         const std::function<bool()>& stopped = {});
