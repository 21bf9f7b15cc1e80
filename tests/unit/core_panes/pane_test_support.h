#pragma once

#include "core/panes/local_system.h"
#include "core/panes/pane_operations.h"
#include "core/state/app_state.h"
#include "core/text/messages.h"
#include "support/recording_port.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <deque>
#include <optional>
#include <string>
#include <unistd.h>

namespace tw::test {

// A recording port that also answers the pane questions from scripts.
class RecordingPanePort : public RecordingPort, public PanePort {
public:
    std::deque<std::optional<QString>> names;   // answers of askName (nullopt = Cancel)
    std::deque<DeleteAnswer> deletes;           // answers of askDelete
    std::deque<std::optional<QString>> folders; // answers of askFolder
    std::vector<NameRequest> nameRequests;
    std::vector<DeleteRequest> deleteRequests;
    std::vector<FolderRequest> folderRequests;
    std::vector<PropertiesData> properties;

    std::optional<QString> askName(const NameRequest& request) override {
        nameRequests.push_back(request);
        record(QStringLiteral("askName: ") + request.caption + QStringLiteral(" | ") +
               request.text);
        if (names.empty())
            return std::nullopt;
        auto answer = names.front();
        names.pop_front();
        return answer;
    }
    void endNameDialog(NameDialogKind, bool succeeded) override {
        record(succeeded ? QStringLiteral("endName: ok") : QStringLiteral("endName: cancel"));
    }
    DeleteAnswer askDelete(const DeleteRequest& request) override {
        deleteRequests.push_back(request);
        record(QStringLiteral("askDelete: ") + request.name);
        if (deletes.empty())
            return DeleteAnswer::Cancel;
        const DeleteAnswer answer = deletes.front();
        deletes.pop_front();
        return answer;
    }
    std::optional<QString> askFolder(const FolderRequest& request) override {
        folderRequests.push_back(request);
        record(QStringLiteral("askFolder: ") + request.title);
        if (folders.empty())
            return std::nullopt;
        auto answer = folders.front();
        folders.pop_front();
        return answer;
    }
    bool showProperties(const PropertiesData& data) override {
        properties.push_back(data);
        record(QStringLiteral("properties: ") + data.name);
        return true;
    }
};

// Fixed volumes, recorded program starts and a file manager that may or may not answer.
class FakeLocalSystem : public LocalSystem {
public:
    QStringList mounts;
    int startError = 0;
    bool fileManagerAnswers = false;
    std::vector<std::pair<QString, QByteArray>> started;
    QByteArrayList propertiesShown;

    QStringList mountPoints() override { return mounts; }
    int startProgram(const QString& program, const QByteArray& path) override {
        started.emplace_back(program, path);
        return startError;
    }
    bool showItemProperties(const QByteArray& path) override {
        propertiesShown << path;
        return fileManagerAnswers;
    }
};

// State, messages, ports and a scratch folder that is the local pane's folder.
struct PaneFixture {
    RecordingPanePort port;
    FakeLocalSystem system;
    AppState state;
    AppGlobals globals;
    Messages messages{port, state, globals};
    PaneContext context{state, messages, port};
    QTemporaryDir dir;
    QString savedCwd = QDir::currentPath();

    PaneFixture() {
        globals.soundsWithDialogs = false;
        state.ColumnLabels = {QStringLiteral("File Name"), QStringLiteral("Date"),
                              QStringLiteral("Size")};
        state.local.path = dir.path();
        state.options.AlertLevel = 0;
        state.options.UseTrash = 0; // deletes remove; the Trash has tests of its own
        state.options.ShowHidden = 1;
    }
    ~PaneFixture() { QDir::setCurrent(savedCwd); }

    QString path(const QString& name) const { return dir.path() + u'/' + name; }
    void touch(const QString& name, const QByteArray& content = {}) const {
        QFile f(path(name));
        f.open(QIODevice::WriteOnly);
        f.write(content);
    }
    void mkdir(const QString& name) const { QDir().mkpath(path(name)); }
    // The row index of `name` in the local pane, or -1.
    int row(const QString& name) const {
        for (int i = 0; i < state.local.count(); ++i)
            if (state.local.entries[std::size_t(i)].name == name)
                return i;
        return -1;
    }
    QStringList names() const {
        QStringList out;
        for (const auto& e : state.local.entries)
            out << e.name;
        return out;
    }
};

} // namespace tw::test
