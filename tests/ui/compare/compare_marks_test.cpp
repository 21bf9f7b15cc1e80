#include "../shell/qt_app.h"

#include "core/panes/entry_format.h"
#include "support/screenshot.h"
#include "ui/display_font.h"
#include "ui/panes/pane_icons.h"
#include "ui/panes/pane_model.h"
#include "ui/panes/pane_view.h"
#include "ui/sync/compare_marks.h"

#include <QAccessible>
#include <QApplication>
#include <QImage>
#include <QPainter>

#include <gtest/gtest.h>

namespace tw::test {
namespace {

using ui::ContrastRatio;
using ui::kMinimumTextContrast;

QPalette LightPalette() {
    QPalette light;
    light.setColor(QPalette::Base, QColor(0xff, 0xff, 0xff));
    light.setColor(QPalette::Text, QColor(0x20, 0x20, 0x20));
    light.setColor(QPalette::Window, QColor(0xef, 0xef, 0xef));
    light.setColor(QPalette::WindowText, QColor(0x20, 0x20, 0x20));
    return light;
}

QPalette DarkPalette() {
    QPalette dark;
    dark.setColor(QPalette::Base, QColor(0x1e, 0x1e, 0x1e));
    dark.setColor(QPalette::Text, QColor(0xdd, 0xdd, 0xdd));
    dark.setColor(QPalette::Window, QColor(0x30, 0x30, 0x30));
    dark.setColor(QPalette::WindowText, QColor(0xee, 0xee, 0xee));
    return dark;
}

// A palette whose text does not read on its own base: no tint can make it read.
QPalette FaintPalette() {
    QPalette faint;
    faint.setColor(QPalette::Base, QColor(0x80, 0x80, 0x80));
    faint.setColor(QPalette::Text, QColor(0x70, 0x70, 0x70));
    return faint;
}

constexpr CompareMark kMarks[] = {CompareMark::OnlyHere, CompareMark::NewerHere,
                                  CompareMark::OlderHere, CompareMark::SizeDiffers,
                                  CompareMark::KindDiffers};

PaneState MarkedPane() {
    PaneState pane;
    pane.headers = {u"File Name *"_qs, u"Date"_qs, u"Size"_qs};
    FileEntry parent;
    parent.name = u".."_qs;
    parent.isParent = true;
    parent.isFolder = true;
    pane.entries.push_back(parent);
    const char* names[] = {"same.txt", "here.txt", "newer.txt", "older.txt", "size.txt", "kind"};
    for (int i = 0; i < 6; ++i) {
        FileEntry e;
        e.name = QString::fromLatin1(names[i]);
        e.findData.size = 1234;
        e.findData.lastWriteTime = 1796685356;
        CompleteEntry(e);
        e.compare = CompareMark(i); // None, then each mark in order
        pane.entries.push_back(e);
    }
    return pane;
}

QImage Render(const QIcon& icon, QSize size) {
    QImage image(size, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    icon.paint(&painter, QRect(QPoint(), size));
    return image;
}

int DifferingPixels(const QImage& a, const QImage& b) {
    int n = 0;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x)
            n += a.pixel(x, y) != b.pixel(x, y);
    return n;
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

class CompareMarksTest : public ::testing::Test {
protected:
    void SetUp() override {
        EnsureQtApplication();
        m_saved = QApplication::palette();
    }
    void TearDown() override { QApplication::setPalette(m_saved); }

private:
    QPalette m_saved;
};

// In a light and a dark palette each mark tints its row, the text keeps its contrast on the
// tint as painted, the icon carries a badge and screen readers read what the mark means.
TEST_F(CompareMarksTest, TintEmblemAndDescriptionInLightAndDarkPalettes) {
    const std::pair<const char*, QPalette> palettes[] = {{"light", LightPalette()},
                                                         {"dark", DarkPalette()}};
    const QString descriptions[] = {
        u"Only in this folder"_qs, u"Newer than the other side"_qs, u"Older than the other side"_qs,
        u"Size differs from the other side"_qs, u"A file on one side, a folder on the other"_qs};
    for (const auto& [name, palette] : palettes) {
        SCOPED_TRACE(name);
        QApplication::setPalette(palette);
        const PaneState pane = MarkedPane();
        ui::PaneView view(&pane);
        view.resize(420, 200);
        view.show();
        ui::PaneModel* model = view.paneModel();
        const QColor text = view.palette().color(QPalette::Text);
        const QColor base = view.palette().color(QPalette::Base);
        EXPECT_FALSE(model->data(model->index(1, 0), Qt::BackgroundRole).isValid());
        EXPECT_TRUE(model->data(model->index(1, 0), Qt::AccessibleDescriptionRole).isNull());
        QAccessibleInterface* list = QAccessible::queryAccessibleInterface(&view);
        ASSERT_NE(list, nullptr);
        ASSERT_NE(list->tableInterface(), nullptr);
        std::vector<QColor> tints;
        for (int i = 0; i < 5; ++i) {
            const int row = i + 2;
            SCOPED_TRACE(row);
            const QColor tint =
                model->data(model->index(row, 1), Qt::BackgroundRole).value<QColor>();
            ASSERT_TRUE(tint.isValid());
            EXPECT_NE(tint, base);
            EXPECT_GE(ContrastRatio(text, tint), kMinimumTextContrast);
            EXPECT_GE(ContrastRatio(text, tint), 4.5); // these palettes leave room for it
            tints.push_back(tint);
            // Painted: the cell's background is the tint, and its text reads on it.
            const QRect cell = view.visualRect(model->index(row, 1));
            const QImage shot = view.viewport()->grab(cell).toImage();
            EXPECT_EQ(shot.pixelColor(shot.width() - 2, 1).rgb(), tint.rgb());
            EXPECT_GE(PaintedContrast(view.viewport(), cell, tint), kMinimumTextContrast);
            // The badge: the icon differs from the plain one in its lower right corner only.
            const QIcon marked =
                model->data(model->index(row, 0), Qt::DecorationRole).value<QIcon>();
            const QImage plain =
                Render(ui::PaneRowIcon(pane.entries[std::size_t(row)].icon), {28, 24});
            const QImage badged = Render(marked, {28, 24});
            EXPECT_GT(DifferingPixels(plain.copy(10, 6, 18, 18), badged.copy(10, 6, 18, 18)), 40);
            EXPECT_EQ(DifferingPixels(plain.copy(0, 0, 8, 6), badged.copy(0, 0, 8, 6)), 0);
            // The description, in the model and in the accessible tree of every cell.
            EXPECT_EQ(model->data(model->index(row, 2), Qt::AccessibleDescriptionRole).toString(),
                      descriptions[i]);
            QAccessibleInterface* a11yCell = list->tableInterface()->cellAt(row, 0);
            ASSERT_NE(a11yCell, nullptr);
            EXPECT_EQ(a11yCell->text(QAccessible::Name), pane.entries[std::size_t(row)].name);
            EXPECT_EQ(a11yCell->text(QAccessible::Description), descriptions[i]);
        }
        // Each mark its own tint, and its own badge.
        for (std::size_t a = 0; a < tints.size(); ++a)
            for (std::size_t b = a + 1; b < tints.size(); ++b) {
                EXPECT_NE(tints[a], tints[b]);
                EXPECT_GT(
                    DifferingPixels(Render(ui::CompareRowIcon(3, false, kMarks[a]), {28, 24}),
                                    Render(ui::CompareRowIcon(3, false, kMarks[b]), {28, 24})),
                    4);
            }
        SaveScreenshot(view, QStringLiteral("compare_marks_%1.png").arg(QLatin1String(name)));
    }
    // Where no tint keeps the text readable, the row shows none: the badge still tells.
    for (const CompareMark mark : kMarks)
        EXPECT_FALSE(ui::CompareTint(mark, FaintPalette()).isValid());
}

// Show Only Differences and the filter box hide rows together: a row is shown when both leave
// it, ".." always; marks changed in place apply at once and keep the selection.
TEST_F(CompareMarksTest, OnlyDifferencesAndTheFilterBothApply) {
    PaneState pane = MarkedPane();
    ui::PaneView view(&pane);
    view.show();
    const auto shown = [&] {
        QStringList names;
        for (int row = 0; row < pane.count(); ++row)
            if (!view.isRowHidden(row, QModelIndex()))
                names << pane.entries[std::size_t(row)].name;
        return names;
    };
    view.setOnlyMarked(true);
    EXPECT_EQ(shown(), (QStringList{u".."_qs, u"here.txt"_qs, u"newer.txt"_qs, u"older.txt"_qs,
                                    u"size.txt"_qs, u"kind"_qs}));
    // The filter keeps the .txt names: with only differences, "same.txt" and "kind" go.
    std::vector<std::uint8_t> txt(pane.entries.size(), 0);
    for (std::size_t i = 0; i < txt.size(); ++i)
        txt[i] = pane.entries[i].isParent || pane.entries[i].name.endsWith(u".txt"_qs);
    view.showRows(txt);
    EXPECT_EQ(shown(), (QStringList{u".."_qs, u"here.txt"_qs, u"newer.txt"_qs, u"older.txt"_qs,
                                    u"size.txt"_qs}));
    view.setOnlyMarked(false);
    EXPECT_EQ(shown(), (QStringList{u".."_qs, u"same.txt"_qs, u"here.txt"_qs, u"newer.txt"_qs,
                                    u"older.txt"_qs, u"size.txt"_qs}));
    view.setOnlyMarked(true);
    // A new compare: "same.txt" now differs, "newer.txt" is in step and loses its selection.
    view.selectRow(2);
    view.selectRow(3);
    pane.entries[1].compare = CompareMark::SizeDiffers;
    pane.entries[3].compare = CompareMark::None;
    view.marksChanged();
    EXPECT_EQ(shown(), (QStringList{u".."_qs, u"same.txt"_qs, u"here.txt"_qs, u"older.txt"_qs,
                                    u"size.txt"_qs}));
    EXPECT_EQ(view.selectedRows(), std::vector<int>{2});
    // A reload shows the listing's rows with only differences still applied (the filter is the
    // binding's to apply again).
    view.reload();
    EXPECT_EQ(shown(), (QStringList{u".."_qs, u"same.txt"_qs, u"here.txt"_qs, u"older.txt"_qs,
                                    u"size.txt"_qs, u"kind"_qs}));
}

} // namespace
} // namespace tw::test
