#pragma once
// The column widths of a list pane. Until the user drags a column divider the
// columns follow their content: each fits its heading and the widest entry
// shown, the last one takes what is left, and when the pane is too narrow for
// all of them the elastic column (the names) gives up room first, so that a
// name is cut only when there really is no room for it. Once the user has
// sized a column, the widths are the user's: kept in the profile and no
// longer fitted.

#include <QObject>
#include <QPointer>
#include <QWidget>

class QTreeView;

class CColumnSizer final : public QObject
{
public:
    // count columns of view, profile entries named after nameId; elastic is
    // the column that narrows when the others need the room.
    CColumnSizer(QTreeView* view, unsigned nameId, int count, int elastic = 0);

    // Fits the columns to what the list shows now (after a fill, on a resize).
    void Fit();
    // Writes the widths to the profile when they are the user's.
    void Save() const;
    bool IsUserSized() const { return userSized; }
    // How often the columns were fitted (the live folder's benchmark counts them).
    int GetFitCount() const { return fitCount; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QTreeView* view;
    // Compared with what the filter sees, also while the view is taken down.
    QPointer<QWidget> headerViewport;
    QPointer<QWidget> listViewport;
    unsigned nameId;
    int count;
    int elastic;
    bool userSized = false;
    bool dividerHeld = false;
    bool fitPending = false;
    int fitting = 0;
    int fitCount = 0;
};
