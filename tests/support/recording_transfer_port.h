#pragma once

#include "core/transfer/transfer_port.h"
#include "support/recording_port.h"

#include <deque>
#include <functional>
#include <optional>

namespace tw::test {

// A recording port that also plays the transfer windows: name prompts and newer-destination
// questions are answered from scripts, progress calls are recorded with the window's rules (one
// at a time). `onProgress` runs on every position change (tests use it to press Stop).
class RecordingTransferPort : public RecordingPort, public TransferPort {
public:
    std::deque<std::optional<QString>> names; // askDestinationName answers (nullopt = Cancel)
    std::deque<NewerAnswer> newer;            // askNewerDestination answers (empty: No)
    std::deque<ResumeAnswer> resumes;         // askResume answers (empty: Resume)
    std::function<void(int)> onProgress;

    ResumeAnswer askResume(const ResumeRequest& request) override {
        record(QStringLiteral("askResume: %1 %2 of %3")
                   .arg(request.name)
                   .arg(request.partial)
                   .arg(request.size));
        std::lock_guard lock(m_mutex);
        if (resumes.empty())
            return ResumeAnswer::Resume;
        const ResumeAnswer answer = resumes.front();
        resumes.pop_front();
        return answer;
    }

    std::optional<QString> askDestinationName(const DestinationNameRequest& request) override {
        record(QStringLiteral("askName: ") + request.fileName +
               (request.lowercase ? QStringLiteral(" (lower case)") : QString()) +
               (request.retry ? QStringLiteral(" (retry)") : QString()));
        std::lock_guard lock(m_mutex);
        if (names.empty())
            return std::nullopt;
        auto answer = names.front();
        names.pop_front();
        return answer;
    }
    void endDestinationName(bool accepted) override {
        record(accepted ? QStringLiteral("endName: ok") : QStringLiteral("endName: cancel"));
    }
    NewerAnswer askNewerDestination(const NewerDestinationRequest& request) override {
        record(QStringLiteral("askNewer: ") + request.source.name +
               (request.multiple ? QStringLiteral(" (multiple)") : QString()));
        std::lock_guard lock(m_mutex);
        if (newer.empty())
            return NewerAnswer::No;
        const NewerAnswer answer = newer.front();
        newer.pop_front();
        return answer;
    }
    bool openProgress(const ProgressRequest& request) override {
        {
            std::lock_guard lock(m_mutex);
            if (m_progressOpen)
                return false;
            m_progressOpen = true;
        }
        record(QStringLiteral("progress: open %1 0..%2").arg(request.text).arg(request.maximum));
        return true;
    }
    bool setProgress(int position, const std::optional<QString>&) override {
        {
            std::lock_guard lock(m_mutex);
            if (!m_progressOpen)
                return false;
            m_lastPosition = position;
        }
        if (onProgress)
            onProgress(position);
        return true;
    }
    bool closeProgress() override {
        int last = 0;
        {
            std::lock_guard lock(m_mutex);
            if (!m_progressOpen)
                return false;
            m_progressOpen = false;
            last = m_lastPosition;
        }
        record(QStringLiteral("progress: close at %1").arg(last));
        return true;
    }

    // Hand-overs to the UI thread wait until the test runs them (as the event loop would).
    void runOnUiThread(std::function<void()> task) override {
        std::lock_guard lock(m_mutex);
        m_tasks.push_back(std::move(task));
    }
    // Runs the queued hand-overs; false when there were none.
    bool runUiTasks() {
        std::deque<std::function<void()>> tasks;
        {
            std::lock_guard lock(m_mutex);
            tasks.swap(m_tasks);
        }
        for (auto& task : tasks)
            task();
        return !tasks.empty();
    }

private:
    std::deque<std::function<void()>> m_tasks;
    bool m_progressOpen = false;
    int m_lastPosition = 0;
};

} // namespace tw::test
