#include "core/commands/commands.h"
#include "core/text/string_table.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <set>

using namespace tw;

namespace {

std::vector<int> ids(const std::vector<MenuItem>& menu) {
    std::vector<int> out;
    for (const MenuItem& item : menu)
        out.push_back(item.separator ? 0 : item.isPopup() ? -1 : toInt(item.id));
    return out;
}

bool contains(const std::vector<CommandId>& list, CommandId id) {
    return std::find(list.begin(), list.end(), id) != list.end();
}

// Every pop-up of a menu tree (the tree itself counts as one).
void forEachPopup(const std::vector<MenuItem>& menu,
                  const std::function<void(const std::vector<MenuItem>&)>& visit) {
    visit(menu);
    for (const MenuItem& item : menu)
        if (item.isPopup())
            forEachPopup(item.children, visit);
}

QChar mnemonic(const QString& text) {
    const qsizetype at = text.indexOf(u'&');
    return at >= 0 && at + 1 < text.size() ? text.at(at + 1).toLower() : QChar();
}

} // namespace

TEST(CommandTable, IdsAreUniqueAndFindable) {
    std::set<int> seen;
    for (const CommandInfo& info : CommandTable()) {
        EXPECT_TRUE(seen.insert(info.value()).second) << info.value();
        ASSERT_EQ(FindCommand(info.value()), &info);
        EXPECT_EQ(info.helpStringId(), info.value());
        EXPECT_EQ(info.buttonTextId(), info.value() + 1000);
    }
    EXPECT_EQ(seen.size(), 68u);
    EXPECT_EQ(FindCommand(0), nullptr);
    EXPECT_EQ(FindCommand(9999), nullptr);
    EXPECT_EQ(FindCommand(CommandId::Download)->value(), 562);
}

TEST(CommandTable, EveryCommandIsReachableFromAMenu) {
    const auto main = MenuCommands(MainMenu());
    const auto local = MenuCommands(LocalContextMenu());
    const auto remote = MenuCommands(RemoteContextMenu());
    for (const CommandInfo& info : CommandTable()) {
        const bool inMain = contains(main, info.id);
        const bool inContext = contains(local, info.id) || contains(remote, info.id);
        EXPECT_TRUE(inMain || inContext) << info.value();
        EXPECT_EQ(inMain, !info.menuText.isEmpty()) << info.value();
        EXPECT_EQ(inContext, !info.contextMenuText.isEmpty()) << info.value();
    }
    // Cancel lives only in the context menus.
    EXPECT_FALSE(contains(main, CommandId::CancelMenu));
    EXPECT_TRUE(contains(local, CommandId::CancelMenu));
    EXPECT_TRUE(contains(remote, CommandId::CancelMenu));
}

TEST(CommandTable, MenuTextsCarryOneMnemonicAndItsShownShortcutIsAKey) {
    for (const CommandInfo& info : CommandTable()) {
        for (const QString& text : {info.menuText, info.contextMenuText}) {
            if (text.isEmpty())
                continue;
            EXPECT_EQ(text.count(u'&'), 1) << text.toStdString();
            EXPECT_FALSE(mnemonic(text).isNull()) << text.toStdString();
        }
        // A shortcut shown beside a main-menu item is backed by an accelerator.
        if (info.menuText.contains(u'\t')) {
            EXPECT_FALSE(info.shortcuts.isEmpty()) << info.menuText.toStdString();
        }
        // Context menus show no shortcut text.
        EXPECT_FALSE(info.contextMenuText.contains(u'\t'));
    }
    // Properties differs between the local menu and its context menu.
    EXPECT_EQ(FindCommand(CommandId::LocalProperties)->menuText, u"&Properties..."_qs);
    EXPECT_EQ(FindCommand(CommandId::LocalProperties)->contextMenuText, u"&Properties"_qs);
}

