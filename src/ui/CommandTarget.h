#pragma once
// Command routing: a command goes to the active pane first, then the
// document, the frame and the application; the first target that handles it
// wins. Enable states and check marks come from the same chain through
// OnUpdateCommand, asked when the program goes idle and before a menu opens.

#include <QString>

// What an update handler sets for one command.
class CCmdUI
{
public:
    explicit CCmdUI(int id) : id(id) {}

    int GetId() const { return id; }
    void Enable(bool on = true) { enabled = on; }
    void SetCheck(bool on = true)
    {
        checkable = true;
        checked = on;
    }
    void SetText(const QString& value)
    {
        text = value;
        hasText = true;
    }

    bool IsEnabled() const { return enabled; }
    bool IsCheckable() const { return checkable; }
    bool IsChecked() const { return checked; }
    bool HasText() const { return hasText; }
    const QString& GetText() const { return text; }

private:
    int id;
    bool enabled = true;
    bool checkable = false;
    bool checked = false;
    bool hasText = false;
    QString text;
};

class ICommandTarget
{
public:
    virtual ~ICommandTarget() = default;
    // Carries out the command; false when this target does not handle it.
    virtual bool OnCommand(int id) = 0;
    // Fills ui for a command this target handles; false when it does not.
    virtual bool OnUpdateCommand(CCmdUI& ui) = 0;
};
