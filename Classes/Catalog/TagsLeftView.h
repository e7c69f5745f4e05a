#pragma once
#include "Database/brivanta_tag_entity.h"
#include "Platform/Base/NotificationCenter.h"
#include "Platform/UI/TableView.h"

#include <map>
#include <memory>
#include <string>
#include <vector>

class TagsLeftDelegate {
public:
    virtual ~TagsLeftDelegate() = default;
    virtual void didSelectDelegateWithTagName(const std::vector<int>& productIds, const std::string& tagName) {}
    virtual void showAllCells() {}
};

// The catalogue panel's list of tags, one row per distinct name, with its product count.
class TagsLeftView : public ui::View, public ui::TableViewDataSource, public ui::TableViewDelegate {
public:
    explicit TagsLeftView(const gfx::Rect& frame);
    const char* className() const override { return "TagsLeftView"; }

    const std::vector<brivanta_tag_entity>& dataArray() const { return m_dataArray; }
    // Clears the selection and rebuilds the names; a later record stands for a repeated name.
    void setDataArray(std::vector<brivanta_tag_entity> tags);
    const std::map<std::string, brivanta_tag_entity>& sortDict() const { return m_sortDict; }
    const std::vector<std::string>& sortedNames() const { return m_names; }
    ui::TableView& tableView() const { return *m_tableView; }
    int selectRow() const { return m_selectRow; }
    void setSelectRow(int row) { m_selectRow = row; }
    TagsLeftDelegate* delegate() const { return m_delegate; }
    void setDelegate(TagsLeftDelegate* delegate) { m_delegate = delegate; }

    void didSelectToFromNotification(const std::string& tagName);
    // Tells the delegate again about the selected tag.
    void resetData();

    int numberOfRowsInSection(ui::TableView&, int section) override;
    std::shared_ptr<ui::TableViewCell> cellForRowAtIndexPath(ui::TableView&, const ui::IndexPath&) override;
    void didSelectRowAtIndexPath(ui::TableView&, const ui::IndexPath&) override;

private:
    void tellDelegate(int row);

    std::shared_ptr<ui::TableView> m_tableView;
    std::vector<brivanta_tag_entity> m_dataArray;
    std::map<std::string, brivanta_tag_entity> m_sortDict;
    std::vector<std::string> m_names;
    int m_selectRow = -1;
    TagsLeftDelegate* m_delegate = nullptr;
    base::ObserverToken m_selectObserver;
};
