#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <unordered_map>

// The resources one download job has asked for, by address exactly as collected. Each address is fetched
// once per job: the first page that uses it gets the fetched file, a later page a hard link to that copy
// (a copy where the file system has no links), and an address that failed is not asked for again.
class CJobResources
{
public:
    enum class State
    {
        Unknown,
        Running,
        Ready,
        Failed
    };

    CJobResources() = default;
    // Removes fetched files that were never placed.
    ~CJobResources();
    CJobResources(const CJobResources&) = delete;
    CJobResources& operator=(const CJobResources&) = delete;

    State StateOf(const std::string& strUrl) const;
    // A request for the address has been queued on behalf of page nPage.
    void Started(const std::string& strUrl, int nPage);
    // The request ended: the body is in strTempFile (handed over), or it failed for strWhy.
    void Fetched(const std::string& strUrl, const std::string& strTempFile);
    void Failed(const std::string& strUrl, const std::string& strWhy);
    // Forgets requests queued for pages after nPage (abandoned); their addresses count as unknown again.
    void ForgetPagesAbove(int nPage);

    // The files placed below strFolder are gone (a failed page's folder was removed): their addresses
    // are fetched again when a later page needs them.
    void ForgetPlacedIn(const std::string& strFolder);

    // Puts a Ready address's body at strPath, replacing what is there. False (with pWhy) when that fails;
    // the address is then failed for the rest of the job.
    bool Place(const std::string& strUrl, const std::string& strPath, std::string* pWhy = nullptr);
    // Why a Failed address failed.
    std::string WhyFailed(const std::string& strUrl) const;

private:
    // An address is known by a digest of it (the first 16 bytes of its SHA-256), so a job of thousands
    // of pages keeps a few dozen bytes per address it has seen instead of the address itself.
    struct Key
    {
        std::uint64_t a = 0;
        std::uint64_t b = 0;
        bool operator==(const Key&) const = default;
    };
    struct KeyHash
    {
        std::size_t operator()(const Key& key) const { return static_cast<std::size_t>(key.a); }
    };
    static Key KeyOf(const std::string& strUrl);

    struct Entry
    {
        State state = State::Unknown;
        int nPage = 0;
        // The first copy placed: the path held by m_placedAt (its nodes stay where they are), or null.
        const std::string* pPlaced = nullptr;
    };
    std::unordered_map<Key, Entry, KeyHash> m_entries;
    std::unordered_map<Key, std::string, KeyHash> m_temp; // fetched, not placed yet
    std::unordered_map<Key, std::string, KeyHash> m_why;  // why an address failed
    std::map<std::string, Key> m_placedAt;                // path → the address whose copy it holds
    void erase(const Key& key);
};
