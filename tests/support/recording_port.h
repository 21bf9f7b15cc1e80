#pragma once

#include "core/ui_port.h"
#include "support/qt_printers.h"

#include <QString>
#include <QStringList>

#include <algorithm>
#include <deque>
#include <mutex>
#include <optional>
#include <vector>

namespace tw::test {

// A UI port that records every call and answers questions from a script. Safe to call from
// worker threads. Subsystem tests derive from it to record their own port's calls.
class RecordingPort : public UiPort {
public:
    struct Box {
        BoxKind kind;
        QString caption;
        QString text;
        bool defaultYes;
    };

    // Answers for the next message boxes, in order; when the script is empty a box answers
    // `defaultAnswer`.
    void answerBoxes(std::initializer_list<bool> answers) {
        std::lock_guard lock(m_mutex);
        m_boxAnswers.insert(m_boxAnswers.end(), answers);
    }
    bool defaultAnswer = true;

    // Answers for the next certificate questions, in order; when the script is empty a
    // question answers `defaultCertificateAnswer`.
    void answerCertificates(std::initializer_list<CertificateAnswer> answers) {
        std::lock_guard lock(m_mutex);
        m_certificateAnswers.insert(m_certificateAnswers.end(), answers);
    }
    CertificateAnswer defaultCertificateAnswer = CertificateAnswer::Cancel;
    CertificateAnswer askCertificate(const CertificateRequest& request) override {
        std::lock_guard lock(m_mutex);
        m_certificates.push_back(request);
        m_events << QStringLiteral("certificate: ") + request.host + u':' +
                        QString::number(request.port) +
                        (request.changed ? QStringLiteral(" changed") : QString());
        if (m_certificateAnswers.empty())
            return defaultCertificateAnswer;
        const CertificateAnswer answer = m_certificateAnswers.front();
        m_certificateAnswers.pop_front();
        return answer;
    }
    std::vector<CertificateRequest> certificateRequests() const {
        std::lock_guard lock(m_mutex);
        return m_certificates;
    }
    // Answers for the next host key questions, in order (then `defaultHostKeyAnswer`).
    void answerHostKeys(std::initializer_list<HostKeyAnswer> answers) {
        std::lock_guard lock(m_mutex);
        m_hostKeyAnswers.insert(m_hostKeyAnswers.end(), answers);
    }
    HostKeyAnswer defaultHostKeyAnswer = HostKeyAnswer::Cancel;
    HostKeyAnswer askHostKey(const HostKeyRequest& request) override {
        std::lock_guard lock(m_mutex);
        m_hostKeys.push_back(request);
        m_events << QStringLiteral("host key: ") + QString::fromStdString(request.key.host) + u' ' +
                        QString::fromStdString(request.key.fingerprint);
        if (m_hostKeyAnswers.empty())
            return defaultHostKeyAnswer;
        const HostKeyAnswer answer = m_hostKeyAnswers.front();
        m_hostKeyAnswers.pop_front();
        return answer;
    }
    std::vector<HostKeyRequest> hostKeyRequests() const {
        std::lock_guard lock(m_mutex);
        return m_hostKeys;
    }
    // The answer to every passphrase question (nullopt: cancelled).
    std::optional<QString> passphraseAnswer;
    bool passphraseSave = false; // the answer's "Save passphrase" box
    std::optional<PassphraseAnswer> askPassphrase(const PassphraseRequest& request) override {
        std::lock_guard lock(m_mutex);
        m_passphrases.push_back(request);
        m_events << QStringLiteral("passphrase: ") + request.keyFile +
                        (request.again ? QStringLiteral(" again") : QString());
        if (!passphraseAnswer)
            return std::nullopt;
        return PassphraseAnswer{*passphraseAnswer, passphraseSave};
    }
    std::vector<PassphraseRequest> passphraseRequests() const {
        std::lock_guard lock(m_mutex);
        return m_passphrases;
    }
    bool statusVisible = true;
    bool waveWorks = true;

    void appendLog(const QString& line) override {
        record(QStringLiteral("log: ") + line, &m_log, line);
    }
    void clearLog() override {
        std::lock_guard lock(m_mutex);
        m_events << QStringLiteral("clearLog");
        m_log.clear();
    }
    bool showStatus(const QString& text) override {
        std::lock_guard lock(m_mutex);
        if (!statusVisible)
            return false;
        m_events << QStringLiteral("status: ") + text;
        m_status = text;
        return true;
    }
    bool showBox(const BoxRequest& request) override {
        std::lock_guard lock(m_mutex);
        m_boxes.push_back({request.kind, request.caption, request.text, request.defaultYes});
        m_events << QStringLiteral("box: ") + request.caption + QStringLiteral(" | ") +
                        request.text;
        if (m_boxAnswers.empty())
            return defaultAnswer;
        const bool answer = m_boxAnswers.front();
        m_boxAnswers.pop_front();
        return answer;
    }
    void beep() override { record(QStringLiteral("beep")); }
    bool playWave(const QString& path) override {
        record(QStringLiteral("wave: ") + path);
        return waveWorks;
    }
    void setCursor(CursorKind kind, bool on) override {
        record(QStringLiteral("cursor: ") +
               (kind == CursorKind::Wait ? QStringLiteral("wait ") : QStringLiteral("busy ")) +
               (on ? QStringLiteral("on") : QStringLiteral("off")));
    }
    void updateCommandState() override { record(QStringLiteral("updateCommandState")); }
    void refreshPane(PaneSide side) override {
        record(side == PaneSide::Local ? QStringLiteral("refresh: local")
                                       : QStringLiteral("refresh: remote"));
    }
    void setWindowTitle(const QString& title) override {
        record(QStringLiteral("title: ") + title);
    }

    QStringList events() const {
        std::lock_guard lock(m_mutex);
        return m_events;
    }
    QStringList log() const {
        std::lock_guard lock(m_mutex);
        return m_log;
    }
    // Whether a log line contains `text`; searched under the lock, so a test can poll it while
    // a worker logs (a copy of the list shared with the writer would not be safe to drop).
    bool logContains(const QString& text) const {
        std::lock_guard lock(m_mutex);
        return std::any_of(m_log.begin(), m_log.end(),
                           [&](const QString& line) { return line.contains(text); });
    }
    QString status() const {
        std::lock_guard lock(m_mutex);
        return m_status;
    }
    std::vector<Box> boxes() const {
        std::lock_guard lock(m_mutex);
        return m_boxes;
    }
    int count(const QString& event) const {
        std::lock_guard lock(m_mutex);
        return static_cast<int>(m_events.count(event));
    }
    void clear() {
        std::lock_guard lock(m_mutex);
        m_events.clear();
        m_log.clear();
        m_boxes.clear();
        m_certificates.clear();
        m_hostKeys.clear();
        m_passphrases.clear();
        m_status.clear();
    }

protected:
    void record(const QString& event, QStringList* list = nullptr, const QString& item = {}) {
        std::lock_guard lock(m_mutex);
        m_events << event;
        if (list)
            *list << item;
    }

    mutable std::mutex m_mutex;

private:
    QStringList m_events;
    QStringList m_log;
    QString m_status;
    std::vector<Box> m_boxes;
    std::deque<bool> m_boxAnswers;
    std::vector<CertificateRequest> m_certificates;
    std::deque<CertificateAnswer> m_certificateAnswers;
    std::vector<HostKeyRequest> m_hostKeys;
    std::deque<HostKeyAnswer> m_hostKeyAnswers;
    std::vector<PassphraseRequest> m_passphrases;
};

} // namespace tw::test