TEST(MenuModel, MnemonicsAreUniqueWithinEachPopup) {
    for (MenuKind kind : {MenuKind::Main, MenuKind::LocalContext, MenuKind::RemoteContext}) {
        forEachPopup(Menu(kind), [](const std::vector<MenuItem>& popup) {
            std::set<QChar> used;
            for (const MenuItem& item : popup) {
                if (item.separator)
                    continue;
                const QChar key = mnemonic(item.text);
                EXPECT_TRUE(used.insert(key).second)
                    << "duplicate mnemonic in " << item.text.toStdString();
            }
        });
    }
}

TEST(MenuModel, SeparatorsOnlyBetweenItems) {
    for (MenuKind kind : {MenuKind::Main, MenuKind::LocalContext, MenuKind::RemoteContext}) {
        forEachPopup(Menu(kind), [](const std::vector<MenuItem>& popup) {
            ASSERT_FALSE(popup.empty());
            EXPECT_FALSE(popup.front().separator);
            EXPECT_FALSE(popup.back().separator);
            for (std::size_t i = 1; i < popup.size(); ++i)
                EXPECT_FALSE(popup[i].separator && popup[i - 1].separator);
            for (const MenuItem& item : popup) {
                EXPECT_EQ(item.separator, item.text.isEmpty());
                if (!item.isPopup()) {
                    EXPECT_TRUE(item.children.empty());
                }
            }
        });
    }
}

TEST(MenuModel, MainMenuLayout) {
    const auto& bar = MainMenu();
    ASSERT_EQ(bar.size(), 5u);
    QStringList titles;
    for (const MenuItem& popup : bar) {
        ASSERT_TRUE(popup.isPopup());
        titles << popup.text;
    }
    EXPECT_EQ(titles,
              (QStringList{u"&FTP"_qs, u"&View"_qs, u"&Local"_qs, u"&Remote"_qs, u"&Help"_qs}));
    EXPECT_EQ(ids(bar[0].children), (std::vector<int>{454, 457, 0, 455, 570, 0, 130, 0, 140, 142,
                                                      143, 141, 0, 133, 0, 199}));
    EXPECT_EQ(ids(bar[1].children),
              (std::vector<int>{302, 301, 392, 393, 303, 0,   394, 395, 0, 396, 397, 0,
                                385, 386, 387, 0,   398, 399, 0,   430, 0, 213, 0,   391}));
    EXPECT_EQ(ids(bar[2].children), (std::vector<int>{551, 556, 369, 0, 222, 0, 555, 554, 557, 553,
                                                      0, 558, 0, 552, 0, -1, 0, 440}));
    EXPECT_EQ(ids(bar[3].children),
              (std::vector<int>{561, 566, 0,   567, 568, 0,   565, 564, 563, 569, 0,
                                573, 0,   571, 572, 0,   562, 0,   -1,  0,   440}));
    EXPECT_EQ(ids(bar[4].children),
              (std::vector<int>{901, 902, 903, 0, 134, 995, 0, 997, 996, 0, 999}));
    const MenuItem& localSort = bar[2].children[15];
    const MenuItem& remoteSort = bar[3].children[18];
    EXPECT_EQ(localSort.text, u"&Sort"_qs);
    EXPECT_EQ(remoteSort.text, u"&Sort"_qs);
    EXPECT_EQ(ids(localSort.children), (std::vector<int>{530, 531, 532, 533}));
    EXPECT_EQ(ids(remoteSort.children), (std::vector<int>{534, 535, 536, 537}));
    // Sort Settings appears in both menus under the same id and text.
    const auto all = MenuCommands(bar);
    EXPECT_EQ(std::count(all.begin(), all.end(), CommandId::SortSettings), 2);
}

