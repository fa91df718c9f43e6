#pragma once
// The item data roles the panes' models answer beyond Qt's own, in one list
// so that no two meanings share a number.

#include <Qt>

namespace ItemRoles
{
enum : int
{
    FolderPathRole = Qt::UserRole, // folder tree: QByteArray, the folder's path as the file system spells it
    FolderReadRole,                // folder tree: bool, the subfolders have been read
    DropTargetRole,                // bank view: bool, the drag over the view would fill this row
};
} // namespace ItemRoles
