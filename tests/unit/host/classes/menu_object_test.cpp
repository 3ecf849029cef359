// The Menu object over the model menu system, with a model frame as the projector's main window:
// what onUpdateItem changes in the items, the bar on the frame and its release, owned and borrowed
// menus when objects go, the command table behind the names, and commands and keys reaching the
// scripts. What scripts see without a frame is covered by tests/scripts/menu.
#include "host/classes/menu_object.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "host/classes/menu_commands.h"
#include "tests/support/frame_events.h"
#include "host/framework/projector.h"
#include "platform/common/model_desktop.h"
#include "platform/common/model_menu_system.h"
#include "platform/common/model_window_system.h"
#include "script/runtime/internal/interpreter.h"
#include "script/runtime/strings.h"
#include "shell/menu_definition.h"
#include "tests/support/projector_engine.h"

namespace velmo::host {
namespace {

using platform::MenuHandle;
using platform::MenuItemKind;
using script::Tag;
using script::Value;

using CommandEvents = testing::CountingFrameEvents;

class MenuProjector final : public Projector {
public:
    uintptr_t MainWindow() const override { return frame; }
    void Apply(SettingsChange change) override { changes.push_back(change); }
    std::optional<std::vector<uint8_t>> MenuDefinition(const std::string& name) const override {
        if (name != "main") return std::nullopt;
        return definition;
    }
    uintptr_t frame = 0;
    std::vector<SettingsChange> changes;
    std::vector<uint8_t> definition;
};

class MenuObject : public ::testing::Test {
protected:
    void SetUp() override {
        platform::UseWindowSystem(&windows_);
        platform::UseMenuSystem(&menus_);
        frame_ = desktop_.CreateFrameWindow("", events_);
        projector_.frame = frame_->NativeHandle();
        engine_ = testing::EngineOver(projector_);
        ASSERT_TRUE(engine_);
    }
    void TearDown() override {
        engine_.reset();
        platform::UseMenuSystem(nullptr);
        platform::UseWindowSystem(nullptr);
    }
    void Run(std::string_view source) { ASSERT_EQ(engine_->RunSourceText(source), 1) << engine_->ErrorText(); }
    std::string Text(std::string_view name) {
        const Value v = engine_->Interp().GlobalByName(name);
        if (!v.Is(Tag::String)) return "<no string>";
        const std::u16string_view text = script::Text(v.AsString());
        return std::string(text.begin(), text.end());
    }
    // The item captioned `text` (as stored) in `menu`.
    std::optional<platform::MenuItemInfo> ItemNamed(MenuHandle menu, const std::string& text) {
        for (int i = 0; i < menus_.ItemCount(menu); ++i)
            if (const auto item = menus_.Item(menu, i); item && item->text == text) return item;
        return std::nullopt;
    }
    MenuHandle Bar() const { return menus_.WindowMenu(projector_.frame); }