TEST(MenuModel, ContextMenusHoldExactlyTheirItems) {
    EXPECT_EQ(ids(LocalContextMenu()),
              (std::vector<int>{222, 0, 555, 554, 557, 553, 0, 552, 0, 558, 0, 421}));
    EXPECT_EQ(ids(RemoteContextMenu()),
              (std::vector<int>{567, 0, 565, 564, 563, 569, 0, 562, 0, 573, 0, 421}));
    QStringList texts;
    for (const MenuItem& item : RemoteContextMenu())
        texts << item.text;
    EXPECT_EQ(texts, (QStringList{u"&Edit..."_qs,
                                  {},
                                  u"&Properties"_qs,
                                  u"&Rename..."_qs,
                                  u"&Delete..."_qs,
                                  u"Permissi&ons..."_qs,
                                  {},
                                  u"&Transfer..."_qs,
                                  {},
                                  u"Select &All"_qs,
                                  {},
                                  u"&Cancel"_qs}));
}

TEST(MenuModel, PicturesBelongToItemsOfTheirMenu) {
    const auto mainPictures = MenuPictures(MenuKind::Main);
    EXPECT_EQ(mainPictures.size(), 24u);
    for (const CommandInfo& info : CommandTable()) {
        EXPECT_EQ(info.pictureId != 0, contains(mainPictures, info.id)) << info.value();
        if (info.pictureId != 0) {
            EXPECT_EQ(info.pictureId, info.value());
        }
        EXPECT_EQ(info.checkedPictureId, info.id == CommandId::AlwaysOnTop ? 1399 : 0);
    }
    for (MenuKind kind : {MenuKind::LocalContext, MenuKind::RemoteContext}) {
        const auto items = MenuCommands(Menu(kind));
        for (CommandId id : MenuPictures(kind)) {
            EXPECT_TRUE(contains(items, id)) << toInt(id);
            EXPECT_TRUE(contains(mainPictures, id)) << toInt(id);
        }
    }
    // Move has no picture in either menu.
    EXPECT_FALSE(contains(MenuPictures(MenuKind::LocalContext), CommandId::LocalMove));
}

TEST(Accelerators, UniqueKeysForMainMenuCommands) {
    const auto& table = AcceleratorTable();
    EXPECT_EQ(table.size(), 26u);
    const auto main = MenuCommands(MainMenu());
    std::set<QString> keys;
    std::set<QString> qtKeys;
    for (const AcceleratorEntry& entry : table) {
        EXPECT_TRUE(keys.insert(entry.key).second) << entry.key.toStdString();
        ASSERT_FALSE(entry.qtKeys.isEmpty());
        for (const QString& key : entry.qtKeys)
            EXPECT_TRUE(qtKeys.insert(key).second) << key.toStdString();
        EXPECT_TRUE(contains(main, entry.command)) << toInt(entry.command);
        // The command lists the same keys.
        for (const QString& key : entry.qtKeys)
            EXPECT_TRUE(FindCommand(entry.command)->shortcuts.contains(key));
    }
    // Edit is reached by two keys; Enter covers the keypad key too.
    EXPECT_EQ(FindCommand(CommandId::LocalEdit)->shortcuts,
              (QStringList{u"Ctrl+E"_qs, u"Return"_qs, u"Enter"_qs}));
    EXPECT_TRUE(FindCommand(CommandId::Import)->shortcuts.isEmpty());
}

TEST(Toolbar, ThirtyFourSlotsWithOneImagePerButton) {
    const auto& layout = ToolbarSlots();
    ASSERT_EQ(layout.size(), 34u);
    const auto buttons = ToolbarButtons();
    EXPECT_EQ(buttons.size(), 22u);
    EXPECT_TRUE(layout.front().isSeparator());
    std::set<int> images;
    std::set<int> commands;
    for (const ToolbarSlot& button : buttons) {
        EXPECT_GE(button.imageIndex, 0);
        EXPECT_LE(button.imageIndex, 21);
        EXPECT_TRUE(images.insert(button.imageIndex).second) << button.imageIndex;
        EXPECT_TRUE(commands.insert(toInt(button.id)).second);
        EXPECT_EQ(FindCommand(button.id)->imageIndex, button.imageIndex);
    }
    // Every command with an image is on the toolbar.
    for (const CommandInfo& info : CommandTable())
        EXPECT_EQ(info.hasButton(), commands.count(info.value()) == 1) << info.value();
    for (std::size_t i = 1; i < layout.size(); ++i)
        EXPECT_FALSE(layout[i].isSeparator() && layout[i - 1].isSeparator());
}

