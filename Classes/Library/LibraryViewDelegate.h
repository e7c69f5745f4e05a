#pragma once

// The sales library's two panels, which live on the main tab bar's own view while its tab shows.
class LibraryViewDelegate {
public:
    virtual ~LibraryViewDelegate() = default;
    virtual void addLibraryView() {}
    virtual void removeLibraryView() {}
};
