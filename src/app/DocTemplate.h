#pragma once
// The single document template's text (string table entry 128): seven fields
// separated by line breaks - window title, document name (empty: the
// framework's "Untitled"), base name of new files, filter text, default
// extension, file type identifier and its display name.

#include <QString>

class CDocTemplate
{
public:
    CDocTemplate();

    const QString& GetWindowTitle() const { return windowTitle; }
    const QString& GetNewFileName() const { return newFileName; }
    const QString& GetFilterExtension() const { return filterExtension; }
    // The Open and Save As filter: the template's file type, then all files.
    QString GetFileFilter() const;
    // path with the default extension appended (in lower case, as files are
    // named on Linux) when its name has no extension at all.
    QString WithDefaultExtension(const QString& path) const;
    // The document's title: the file name of path, or "Untitled".
    static QString GetDocumentTitle(const QString& path);

private:
    QString windowTitle;
    QString newFileName;
    QString filterName;
    QString filterExtension;
};
