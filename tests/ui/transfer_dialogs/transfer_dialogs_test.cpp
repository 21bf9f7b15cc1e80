#include "core/panes/file_helpers.h"
#include "core/state/app_state.h"
#include "ui/dialogs/widget_test_support.h"
#include "ui/transfer/destination_name_dialog.h"
#include "ui/transfer/newer_destination_dialog.h"
#include "ui/transfer/progress_window.h"
#include "ui/transfer/transfer_dialogs.h"

#include <QDir>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <thread>
#include <vector>

using namespace tw;
using namespace tw::ui;

namespace {

QString TextOf(const QWidget* window, int id) {
    const auto* label = window->findChild<QLabel*>(QString::number(id));
    return label ? label->text() : QStringLiteral("<missing %1>").arg(id);
}

QPushButton* Button(const QWidget* window, const char* name) {
    return window->findChild<QPushButton*>(QString::fromLatin1(name));
}

QLineEdit* Edit(const QWidget* window, const char* name) {
    return window->findChild<QLineEdit*>(QString::fromLatin1(name));
}

// Runs `work` on a worker thread while this (the user-interface) thread keeps its event loop
// going; `tick` runs every few milliseconds on this thread, also inside modal dialogs.
void RunOnWorker(const std::function<void()>& work, const std::function<void()>& tick = {}) {
    std::atomic<bool> done{false};
    QTimer timer;
    timer.setInterval(5);
    QObject::connect(&timer, &QTimer::timeout, [&] {
        if (tick)
            tick();
    });
    timer.start();
    std::thread worker([&] {
        work();
        done = true;
    });
    while (!done)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 5);
    worker.join();
}

FileEntry Entry(const QString& name, std::uint64_t size, std::int64_t dateKey) {
    FileEntry entry;
    entry.name = name;
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    entry.type = dot < 0 ? QString() : name.mid(dot + 1);
    entry.size = size;
    entry.dateKey = dateKey;
    return entry;
}

struct TransferDialogsTest : ::testing::Test {
    AppState state;
    AppGlobals globals;
    std::vector<int> helpTopics;
    int beeps = 0;
    int stops = 0;
    TransferDialogs dialogs{nullptr,
                            state,
                            globals,
                            [this](int topic) { helpTopics.push_back(topic); },
                            [this] { ++beeps; },
                            [this] { ++stops; }};
    TransferDialogsTest() {
        tw::test::widgetApp();
        state.options.SaveWindows = 1;
    }
};

} // namespace

