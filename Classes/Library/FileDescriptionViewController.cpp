#include "Classes/Library/FileDescriptionViewController.h"

#include "Classes/Library/SaleslibraryModel.h"
#include "Common/Language.h"
#include "Common/PublicFunction.h"
#include "Database/DataAccessManager.h"
#include "Platform/Base/Log.h"
#include "Platform/UI/Button.h"
#include "Platform/UI/ImageView.h"
#include "Platform/UI/Label.h"
#include "Platform/UI/NamedImage.h"
#include "Platform/UI/TapGestureRecognizer.h"
#include "Platform/UI/TextView.h"
#include "Platform/UI/Window.h"

#include <algorithm>

namespace {
const gfx::Color kDarkGrey = gfx::Color::fromRgb(80, 80, 80);

std::shared_ptr<ui::Label> cardLabel(const gfx::Rect& frame, const gfx::Font& font, gfx::Color colour)
{
    auto label = std::make_shared<ui::Label>(frame);
    label->setBackgroundColor(gfx::Color::clear());
    label->setFont(font);
    label->setTextColor(colour);
    return label;
}
} // namespace

FileDescriptionViewController::FileDescriptionViewController()
    : m_delButton(std::make_shared<ui::Button>(ui::ButtonType::Custom))
{
}

FileDescriptionViewController::~FileDescriptionViewController()
{
    removeTapGesture();
}

unsigned FileDescriptionViewController::supportedInterfaceOrientations() const
{
    return ui::InterfaceOrientationMaskLandscapeLeft | ui::InterfaceOrientationMaskLandscapeRight;
}

void FileDescriptionViewController::presentFrom(ui::ViewController& opener)
{
    setModalPresentationStyle(ui::ModalPresentationStyle::FormSheet);
    setModalTransitionStyle(ui::ModalTransitionStyle::CrossDissolve);
    setFormSheetFrame(kContainerFrame);
    opener.presentViewController(sharedController(), true);
}

void FileDescriptionViewController::viewDidLoad()
{
    auto root = view();
    root->setBackgroundColor(gfx::Color::white());
    const auto& file = m_fileEntity;
    int type = PublicFunction::getFileType(file.type);

    m_imageView = std::make_shared<ui::ImageView>(gfx::Rect{20, 20, 150, 200});
    m_imageView->setContentMode(ui::ContentMode::ScaleAspectFit);
    m_imageView->setImage(PublicFunction::getLocalImageFiletype(file.cover_image, type));
    root->addSubview(m_imageView);

    m_nameLabel = cardLabel({190, 20, 409, 30}, gfx::Font::boldSystemFont(20), kDarkGrey);
    m_nameLabel->setText(file.title.value_or(""));
    m_formatLabel = cardLabel({190, 56, 200, 22}, gfx::Font::systemFont(15), gfx::Color::fromRgb(120, 120, 120));
    m_formatLabel->setText(file.infoShow());
    m_videoDurationLabel = cardLabel({190, 80, 200, 22}, gfx::Font::systemFont(15), gfx::Color::fromRgb(120, 120, 120));
    m_videoDurationLabel->setText(file.duration());
    m_dateLabel = cardLabel({190, 104, 200, 22}, gfx::Font::systemFont(15), gfx::Color::fromRgb(120, 120, 120));
    m_dateLabel->setText(PublicFunction::formatDate(file.date.value_or("")));
    for (auto& label : {m_nameLabel, m_formatLabel, m_videoDurationLabel, m_dateLabel})
        root->addSubview(label);

    m_descTextView = std::make_shared<ui::TextView>(gfx::Rect{20, 240, 579, 190});
    m_descTextView->setBackgroundColor(gfx::Color::fromRgb(246, 247, 249));
    m_descTextView->setEditable(false);
    m_descTextView->setTextColor(kDarkGrey);
    m_descTextView->setContentInset({3, 10, 3, 10});
    if (file.description.value_or("").empty()) {
        m_descTextView->setFont(gfx::Font::italicSystemFont(14));
        m_descTextView->setText(Language::stringWithName("NODESCRIPTION"));
    } else {
        m_descTextView->setFont(gfx::Font::systemFont(15));
        m_descTextView->setText(*file.description);
    }
    root->addSubview(m_descTextView);

    auto manager = DataAccessManager::sharedDataModel();
    m_isMarked = manager && manager->getLibraryFavoriteByFavoriteId(file.file_id).has_value();

    m_actionButton = std::make_shared<ui::Button>(ui::ButtonType::Custom, gfx::Rect{190, 176, 140, 34});
    PublicFunction::initializeToButtonHeight34(m_actionButton.get());
    m_actionButton->addTarget([this](ui::Control&) { actionButtonPressed(); }, ui::ControlEventTouchUpInside);
    root->addSubview(m_actionButton);

    m_favButton = std::make_shared<ui::Button>(ui::ButtonType::Custom, gfx::Rect{345, 173, 40, 40});
    m_favButton->setBackgroundImage(ui::imageNamed("btn-addfav.png"));
    m_favButton->setBackgroundImage(ui::imageNamed("btn-favAdded.png"), ui::ControlStateSelected);
    m_favButton->addTarget([this](ui::Control&) { markButtonPressed(); }, ui::ControlEventTouchUpInside);
    root->addSubview(m_favButton);

    bool hidden = m_delButton->isHidden();
    m_delButton->setFrame({479, 176, 120, 34});
    PublicFunction::initializeToButtonHeight34(m_delButton.get());
    m_delButton->setTitle(Language::stringWithName("DELETE"));
    // White as on the card's other buttons: a red caption could not be read on the blue.
    m_delButton->setHidden(hidden);
    m_delButton->addTarget([this](ui::Control&) { deleteButtonPressed(); }, ui::ControlEventTouchUpInside);
    root->addSubview(m_delButton);

    if (SaleslibraryModel::sharedInstance()->isExists(file.file_id)) {
        auto updates = manager ? manager->getAllLibFileUpdateIDs() : std::vector<int>{};
        bool pending = std::find(updates.begin(), updates.end(), file.file_id) != updates.end();
        m_actionButton->setTitle(Language::stringWithName(pending ? "UPDATE" : "OPEN"));
        gfx::Image added = ui::imageNamed("btn-favAdded.png");
        gfx::Image add = ui::imageNamed("btn-addfav.png");
        m_favButton->setBackgroundImage(m_isMarked ? added : add);
        m_favButton->setBackgroundImage(m_isMarked ? add : added, ui::ControlStateSelected);
    } else {
        m_actionButton->setTitle(Language::stringWithName("DOWNLOAD"));
        m_favButton->setSelected(m_isMarked);
    }
}

