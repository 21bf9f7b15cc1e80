#pragma once

// Paths of the transfer queue: byte strings, remote ones with '/' between names (RFC 959 leaves
// the syntax to the server; every server this program meets takes '/'), local ones POSIX. The
// hidden names a copy keeps its unfinished data under live here, so the window, tarnwick-ftp and
// the walks that leave them out agree on them.

#include <string>
#include <string_view>

namespace tw::queue {

// `folder` + '/' + `name` ("/" + "a" is "/a", "" + "a" is "a"). The same for both sides.
std::string JoinPath(std::string_view folder, std::string_view name);
// The last name of a path ("/pub/a" is "a", "a" is "a"; a trailing '/' is ignored).
std::string BaseName(std::string_view path);
// The folder part ("/pub/a" is "/pub", "/a" is "/", "a" is "").
std::string ParentPath(std::string_view path);
// Whether `path` is `folder` itself or lies inside it (names compared as bytes).
bool IsSameOrInside(std::string_view path, std::string_view folder);

// An upload to `remotePath` is stored as ".<name>.tw-up" in the same folder and renamed over
// the destination once the server confirmed it.
std::string UploadTemporaryPath(std::string_view remotePath);
// A download to `localPath` is written to ".<name>.tw-part" beside it and renamed over the
// destination once every byte arrived.
std::string DownloadPartialPath(std::string_view localPath);
// Whether a name is one of those hidden names (never a file of the user's).
bool IsUploadTemporaryName(std::string_view name);
bool IsDownloadPartialName(std::string_view name);

} // namespace tw::queue
