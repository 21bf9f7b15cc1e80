#pragma once

#include "core/panes/pane_state.h"

#include <QByteArray>
#include <QString>

namespace tw {

// Joins a folder and a name with one separator.
QString JoinLocalPath(const QString& folder, const QString& name);
QByteArray JoinLocalPath(const QByteArray& folder, const QByteArray& name);

// The bytes of the local pane's folder (its raw bytes when the text cannot hold them).
QByteArray LocalPathBytes(const PaneState& pane);
// The bytes of a row's name as the file system holds it.
QByteArray EntryNameBytes(const FileEntry& entry);
// The full path bytes of a row in the local pane (a drive row: its mount point).
QByteArray LocalEntryBytes(const PaneState& pane, const FileEntry& entry);

// Sets the local pane's folder from the bytes the system returned.
void SetLocalPathFromBytes(PaneState& pane, const QByteArray& bytes);

// True when the bytes decode to a text that encodes back to the same bytes.
bool DecodesCleanly(const char* bytes, std::size_t length);

// The process's current folder (getcwd), or an empty array with errno set.
QByteArray CurrentFolderBytes();

} // namespace tw
