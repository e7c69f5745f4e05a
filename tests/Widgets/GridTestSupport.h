#pragma once
#include "Platform/Base/RunLoop.h"
#include "Platform/UI/Driver.h"
#include "Platform/UI/Label.h"
#include "Platform/UI/Window.h"
#include "Widgets/BRGridView.h"
#include "Widgets/BRGridViewCell.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <optional>
#include <memory>
#include <string>
#include <vector>

namespace gridtest {

// A cell showing its item's number in a label.
class NumberCell : public BRGridViewCell {
public:
    NumberCell(const gfx::Rect& frame, const std::string& identifier) : BRGridViewCell(frame, identifier)
    {
        label = ui::View::make<ui::Label>(gfx::Rect(10, 10, frame.width() - 20, 30));
        contentView()->addSubview(label);
        contentView()->setBackgroundColor(gfx::Color::fromRgb(242, 242, 242));
    }
    std::shared_ptr<ui::Label> label;
};

// Items numbered 0 to count - 1, each in a NumberCell of the given size.
class NumberedSource : public BRGridViewDataSource {
public:
    uint32_t count = 0;
    std::optional<gfx::Size> desiredSize;
    gfx::Size cellFrameSize{200, 212};
    int cellsCreated = 0;
    int cellsAskedFor = 0;
    std::function<void(NumberCell&)> configure;

    uint32_t numberOfItemsInGridView(BRGridView&) override { return count; }
    std::shared_ptr<BRGridViewCell> gridViewCellForItemAtIndex(BRGridView& grid, uint32_t index) override
    {
        ++cellsAskedFor;
        auto cell = std::dynamic_pointer_cast<NumberCell>(grid.dequeueReusableCellWithIdentifier("number"));
        if (!cell) {
            ++cellsCreated;
            cell = ui::View::make<NumberCell>(gfx::Rect({0, 0}, cellFrameSize), "number");
        }
        cell->label->setText(std::to_string(index));
        if (configure)
            configure(*cell);
        return cell;
    }
    std::optional<gfx::Size> portraitGridCellSizeForGridView(BRGridView&) override { return desiredSize; }
};

// Records what the grid tells its delegate, and optionally redirects selections.
class RecordingDelegate : public BRGridViewDelegate {
public:
    std::vector<std::string> log;
    std::optional<uint32_t> redirectTo;

    uint32_t gridViewWillSelectItemAtIndex(BRGridView&, uint32_t index) override
    {
        log.push_back("willSelect " + std::to_string(index));
        return redirectTo.value_or(index);
    }
    uint32_t gridViewWillSelectItemAtIndexNumFingersTouch(BRGridView&, uint32_t index, uint32_t fingers) override
    {
        log.push_back("willSelect " + std::to_string(index) + " fingers " + std::to_string(fingers));
        return index;
    }
    void gridViewDidSelectItemAtIndex(BRGridView&, uint32_t index) override
    {
        log.push_back("didSelect " + std::to_string(index));
    }
    void gridViewDidSelectItemAtIndexNumFingersTouch(BRGridView&, uint32_t index, uint32_t fingers) override
    {
        log.push_back("didSelect " + std::to_string(index) + " fingers " + std::to_string(fingers));
    }
    uint32_t gridViewWillDeselectItemAtIndex(BRGridView&, uint32_t index) override
    {
        log.push_back("willDeselect " + std::to_string(index));
        return index;
    }
    void gridViewDidDeselectItemAtIndex(BRGridView&, uint32_t index) override
    {
        log.push_back("didDeselect " + std::to_string(index));
    }
};

// A window on the manual clock with a numbered grid in it, driven as a user would.
class GridWindowTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        base::RunLoop::main().setManualClock(true);
        ui::View::setAnimationsEnabled(true);
        window = std::make_shared<ui::Window>();
        window->makeKeyAndVisible();
        driver = std::make_unique<ui::Driver>(*window);
    }
    void TearDown() override
    {
        driver.reset();
        grid.reset();
        window.reset();
        base::RunLoop::main().advance(10);
        base::RunLoop::main().setManualClock(false);
    }
    // A grid with `count` numbered items, on screen and laid out.
    void makeGrid(const gfx::Rect& frame, uint32_t count, gfx::Size desired = {200, 212})
    {
        source.count = count;
        source.desiredSize = desired;
        grid = ui::View::make<BRGridView>(frame);
        grid->setDataSource(&source);
        grid->setDelegate(&delegate);
        window->addSubview(grid);
        grid->reloadData();
        window->layoutIfNeeded();
    }
    // Pictures for a person to look at go to $BRIVANTA_REVIEW_DIR when set.
    static void review(ui::Window& window, const std::string& name)
    {
        if (const char* folder = std::getenv("BRIVANTA_REVIEW_DIR")) {
            EXPECT_TRUE(window.savePng(std::string(folder) + "/" + name));
        }
    }

    std::shared_ptr<ui::Window> window;
    std::unique_ptr<ui::Driver> driver;
    NumberedSource source;
    RecordingDelegate delegate;
    std::shared_ptr<BRGridView> grid;
};

} // namespace gridtest
