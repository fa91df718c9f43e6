#include "ui/panes/ColumnSizer.h"

#include "platform/StringTable.h"
#include "ui/Profile.h"
#include "ui/UiText.h"

#include <QEvent>
#include <QHeaderView>
#include <QStyle>
#include <QTimer>
#include <QTreeView>

#include <algorithm>
#include <vector>

namespace
{
// The widest text the rows in view show in column, with the cell's margins:
// the last column's content, which the view's own fitting does not measure
// while that column stretches.
int VisibleTextWidth(const QTreeView* view, int column)
{
    const QAbstractItemModel* model = view->model();
    if (!model || model->rowCount() == 0)
        return 0;
    const int first = std::max(0, view->indexAt(QPoint(0, 0)).row());
    int last = view->indexAt(QPoint(0, view->viewport()->height() - 1)).row();
    if (last < 0)
        last = model->rowCount() - 1;
    const QFontMetrics metrics = view->fontMetrics();
    int widest = 0;
    for (int row = first; row <= last; ++row)
        widest = std::max(widest, metrics.horizontalAdvance(model->index(row, column).data().toString()));
    const int margin = view->style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, view) + 1;
    return widest + 2 * margin;
}

QString SizedFlagName(unsigned nameId)
{
    return UiText(nameId) + QLatin1Char('.') + UiText(IDS_PROFILE_COLUMNS_SIZED);
}
} // namespace

CColumnSizer::CColumnSizer(QTreeView* list, unsigned name, int columns, int elasticColumn)
    : QObject(list), view(list), nameId(name), count(columns), elastic(elasticColumn)
{
    QHeaderView* header = view->header();
    header->setStretchLastSection(true);
    // Widths stored by earlier versions were never the user's choice (they
    // were written whatever happened): only a profile that says so is kept.
    if (Profile::GetProfileNumber(IDS_PROFILE_DISPLAY, SizedFlagName(nameId), 0) != 0)
    {
        userSized = true;
        Profile::LoadColumnWidths(IDS_PROFILE_DISPLAY, nameId, header, count);
    }
    // A divider dragged (or double-clicked) by the user: from then on the
    // widths are the user's. The last column's own stretching is not.
    headerViewport = header->viewport();
    listViewport = view->viewport();
    headerViewport->installEventFilter(this);
    connect(header, &QHeaderView::sectionResized, this,
            [this]
            {
                if (!fitting && dividerHeld)
                    userSized = true;
            });
    listViewport->installEventFilter(this);
}

bool CColumnSizer::eventFilter(QObject* watched, QEvent* event)
{
    if (!headerViewport || !listViewport)
        return false;
    if (watched == headerViewport)
    {
        if (event->type() == QEvent::MouseButtonPress || event->type() == QEvent::MouseButtonDblClick)
            dividerHeld = true;
        else if (event->type() == QEvent::MouseButtonRelease)
            dividerHeld = false;
    }
    else if (watched == listViewport && event->type() == QEvent::Resize && !userSized && !fitPending)
    {
        // Once per burst of resizes (a splitter dragged), after they settle.
        fitPending = true;
        QTimer::singleShot(0, this, [this] { Fit(); });
    }
    return false;
}

void CColumnSizer::Fit()
{
    fitPending = false;
    if (userSized || count <= 0)
        return;
    ++fitting;
    ++fitCount;
    QHeaderView* header = view->header();
    std::vector<int> widths(static_cast<std::size_t>(count));
    int total = 0;
    for (int column = 0; column < count; ++column)
    {
        int fit = 0;
        if (column + 1 < count)
        {
            // The view's own measure: heading, icon, text, margins.
            view->resizeColumnToContents(column);
            fit = header->sectionSize(column);
        }
        else
        {
            fit = std::max(header->sectionSizeHint(column), VisibleTextWidth(view, column));
        }
        widths[static_cast<std::size_t>(column)] = fit;
        total += fit;
    }
    const int room = view->viewport()->width();
    if (total > room && elastic >= 0 && elastic < count)
    {
        // The elastic column narrows, its heading cut last: below a few
        // letters' width it stops, and the list scrolls sideways instead.
        const int least = std::min(header->sectionSizeHint(elastic),
                                   6 * view->fontMetrics().horizontalAdvance(QLatin1Char('M')));
        int& names = widths[static_cast<std::size_t>(elastic)];
        names = std::max(least, names - (total - room));
    }
    // The last column stretches over what is left; the others take their fit.
    for (int column = 0; column + 1 < count; ++column)
        header->resizeSection(column, widths[static_cast<std::size_t>(column)]);
    --fitting;
}

void CColumnSizer::Save() const
{
    if (!userSized)
        return;
    Profile::WriteProfileNumber(IDS_PROFILE_DISPLAY, SizedFlagName(nameId), 1);
    Profile::SaveColumnWidths(IDS_PROFILE_DISPLAY, nameId, view->header(), count);
}
