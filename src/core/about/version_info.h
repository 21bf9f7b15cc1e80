#pragma once

#include <QString>

#include <map>
#include <vector>

namespace tw {

// The maker's web site, a host and path opened with the desktop's browser.
inline constexpr char16_t kWebSiteAddress[] = u"www.example.org/quellwork";
// The text of item 106 when the version values have no "Comments".
inline constexpr char16_t kCommentsFallback[] =
    u"Visit the Quellwork Web Site on the Internet to download the latest releases of all of "
    u"my software.";

// The program's version values by key ("ProductName", "FileVersion", ...).
using VersionTable = std::map<QString, QString>;

// The values compiled into the program from the project version: ProductName, LegalCopyright,
// FileDescription, FileVersion, ProductVersion, Release, Comments, WebSite, CompanyName,
// InternalName, OriginalFilename.
const VersionTable& ProgramVersionTable();

// The distribution notice of item 105.
QString DistributionNotice();

// The program's folder as item 109 shows it: the directory part of `programPath` through its
// last '/', as it is (case is part of a name here). Empty when the path has no '/'.
QString ProgramFolderText(const QString& programPath);

// One text of the Version page: the item id and what it shows.
struct VersionItem {
    int id;
    QString text;
    bool operator==(const VersionItem&) const = default;
};

// The texts of the Version page's items 101-107 and 109, in that order. Each key item shows
// its value from `table`, or its fallback when the key is missing: 101 ProductName (string
// 1002), 102 LegalCopyright (1021), 103 FileDescription (1020), 104 FileVersion (1019), 106
// Comments (kCommentsFallback), 107 WebSite (kWebSiteAddress). Item 105 shows the
// distribution notice and 109 the program's folder. An empty table (no version values at
// all) leaves the items at their initial texts: the fallbacks, with 105 and 109 empty.
std::vector<VersionItem> VersionPageTexts(const VersionTable& table, const QString& programPath);

} // namespace tw