// Asked from the worker: lower-case box, Help, OK, a retry in the same open dialog with the
// typed text selected, the position remembered at the end; then an ordinary box and Cancel.
TEST_F(TransferDialogsTest, DestinationNamePromptThroughThePort) {
    DestinationNameRequest request;
    request.sourceFolder = u"/home/ann/reports"_qs;
    request.destinationFolder = u"/pub/incoming"_qs;
    request.fileName = u"Report.PDF"_qs;
    request.lowercase = true;

    std::optional<QString> first, second, third;
    QPointer<DestinationNameDialog> firstDialog;
    QRect frame;
    int stage = 0;
    RunOnWorker(
        [&] {
            first = dialogs.askDestinationName(request);
            DestinationNameRequest retry = request;
            retry.retry = true;
            second = dialogs.askDestinationName(retry);
            dialogs.endDestinationName(true);
            DestinationNameRequest plain = request;
            plain.lowercase = false;
            third = dialogs.askDestinationName(plain);
            dialogs.endDestinationName(false);
        },
        [&] {
            DestinationNameDialog* d = dialogs.destinationNameDialog();
            if (!d || !d->isVisible() || QApplication::activeModalWidget() != d)
                return;
            if (stage == 0) {
                firstDialog = d;
                EXPECT_EQ(d->windowTitle(), u" Destination File Name"_qs);
                EXPECT_EQ(TextOf(d, 101), request.sourceFolder);
                EXPECT_EQ(TextOf(d, 102), request.fileName);
                EXPECT_EQ(TextOf(d, 103), request.destinationFolder);
                EXPECT_TRUE(Edit(d, "105")->isVisible());
                EXPECT_FALSE(Edit(d, "104")->isVisible());
                EXPECT_EQ(d->edit(), Edit(d, "105"));
                Button(d, "helpButton")->click();
                EXPECT_EQ(helpTopics, std::vector<int>{544});
                EXPECT_TRUE(d->isVisible());
                d->edit()->clear();
                QTest::keyClicks(d->edit(), u"Bad:Name.TXT"_qs);
                EXPECT_EQ(d->edit()->text(), u"bad:name.txt"_qs);
                Button(d, "okButton")->click();
                stage = 1;
            } else if (stage == 1 && d->edit()->hasSelectedText()) {
                EXPECT_EQ(d, firstDialog.data());
                EXPECT_EQ(d->edit()->selectedText(), u"bad:name.txt"_qs);
                EXPECT_EQ(d->focusWidget(), d->edit());
                QTest::keyClicks(d->edit(), u"Good.TXT"_qs);
                frame = d->geometry(); // the client area, as placements keep it
                Button(d, "okButton")->click();
                stage = 2;
            } else if (stage == 2 && d != firstDialog.data()) {
                EXPECT_TRUE(firstDialog.isNull());
                EXPECT_TRUE(Edit(d, "104")->isVisible());
                EXPECT_FALSE(Edit(d, "105")->isVisible());
                EXPECT_EQ(Edit(d, "104")->text(), u"Report.PDF"_qs);
                QTest::keyClick(d->edit(), Qt::Key_End);
                QTest::keyClicks(d->edit(), u"X"_qs);
                EXPECT_EQ(d->text(), u"Report.PDFX"_qs);
                Button(d, "cancelButton")->click();
                stage = 3;
            }
        });
    EXPECT_EQ(stage, 3);
    EXPECT_EQ(first, std::optional<QString>(u"bad:name.txt"_qs));
    EXPECT_EQ(second, std::optional<QString>(u"good.txt"_qs));
    EXPECT_EQ(third, std::nullopt);
    EXPECT_EQ(dialogs.destinationNameDialog(), nullptr);
    const WindowPlacement& placement = state.placement(Placement::FileName);
    EXPECT_EQ(QPoint(placement.Left, placement.Top), frame.topLeft());
}

// Both directions, every answer: texts, Yes to All only for several rows, No the default,
// Help staying open, the beep, the remembered position; Escape is Cancel.
TEST_F(TransferDialogsTest, NewerDestinationQuestion) {
    const FileEntry remote = Entry(u"notes.zzq"_qs, 1536, 20261207231556);
    const FileEntry local = Entry(u"notes.txt"_qs, 2048, 20261208091500);
    const QString txt = FileTypeDescription(u"txt"_qs);
    struct Case {
        bool upload;
        bool multiple;
        const char* button; // nullptr: Escape
        NewerAnswer answer;
    };
    const Case cases[] = {
        {false, true, "yesButton", NewerAnswer::Yes},
        {false, true, "yesToAllButton", NewerAnswer::YesToAll},
        {false, false, "noButton", NewerAnswer::No},
        {true, false, "cancelButton", NewerAnswer::Cancel},
        {true, true, nullptr, NewerAnswer::Cancel},
        {true, true, "yesButton", NewerAnswer::Yes},
    };
    int index = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(index);
        NewerDestinationRequest request;
        request.upload = c.upload;
        request.source = c.upload ? local : remote;
        request.destination = c.upload ? remote : local;
        request.multiple = c.multiple;
        helpTopics.clear();
        QRect frame;
        tw::test::ModalWatcher watcher([&](QWidget* modal) {
            EXPECT_EQ(modal, dialogs.newerDestinationDialog());
            // Caption, 101, 102, 103, 201, 202, 203, 205.
            const QString local[] = {u"Local File: notes.txt"_qs, u"2048 Bytes - "_qs + txt,
                                     u"08-Dec-2026 - 09:15:00"_qs};
            const QString remote[] = {u"Remote File: notes.zzq"_qs, u"1536 Bytes - Document"_qs,
                                      u"07-Dec-2026 - 23:15:56"_qs};
            const QString* source = c.upload ? local : remote;
            const QString* destination = c.upload ? remote : local;
            EXPECT_EQ(modal->windowTitle(), c.upload ? u" Remote Destination File is Newer"_qs
                                                     : u" Local Destination File is Newer"_qs);
            for (int line = 0; line < 3; ++line) {
                EXPECT_EQ(TextOf(modal, 101 + line), source[line]);
                EXPECT_EQ(TextOf(modal, 201 + line), destination[line]);
            }
            EXPECT_EQ(TextOf(modal, 205), c.upload ? u"Are you sure you want to upload it?"_qs
                                                   : u"Are you sure you want to download it?"_qs);
            EXPECT_EQ(Button(modal, "yesToAllButton")->isEnabled(), c.multiple);
            EXPECT_TRUE(Button(modal, "noButton")->isDefault());
            EXPECT_EQ(beeps, index + 1);
            Button(modal, "helpButton")->click();
            EXPECT_EQ(helpTopics, std::vector<int>{546});
            EXPECT_TRUE(modal->isVisible());
            modal->move(40 + 10 * index, 60 + 5 * index);
            frame = modal->geometry(); // the client area, as placements keep it
            if (c.button)
                Button(modal, c.button)->click();
            else
                QTest::keyClick(modal, Qt::Key_Escape);
        });
        EXPECT_EQ(dialogs.askNewerDestination(request), c.answer);
        EXPECT_TRUE(watcher.fired());
        EXPECT_EQ(dialogs.newerDestinationDialog(), nullptr);
        const WindowPlacement& placement = state.placement(Placement::TimeStamp);
        EXPECT_EQ(QPoint(placement.Left, placement.Top), frame.topLeft());
        ++index;
    }
}

