#pragma once
#include "Common/LanguageManager.h"
#include "Platform/UI/View.h"

#include <memory>
#include <optional>
#include <string>

namespace ui {
class Label;
class ProgressView;
}

// One progress row of the sync panel: title, last-sync date, bar and percentage.
class SyncInfoItem : public ui::View, public LanguageManagerDelegate {
public:
    explicit SyncInfoItem(const gfx::Rect& frame);
    ~SyncInfoItem() override;
    const char* className() const override { return "SyncInfoItem"; }

    float progress() const;
    // Exactly 1.0 reads "COMPLETED".
    void setProgress(float progress);
    std::string lbprogressTxt() const;
    void setLbprogressTxt(const std::string& text);

    const std::shared_ptr<ui::Label>& lbTittle() const { return m_lbTittle; }
    const std::shared_ptr<ui::Label>& lbDateTag() const { return m_lbDateTag; }
    const std::shared_ptr<ui::Label>& lbDatevalue() const { return m_lbDatevalue; }
    // The last sync's time as shown; a language change keeps it (the screen redraws it).
    void setSyncDate(const std::string& date);
    const std::shared_ptr<ui::ProgressView>& progressView() const { return m_progress; }

    void notifiChangelanguage() override;

private:
    std::shared_ptr<ui::Label> m_lbTittle;
    std::shared_ptr<ui::Label> m_lbDateTag;
    std::shared_ptr<ui::Label> m_lbDatevalue;
    std::optional<std::string> m_syncDate;
    std::shared_ptr<ui::ProgressView> m_progress;
    std::shared_ptr<ui::Label> m_lbprogressTxt;
};
