#include "shell_fixture.h"

#include "ui/display_font.h"
#include "ui/log_pane.h"
#include "ui/panes/pane_model.h"
#include "ui/panes/pane_view.h"

#include <QApplication>
#include <QFile>
#include <QImage>
#include <QLabel>

namespace tw::test {
namespace {

using ui::ContrastRatio;
using ui::MainWindow;

QPalette DarkPalette() {
    QPalette dark;
    dark.setColor(QPalette::Window, QColor(0x30, 0x30, 0x30));
    dark.setColor(QPalette::WindowText, QColor(0xee, 0xee, 0xee));
    dark.setColor(QPalette::Base, QColor(0x1e, 0x1e, 0x1e));
    dark.setColor(QPalette::Text, QColor(0xdd, 0xdd, 0xdd));
    dark.setColor(QPalette::Button, QColor(0x30, 0x30, 0x30));
    dark.setColor(QPalette::ButtonText, QColor(0xee, 0xee, 0xee));
    return dark;
}

// The strongest contrast of any pixel of `rect` against `background`: what the text painted
// there reaches.
double PaintedContrast(QWidget* widget, const QRect& rect, const QColor& background) {
    const QImage image = widget->grab(rect).toImage();
    double best = 1.0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            best = std::max(best, ContrastRatio(image.pixelColor(x, y), background));
    return best;
}

class DarkThemeTest : public ShellFixture {
protected:
    void SetUp() override {
        ShellFixture::SetUp();
        m_saved = QApplication::palette();
        QFile file(QDir(folder()).filePath(QStringLiteral("dark.txt")));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    }
    void TearDown() override {
        QApplication::setPalette(m_saved);
        ShellFixture::TearDown();
    }

private:
    QPalette m_saved;
};

TEST_F(DarkThemeTest, UnreadableStoredColourGivesWayToTheThemeText) {
    EXPECT_DOUBLE_EQ(ContrastRatio(Qt::black, Qt::white), 21.0);
    EXPECT_DOUBLE_EQ(ContrastRatio(Qt::gray, Qt::gray), 1.0);

    const QPalette dark = DarkPalette();
    QApplication::setPalette(dark);
    MainWindow* w = start(); // the stored colour is the first-start black
    w->appendLog(QStringLiteral("A line to read on a dark theme"));
    auto* log = static_cast<ui::LogPane*>(w->logPane());
    auto* list = static_cast<ui::PaneView*>(w->localList());
    ASSERT_GE(list->paneModel()->rowCount(), 2);

    // The colour actually painted: the log line, a date cell, the path label.
    const QColor base = dark.color(QPalette::Base);
    EXPECT_GE(PaintedContrast(log->viewport(), QRect(0, 0, 200, log->lineHeight()), base), 4.5);
    const QRect date = list->visualRect(list->paneModel()->index(1, 1));
    EXPECT_GE(PaintedContrast(list->viewport(), date, base), 4.5);
    EXPECT_GE(
        PaintedContrast(w->localLabel(), w->localLabel()->rect(), dark.color(QPalette::Window)),
        4.5);
    for (QWidget* child : {w->localList(), w->remoteList(), w->logPane()})
        EXPECT_EQ(child->palette().color(QPalette::Text), dark.color(QPalette::Text));

    // A chosen colour that reads well on the dark base is kept.
    const QColor yellow(0xff, 0xf0, 0x80);
    w->setFontChooser([&](const QFont& font, const QColor&) {
        return std::make_optional(std::make_pair(font, yellow));
    });
    w->dispatcher().dispatch(CommandId::Font);
    EXPECT_EQ(log->palette().color(QPalette::Text), yellow);

    // Back to a light theme while running: yellow on white cannot be read, black again can.
    QApplication::setPalette(QPalette(Qt::white));
    QPalette light = QApplication::palette();
    light.setColor(QPalette::Base, Qt::white);
    light.setColor(QPalette::Text, Qt::black);
    QApplication::setPalette(light);
    EXPECT_EQ(log->palette().color(QPalette::Text), QColor(Qt::black));
}

} // namespace
} // namespace tw::test
