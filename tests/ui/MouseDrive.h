#pragma once
// Real mouse input for widget tests: the events a person's hand makes, sent
// to the widget under the pointer, so that filters, focus and the views' own
// handling all take part.

#include <QHeaderView>
#include <QTest>

// Drags the divider after column of header until the column is width wide.
inline void DragColumnDivider(QHeaderView* header, int column, int width)
{
    QWidget* viewport = header->viewport();
    const int edge = header->sectionViewportPosition(column) + header->sectionSize(column) - 1;
    const int y = header->height() / 2;
    QTest::mousePress(viewport, Qt::LeftButton, {}, QPoint(edge, y));
    const int target = header->sectionViewportPosition(column) + width - 1;
    // Two steps: the first leaves the press, the second lands.
    QTest::mouseMove(viewport, QPoint((edge + target) / 2, y));
    QTest::mouseMove(viewport, QPoint(target, y));
    QTest::mouseRelease(viewport, Qt::LeftButton, {}, QPoint(target, y));
}
