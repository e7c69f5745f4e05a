#include "Classes/Library/ProductRelatedFileController.h"

#include "Common/Language.h"
#include "Platform/UI/Label.h"
#include "Platform/UI/TableViewCell.h"

namespace {

constexpr const char* kCellIdentifier = "ProductRelatedFileCell";

} // namespace

ProductRelatedFileController::~ProductRelatedFileController()
{
    if (m_fileTable) {
        m_fileTable->setDataSource(nullptr);
        m_fileTable->setDelegate(nullptr);
    }
}

void ProductRelatedFileController::setLibfilesArray(std::vector<brivanta_library_files_Entity> files)
{
    m_libfilesArray = std::move(files);
    if (m_fileTable)
        m_fileTable->reloadData();
}

void ProductRelatedFileController::viewDidLoad()
{
    PopBaseController::viewDidLoad();
    view()->setBackgroundColor(gfx::Color::white());
    m_fileTable = std::make_shared<ui::TableView>(
        gfx::Rect(0, kTitleBarHeight, 1024, view()->bounds().height() - kTitleBarHeight));
    m_fileTable->setAutoresizingMask(ui::AutoresizingFlexibleWidth | ui::AutoresizingFlexibleHeight);
    m_fileTable->setDataSource(this);
    m_fileTable->setDelegate(this);
    view()->addSubview(m_fileTable);
    updateLanguage(nullptr);
}

void ProductRelatedFileController::updateLanguage(ui::Responder*)
{
    PopBaseController::updateLanguage();
    if (lblTittle())
        lblTittle()->setText(Language::stringWithName("RELATEDFILES"));
}

int ProductRelatedFileController::numberOfRowsInSection(ui::TableView&, int)
{
    return static_cast<int>(m_libfilesArray.size());
}

std::shared_ptr<ui::TableViewCell> ProductRelatedFileController::cellForRowAtIndexPath(ui::TableView& table,
                                                                                     const ui::IndexPath& indexPath)
{
    auto cell = table.dequeueReusableCellWithIdentifier(kCellIdentifier);
    if (!cell)
        cell = std::make_shared<ui::TableViewCell>(ui::TableViewCellStyle::Default, kCellIdentifier);
    size_t row = static_cast<size_t>(indexPath.row);
    const auto& file = m_libfilesArray[row];
    cell->textLabel().setText(file.title.value_or(file.file_name.value_or("")));
    return cell;
}
