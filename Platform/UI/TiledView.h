#pragma once
#include "Platform/Graphics/CairoRef.h"
#include "Platform/UI/View.h"

#include <functional>
#include <map>
#include <memory>
#include <optional>

namespace ui {

struct TileSource;

// A view whose content is drawn in tiles on worker threads, at the level of detail the
// current zoom needs: only tiles over the visible part are drawn, finished tiles show at once,
// and tiles of other levels or off screen are dropped beyond a fixed memory budget.
class TiledView : public View {
public:
    // Draws the content of `rect` (view coordinates) into a context already transformed and
    // clipped to it. Runs on worker threads; it must read only what is fixed after set-up.
    using DrawCallback = std::function<void(gfx::Context& context, const gfx::Rect& rect)>;

    explicit TiledView(const gfx::Rect& frame);
    ~TiledView() override;
    const char* className() const override { return "TiledView"; }

    void setDrawCallback(DrawCallback callback);
    // Settings fixed before the first drawing.
    void setLevelsOfDetail(int levels) { m_levels = levels; }
    void setLevelsOfDetailBias(int bias) { m_bias = bias; }
    void setTileSize(int pixels) { m_tileSize = pixels; }
    int levelsOfDetail() const { return m_levels; }
    int levelsOfDetailBias() const { return m_bias; }
    int tileSize() const { return m_tileSize; }
    // The settings the page views use for a window of this scale and size.
    static int tileSizeForWindow(double scale, gfx::Size size);
    static int biasForScale(double scale);
    // A level of its own at exactly this many pixels a point (0: none), used when the view
    // shows at or below it and no power-of-two level lies between: a view resting at a fitted
    // zoom draws just the pixels it shows.
    void setFitLevelScale(double pixelScale);
    double fitLevelScale() const { return m_fitScale; }

    // No callback runs afterwards; late tiles are dropped. Removal from the window detaches.
    void detach();
    bool isDetached() const;

    // Draws every tile due for the visible part now, on this thread (tests, snapshots).
    void drawVisibleTilesNow();
    // Tiles drawn so far at a level's scale (2 to the power of the level index below the bias,
    // or the fitting level's scale).
    int tilesDrawnAtScale(double levelScale) const;
    int tilesDrawn() const;
    // Tiles kept and their bytes.
    size_t keptTileCount() const { return m_tiles.size(); }
    size_t keptTileBytes() const;
    static constexpr size_t kTileBudgetBytes = 48u << 20;
    // Whether every tile the visible part needs at its current scale is drawn and kept.
    bool visibleTilesComplete() const;
    // Draws the tiles of the whole view now due or not, at the level its present zoom in the
    // window needs: a view off screen that is about to show (the next page) then shows at once.
    void drawAhead();
    // Whether the whole view is drawn at the level drawAhead asked for.
    bool tilesAheadComplete() const;
    // Tiles asked for and not yet taken in (waiting, being drawn, or on their way back).
    bool hasTilesDue() const;
    // Draws the whole view (view coordinates) from the kept tiles of one level that covers all
    // of it, the fitting level first; false when no level does. Lets a small picture of the
    // content come from pixels already drawn instead of drawing the content again.
    bool drawFromKeptTiles(gfx::Context& context) const;

    void drawRect(gfx::Context& context, const gfx::Rect& rect) override;

protected:
    void willMoveToWindow(Window* newWindow) override;
    // Tiles just arrived and the visible part is now complete; main thread.
    virtual void visibleTilesDidComplete() {}
    // Tiles just arrived and the whole view is drawn at the level drawAhead asked for.
    virtual void tilesAheadDidComplete() {}

private:
public:
    struct TileKey {
        int level; // the scale's exponent of 2, or kFitLevel
        int column, row;
        auto operator<=>(const TileKey&) const = default;
    };
private:
    struct Tile {
        gfx::SurfaceRef surface;
        uint64_t lastUsed = 0;
    };
    friend struct TileSource;

    // The level the given pixel scale needs: an exponent of 2, or kFitLevel.
    int levelFor(double pixelScale) const;
    double scaleOfLevel(int level) const;
    static constexpr int kFitLevel = -1000;
    gfx::Rect rectOfTile(const TileKey& key) const;
    // drawFromKeptTiles where the view lands on whole device pixels and is made smaller.
    bool drawReducedFromTiles(gfx::Context& context, int level, const std::vector<TileKey>& keys) const;
    std::vector<TileKey> tilesCovering(const gfx::Rect& visible, int level) const;
    // What part of the view shows in its window, and at how many pixels a point.
    bool visibleRectAndScale(gfx::Rect& visible, double& pixelScale) const;
    // How many pixels a point of the view takes in its window, shown or not.
    bool pixelScaleInWindow(double& pixelScale) const;
    bool levelComplete(const gfx::Rect& area, int level) const;
    void request(const std::vector<TileKey>& due, int level);
    // Tiles drawn at `scale`; fitting-level ones drawn for another fitting scale are dropped.
    void accept(const std::vector<std::pair<TileKey, gfx::SurfaceRef>>& tiles, double scale);
    void trim(const gfx::Rect& visible, int level);

    std::shared_ptr<TileSource> m_source;
    std::map<TileKey, Tile> m_tiles;
    uint64_t m_useClock = 0;
    int m_levels = 4;
    int m_bias = 3;
    int m_tileSize = 1024;
    double m_fitScale = 0;
    std::map<int, int> m_drawnByLevel;
    std::optional<int> m_aheadLevel; // drawn ahead at this level, until complete
};

} // namespace ui