// One window at a time, defaults, a full bar beyond the maximum, the next file's own range
// after a quick close and open.
TEST_F(TransferDialogsTest, ProgressWindowLifecycle) {
    EXPECT_FALSE(dialogs.setProgress(1));
    EXPECT_FALSE(dialogs.closeProgress());
    ASSERT_TRUE(dialogs.openProgress(ProgressRequest{{}, 0, {}, 0, 10}));
    ProgressRequest second{u" Second"_qs, 1000, u"second"_qs, 0, 99};
    EXPECT_FALSE(dialogs.openProgress(second));
    ASSERT_TRUE(QTest::qWaitFor([&] { return dialogs.progressWindow() != nullptr; }));
    ProgressWindow* window = dialogs.progressWindow();
    EXPECT_EQ(window->windowTitle(), u" Progress"_qs);
    EXPECT_EQ(TextOf(window, 101), u"Underway ..."_qs);
    EXPECT_FALSE(TextOf(window, 100).startsWith(u"<missing"_qs));
    EXPECT_EQ(window->bar()->value(), 0);
    EXPECT_TRUE(window->windowFlags().testFlag(Qt::WindowStaysOnTopHint));
    // The offscreen platform activates every window it shows, so only the request not to
    // take the focus can be checked here.
    EXPECT_TRUE(window->testAttribute(Qt::WA_ShowWithoutActivating));

    EXPECT_TRUE(dialogs.setProgress(25, u"notes.txt"_qs));
    ASSERT_TRUE(QTest::qWaitFor([&] { return TextOf(window, 101) == u"notes.txt"_qs; }));
    EXPECT_EQ(window->bar()->value(), window->bar()->maximum());
    EXPECT_EQ(window->bar()->maximum(), 10);

    // The next file follows at once: its window starts empty with its own range and text.
    EXPECT_TRUE(dialogs.closeProgress());
    EXPECT_TRUE(dialogs.openProgress(second));
    ASSERT_TRUE(QTest::qWaitFor([&] { return window->windowTitle() == u" Second"_qs; }));
    EXPECT_EQ(window->bar()->maximum(), 99);
    EXPECT_EQ(window->bar()->value(), 0);
    EXPECT_EQ(TextOf(window, 101), u"second"_qs);

    EXPECT_TRUE(dialogs.closeProgress());
    ASSERT_TRUE(QTest::qWaitFor([&] { return dialogs.progressWindow() == nullptr; }));
    EXPECT_FALSE(window->isVisible());
}

