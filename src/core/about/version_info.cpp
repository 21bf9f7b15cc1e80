#include "core/about/version_info.h"

#include "core/about/program_version.h"
#include "core/text/string_table.h"

namespace tw {

namespace {

const QString kProgramName = QStringLiteral("Tarnwick 2000");

// A key item of the page: its id, its key and its fallback (a string id, else a text).
struct KeyItem {
    int id;
    const char16_t* key;
    int fallbackId;
    const char16_t* fallbackText;
};
constexpr KeyItem kKeyItems[] = {
    {101, u"ProductName", 1002, nullptr},
    {102, u"LegalCopyright", 1021, nullptr},
    {103, u"FileDescription", 1020, nullptr},
    {104, u"FileVersion", 1019, nullptr},
    {105, u"Release", 0, u""},
    {106, u"Comments", 0, kCommentsFallback},
    {107, u"WebSite", 0, kWebSiteAddress},
};
constexpr int kNoticeItem = 105;
constexpr int kFolderItem = 109;

QString fallback(const KeyItem& item) {
    if (item.fallbackId)
        return LookupString(item.fallbackId).value_or(QString());
    return QString::fromUtf16(item.fallbackText);
}

} // namespace

const VersionTable& ProgramVersionTable() {
    static const VersionTable table = [] {
        const QString version = QString::fromUtf16(kProjectVersionText);
        return VersionTable{
            {QStringLiteral("ProductName"), kProgramName},
            {QStringLiteral("LegalCopyright"), QStringLiteral("Copyright (C) 2000-2026 Quellwork")},
            {QStringLiteral("FileDescription"),
             QStringLiteral("Tarnwick Internet FTP Client Utility")},
            {QStringLiteral("FileVersion"), QStringLiteral("Version ") + version},
            {QStringLiteral("ProductVersion"), version},
            {QStringLiteral("Release"), QStringLiteral("Release ") + version},
            {QStringLiteral("Comments"), QString::fromUtf16(kCommentsFallback)},
            {QStringLiteral("WebSite"), QString::fromUtf16(kWebSiteAddress)},
            {QStringLiteral("CompanyName"), QStringLiteral("Quellwork")},
            {QStringLiteral("InternalName"), QStringLiteral("tarnwick2000")},
            {QStringLiteral("OriginalFilename"), QStringLiteral("tarnwick2000")},
        };
    }();
    return table;
}

QString DistributionNotice() {
    // The same terms as the package's copyright file: nothing is granted that it does not.
    return kProgramName +
           QStringLiteral(" is distributed by Quellwork, who keep all rights to it. It comes "
                          "with no warranty of any kind.");
}

QString ProgramFolderText(const QString& programPath) {
    const qsizetype slash = programPath.lastIndexOf(u'/');
    if (slash < 0)
        return {};
    return programPath.left(slash + 1);
}

std::vector<VersionItem> VersionPageTexts(const VersionTable& table, const QString& programPath) {
    std::vector<VersionItem> items;
    for (const KeyItem& item : kKeyItems) {
        const auto found = table.find(QString::fromUtf16(item.key));
        QString text = found != table.end() ? found->second : fallback(item);
        if (item.id == kNoticeItem)
            text = table.empty() ? QString() : DistributionNotice();
        items.push_back({item.id, text});
    }
    items.push_back({kFolderItem, table.empty() ? QString() : ProgramFolderText(programPath)});
    return items;
}

} // namespace tw
