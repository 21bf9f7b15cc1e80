#pragma once

// What the transfer queue tells while tarnwick-ftp copies (get, put, mirror): failures and
// skipped entries as they happen, the queue's notices, and on a terminal one line of progress.

#include "cli/size_text.h"

#include "ftp/display_text.h"
#include "ftp/ftp_error.h"
#include "queue/queue_paths.h"
#include "queue/transfer_queue.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <map>
#include <mutex>
#include <string>
#include <vector>

namespace tw::cli {

// What the queue tells, on standard error: failures and skipped entries as they happen, the
// queue's notices, and on a terminal one line of progress.
class QueueReporter : public tw::queue::QueueObserver {
public:
    using TransferItem = tw::queue::TransferItem;
    using ItemKind = tw::queue::ItemKind;
    using ItemState = tw::queue::ItemState;

    explicit QueueReporter(bool progress) : m_progress(progress) {}

    void rowsAdded(const std::vector<TransferItem>& rows) override { take(rows); }
    void rowsChanged(const std::vector<TransferItem>& rows) override { take(rows); }
    void rowsInserted(std::int64_t replaced, const std::vector<TransferItem>& rows) override {
        {
            std::lock_guard lock(m_mutex);
            forget(replaced);
        }
        take(rows);
    }
    void notice(const std::string& line) override {
        std::lock_guard lock(m_mutex);
        say(line);
    }
    // The last progress line, ended.
    void finish() {
        std::lock_guard lock(m_mutex);
        if (m_progress && m_drawn) {
            draw(true);
            std::fputs("\n", stderr);
        }
    }

private:
    struct Row {
        ItemKind kind = ItemKind::File;
        ItemState state = ItemState::Queued;
        std::uint64_t size = 0;
        std::uint64_t transferred = 0;
    };

    void take(const std::vector<TransferItem>& rows) {
        std::lock_guard lock(m_mutex);
        for (const TransferItem& item : rows) {
            const auto old = m_rows.find(item.id);
            const bool told = old != m_rows.end() && old->second.state == item.state;
            if (old != m_rows.end())
                forget(item.id);
            Row row{item.kind, item.state, item.size, item.transferred};
            m_rows[item.id] = row;
            count(row, +1);
            if (!told && item.state == ItemState::Failed)
                say(sourceOf(item) + ": " + item.error +
                    (item.errorCode != 0 ? " (error " + std::to_string(item.errorCode) + ")"
                                         : std::string()) +
                    (item.errorCode == tw::ftp::kErrTlsEndUnconfirmed
                         ? "; --allow-truncated-tls keeps such a download"
                         : ""));
            else if (!told && item.state == ItemState::Skipped)
                say("skipped " + sourceOf(item) + ": " + item.error);
            if (item.state == ItemState::Running && item.kind == ItemKind::File)
                m_current = tw::queue::BaseName(sourceOf(item));
        }
        if (m_progress)
            draw(false);
    }
    void forget(std::int64_t id) {
        const auto f = m_rows.find(id);
        if (f == m_rows.end())
            return;
        count(f->second, -1);
        m_rows.erase(f);
    }
    void count(const Row& row, int sign) {
        if (row.kind != ItemKind::File || row.state == ItemState::Skipped)
            return;
        const auto add = [sign](auto& total, auto value) {
            total = sign > 0 ? total + value : total - value;
        };
        add(m_files, std::uint64_t(1));
        add(m_filesDone, std::uint64_t(row.state == ItemState::Done ? 1 : 0));
        add(m_bytes, row.transferred);
        add(m_bytesTotal, std::max(row.size, row.transferred));
    }
    void say(const std::string& line) {
        // Paths and errors come from the server: one line each, controls as escapes.
        std::fprintf(stderr, "%starnwick-ftp: %s\n", m_drawn ? "\r\033[K" : "",
                     tw::ftp::DisplayText(line).c_str());
        m_drawn = false;
    }
    void draw(bool last) {
        const auto now = std::chrono::steady_clock::now();
        if (!last && m_drawn && now - m_lastDraw < std::chrono::milliseconds(200))
            return;
        m_lastDraw = now;
        const double seconds = std::chrono::duration<double>(now - m_start).count();
        const auto rate = seconds > 0 ? std::uint64_t(double(m_bytes) / seconds) : 0;
        std::string line = "\r\033[K" + std::to_string(m_filesDone) + "/" +
                           std::to_string(m_files) + " files, " + HumanSize(m_bytes) + " of " +
                           HumanSize(m_bytesTotal) + ", " + HumanSize(rate) + "/s";
        if (!last && !m_current.empty())
            line += "  " + tw::ftp::DisplayText(m_current);
        std::fputs(line.c_str(), stderr);
        m_drawn = true;
    }

    static const std::string& sourceOf(const TransferItem& item) {
        return item.direction == tw::queue::Direction::Download ? item.remotePath : item.localPath;
    }

    const bool m_progress;
    std::mutex m_mutex;
    std::map<std::int64_t, Row> m_rows;
    std::uint64_t m_files = 0;
    std::uint64_t m_filesDone = 0;
    std::uint64_t m_bytes = 0;
    std::uint64_t m_bytesTotal = 0;
    std::string m_current;
    bool m_drawn = false;
    const std::chrono::steady_clock::time_point m_start = std::chrono::steady_clock::now();
    std::chrono::steady_clock::time_point m_lastDraw{};
};

} // namespace tw::cli
