#include "ui/dialogs/message_box_dialog.h"

#include "ui/dialogs/dialog_units.h"
#include "widget_test_support.h"

#include <QGuiApplication>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

namespace {

using tw::BoxKind;
using tw::BoxRequest;
using tw::ui::MessageBoxDialog;
using tw::ui::MessageBoxTestHook;
using tw::ui::ShowMessageBox;

class MessageBoxTest : public ::testing::Test {
protected:
    void SetUp() override {
        tw::test::widgetApp();
        MessageBoxTestHook::clear();
    }
    void TearDown() override { MessageBoxTestHook::clear(); }
};

TEST_F(MessageBoxTest, ErrorBoxHasErrorCaptionAndOneDefaultOkButton) {
    MessageBoxDialog box(MessageBoxDialog::Kind::Error, nullptr, QStringLiteral("Ignored"),
                         QStringLiteral("Disk full"));
    EXPECT_EQ(box.windowTitle(), QStringLiteral("Error"));
    ASSERT_NE(box.firstButton(), nullptr);
    EXPECT_EQ(box.firstButton()->text(), QStringLiteral("OK"));
    EXPECT_EQ(box.firstButton()->objectName(), QStringLiteral("1"));
    EXPECT_TRUE(box.firstButton()->isDefault());
    EXPECT_EQ(box.noButton(), nullptr);
    EXPECT_EQ(box.findChildren<QPushButton*>().size(), 1);
    EXPECT_TRUE(box.windowFlags().testFlag(Qt::WindowStaysOnTopHint));
    EXPECT_FALSE(box.iconLabel()->pixmap().isNull());
}

TEST_F(MessageBoxTest, InfoBoxKeepsCaption) {
    MessageBoxDialog box(MessageBoxDialog::Kind::Info, nullptr, QStringLiteral("Tarnwick 2000"),
                         QStringLiteral("Done"));
    EXPECT_EQ(box.windowTitle(), QStringLiteral("Tarnwick 2000"));
    EXPECT_EQ(box.firstButton()->text(), QStringLiteral("OK"));
}

TEST_F(MessageBoxTest, GeometryFollowsDialogUnits) {
    const tw::ui::DialogUnits du;
    MessageBoxDialog ok(MessageBoxDialog::Kind::Info, nullptr, QString(), QString());
    EXPECT_EQ(ok.size(), du.size(230, 100));
    EXPECT_EQ(ok.textLabel()->geometry(), du.rect(37, 8, 185, 64));
    EXPECT_EQ(ok.firstButton()->geometry(), du.rect(92, 80, 46, 14));
    EXPECT_EQ(ok.iconLabel()->pos(), du.point(8, 9));

    MessageBoxDialog yesNo(MessageBoxDialog::Kind::YesNo, nullptr, QString(), QString());
    EXPECT_EQ(yesNo.firstButton()->geometry(), du.rect(72, 80, 46, 14));
    EXPECT_EQ(yesNo.noButton()->geometry(), du.rect(124, 80, 46, 14));
}

TEST_F(MessageBoxTest, YesNoDefaultButtonAndFocusFollowDefaultYes) {
    for (const bool defaultYes : {true, false}) {
        MessageBoxDialog box(MessageBoxDialog::Kind::YesNo, nullptr, QStringLiteral("Q"),
                             QStringLiteral("Sure?"), defaultYes);
        box.show();
        QPushButton* yes = box.firstButton();
        QPushButton* no = box.noButton();
        ASSERT_NE(no, nullptr);
        EXPECT_EQ(yes->text(), QStringLiteral("&Yes"));
        EXPECT_EQ(no->text(), QStringLiteral("&No"));
        EXPECT_EQ(yes->objectName(), QStringLiteral("6"));
        EXPECT_EQ(no->objectName(), QStringLiteral("7"));
        EXPECT_EQ(yes->accessibleName(), QStringLiteral("Yes"));
        EXPECT_EQ(no->accessibleName(), QStringLiteral("No"));
        EXPECT_EQ(yes->isDefault(), defaultYes);
        EXPECT_EQ(no->isDefault(), !defaultYes);
        EXPECT_EQ(box.focusWidget(), defaultYes ? yes : no);
    }
}

TEST_F(MessageBoxTest, EndCodesOfButtonsEscapeAndEnter) {
    struct Case {
        MessageBoxDialog::Kind kind;
        bool defaultYes;
        std::function<void(MessageBoxDialog&)> act;
        int expected;
    };
    const std::vector<Case> cases = {
        {MessageBoxDialog::Kind::Error, false, [](auto& b) { b.firstButton()->click(); }, 1},
        {MessageBoxDialog::Kind::Info, false, [](auto& b) { QTest::keyClick(&b, Qt::Key_Escape); },
         0},
        {MessageBoxDialog::Kind::YesNo, false, [](auto& b) { b.firstButton()->click(); }, 6},
        {MessageBoxDialog::Kind::YesNo, true, [](auto& b) { b.noButton()->click(); }, 0},
        {MessageBoxDialog::Kind::YesNo, true, [](auto& b) { QTest::keyClick(&b, Qt::Key_Escape); },
         0},
        {MessageBoxDialog::Kind::YesNo, true, [](auto& b) { b.close(); }, 0},
        {MessageBoxDialog::Kind::YesNo, true,
         [](auto& b) { QTest::keyClick(b.focusWidget(), Qt::Key_Return); }, 6},
        {MessageBoxDialog::Kind::YesNo, false,
         [](auto& b) { QTest::keyClick(b.focusWidget(), Qt::Key_Return); }, 0},
    };
    int index = 0;
    for (const Case& c : cases) {
        MessageBoxDialog box(c.kind, nullptr, QStringLiteral("C"), QStringLiteral("T"),
                             c.defaultYes);
        box.setResult(-1);
        box.open();
        QSignalSpy finished(&box, &QDialog::finished);
        c.act(box);
        ASSERT_EQ(finished.count(), 1) << "case " << index;
        EXPECT_EQ(finished.at(0).at(0).toInt(), c.expected) << "case " << index;
        ++index;
    }
}

TEST_F(MessageBoxTest, TextIsShownPlainWithLineBreaks) {
    const QString text = QStringLiteral("File: 100% <b>done</b> &amp; %s\r\rNext\r\nLast");
    MessageBoxDialog box(MessageBoxDialog::Kind::Info, nullptr, QStringLiteral("C"), text);
    EXPECT_EQ(box.textLabel()->textFormat(), Qt::PlainText);
    EXPECT_EQ(box.textLabel()->text(),
              QStringLiteral("File: 100% <b>done</b> &amp; %s\n\nNext\nLast"));
    EXPECT_EQ(tw::ui::BoxDisplayText(QStringLiteral("a\rb\nc\r\nd")), QStringLiteral("a\nb\nc\nd"));
}

// A server's reply quoted in a box: its control characters are escapes, in the own box and in
// the system box, and the accessible name is the text shown.
TEST_F(MessageBoxTest, ControlCharactersOfAServerReplyAreShownAsEscapes) {
    const QString reply = QString::fromUtf8("550 \x1b]0;owned\x07No\r\n550 \x1b[2J\bLogin OK "
                                            "\xc2\x9b"
                                            "31m bill\xe2\x80\xae"
                                            "fdp.exe") +
                          QChar(0xD800);
    const QString shown = QStringLiteral(
        "550 \\x1b]0;owned\\x07No\n550 \\x1b[2J\\x08Login OK \\u009b31m bill\\u202efdp.exe?");
    EXPECT_EQ(tw::ui::BoxDisplayText(reply).toStdString(), shown.toStdString());
    MessageBoxDialog box(MessageBoxDialog::Kind::Error, nullptr, QStringLiteral("C"), reply);
    EXPECT_EQ(box.textLabel()->text(), shown);
    EXPECT_EQ(box.textLabel()->accessibleName(), shown);
    QString systemText;
    const tw::test::ModalWatcher watcher([&](QWidget* modal) {
        auto* system = qobject_cast<QMessageBox*>(modal);
        ASSERT_NE(system, nullptr);
        systemText = system->text();
        system->defaultButton()->click();
    });
    ShowMessageBox(nullptr, BoxRequest{BoxKind::SystemError, QStringLiteral("C"), reply});
    EXPECT_EQ(systemText, shown);
}

// A server's long reply: the box grows to show it whole up to the screen, then scrolls, and
// every line stays reachable.
TEST_F(MessageBoxTest, ALongTextGrowsTheBoxUpToTheScreenThenScrolls) {
    const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
    const tw::ui::DialogUnits du;
    for (const int lines : {6, 200}) {
        QString text = QStringLiteral("MKD)\r\rThe server's reply follows.\r");
        for (int i = 1; i <= lines; ++i)
            text +=
                QStringLiteral("550-Directory /pub/incoming/part%1 is not writable here\r").arg(i);
        text += QStringLiteral("550 Directory not created");
        MessageBoxDialog box(MessageBoxDialog::Kind::Error, nullptr, QString(), text);
        box.show();
        QApplication::processEvents();
        QLabel* label = box.textLabel();
        EXPECT_EQ(label->text(), tw::ui::BoxDisplayText(text));
        EXPECT_EQ(label->accessibleName(), label->text());
        EXPECT_GT(box.height(), du.y(100)) << lines;
        EXPECT_LE(box.height(), screen.height()) << lines;
        EXPECT_LE(box.width(), screen.width()) << lines;
        // The whole text is laid out, never cut off at the label's edge.
        EXPECT_GE(label->height(), label->heightForWidth(label->width())) << lines;
        auto* area = box.findChild<QScrollArea*>(QStringLiteral("textArea"));
        EXPECT_EQ(area != nullptr, lines == 200);
        const QRect shown = area ? area->geometry() : label->geometry();
        EXPECT_LE(shown.bottom(), box.firstButton()->geometry().top()) << lines;
        if (area) {
            EXPECT_EQ(area->verticalScrollBar()->maximum(),
                      label->height() - area->viewport()->height());
            EXPECT_GT(area->verticalScrollBar()->maximum(), 0);
        }
    }
}

TEST_F(MessageBoxTest, ShowMessageBoxReturnsOneForOkAndYes) {
    // Own boxes, answered with their default button.
    for (const bool defaultYes : {true, false}) {
        const tw::test::ModalWatcher watcher(
            [](QWidget* modal) { QTest::keyClick(modal->focusWidget(), Qt::Key_Return); });
        EXPECT_EQ(ShowMessageBox(nullptr, BoxRequest{BoxKind::YesNo, QStringLiteral("Q"),
                                                     QStringLiteral("Sure?"), defaultYes}),
                  defaultYes ? 1 : 0);
    }
    const tw::test::ModalWatcher watcher(
        [](QWidget* modal) { QTest::keyClick(modal, Qt::Key_Escape); });
    EXPECT_EQ(ShowMessageBox(nullptr, BoxRequest{BoxKind::Error, QString(), QStringLiteral("x")}),
              0);
}

TEST_F(MessageBoxTest, SystemYesNoDefaultsToNoUnlessDefaultYes) {
    for (const bool defaultYes : {false, true}) {
        QString caption;
        QString shownText;
        Qt::TextFormat format = Qt::AutoText;
        QString defaultText;
        const tw::test::ModalWatcher watcher([&](QWidget* modal) {
            auto* box = qobject_cast<QMessageBox*>(modal);
            ASSERT_NE(box, nullptr);
            caption = box->windowTitle();
            shownText = box->text();
            format = box->textFormat();
            defaultText = box->defaultButton()->text();
            box->defaultButton()->click();
        });
        const int answer = ShowMessageBox(
            nullptr, BoxRequest{BoxKind::SystemYesNo, QStringLiteral("Delete"),
                                QStringLiteral("Delete 50%\rof <i>it</i>?"), defaultYes});
        EXPECT_EQ(answer, defaultYes ? 1 : 0);
        EXPECT_EQ(caption, QStringLiteral("Delete"));
        EXPECT_EQ(shownText, QStringLiteral("Delete 50%\nof <i>it</i>?"));
        EXPECT_EQ(format, Qt::PlainText);
        EXPECT_EQ(defaultText, defaultYes ? QStringLiteral("&Yes") : QStringLiteral("&No"));
    }
}

TEST_F(MessageBoxTest, FatalBoxIsModalForTheWholeProgramAndOnTop) {
    bool onTop = false;
    Qt::WindowModality modality = Qt::NonModal;
    const tw::test::ModalWatcher watcher([&](QWidget* modal) {
        onTop = modal->windowFlags().testFlag(Qt::WindowStaysOnTopHint);
        modality = modal->windowModality();
        QTest::keyClick(modal, Qt::Key_Escape);
    });
    ShowMessageBox(nullptr,
                   BoxRequest{BoxKind::Fatal, QStringLiteral("Error"), QStringLiteral("x")});
    EXPECT_TRUE(onTop);
    EXPECT_EQ(modality, Qt::ApplicationModal);
}

TEST_F(MessageBoxTest, TestHookAnswersInOrderAndRecords) {
    MessageBoxTestHook::pushAnswers({true, false});
    EXPECT_EQ(MessageBoxTestHook::pendingAnswers(), 2u);
    EXPECT_EQ(ShowMessageBox(nullptr, BoxRequest{BoxKind::YesNo, QStringLiteral("A"),
                                                 QStringLiteral("first")}),
              1);
    EXPECT_EQ(ShowMessageBox(nullptr, BoxRequest{BoxKind::SystemYesNo, QStringLiteral("B"),
                                                 QStringLiteral("second")}),
              0);
    const auto answered = MessageBoxTestHook::takeAnsweredRequests();
    ASSERT_EQ(answered.size(), 2u);
    EXPECT_EQ(answered[0].text, QStringLiteral("first"));
    EXPECT_EQ(answered[1].kind, BoxKind::SystemYesNo);
    EXPECT_TRUE(MessageBoxTestHook::takeAnsweredRequests().empty());
    EXPECT_EQ(MessageBoxTestHook::pendingAnswers(), 0u);
}

} // namespace
