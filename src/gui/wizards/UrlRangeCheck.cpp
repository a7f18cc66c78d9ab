#include "wizards/UrlRangeCheck.h"

#include <string>
#include <vector>

#include "common/Text.h"
#include "download/UrlSequence.h"

bool ExpandsToPages(const QString& strFirst, const QString& strLast)
{
    CUrlSequence sequence;
    sequence.SetRange(fromQ(strFirst), fromQ(strLast));
    std::vector<std::string> urls;
    std::vector<std::string> names;
    std::string strExt;
    sequence.Expand(urls, names, 0, strExt);
    return !urls.empty();
}
