#pragma once

// The catalogue's two panels, which live on the main tab bar's own view while its tab shows.
class CatalogViewDelegate {
public:
    virtual ~CatalogViewDelegate() = default;
    virtual void addCatologView() {}
    virtual void removeCalogView() {}
};
