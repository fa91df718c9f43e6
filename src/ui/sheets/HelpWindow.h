#pragma once
// The help window: the user manual (Markdown, installed with the program)
// in a browser of its own, opened at the part about the pane or dialog the
// user is in. The manual's parts are its second-level headings; a widget
// names its part in the property "helpTopic", a dialog may instead be known
// by its class.

#include <QDialog>
#include <QString>

class QTextBrowser;

class CHelpWindow final : public QDialog
{
    Q_OBJECT

public:
    explicit CHelpWindow(QWidget* parent = nullptr);

    // The manual beside the program (a build), else under the installation's
    // share/tamberly; empty when neither exists.
    static QString FindManual();
    // The manual's part for widget: the nearest "helpTopic" of it and its
    // parents, or the part of its window's class; empty for none.
    static QString TopicFor(const QWidget* widget);

    // Reads the manual; false (and a note in the window) when it does not read.
    bool Load(const QString& path);
    // Scrolls to the heading named topic; false when the manual has none such
    // (the window then shows the manual's start).
    bool ShowTopic(const QString& topic);
    // The heading at the top of the view, empty before the first heading.
    QString GetShownTopic() const;
    QTextBrowser* GetBrowser() const { return browser; }

private:
    QTextBrowser* browser;
};
