#include "queue/queue_paths.h"

namespace tw::queue {

namespace {

constexpr std::string_view kUploadSuffix = ".tw-up";
constexpr std::string_view kPartialSuffix = ".tw-part";

std::string_view withoutTrailingSlash(std::string_view path) {
    while (path.size() > 1 && path.back() == '/')
        path.remove_suffix(1);
    return path;
}

std::string hiddenSibling(std::string_view path, std::string_view suffix) {
    const std::string folder = ParentPath(path);
    std::string name(1, '.');
    name += BaseName(path);
    name += suffix;
    return folder.empty() ? name : JoinPath(folder, name);
}

bool isHiddenWith(std::string_view name, std::string_view suffix) {
    return name.size() > suffix.size() + 1 && name.front() == '.' &&
           name.substr(name.size() - suffix.size()) == suffix;
}

} // namespace

std::string JoinPath(std::string_view folder, std::string_view name) {
    std::string path(folder);
    if (!path.empty() && path.back() != '/')
        path += '/';
    path += name;
    return path;
}

std::string BaseName(std::string_view path) {
    path = withoutTrailingSlash(path);
    const auto slash = path.rfind('/');
    return std::string(slash == std::string_view::npos ? path : path.substr(slash + 1));
}

std::string ParentPath(std::string_view path) {
    path = withoutTrailingSlash(path);
    const auto slash = path.rfind('/');
    if (slash == std::string_view::npos)
        return {};
    return slash == 0 ? std::string("/") : std::string(path.substr(0, slash));
}

bool IsSameOrInside(std::string_view path, std::string_view folder) {
    path = withoutTrailingSlash(path);
    folder = withoutTrailingSlash(folder);
    if (path.substr(0, folder.size()) != folder)
        return false;
    return path.size() == folder.size() || folder == "/" || path[folder.size()] == '/';
}

std::string UploadTemporaryPath(std::string_view remotePath) {
    return hiddenSibling(remotePath, kUploadSuffix);
}

std::string DownloadPartialPath(std::string_view localPath) {
    return hiddenSibling(localPath, kPartialSuffix);
}

bool IsUploadTemporaryName(std::string_view name) {
    return isHiddenWith(name, kUploadSuffix);
}

bool IsDownloadPartialName(std::string_view name) {
    return isHiddenWith(name, kPartialSuffix);
}

} // namespace tw::queue
