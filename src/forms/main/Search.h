#pragma once
#include "catalogue/CatalogueFilter.h"
#include "catalogue/CatalogueSearch.h"

#include <QObject>

class CategoryView;
class CommandContext;
class FindDialog;
class QAction;
class QLineEdit;
class TreeNode;

// Finding entries: the find dialog and its three commands, "Continue
// search" (F3) with the not-found question at the Search button, and the
// instant filter on the tool bar, which lists the matching entries of the
// whole catalogue in place of the listed category.
class Search : public QObject
{
    Q_OBJECT
public:
    Search(CommandContext& context, CategoryView& view);
    ~Search() override;

    // The scan and its state (field, position, match case), which the link
    // updates share.
    CatalogueSearch& search() { return m_search; }
    FindDialog* findDialog() const { return m_dialog; }
    QLineEdit* filterEdit() const { return m_filterEdit; }
    // Where the find dialog opens the first time: 300 pixels from the
    // screen's left edge, half the window's height from its top.
    void placeFindDialog();

private:
    void showFindDialog(SearchField field);
    // The find step of Find Next and F3.
    void findNext();
    // Selects a hit in the tree as the user would: its category first (or
    // no node for a top-level hit), then the hit itself.
    void showHit(TreeNode* node);

    void createFilter();
    void applyFilter();
    // Back to the category that was listed before the filter.
    void endFilter();
    // "N entries found" on the status line.
    void showFoundCount();
    void openFilteredRow();
    bool filterKey(int key);

    CommandContext& m_context;
    CategoryView& m_view;
    CatalogueSearch& m_search; // the catalogue's, shared with the link updates
    CatalogueFilter m_filter;
    FindDialog* m_dialog = nullptr;
    QLineEdit* m_filterEdit = nullptr;
    QAction* m_focusFilter = nullptr;
    bool m_listingFound = false; // the filter is filling the list
    bool m_filtering = false;    // found rows are listed for the field's text
};
