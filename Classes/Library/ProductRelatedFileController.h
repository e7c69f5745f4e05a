#pragma once
#include "Common/PopBaseController.h"
#include "Database/brivanta_library_files_Entity.h"
#include "Platform/UI/TableView.h"

#include <memory>
#include <vector>

// The related materials of a product: the titles of its library files, in a full-screen
// pop-up that its delegate closes.
class ProductRelatedFileController : public PopBaseController,
                                     public ui::TableViewDataSource,
                                     public ui::TableViewDelegate {
public:
    static constexpr double kRowHeight = 50;

    ProductRelatedFileController() = default;
    ~ProductRelatedFileController() override;
    const char* className() const override { return "ProductRelatedFileController"; }

    const std::vector<brivanta_library_files_Entity>& libfilesArray() const { return m_libfilesArray; }
    void setLibfilesArray(std::vector<brivanta_library_files_Entity> files);
    const std::shared_ptr<ui::TableView>& fileTable() const { return m_fileTable; }

    void viewDidLoad() override;
    void updateLanguage(ui::Responder* sender) override;

    int numberOfRowsInSection(ui::TableView&, int section) override;
    std::shared_ptr<ui::TableViewCell> cellForRowAtIndexPath(ui::TableView&, const ui::IndexPath&) override;
    double heightForRowAtIndexPath(ui::TableView&, const ui::IndexPath&) override { return kRowHeight; }

private:
    std::vector<brivanta_library_files_Entity> m_libfilesArray;
    std::shared_ptr<ui::TableView> m_fileTable;
};
