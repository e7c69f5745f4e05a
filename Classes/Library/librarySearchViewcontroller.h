#pragma once
#include "Database/brivanta_library_files_Entity.h"
#include "Platform/UI/TableView.h"
#include "Platform/UI/TableViewCell.h"
#include "Platform/UI/ViewController.h"

#include <memory>
#include <vector>

namespace ui {
class Label;
}

class LibrarySearchDelegate {
public:
    virtual ~LibrarySearchDelegate() = default;
    virtual void didselectSearchResult(const brivanta_library_files_Entity&) {}
};

// A row of the library search list: cover, title, format, date and, for a video, its length.
class LibrarySearchCell : public ui::TableViewCell {
public:
    explicit LibrarySearchCell(const std::string& reuseIdentifier);
    const char* className() const override { return "LibrarySearchCell"; }

    ui::View& coverView() const { return *m_imageView; }
    ui::Label& fileNameContentLabel() const { return *m_fileNameContentLabel; }
    ui::Label& infoContentLabel() const { return *m_infoContentLabel; }
    ui::Label& dateContentLabel() const { return *m_dateContentLabel; }
    ui::Label& durationContentLabel() const { return *m_durationContentLabel; }
    bool durationVisiable() const { return m_durationVisiable; }
    void setDurationVisiable(bool visible);

private:
    std::shared_ptr<ui::View> m_imageView;
    std::shared_ptr<ui::Label> m_fileNameContentLabel;
    std::shared_ptr<ui::Label> m_infoContentLabel;
    std::shared_ptr<ui::Label> m_dateContentLabel;
    std::shared_ptr<ui::Label> m_durationContentLabel;
    bool m_durationVisiable = false;
};

// A table of library documents found by a search; the chosen one goes to the delegate.
class librarySearchViewcontroller : public ui::ViewController, public ui::TableViewDataSource, public ui::TableViewDelegate {
public:
    static constexpr double kRowHeight = 130;

    librarySearchViewcontroller() = default;
    ~librarySearchViewcontroller() override;
    const char* className() const override { return "librarySearchViewcontroller"; }

    void setDelegate(LibrarySearchDelegate* delegate) { m_delegate = delegate; }
    const std::vector<brivanta_library_files_Entity>& searchFilestArray() const { return m_searchFilestArray; }
    void setSearchFilestArray(std::vector<brivanta_library_files_Entity> files);
    ui::TableView* tableView() const { return m_tableView.get(); }

    void loadView() override;
    unsigned supportedInterfaceOrientations() const override;

    int numberOfRowsInSection(ui::TableView&, int section) override;
    std::shared_ptr<ui::TableViewCell> cellForRowAtIndexPath(ui::TableView&, const ui::IndexPath&) override;
    double heightForRowAtIndexPath(ui::TableView&, const ui::IndexPath&) override { return kRowHeight; }
    void didSelectRowAtIndexPath(ui::TableView&, const ui::IndexPath&) override;

private:
    std::shared_ptr<ui::TableView> m_tableView;
    std::vector<brivanta_library_files_Entity> m_searchFilestArray;
    LibrarySearchDelegate* m_delegate = nullptr;
    bool m_bViewHasLoad = false;
};