    platform::ModelWindowSystem windows_;
    platform::ModelMenuSystem menus_;
    platform::ModelDesktop desktop_{{1024, 768}, &windows_};
    CommandEvents events_;
    std::unique_ptr<platform::FrameWindow> frame_;
    MenuProjector projector_;
    std::unique_ptr<script::Engine> engine_;
};

TEST_F(MenuObject, OpeningPopupLetsTheHandlerEnableCheckAndRenameItems) {
    Run(R"(var bar = new Menu(); bar.createMenu();
           var file = new Menu(); file.createPopupMenu();
           file.appendItem("open", "&Open", "Ctrl+O"); file.appendItem("save", "&Save");
           file.appendItem("plain", "Plain");
           bar.appendItem(file, "&File"); bar.setMenu();
           Menu.onUpdateItem = function(name, state) {
               if (name == "open") { state.enable = false; state.check = 1; state.caption = "&Load"; }
               if (name == "save") state.caption = 42;
               asked = (typeof asked == "string" ? asked + "," : "") + name;
           };)");
    const MenuHandle bar = Bar();
    ASSERT_NE(bar, 0u);
    const MenuHandle file = menus_.Item(bar, 0)->submenu;
    // The system tells the frame before the File popup opens.
    windows_.Send(projector_.frame, platform::kMsgInitMenuPopup, file, 0);
    EXPECT_EQ(Text("asked"), "open,save,plain");
    const auto open = ItemNamed(file, "&Load\tCtrl+O");  // the key text stays behind the new caption
    ASSERT_TRUE(open);
    EXPECT_FALSE(open->enabled);
    EXPECT_TRUE(open->checked);
    const auto save = ItemNamed(file, "&Save");  // a caption that is no String changes nothing
    ASSERT_TRUE(save);
    EXPECT_TRUE(save->enabled);
    EXPECT_FALSE(save->checked);

    // Unset properties keep the state; false values clear it.
    Run(R"(Menu.onUpdateItem = function(name, state) { if (name == "open") state.check = 0; };)");
    windows_.Send(projector_.frame, platform::kMsgInitMenuPopup, file, 0);
    EXPECT_FALSE(ItemNamed(file, "&Load\tCtrl+O")->enabled);
    EXPECT_FALSE(ItemNamed(file, "&Load\tCtrl+O")->checked);
    // A menu the scripts do not know is left alone.
    const MenuHandle foreign = menus_.CreatePopup();
    ASSERT_TRUE(menus_.InsertCommand(foreign, -1, 0x1234, "Foreign"));
    windows_.Send(projector_.frame, platform::kMsgInitMenuPopup, foreign, 0);
    EXPECT_TRUE(menus_.Item(foreign, 0)->enabled);
}

TEST_F(MenuObject, SetMenuPutsTheBarOnTheFrameAndTheCollectedObjectTakesItAway) {
    Run(R"(var bar = new Menu(); bar.createMenu(); bar.appendItem("a", "A"); set = bar.setMenu();)");
    EXPECT_TRUE(engine_->Interp().GlobalByName("set").AsBoolean());
    const MenuHandle bar = Bar();
    EXPECT_NE(bar, 0u);
    ASSERT_EQ(projector_.changes.size(), 1u);
    EXPECT_EQ(projector_.changes[0], SettingsChange::Layout);
    // Replaced by another menu of the same object: the bar goes first, then the menu.
    Run(R"(bar.createMenu();)");
    EXPECT_EQ(Bar(), 0u);
    EXPECT_FALSE(menus_.IsMenu(bar));
    Run(R"(bar.appendItem("b", "B"); bar.setMenu();)");
    const MenuHandle second = Bar();
    ASSERT_NE(second, 0u);
    Run(R"(bar = null;)");
    engine_->Interp().Collect();
    EXPECT_EQ(Bar(), 0u);
    EXPECT_FALSE(menus_.IsMenu(second));
}

TEST_F(MenuObject, AnOwnedSubmenuOutlivesItsParentAndLeavesItWhenCollected) {
    Run(R"(var parent = new Menu(); parent.createPopupMenu();
           var child = new Menu(); child.createPopupMenu(); child.appendItem("inner", "Inner");
           parent.appendItem(child, "Child"); parent.appendItem("outer", "Outer");
           var borrowed = parent.getSubMenu(0);)");
    // The child's own object goes: the child leaves the parent first, so the parent never holds a
    // destroyed menu, and the borrowed object does not destroy it a second time.
    Run(R"(child = null; borrowed = null;)");
    engine_->Interp().Collect();
    Run(R"(parentSub = parent.getSubMenu(0); outerFirst = parent.removeItem(1);)");
    EXPECT_TRUE(engine_->Interp().GlobalByName("parentSub").Is(Tag::Null));
    EXPECT_FALSE(engine_->Interp().GlobalByName("outerFirst").AsBoolean());  // "Outer" moved up to 0
    // The parent goes while a child's object still lives: the child survives it, with its items.
    Run(R"(var p2 = new Menu(); p2.createPopupMenu(); var c2 = new Menu(); c2.createPopupMenu();
           c2.appendItem("kept", "Kept"); p2.appendItem(c2, "C2"); p2 = null;)");
    engine_->Interp().Collect();
    Run(R"(var host2 = new Menu(); host2.createPopupMenu(); ok = host2.appendItem(c2, "Again");
           sub = host2.getSubMenu(0);)");
    EXPECT_TRUE(engine_->Interp().GlobalByName("ok").AsBoolean());
    EXPECT_TRUE(engine_->Interp().GlobalByName("sub").Is(Tag::HostObject));
}

TEST_F(MenuObject, NamesKeepOneIdWhileAnyItemUsesThemAndCommandsArriveByName) {
    Run(R"(var a = new Menu(); a.createPopupMenu(); a.appendItem("go", "Go"); a.appendItem("stop", "Stop");
           var b = new Menu(); b.createPopupMenu(); b.appendItem("go", "Go too");
           heard = ""; Menu.onCommand = function(name) { heard += name + (this === Menu ? "!" : "?"); };)");
    // "go" is the first name: the first id of the range, shared by both items.
    EXPECT_TRUE(FireMenuCommand(engine_->Interp(), kFirstMenuCommand));
    EXPECT_TRUE(FireMenuCommand(engine_->Interp(), kFirstMenuCommand + 1));
    EXPECT_FALSE(FireMenuCommand(engine_->Interp(), kFirstMenuCommand + 2));
    EXPECT_EQ(Text("heard"), "go!stop!");
    // Removing one "go" item keeps the name for the other; removing the last takes it away.
    Run(R"(a.removeItem(0);)");
    EXPECT_TRUE(FireMenuCommand(engine_->Interp(), kFirstMenuCommand));
    Run(R"(b.removeItem(0); a.removeItem(0);)");
    EXPECT_FALSE(FireMenuCommand(engine_->Interp(), kFirstMenuCommand));
    EXPECT_FALSE(FireMenuCommand(engine_->Interp(), kFirstMenuCommand + 1));
    // A new name does not take a freed id back at once.
    Run(R"(a.appendItem("new", "New"); heard = "";)");
    EXPECT_TRUE(FireMenuCommand(engine_->Interp(), kFirstMenuCommand + 2));
    EXPECT_EQ(Text("heard"), "new!");
}

TEST_F(MenuObject, LoadBuildsTheBarFromTheDefinitionAndKeepsTheMenuOnFailure) {
    shell::MenuDefinitionItem file{shell::kMenuItemPopup, "", "&File", "", {}};
    file.children = {{0, "open", "&Open", "Ctrl+O", {}}, {}, {0, "quit", "E&xit", "", {}}};
    projector_.definition = shell::WriteMenuDefinition({file, {0, "help", "&Help", "F1", {}}});
    Run(R"(var m = new Menu(); m.createPopupMenu(); m.appendItem("old", "Old"); missing = m.load("other");
           still = m.removeItem(0);)");
    EXPECT_FALSE(engine_->Interp().GlobalByName("missing").AsBoolean());
    EXPECT_TRUE(engine_->Interp().GlobalByName("still").AsBoolean());  // the old menu and its item stayed
    Run(R"(loaded = m.load("main"); m.setMenu(); m.enableAccel = true;)");
    EXPECT_TRUE(engine_->Interp().GlobalByName("loaded").AsBoolean());
    const MenuHandle bar = Bar();
    ASSERT_EQ(menus_.ItemCount(bar), 2);
    const auto popup = menus_.Item(bar, 0);
    ASSERT_EQ(popup->kind, MenuItemKind::Submenu);
    EXPECT_EQ(popup->text, "&File");
    ASSERT_EQ(menus_.ItemCount(popup->submenu), 3);
    EXPECT_EQ(menus_.Item(popup->submenu, 0)->text, "&Open\tCtrl+O");
    EXPECT_EQ(menus_.Item(popup->submenu, 1)->kind, MenuItemKind::Separator);
    EXPECT_EQ(menus_.Item(bar, 1)->text, "&Help\tF1");
    // The keys of the whole tree reach the frame as its commands.
    EXPECT_EQ(menus_.PressKey(platform::kModifierControl, 'O'), menus_.Item(popup->submenu, 0)->id);
    EXPECT_NE(menus_.PressKey(0, 0x70), 0u);  // F1
    EXPECT_EQ(menus_.PressKey(0, 'O'), 0u);
    ASSERT_EQ(events_.commands.size(), 2u);
    EXPECT_EQ(events_.commands[0], menus_.Item(popup->submenu, 0)->id);
    // enableAccel false takes them away again.
    Run(R"(m.enableAccel = false;)");
    EXPECT_EQ(menus_.PressKey(platform::kModifierControl, 'O'), 0u);
}

TEST(MenuCommandTable, IdsComeFromTheScriptedRangeAndWrapAroundIt) {
    MenuCommandTable table;
    EXPECT_EQ(table.Register("a", "Ctrl+A"), kFirstMenuCommand);
    EXPECT_EQ(table.Register("a", ""), kFirstMenuCommand);
    EXPECT_EQ(table.AcceleratorOf(kFirstMenuCommand), "Ctrl+A");  // an empty key text keeps the one given
    for (uint32_t id = kFirstMenuCommand + 1; id <= kLastMenuCommand; ++id)
        ASSERT_EQ(table.Register("n" + std::to_string(id), ""), id);
    EXPECT_FALSE(table.Register("one too many", ""));
    table.Release(kFirstMenuCommand + 5);
    EXPECT_EQ(table.Register("late", ""), kFirstMenuCommand + 5);  // the only free id, after wrapping
    table.Release(kFirstMenuCommand);
    EXPECT_EQ(table.IdOf("a"), kFirstMenuCommand);  // "a" had two items
    table.Release(kFirstMenuCommand);
    EXPECT_FALSE(table.IdOf("a"));
    EXPECT_EQ(table.NameOf(kFirstMenuCommand), nullptr);
}

}  // namespace
}  // namespace velmo::host
