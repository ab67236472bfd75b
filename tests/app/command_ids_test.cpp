#include <gtest/gtest.h>

#include <set>

#include "command_ids.h"

using namespace planora;

namespace {

void collectCommands(std::span<const MenuItem> items, std::vector<const MenuItem*>& out) {
    for (const MenuItem& item : items) {
        if (item.kind == MenuItem::Kind::Submenu) {
            collectCommands(item.submenu, out);
        } else if (item.kind == MenuItem::Kind::Command) {
            out.push_back(&item);
        }
    }
}

}  // namespace

TEST(CommandTable, EveryMenuCommandIsRoutedAndAppearsOncePerMenu) {
    std::vector<std::span<const Menu>> all{mainMenu(), contextMenus()};
    for (auto menus : all) {
        for (const Menu& menu : menus) {
            std::vector<const MenuItem*> commands;
            collectCommands(menu.items, commands);
            std::set<int> ids;
            for (const MenuItem* item : commands) {
                EXPECT_TRUE(commandFeature(item->id)) << item->id;
                EXPECT_TRUE(ids.insert(item->id).second) << menu.title << " " << item->id;
                EXPECT_FALSE(menuText(*item).isEmpty());
            }
        }
    }
    EXPECT_FALSE(commandFeature(12345));
}

TEST(CommandTable, MeasuringMenuStartsWithItsOffItemGreyedAndRadioGroups) {
    const Menu& measure = mainMenu()[4];
    EXPECT_EQ(QString::fromUtf8(measure.title), QStringLiteral("&Messen"));
    EXPECT_EQ(measure.items[0].id, CmdMeasureOff);
    EXPECT_TRUE(measure.items[0].greyed);
    EXPECT_EQ(menuText(measure.items[0]), QStringLiteral("Meßmodus abschalten"));
    std::vector<const MenuItem*> commands;
    collectCommands(measure.items, commands);
    for (const MenuItem* item : commands) {
        EXPECT_EQ(item->radio, radioGroupFirst(item->id) != 0) << item->id;
    }
    EXPECT_EQ(radioGroupFirst(CmdScaleFirst + 14), CmdScaleFirst);
    EXPECT_EQ(radioGroupFirst(CmdDecimals0), CmdDecimals3);
    EXPECT_EQ(radioGroupFirst(513), 0);
}

TEST(MeasureModeMarks, ModesCheckThemselvesAndTheOffItemClearsAll) {
    MeasureModeMarks marks;
    EXPECT_FALSE(marks.offEnabled);
    marks.mark(CmdShowTexts);
    EXPECT_TRUE(marks.isChecked(CmdShowTexts));
    EXPECT_TRUE(marks.offEnabled);
    marks.mark(CmdSnapCentre);
    EXPECT_TRUE(marks.isChecked(CmdSnapCentre));
    EXPECT_FALSE(marks.isChecked(CmdShowTexts));
    marks.mark(CmdZoomAll);  // not a measuring mode
    EXPECT_TRUE(marks.isChecked(CmdSnapCentre));
    marks.mark(CmdMeasureOff);
    for (int id = CmdSnapEndPoint; id <= CmdShowTexts; ++id) {
        EXPECT_FALSE(marks.isChecked(id));
    }
    EXPECT_FALSE(marks.offEnabled);
}
