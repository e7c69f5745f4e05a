#include "Classes/Library/librarySearchViewcontroller.h"

#include "Common/Language.h"
#include "Common/PublicFunction.h"
#include "Database/DataAccessManager.h"
#include "Platform/Graphics/Image.h"
#include "Platform/UI/Label.h"

namespace {
std::shared_ptr<ui::Label> greyLabel(const gfx::Rect& frame)
{
    auto label = std::make_shared<ui::Label>(frame);
    label->setBackgroundColor(gfx::Color::clear());
    label->setTextColor(gfx::Color::fromRgb(128, 128, 128));
    label->setFont(gfx::Font::systemFont(14));
    return label;
}
} // namespace

LibrarySearchCell::LibrarySearchCell(const std::string& reuseIdentifier)
    : ui::TableViewCell(ui::TableViewCellStyle::Default, reuseIdentifier)
{
    m_imageView = ui::View::make(gfx::Rect(5, 5, 84, 120));
    m_imageView->setBackgroundColor(gfx::Color::clear());
    m_fileNameContentLabel = std::make_shared<ui::Label>(gfx::Rect(90, 0, 240, 60));
    m_fileNameContentLabel->setBackgroundColor(gfx::Color::clear());
    m_fileNameContentLabel->setNumberOfLines(0);
    m_fileNameContentLabel->setFont(gfx::Font("Helvetica-Bold", 14));
    m_fileNameContentLabel->setTextColor(gfx::Color::fromRgb(139, 34, 82));
    m_infoContentLabel = greyLabel({90, 65, 150, 20});
    m_dateContentLabel = greyLabel({90, 85, 150, 20});
    m_durationContentLabel = greyLabel({90, 105, 150, 20});
    m_durationContentLabel->setHidden(true);
    for (auto view : {m_imageView, std::static_pointer_cast<ui::View>(m_fileNameContentLabel),
                      std::static_pointer_cast<ui::View>(m_infoContentLabel), std::static_pointer_cast<ui::View>(m_dateContentLabel),
                      std::static_pointer_cast<ui::View>(m_durationContentLabel)})
        contentView().addSubview(view);
}

void LibrarySearchCell::setDurationVisiable(bool visible)
{
    m_durationVisiable = visible;
    m_durationContentLabel->setHidden(!visible);
}

librarySearchViewcontroller::~librarySearchViewcontroller()
{
    if (m_tableView) {
        m_tableView->setDataSource(nullptr);
        m_tableView->setDelegate(nullptr);
    }
}

unsigned librarySearchViewcontroller::supportedInterfaceOrientations() const
{
    return ui::InterfaceOrientationMaskLandscapeLeft | ui::InterfaceOrientationMaskLandscapeRight;
}

void librarySearchViewcontroller::loadView()
{
    m_tableView = std::make_shared<ui::TableView>(gfx::Rect(0, 0, 340, 480));
    m_tableView->setRowHeight(kRowHeight);
    m_tableView->setDataSource(this);
    m_tableView->setDelegate(this);
    setView(m_tableView);
    if (!m_bViewHasLoad) {
        m_bViewHasLoad = true;
        m_searchFilestArray.clear();
    }
}

void librarySearchViewcontroller::setSearchFilestArray(std::vector<brivanta_library_files_Entity> files)
{
    m_searchFilestArray = std::move(files);
    if (m_tableView)
        m_tableView->reloadData();
}

int librarySearchViewcontroller::numberOfRowsInSection(ui::TableView&, int)
{
    return m_searchFilestArray.empty() ? 1 : static_cast<int>(m_searchFilestArray.size());
}

std::shared_ptr<ui::TableViewCell> librarySearchViewcontroller::cellForRowAtIndexPath(ui::TableView& table,
                                                                                      const ui::IndexPath& ip)
{
    if (m_searchFilestArray.empty()) {
        auto cell = std::make_shared<ui::TableViewCell>(ui::TableViewCellStyle::Default, "NoResult");
        cell->textLabel().setText(Language::stringWithName("NORESULT"));
        cell->detailTextLabel().setText("");
        return cell;
    }
    auto cell = std::dynamic_pointer_cast<LibrarySearchCell>(table.dequeueReusableCellWithIdentifier("Cell"));
    if (!cell)
        cell = std::make_shared<LibrarySearchCell>("Cell");
    const auto& file = m_searchFilestArray.at(static_cast<size_t>(ip.row));
    auto manager = DataAccessManager::sharedDataModel();
    auto cover = manager ? manager->getCoverImageByFileName(file.file_name) : std::nullopt;
    PublicFunction::ImageViewSetImgImg(&cell->coverView(),
                                       PublicFunction::getLocalImageFiletype(cover, PublicFunction::getFileType(file.type)));
    // The server's "yyyy-MM-dd HH:mm:ss", shown in the language's short form.
    cell->dateContentLabel().setText(PublicFunction::formatDate(file.date.value_or("")));
    cell->fileNameContentLabel().setText(file.title.value_or(""));
    cell->infoContentLabel().setText(file.infoShow());
    bool video = file.type == std::optional<std::string>("VEDIO");
    cell->setDurationVisiable(video);
    cell->durationContentLabel().setText(video ? file.duration() : std::string());
    return cell;
}

void librarySearchViewcontroller::didSelectRowAtIndexPath(ui::TableView& table, const ui::IndexPath& ip)
{
    if (!m_searchFilestArray.empty() && ip.row >= 0 && static_cast<size_t>(ip.row) < m_searchFilestArray.size() && m_delegate)
        m_delegate->didselectSearchResult(m_searchFilestArray[static_cast<size_t>(ip.row)]);
    table.deselectRowAtIndexPath(ip, true);
}
