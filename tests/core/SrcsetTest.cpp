#include "complete/Srcset.h"

#include <string>
#include <vector>

#include <gtest/gtest.h>

TEST(Srcset, ReadsCandidatesAsBrowsersDo)
{
    struct Case
    {
        const char* pSrcset;
        std::vector<std::string> urls;
    };
    const Case cases[] = {
        {"a.jpg 1x, b.jpg 2x", {"a.jpg", "b.jpg"}},
        {"  a.jpg  480w ,\n b.jpg 800w  ", {"a.jpg", "b.jpg"}},
        {"a.jpg,b.jpg 2x", {"a.jpg,b.jpg"}}, // a comma inside an address does not split it
        {"a.jpg, b.jpg,, c.jpg", {"a.jpg", "b.jpg", "c.jpg"}},
        {"data:image/png;base64,AA== 1x, b.png 2x", {"data:image/png;base64,AA==", "b.png"}},
        {"a.jpg 2q, b.jpg 1.5x", {"b.jpg"}},      // an unknown descriptor drops its candidate
        {"a.jpg 100w 2x, b.jpg 100w", {"b.jpg"}}, // so does a width and a density together
        {"a.jpg 100h, b.jpg 100w 50h", {"b.jpg"}},
        {"a.jpg -1w, b.jpg +2x, c.jpg 0x5x", {}},
        {"a.jpg (foo, bar) 2x", {}},
        {"", {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.pSrcset);
        std::vector<std::string> urls;
        for (const srcset::Candidate& candidate : srcset::Parse(c.pSrcset)) {
            urls.push_back(candidate.strUrl);
        }
        EXPECT_EQ(urls, c.urls);
    }
}

TEST(Srcset, ChoosesTheLargestByWidthElseByDensity)
{
    struct Case
    {
        const char* pSrcset;
        const char* pChosen; // nullptr: none
    };
    const Case cases[] = {
        {"s.jpg 320w, l.jpg 1280w, m.jpg 640w", "l.jpg"},
        {"a.jpg, b.jpg 2x, c.jpg 1.5x", "b.jpg"},
        {"a.jpg 3x, b.jpg 3x", "a.jpg"}, // the first wins a tie
        {"only.jpg", "only.jpg"},        // no descriptor is 1x
        {"a.jpg 0.5x, b.jpg", "b.jpg"},
        {"x.jpg 2x, w.jpg 100w", "w.jpg"}, // widths, once given, decide
        {"a.jpg 2q", nullptr},
        {"   ,  ", nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.pSrcset);
        const auto chosen = srcset::ChooseLargest(c.pSrcset);
        if (c.pChosen) {
            ASSERT_TRUE(chosen.has_value());
            EXPECT_EQ(*chosen, c.pChosen);
        } else {
            EXPECT_FALSE(chosen.has_value());
        }
    }
}