TEST(Toolbar, SavedArrangementsReadBack) {
    const std::vector<int> standard = StandardToolbarArrangement();
    ASSERT_EQ(standard.size(), 34u);
    EXPECT_EQ(std::vector<int>(standard.begin(), standard.begin() + 6),
              (std::vector<int>{0, 454, 457, 455, 0, 130}));
    const auto restored = ToolbarFromArrangement(standard);
    ASSERT_TRUE(restored);
    ASSERT_EQ(restored->size(), ToolbarSlots().size());
    for (std::size_t i = 0; i < restored->size(); ++i) {
        EXPECT_EQ((*restored)[i].id, ToolbarSlots()[i].id);
        EXPECT_EQ((*restored)[i].imageIndex, ToolbarSlots()[i].imageIndex);
    }
    // A user's arrangement: fewer buttons, any order, separators anywhere.
    const auto custom = ToolbarFromArrangement({562, 0, 0, 454});
    ASSERT_TRUE(custom);
    ASSERT_EQ(custom->size(), 4u);
    EXPECT_EQ((*custom)[0].imageIndex, 16);
    EXPECT_TRUE((*custom)[1].isSeparator());
    EXPECT_EQ((*custom)[3].id, CommandId::Connect);
    // All buttons removed is a valid toolbar.
    ASSERT_TRUE(ToolbarFromArrangement({}));
    EXPECT_TRUE(ToolbarFromArrangement({})->empty());
    // Damaged values are refused as a whole.
    EXPECT_FALSE(ToolbarFromArrangement({454, 454}));
    EXPECT_FALSE(ToolbarFromArrangement({454, 140})); // a command without a button
    EXPECT_FALSE(ToolbarFromArrangement({454, 421})); // Cancel
    EXPECT_FALSE(ToolbarFromArrangement({454, -5, 1}));
}

TEST(CommandTexts, EveryCommandHasItsHelpAndButtonText) {
    for (const CommandInfo& info : CommandTable()) {
        const auto help = LookupString(info.helpStringId());
        ASSERT_TRUE(help) << "help string " << info.helpStringId();
        EXPECT_FALSE(help->trimmed().isEmpty()) << info.helpStringId();
        if (info.hasButton()) {
            const auto button = LookupString(info.buttonTextId());
            ASSERT_TRUE(button) << "button text " << info.buttonTextId();
            EXPECT_FALSE(button->trimmed().isEmpty()) << info.buttonTextId();
        }
    }
    EXPECT_TRUE(LookupString(60000));
}

TEST(CommandTable, SortCommandsNameTheirPaneAndKey) {
    int count = 0;
    for (const CommandInfo& info : CommandTable()) {
        const auto sort = SortCommandOf(info.id);
        if (!sort)
            continue;
        ++count;
        // The same key is checked by the enabling rule when the pane has it.
        CommandInputs in;
        (sort->side == PaneSide::Local ? in.localSort : in.remoteSort) = sort->key;
        EXPECT_TRUE(UpdateCommandState(in).main(info.id).checked) << info.value();
    }
    EXPECT_EQ(count, 8);
    EXPECT_EQ(SortCommandOf(CommandId::RemoteSortType)->key, SortKey::Type);
    EXPECT_EQ(SortCommandOf(CommandId::RemoteSortType)->side, PaneSide::Remote);
    EXPECT_FALSE(SortCommandOf(CommandId::SortSettings));
}