// A worker moving the bar 100 000 times is never held up by the user-interface thread, and
// the window is brought up to date a few times, not once per call.
TEST_F(TransferDialogsTest, ProgressFromWorkerIsCoalesced) {
    constexpr int kCalls = 100000;
    auto work = [&] {
        ASSERT_TRUE(dialogs.openProgress(ProgressRequest{{}, 0, {}, 0, kCalls}));
        for (int i = 1; i <= kCalls; ++i)
            ASSERT_TRUE(dialogs.setProgress(i, i % 1000 == 0 ? std::optional(QString::number(i))
                                                             : std::nullopt));
    };
    // The user-interface thread does not run its event loop here: the worker finishes anyway.
    std::thread blocked(work);
    blocked.join();
    ASSERT_TRUE(QTest::qWaitFor([&] {
        return dialogs.progressWindow() && dialogs.progressWindow()->bar()->value() == kCalls;
    }));
    EXPECT_LE(dialogs.progressUpdates(), 2);
    EXPECT_EQ(TextOf(dialogs.progressWindow(), 101), QString::number(kCalls));
    ASSERT_TRUE(dialogs.closeProgress());

    // With the event loop running beside it, updates stay at about 30 a second.
    const int before = dialogs.progressUpdates();
    QElapsedTimer clock;
    clock.start();
    RunOnWorker([&] {
        work();
        dialogs.closeProgress();
    });
    ASSERT_TRUE(QTest::qWaitFor([&] { return dialogs.progressWindow() == nullptr; }));
    const int updates = dialogs.progressUpdates() - before;
    EXPECT_GE(updates, 1);
    EXPECT_LE(updates, clock.elapsed() / 30 + 3) << clock.elapsed() << " ms";
    EXPECT_LT(updates, kCalls / 100);
}

// Cancel, Escape and the close box ask the transfer to stop; only the transfer closes it.
TEST_F(TransferDialogsTest, ProgressWindowAsksToStop) {
    ASSERT_TRUE(dialogs.openProgress(
        ProgressRequest{u" Tarnwick 2000 Transfer"_qs, 0, u"notes.txt"_qs, 0, 5}));
    ASSERT_TRUE(QTest::qWaitFor([&] { return dialogs.progressWindow() != nullptr; }));
    ProgressWindow* window = dialogs.progressWindow();
    Button(window, "cancelButton")->click();
    EXPECT_EQ(stops, 1);
    QTest::keyClick(window, Qt::Key_Escape);
    EXPECT_EQ(stops, 2);
    EXPECT_FALSE(window->close());
    EXPECT_EQ(stops, 3);
    QCoreApplication::processEvents();
    EXPECT_EQ(dialogs.progressWindow(), window);
    EXPECT_TRUE(dialogs.closeProgress());
}

// Renders the three windows; the pictures are kept in the build tree to be looked at.
TEST_F(TransferDialogsTest, Screenshots) {
    const QString dir = QStringLiteral(TW_BINARY_DIR "/screenshots");
    ASSERT_TRUE(QDir().mkpath(dir));
    auto save = [&](QWidget& w, const char* name) {
        w.adjustSize();
        w.show();
        const QPixmap picture = w.grab();
        EXPECT_EQ(picture.size(), w.size() * picture.devicePixelRatio()) << name;
        EXPECT_TRUE(picture.save(dir + QLatin1Char('/') + QLatin1String(name) + u".png"_qs));
    };

    DestinationNameDialog name;
    DestinationNameRequest request;
    request.sourceFolder = u"/home/ann/Documents/Reports/2026/December/Quarterly summaries"_qs;
    request.destinationFolder = u"/pub/incoming"_qs;
    request.fileName = u"Quarterly Report.pdf"_qs;
    request.lowercase = true;
    name.setRequest(request);
    save(name, "transfer_destination_name");

    NewerDestinationRequest newer;
    newer.source = Entry(u"notes.zzq"_qs, 1536, 20261207231556);
    newer.destination = Entry(u"notes.txt"_qs, 2048, 20261208091500);
    newer.multiple = false;
    NewerDestinationDialog question(newer);
    save(question, "transfer_newer_destination");

    ProgressWindow progress;
    progress.start(ProgressRequest{u" Tarnwick 2000 Transfer"_qs, 0,
                                   u"Quarterly Report.pdf (1.50 M)"_qs, 0, 10});
    progress.setPosition(6);
    save(progress, "transfer_progress");
}