void FileDescriptionViewController::viewDidAppear(bool)
{
    auto* window = view()->window();
    if (!window || m_tapGesture)
        return;
    m_tapGesture = std::make_shared<ui::TapGestureRecognizer>();
    m_tapGesture->setCancelsTouchesInView(false);
    m_tapGesture->addTarget([this](ui::GestureRecognizer&) { outsideTapped(); });
    window->addGestureRecognizer(m_tapGesture);
    m_tapWindow = window->sharedView();
}

void FileDescriptionViewController::viewWillDisappear(bool)
{
    removeTapGesture();
}

void FileDescriptionViewController::didReceiveMemoryWarning()
{
    if (view()->window())
        return;
    removeTapGesture();
    m_imageView.reset();
    m_nameLabel.reset();
    m_dateLabel.reset();
    m_formatLabel.reset();
    m_videoDurationLabel.reset();
    m_descTextView.reset();
    m_actionButton.reset();
    m_favButton.reset();
    unloadViewForTesting();
}

void FileDescriptionViewController::removeTapGesture()
{
    if (!m_tapGesture)
        return;
    if (auto window = m_tapWindow.lock())
        window->removeGestureRecognizer(m_tapGesture.get());
    m_tapGesture.reset();
    m_tapWindow.reset();
}

void FileDescriptionViewController::outsideTapped()
{
    if (!m_tapGesture || !isViewLoaded())
        return;
    gfx::Point at = m_tapGesture->locationInView(view().get());
    if (view()->bounds().contains(at))
        return;
    auto keep = sharedController();
    removeTapGesture();
    dismissViewController(true);
}

bool FileDescriptionViewController::escapePressed()
{
    if (!m_tapGesture)
        return false;
    auto keep = sharedController();
    removeTapGesture();
    dismissViewController(true);
    return true;
}

void FileDescriptionViewController::actionButtonPressed()
{
    auto keep = sharedController();
    dismissViewController(true);
    if (auto delegate = m_delagate.lock())
        delegate->actionButtonPressed(m_fileEntity);
    removeTapGesture();
}

void FileDescriptionViewController::markButtonPressed()
{
    base::log("mark pressed");
    auto manager = DataAccessManager::sharedDataModel();
    if (!manager)
        return;
    if (m_isMarked) {
        manager->deleteLibraryFavoriteByFavoriteId(m_fileEntity.file_id);
        m_isMarked = false;
        m_favButton->setSelected(!m_favButton->isSelected());
    } else if (manager->saveToDatabaseLibraryFavoriteName(m_fileEntity.file_id, m_fileEntity.file_name)) {
        m_isMarked = true;
        m_favButton->setSelected(!m_favButton->isSelected());
    }
    if (auto delegate = m_delagate.lock())
        delegate->markButtonPressed();
}

void FileDescriptionViewController::deleteButtonPressed()
{
    base::log("delete pressed");
    auto keep = sharedController();
    dismissViewController(true);
    if (auto delegate = m_delagate.lock())
        delegate->descriptionViewDeleteButtonPressed(m_fileEntity);
    removeTapGesture();
}
