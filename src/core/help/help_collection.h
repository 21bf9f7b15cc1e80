#pragma once

#include <QString>

#include <array>

namespace tw {

// The topic of every dialog and property page that has a Help button.
inline constexpr std::array<int, 18> kHelpTopics{100, 102, 104, 105, 106, 108, 110, 200, 300,
                                                 302, 304, 350, 540, 542, 544, 546, 550, 800};

// The namespace this version's help document is registered under
// ("org.example.quellwork.tarnwick2000.<version>"); a collection registering another one is
// left over from another version and is not shown.
QString HelpNamespace();

// The keyword identifier of a dialog topic ("topic-<id>"); its page has an element with this id.
QString HelpTopicIdentifier(int topic);

// Whether `path` names an existing, readable collection file.
bool HelpCollectionPresent(const QString& path);

// A copy of the collection `source` (and the documents beside it) in `cacheFolder`, which the
// help engine may write to (its search index lives next to the collection, and an installed
// collection is read-only). The copy is made again, without the old index, when a source
// file's size or time differs from its copy. Empty when the copy cannot be made.
QString UserHelpCollection(const QString& source, const QString& cacheFolder);

} // namespace tw
